// The bundled catalogue service, started as its own process on a free port and spoken to
// over raw sockets, so every byte of the answers is seen as the program sees it.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <gtest/gtest.h>

#include "songs/text.h"
#include "tests/support/catalog/catalog_service.h"

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using quavrel::test::CatalogService;
using quavrel::test::HttpExchange;
using quavrel::test::HttpReply;
using quavrel::QueryEncode;

// The program's search pattern (69 bytes) and hot-list pattern, byte for byte.
const std::string kSearchPattern =
    R"re(class=p14.*?href='(.+?)'.*?\>(.+?)\<.*?singer=(.+?)")re" R"re(.*?keyword=(.+?)")re";
const std::string kHotListPattern = R"re(\#(.*?)\|\|(.*?)\|\|(.*?)\|\|(.*?)\#\<br\>)re";

// ---- helpers: the program's text rules, PCRE2 ----

std::string stripTagsAndTrim(const std::string& in)
{
    std::string out;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t lt = in.find('<', pos);
        const std::size_t gt = lt == std::string::npos ? lt : in.find('>', lt);
        if (gt == std::string::npos)
            break;
        out += in.substr(pos, lt - pos);
        pos = gt + 1;
    }
    out += in.substr(pos);
    std::size_t b = 0, e = out.size();
    while (b < e && static_cast<unsigned char>(out[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(out[e - 1]) <= 32)
        --e;
    return out.substr(b, e - b);
}

// All matches of `pattern` (DOTALL, case-sensitive, bytes) with groups 1 to 4.
std::vector<std::vector<std::string>> matchAll(const std::string& pattern, const std::string& text)
{
    int err = 0;
    PCRE2_SIZE errOffset = 0;
    pcre2_code* re = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                   PCRE2_DOTALL, &err, &errOffset, nullptr);
    if (!re)
        throw std::runtime_error("pattern does not compile");
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(re, nullptr);
    std::vector<std::vector<std::string>> out;
    PCRE2_SIZE start = 0;
    while (start <= text.size() &&
           pcre2_match(re, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), start, 0, md,
                       nullptr) > 0) {
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
        std::vector<std::string> groups;
        for (int g = 1; g <= 4; ++g)
            groups.push_back(text.substr(ov[2 * g], ov[2 * g + 1] - ov[2 * g]));
        out.push_back(groups);
        start = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
    }
    pcre2_match_data_free(md);
    pcre2_code_free(re);
    return out;
}

// ---- the service process, one per test suite ----

class CatalogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        service_ = new CatalogService;
        ASSERT_EQ(service_->start({}), "");
        port_ = service_->port();
    }

    static void TearDownTestSuite() { delete service_; }

    static HttpReply get(const std::string& target) { return HttpExchange(port_, "GET", target); }
    static HttpReply head(const std::string& target) { return HttpExchange(port_, "HEAD", target); }

    static std::vector<std::vector<std::string>> search(const std::string& keyword, int items = 1)
    {
        const HttpReply r = get("/searchmp3?type=5&keyword=" + QueryEncode(keyword) +
                            "&items=" + std::to_string(items));
        EXPECT_EQ(r.status, 200);
        return matchAll(kSearchPattern, r.body);
    }

    // The path of the only song the keyword finds.
    static std::string pathOfOnly(const std::string& keyword)
    {
        const auto hits = search(keyword);
        EXPECT_EQ(hits.size(), 1u) << keyword;
        if (hits.empty())
            return "/none";
        const std::string prefix = "http://127.0.0.1:" + std::to_string(port_);
        EXPECT_EQ(hits[0][0].rfind(prefix, 0), 0u);
        return hits[0][0].substr(prefix.size());
    }

    static std::string base() { return "http://127.0.0.1:" + std::to_string(port_); }

    static inline CatalogService* service_ = nullptr;
    static inline int port_ = 0;
};

