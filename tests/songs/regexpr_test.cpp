// TRegExpr: the matching rules the page parsers rely on, and a differential check
// against PCRE2 (DOTALL, no UTF) over generated pages.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "songs/page_parser.h"
#include "songs/regexpr.h"

namespace quavrel {
namespace {

const char kTagPattern[] = R"re(\<.*?\>)re";

std::vector<std::string> allMatches(const std::string& pattern, const std::string& input, int group = 0)
{
    std::vector<std::string> out;
    TRegExpr re(pattern);
    if (re.Exec(input)) {
        do {
            out.push_back(re.Capture(group));
        } while (re.ExecNext());
    }
    return out;
}

// ---- Matching rules ----

TEST(TRegExpr, DotMatchesLineBreaks)
{
    TRegExpr re("a(.*?)b");
    ASSERT_TRUE(re.Exec("xa\r\n\nb"));
    EXPECT_EQ(re.Capture(1), "\r\n\n");
}

TEST(TRegExpr, CaseSensitive)
{
    TRegExpr re(R"re(\#\<br\>)re");
    EXPECT_FALSE(re.Exec("#<BR>"));
    EXPECT_TRUE(re.Exec("#<br>"));
}

TEST(TRegExpr, LazyGroupTakesShortestThatLetsTheRestMatch)
{
    TRegExpr re("'(.+?)'x");
    ASSERT_TRUE(re.Exec("'a'b'x"));
    EXPECT_EQ(re.Capture(1), "a'b");
}

TEST(TRegExpr, EscapedPunctuationIsLiteral)
{
    // "\<" and "\>" are plain angle brackets, never word boundaries.
    EXPECT_EQ(allMatches(R"re(\<b\>)re", "a<b>c b <b>"), (std::vector<std::string>{"<b>", "<b>"}));
    EXPECT_EQ(allMatches(R"re(\#x\|)re", "#x|#x"), (std::vector<std::string>{"#x|"}));
    EXPECT_EQ(allMatches(R"re(a\.b)re", "axb a.b"), (std::vector<std::string>{"a.b"}));
}

TEST(TRegExpr, GbkBytesMatchByteForByte)
{
    // 0xB0 0x7C is one double-byte character whose second byte is "|".
    std::string input = "\xB0|x";
    EXPECT_EQ(allMatches(R"re(\|x)re", input), (std::vector<std::string>{"|x"}));
    EXPECT_EQ(allMatches("\xB0\xAE", "a\xB0\xAE" "b"), (std::vector<std::string>{"\xB0\xAE"}));
    TRegExpr any("(.)");
    ASSERT_TRUE(any.Exec("\xFF"));
    EXPECT_EQ(any.Capture(1), "\xFF");
}

TEST(TRegExpr, NulByteEndsTheInput)
{
    std::string input("ab\0ab", 5);
    EXPECT_EQ(allMatches("ab", input).size(), 1u);
    EXPECT_FALSE(TRegExpr("b\\x00?a").Exec(input));
}

TEST(TRegExpr, ExecNextContinuesAfterTheMatchWithoutOverlap)
{
    EXPECT_EQ(allMatches("aa", "aaaaa"), (std::vector<std::string>{"aa", "aa"}));
}

TEST(TRegExpr, ExecNextStepsOverEmptyMatches)
{
    TRegExpr re("x*");
    ASSERT_TRUE(re.Exec("ab"));
    std::vector<long> positions{re.MatchPos(0)};
    while (re.ExecNext())
        positions.push_back(re.MatchPos(0));
    EXPECT_EQ(positions, (std::vector<long>{0, 1, 2}));
}

TEST(TRegExpr, CaptureOutOfRangeOrUnmatchedIsEmpty)
{
    TRegExpr re("(a)|(b)");
    EXPECT_EQ(re.Capture(0), "");   // no match yet
    ASSERT_TRUE(re.Exec("b"));
    EXPECT_EQ(re.Capture(1), "");
    EXPECT_EQ(re.MatchPos(1), -1);
    EXPECT_EQ(re.Capture(2), "b");
    EXPECT_EQ(re.Capture(-1), "");
    EXPECT_EQ(re.Capture(15), "");
}

TEST(TRegExpr, FourteenGroupsAreReadable)
{
    std::string pattern;
    for (int i = 0; i < 14; ++i)
        pattern += "(.)";
    TRegExpr re(pattern);
    ASSERT_TRUE(re.Exec("abcdefghijklmn"));
    EXPECT_EQ(re.Capture(14), "n");
}

TEST(TRegExpr, CapturesSurviveTheCallersInput)
{
    TRegExpr re("(b+)");
    {
        std::string input = "abbbc";
        ASSERT_TRUE(re.Exec(input));
        input.assign(5, 'z');
    }
    EXPECT_EQ(re.Capture(1), "bbb");
}

// ---- Failures ----

TEST(TRegExpr, BadPatternRaisesCompileError)
{
    try {
        TRegExpr re("ab(c");
        FAIL() << "no exception";
    } catch (const ERegExpr& e) {
        EXPECT_EQ(e.message().rfind("TRegExpr(comp): ", 0), 0u) << e.message();
        EXPECT_NE(e.message().find(" (pos "), std::string::npos) << e.message();
        EXPECT_EQ(e.message().back(), ')');
        EXPECT_STREQ(e.className(), "ERegExpr");
    }
}

TEST(TRegExpr, ExecNextWithoutMatchRaisesExecError)
{
    TRegExpr re("a");
    EXPECT_FALSE(re.Exec("b"));
    try {
        re.ExecNext();
        FAIL() << "no exception";
    } catch (const ERegExpr& e) {
        EXPECT_EQ(e.message().rfind("TRegExpr(exec): ", 0), 0u) << e.message();
    }
    TRegExpr empty;
    EXPECT_THROW(empty.Exec("a"), ERegExpr);
}

// ---- Differential check against PCRE2 ----

struct Span {
    long start, end;
    bool operator==(const Span&) const = default;
};
using MatchSpans = std::vector<std::vector<Span>>;   // per match, per group

MatchSpans oursOn(const std::string& pattern, const std::string& page, int groups)
{
    MatchSpans out;
    TRegExpr re(pattern);
    if (!re.Exec(page))
        return out;
    do {
        std::vector<Span> spans;
        for (int g = 0; g <= groups; ++g)
            spans.push_back({re.MatchPos(g), re.MatchPos(g) < 0 ? -1 : re.MatchPos(g) + re.MatchLen(g)});
        out.push_back(spans);
    } while (re.ExecNext());
    return out;
}

MatchSpans pcreOn(const std::string& pattern, const std::string& page, int groups)
{
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     PCRE2_DOTALL, &error, &offset, nullptr);
    EXPECT_NE(code, nullptr);
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
    std::string input(page.c_str());   // the matcher stops at the first 0x00 as well
    MatchSpans out;
    PCRE2_SIZE start = 0;
    while (start <= input.size()) {
        int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(input.data()), input.size(), start, 0, data,
                             nullptr);
        if (rc < 0)
            break;
        PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data);
        std::vector<Span> spans;
        for (int g = 0; g <= groups; ++g) {
            bool set = g < rc && ov[2 * g] != PCRE2_UNSET;
            spans.push_back(set ? Span{long(ov[2 * g]), long(ov[2 * g + 1])} : Span{-1, -1});
        }
        out.push_back(spans);
        start = ov[1] == ov[0] ? ov[1] + 1 : ov[1];
    }
    pcre2_match_data_free(data);
    pcre2_code_free(code);
    return out;
}