// GBK bytes of the names used below.
const std::string kLinXiaolan = "\xC1\xD6\xCF\xFE\xE1\xB0";               // 林晓岚
const std::string kHaifeng = "\xBA\xA3\xB7\xE7\xD3\xEB\xB5\xC6\xCB\xFE";   // 海风与灯塔
const std::string kSuMuqing = "\xCB\xD5\xE3\xE5\xC7\xE7";                 // 苏沐晴
const std::string kYue = "\xAB\x68";                                       // 玥, trail byte "h"

// ---- search page structure ----

TEST_F(CatalogTest, PatternIsTheProgramsSixtyNineBytes)
{
    EXPECT_EQ(kSearchPattern.size(), 69u);
}

TEST_F(CatalogTest, SearchEntriesYieldAddressTitleSingerAlbum)
{
    const auto hits = search(kLinXiaolan);
    ASSERT_EQ(hits.size(), 6u);
    // The first song's title is wrapped in a bold tag; the pattern takes it with the tag.
    EXPECT_EQ(hits[0][0], base() + "/songs/1.mp3");
    EXPECT_EQ(hits[0][1], "<b>" + kHaifeng);
    EXPECT_EQ(stripTagsAndTrim(hits[0][1]), kHaifeng);
    EXPECT_EQ(hits[0][2], kLinXiaolan);
    EXPECT_EQ(hits[0][3], kHaifeng);
    for (const auto& h : hits) {
        EXPECT_EQ(h[2], kLinXiaolan);
        EXPECT_EQ(h[3], kHaifeng);
        EXPECT_EQ(h[0].find_first_of("\"'<> "), std::string::npos) << h[0];
    }
}

TEST_F(CatalogTest, EmptyAlbumTrimsToNothingWithoutSwallowingTheNextEntry)
{
    const auto hits = search("nova lin");
    ASSERT_EQ(hits.size(), 6u);
    EXPECT_EQ(hits[5][1], "Slow Dance");
    EXPECT_EQ(hits[5][2], "Nova Lin");
    EXPECT_EQ(stripTagsAndTrim(hits[5][3]), "");
    EXPECT_EQ(hits[4][1], "Glass Ocean");
}

TEST_F(CatalogTest, SongAddressesFollowTheHostHeader)
{
    HttpReply r = HttpExchange(port_, "GET", "/searchmp3?type=5&keyword=tidal&items=1", "",
                       "localhost:" + std::to_string(port_));
    auto hits = matchAll(kSearchPattern, r.body);
    ASSERT_FALSE(hits.empty());
    EXPECT_EQ(hits[0][0].rfind("http://localhost:" + std::to_string(port_) + "/songs/", 0), 0u);

    // A Host that would break out of the quotes is not copied into the page.
    r = HttpExchange(port_, "GET", "/searchmp3?type=5&keyword=tidal&items=1", "", "evil'><b>x");
    hits = matchAll(kSearchPattern, r.body);
    ASSERT_FALSE(hits.empty());
    EXPECT_EQ(hits[0][0].rfind(base() + "/songs/", 0), 0u);
}

TEST_F(CatalogTest, NoWordsOrNoHitsGiveAPageWithoutEntries)
{
    const HttpReply r = get("/searchmp3?type=5&keyword=+++&items=1");
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(matchAll(kSearchPattern, r.body).empty());
    EXPECT_TRUE(search("zzqqxx").empty());
}

// ---- paging ----

TEST_F(CatalogTest, PagesHoldTwentyAndItemsCountsFromOne)
{
    const auto page1 = search("e", 1);
    ASSERT_EQ(page1.size(), 20u);
    const auto shifted = search("e", 2);
    ASSERT_EQ(shifted.size(), 20u);
    for (std::size_t i = 0; i + 1 < page1.size(); ++i)
        EXPECT_EQ(shifted[i], page1[i + 1]);

    const auto page2 = search("e", 21);
    ASSERT_FALSE(page2.empty());
    std::set<std::string> seen;
    for (const auto& h : page1)
        seen.insert(h[0]);
    for (const auto& h : page2)
        EXPECT_EQ(seen.count(h[0]), 0u) << h[0];
}

TEST_F(CatalogTest, PastTheEndAndBadItemsValues)
{
    EXPECT_TRUE(search("luna", 7).empty());
    EXPECT_EQ(search("luna", 6).size(), 1u);
    EXPECT_TRUE(search("e", 2147483647).empty());
    const auto first = search("luna", 1);
    EXPECT_EQ(matchAll(kSearchPattern, get("/searchmp3?type=5&keyword=luna&items=0").body), first);
    EXPECT_EQ(matchAll(kSearchPattern, get("/searchmp3?type=5&keyword=luna&items=x").body), first);
    EXPECT_EQ(matchAll(kSearchPattern, get("/searchmp3?type=5&keyword=luna").body), first);
}

// ---- keyword matching ----

TEST_F(CatalogTest, LatinLettersMatchWithoutRegardToCase)
{
    EXPECT_EQ(search("HARBOR").size(), 6u);
    EXPECT_EQ(search("harbor").size(), 6u);
}

TEST_F(CatalogTest, EveryWordMustMatchSomeField)
{
    const auto hits = search("harbor lights");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0][1], "Harbor Lights");
    // Words may come from different fields: singer and title.
    const auto moon = search("nova moon");
    ASSERT_EQ(moon.size(), 1u);
    EXPECT_EQ(moon[0][1], "Paper Moon");
}

TEST_F(CatalogTest, ChineseKeywordMatchesGbkBytes)
{
    EXPECT_EQ(search(kSuMuqing).size(), 6u);
    const auto hits = search(kYue + " " + kSuMuqing);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0][1].substr(0, 2), kYue);
}

// The second byte of 玥 is the letter "h"; a keyword letter must not match it.
TEST_F(CatalogTest, LetterDoesNotMatchTheTrailByteOfAChineseCharacter)
{
    EXPECT_TRUE(search("h " + kSuMuqing).empty());
    EXPECT_TRUE(search("H " + kSuMuqing).empty());
}

// ---- how the song addresses answer ----

TEST_F(CatalogTest, GoodSongAnswersHeadWithLengthAndGetWithAnMp3)
{
    const std::string path = pathOfOnly("paper moon");
    const HttpReply h = head(path);
    EXPECT_EQ(h.status, 200);
    ASSERT_TRUE(h.has("content-length"));
    EXPECT_TRUE(h.body.empty());
    const HttpReply g = get(path);
    EXPECT_EQ(g.status, 200);
    EXPECT_EQ(h.header("content-length"), std::to_string(g.body.size()));
    EXPECT_GT(g.body.size(), 10000u);
    const auto b0 = static_cast<unsigned char>(g.body[0]);
    const auto b1 = static_cast<unsigned char>(g.body[1]);
    EXPECT_TRUE((b0 == 0xFF && (b1 & 0xE0) == 0xE0) || g.body.rfind("ID3", 0) == 0);
    EXPECT_EQ(g.header("content-type"), "audio/mpeg");
}

TEST_F(CatalogTest, SongsHaveDifferentTones)
{
    const auto hits = search(kLinXiaolan);
    ASSERT_GE(hits.size(), 3u);
    const std::string a = get(hits[1][0].substr(base().size())).body;
    const std::string b = get(hits[2][0].substr(base().size())).body;
    EXPECT_FALSE(a.empty());
    EXPECT_NE(a, b);
}

TEST_F(CatalogTest, DeadLinkAnswers404WithoutBody)
{
    const HttpReply h = head(pathOfOnly("\xC4\xA9\xB0\xE0\xB5\xD8\xCC\xFA"));   // 末班地铁
    EXPECT_EQ(h.status, 404);
    EXPECT_EQ(h.header("content-length"), "0");
    EXPECT_EQ(head("/songs/99999.mp3").status, 404);
}