// Pages stitched from the pieces the patterns look for, in random order, with line
// breaks, GBK characters (some with "|" or letters as second byte) and rare 0x00 bytes.
std::string generatedPage(std::mt19937& rng)
{
    static const std::vector<std::string> pieces = {
        "class=p14", "<td class=p14>", "href='", "'", ">", "<", "<b>", "</b>", "singer=", "\"",
        "keyword=", "#", "||", "|", "#<br>", "#<BR>", "\r\n", "\n", " ", "song", "a.mp3",
        "\xB0\xAE", "\xB0|", "\x81\x7C", "\xD5\xC5", "\xB8\xE8", "http://h/x.mp3", "<a href='", "'>",
        "singer=\"", "keyword=\"", std::string(1, '\0'), "p14", "=", "\t"};
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 120);
    std::string page;
    int n = length(rng);
    for (int i = 0; i < n; ++i) {
        const std::string& piece = pieces[pick(rng)];
        if (piece.size() == 1 && piece[0] == '\0' && rng() % 4 != 0)
            continue;   // keep NUL rare so later matches are usually visible
        page += piece;
    }
    return page;
}

TEST(TRegExprDifferential, SameCapturesAsPcre2OnGeneratedPages)
{
    const std::pair<std::string, int> patterns[] = {
        {kSearchPattern, 4}, {kHotListPattern, 4}, {kTagPattern, 0}};
    std::mt19937 rng(20240611);
    int withMatches = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string page = generatedPage(rng);
        for (const auto& [pattern, groups] : patterns) {
            MatchSpans ours = oursOn(pattern, page, groups);
            MatchSpans theirs = pcreOn(pattern, page, groups);
            ASSERT_EQ(ours, theirs) << "pattern " << pattern << " round " << round;
            withMatches += !ours.empty();
        }
    }
    // The generator must actually exercise matches, not only misses.
    EXPECT_GT(withMatches, 1000);
}

}  // namespace
}  // namespace quavrel