TEST_F(CatalogTest, RedirectPointsAtAGoodSong)
{
    const HttpReply h = head(pathOfOnly("\xC7\xEF\xC7\xA7"));   // 秋千
    EXPECT_EQ(h.status, 302);
    ASSERT_TRUE(h.has("location"));
    const std::string target = h.header("location");
    ASSERT_EQ(target.rfind(base(), 0), 0u);
    EXPECT_EQ(head(target.substr(base().size())).status, 200);
}

TEST_F(CatalogTest, NoLengthSongIsChunkedAndStillDelivers)
{
    const std::string path = pathOfOnly("\xD2\xB0\xB2\xDD");   // 野草
    const HttpReply h = head(path);
    EXPECT_EQ(h.status, 200);
    EXPECT_FALSE(h.has("content-length"));
    const HttpReply g = get(path);
    EXPECT_GT(g.body.size(), 10000u);
    // Without a length there is no range to cut: a range request gets the whole body.
    const HttpReply ranged = HttpExchange(port_, "GET", path, "Range: bytes=0-\r\n");
    EXPECT_EQ(ranged.status, 200);
    EXPECT_EQ(ranged.body, g.body);
}

TEST_F(CatalogTest, ZeroLengthTinyAndBigSongs)
{
    const HttpReply zero = head(pathOfOnly("\xD3\xF6\xBC\xFB"));   // 遇见
    EXPECT_EQ(zero.status, 200);
    EXPECT_EQ(zero.header("content-length"), "0");

    const HttpReply tiny = get(pathOfOnly("snow globe"));
    EXPECT_EQ(tiny.status, 200);
    EXPECT_GE(tiny.body.size(), 1u);
    EXPECT_LE(tiny.body.size(), 1023u);
    EXPECT_EQ(tiny.header("content-length"), std::to_string(tiny.body.size()));

    const std::string bigPath = pathOfOnly("\xD1\xCC\xD3\xEA\xBD\xAD\xC4\xCF");   // 烟雨江南
    EXPECT_EQ(head(bigPath).header("content-length"), "5000000");
    EXPECT_EQ(get(bigPath).body.size(), 5000000u);
}

// ---- byte ranges ----

TEST_F(CatalogTest, RangeRequestGetsTheRightBytes)
{
    const std::string path = pathOfOnly("glass ocean");
    const std::string whole = get(path).body;
    ASSERT_GT(whole.size(), 200u);

    HttpReply r = HttpExchange(port_, "GET", path, "Range: bytes=100-109\r\n");
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.body, whole.substr(100, 10));
    EXPECT_EQ(r.header("content-range"), "bytes 100-109/" + std::to_string(whole.size()));

    r = HttpExchange(port_, "GET", path, "Range: bytes=-16\r\n");
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.body, whole.substr(whole.size() - 16));
}

// A range whose end lies past the body is cut at the body's end, with a matching length.
TEST_F(CatalogTest, RangeRunningPastTheEndIsCut)
{
    const std::string path = pathOfOnly("glass ocean");
    const std::string whole = get(path).body;
    const std::size_t from = whole.size() - 10;
    const HttpReply r = HttpExchange(port_, "GET", path,
                             "Range: bytes=" + std::to_string(from) + "-99999999\r\n");
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.header("content-length"), "10");
    EXPECT_EQ(r.body, whole.substr(from));
}

TEST_F(CatalogTest, RangeStartingPastTheEndIsUnsatisfiable)
{
    const std::string path = pathOfOnly("glass ocean");
    const std::string size = head(path).header("content-length");
    const HttpReply r = HttpExchange(port_, "GET", path, "Range: bytes=" + size + "-\r\n");
    EXPECT_EQ(r.status, 416);
    EXPECT_EQ(r.header("content-range"), "bytes */" + size);
    EXPECT_TRUE(r.body.empty());
}

TEST_F(CatalogTest, RangeInTheMiddleOfTheBigSong)
{
    const std::string path = pathOfOnly("\xD1\xCC\xD3\xEA\xBD\xAD\xC4\xCF");   // 烟雨江南
    const std::string whole = get(path).body;
    const HttpReply r = HttpExchange(port_, "GET", path, "Range: bytes=4999990-\r\n");
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.body, whole.substr(4999990));
}

// ---- hot list and recommendations ----

TEST_F(CatalogTest, HotListHasFixedRecordsInTheProgramsFormat)
{
    const HttpReply r = get("/hotlist.asp");
    EXPECT_EQ(r.status, 200);
    const auto records = matchAll(kHotListPattern, r.body);
    ASSERT_GE(records.size(), 5u);
    EXPECT_EQ(stripTagsAndTrim(records[0][0]), kHaifeng);
    EXPECT_EQ(records[0][1], base() + "/songs/1.mp3");
    EXPECT_EQ(records[0][2], kLinXiaolan);
    EXPECT_EQ(records[0][3], kHaifeng);
    EXPECT_NE(r.body.find("#<br>\r\n"), std::string::npos);
}

TEST_F(CatalogTest, RecommendationAppearsOnTheHotList)
{
    const std::string title = "\xC4\xE3 \xBA\xC3";   // 你 好
    const std::string url = "http://example.invalid/a b.mp3";
    const HttpReply answer = get("/recommend.asp?subject=" + QueryEncode(title) + "&url=" + QueryEncode(url) +
                             "&author=" + QueryEncode("Someone") + "&special=");
    EXPECT_EQ(answer.status, 200);
    EXPECT_FALSE(answer.body.empty());

    const auto records = matchAll(kHotListPattern, get("/hotlist.asp").body);
    ASSERT_FALSE(records.empty());
    const std::vector<std::string> expected{title, url, "Someone", ""};
    EXPECT_EQ(records.back(), expected);
}

// Separators inside a recommended field must not cut the record or start a false one.
TEST_F(CatalogTest, RecommendationCannotForgeRecords)
{
    const std::size_t before = matchAll(kHotListPattern, get("/hotlist.asp").body).size();
    get("/recommend.asp?subject=" + QueryEncode("A#<br>#B||http://x/y.mp3||C||D") +
        "&url=" + QueryEncode("http://h/s.mp3") + "&author=S&special=" + QueryEncode("E||F"));
    const auto records = matchAll(kHotListPattern, get("/hotlist.asp").body);
    ASSERT_EQ(records.size(), before + 1);
    EXPECT_EQ(records.back()[1], "http://h/s.mp3");
    EXPECT_EQ(records.back()[2], "S");
}

// ---- portal page and the process itself ----

TEST_F(CatalogTest, PortalPageIsGbkWithItsTitle)
{
    const HttpReply r = get("/index_quavrel.asp");
    EXPECT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("<title>Kitewood\xD3\xCE\xCF\xB7</title>"), std::string::npos);
    EXPECT_NE(r.body.find("<meta charset=\"gbk\">"), std::string::npos);
    EXPECT_EQ(r.body.find("http"), std::string::npos);   // nothing loaded from outside
}

TEST_F(CatalogTest, UnknownPathIs404)
{
    EXPECT_EQ(get("/nothing.asp").status, 404);
}

TEST(CatalogProcess, StopsCleanlyOnSigtermAndRejectsBadOptions)
{
    CatalogService service;
    ASSERT_EQ(service.start({}), "");
    EXPECT_EQ(service.get("/index_quavrel.asp").status, 200);
    EXPECT_EQ(service.stop(), 0);
    EXPECT_EQ(service.messages(), "");

    CatalogService bad;
    EXPECT_EQ(bad.run({"--bogus"}), 2);
}

}  // namespace
