// The catalogue service's pure rules, one by one: how tag bytes and file names are
// decoded, how song text is made safe for a page, how keywords split, how byte ranges and
// song addresses read, and the command line.
#include "tools/catalog/http_response.h"
#include "tools/catalog/http_server.h"
#include "tools/catalog/legacy_text.h"
#include "tools/catalog/options.h"
#include "tools/catalog/page_text.h"
#include "tools/catalog/song_address.h"
#include "tools/catalog/song_search.h"
#include "tools/catalog/tag_reader.h"

#include <gtest/gtest.h>

namespace quavrel::catalog {
namespace {

// ---- tag text of unknown encoding ----

TEST(LegacyText, GbkBytesOfTheCommonRangeAreChinese)
{
    EXPECT_EQ(DecodeLegacyText("\xC1\xF5\xB5\xC2\xBB\xAA"), "刘德华");
    EXPECT_EQ(DecodeLegacyText("Live \xB0\xE6 2004"), "Live 版 2004");
    EXPECT_EQ(DecodeLegacyText("\xA1\xB6\xBA\xEC\xB6\xB9\xA1\xB7"), "《红豆》");   // symbols row A1
}

TEST(LegacyText, LatinOneStaysLatinOne)
{
    EXPECT_EQ(DecodeLegacyText("Bj\xF6rk"), "Björk");         // F6 72: a GBK pair of the extension range
    EXPECT_EQ(DecodeLegacyText("R\xF3s"), "Rós");
    EXPECT_EQ(DecodeLegacyText("Caf\xE9"), "Café");           // a lead byte at the end pairs with nothing
    EXPECT_EQ(DecodeLegacyText("\xAA\xA1\xAA\xA2"), "ª¡ª¢");  // GBK's user-defined rows are never text
    EXPECT_EQ(DecodeLegacyText("plain"), "plain");
    EXPECT_EQ(DecodeLegacyText(""), "");
}

TEST(LegacyText, FileNamesAreUtf8OrElseGbk)
{
    EXPECT_EQ(DecodeFileName("周杰伦 - 晴天"), "周杰伦 - 晴天");
    EXPECT_EQ(DecodeFileName("\xD5\xC5\xD1\xA7\xD3\xD1"), "张学友");
    EXPECT_EQ(DecodeFileName("\xFF\xFF"), "\xEF\xBF\xBD\xEF\xBF\xBD");   // never dropped
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));                                // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));                            // a surrogate
    EXPECT_FALSE(IsValidUtf8("\xE6\x99"));                                // cut short
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x8E\xB5"));
}

TEST(LegacyText, FileNameFields)
{
    const SongFields both = FieldsFromFileName("陈奕迅 - 十年");
    EXPECT_EQ(both.singer, "陈奕迅");
    EXPECT_EQ(both.title, "十年");
    const SongFields numbered = FieldsFromFileName("07 - Yellow");
    EXPECT_EQ(numbered.track, 7);
    EXPECT_EQ(numbered.singer, "");
    EXPECT_EQ(numbered.title, "Yellow");
    EXPECT_EQ(FieldsFromFileName("just-a-title").title, "just-a-title");
    EXPECT_EQ(FieldsFromFileName("Singer - ").title, "Singer -");
}

// ---- song text on a page ----

TEST(PageText, SeparatorsBecomeFullWidthAndControlsBlanks)
{
    EXPECT_EQ(PageField("a\"b'c<d>e#f|g=h"),
              "a\xA3\xA2" "b\xA3\xA7" "c\xA3\xBC" "d\xA3\xBE" "e\xA3\xA3" "f\xA3\xFC" "g\xA3\xBD" "h");
    EXPECT_EQ(PageField(std::string("x\0y\r\nz", 6)), "x y  z");
    EXPECT_EQ(PageField("晴天 \xF0\x9F\x8E\xB5"), "\xC7\xE7\xCC\xEC ?");
}

TEST(PageText, GbkFieldsKeepTheirCharactersAndAreCut)
{
    // 玥 ends in the byte of "h", and 81 7C in the byte of "|": both stay whole.
    EXPECT_EQ(PageFieldFromGbk("\xAB\x68|\x81\x7C", 100), "\xAB\x68\xA3\xFC\x81\x7C");
    EXPECT_EQ(PageFieldFromGbk("abc\xC7\xE7", 4), "abc");   // never half a character
    EXPECT_EQ(PageFieldFromGbk("<script>", 100), "\xA3\xBCscript\xA3\xBE");
}

// ---- keywords ----

TEST(SearchTermsTest, SplitAtBlanksControlsAndTheIdeographicSpace)
{
    EXPECT_EQ(SearchTerms("  周杰伦\t晴天\xE3\x80\x80Live  "), (std::vector<std::string>{"周杰伦", "晴天", "Live"}));
    EXPECT_TRUE(SearchTerms(" \r\n ").empty());
    std::string many;
    for (int i = 0; i < 400; ++i)
        many += "a ";
    EXPECT_EQ(SearchTerms(many).size(), 16u);
}

// ---- byte ranges ----

TEST(ByteRanges, OneRangeIsHonouredAndCut)
{
    const ByteRange part = ResolveRange("bytes=10-19", 100);
    EXPECT_EQ(part.kind, ByteRange::Kind::Part);
    EXPECT_EQ(part.start, 10u);
    EXPECT_EQ(part.length, 10u);
    EXPECT_EQ(ResolveRange("bytes=90-", 100).length, 10u);
    EXPECT_EQ(ResolveRange("bytes=90-18446744073709551615", 100).length, 10u);
    EXPECT_EQ(ResolveRange("bytes=-30", 100).start, 70u);
    EXPECT_EQ(ResolveRange("bytes=-300", 100).length, 100u);
}

TEST(ByteRanges, OthersGetTheWholeBodyOrNothing)
{
    EXPECT_EQ(ResolveRange("", 100).kind, ByteRange::Kind::Whole);
    EXPECT_EQ(ResolveRange("bytes=0-1,5-6", 100).kind, ByteRange::Kind::Whole);
    EXPECT_EQ(ResolveRange("bytes=5-1", 100).kind, ByteRange::Kind::Whole);
    EXPECT_EQ(ResolveRange("items=1-2", 100).kind, ByteRange::Kind::Whole);
    EXPECT_EQ(ResolveRange("bytes=x-", 100).kind, ByteRange::Kind::Whole);
    EXPECT_EQ(ResolveRange("bytes=100-", 100).kind, ByteRange::Kind::Unsatisfiable);
    EXPECT_EQ(ResolveRange("bytes=-0", 100).kind, ByteRange::Kind::Unsatisfiable);
    EXPECT_EQ(ResolveRange("bytes=0-", 0).kind, ByteRange::Kind::Unsatisfiable);
}

// ---- song addresses ----

TEST(SongAddresses, OnlyNumberDotExtension)
{
    std::int64_t n = 0;
    std::string ext;
    EXPECT_TRUE(ReadSongPath("/songs/42.flac", n, ext));
    EXPECT_EQ(n, 42);
    EXPECT_EQ(ext, "flac");
    for (const char* bad : {"/songs/042.mp3", "/songs/0.mp3", "/songs/42", "/songs/42.", "/songs/42.MP3",
                            "/songs/42.mp3/x", "/songs/4 2.mp3", "/songs/1234567890123456.mp3", "/songs/../1.mp3",
                            "/Songs/1.mp3", "/songs/1.mp3.mp3"})
        EXPECT_FALSE(ReadSongPath(bad, n, ext)) << bad;
    EXPECT_EQ(SongUrl("[::1]:8531", 7, "ogg"), "http://[::1]:8531/songs/7.ogg");
}

TEST(SongAddresses, RecommendedAddressOfAnyHost)
{
    std::int64_t n = 0;
    EXPECT_TRUE(SongNumberInUrl("http://other-name:80/songs/12.flac", n));
    EXPECT_EQ(n, 12);
    EXPECT_TRUE(SongNumberInUrl("http://[fe80::1]/songs/3.mp3", n));
    EXPECT_FALSE(SongNumberInUrl("http://h/music/songs/3.mp3", n));
    EXPECT_FALSE(SongNumberInUrl("http://h/songs/3", n));
    EXPECT_FALSE(SongNumberInUrl("", n));
    EXPECT_TRUE(IsSafeHost("[fe80::1]:8531"));
    EXPECT_FALSE(IsSafeHost("a'b"));
    EXPECT_FALSE(IsSafeHost(std::string(300, 'a')));
}

// ---- the command line ----

Options parsed(std::vector<std::string> args, bool& ok)
{
    std::vector<char*> argv{const_cast<char*>("quavrel-catalog")};
    for (std::string& a : args)
        argv.push_back(a.data());
    Options options;
    std::string error;
    ok = ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error);
    return options;
}

TEST(CommandLine, OptionsAndTheirDefaults)
{
    bool ok = false;
    const Options o = parsed({"--library", "/a", "--library", "/b c", "--listen", "::", "--port", "0"}, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(o.libraries, (std::vector<std::string>{"/a", "/b c"}));
    EXPECT_EQ(o.listen, "::");
    EXPECT_EQ(o.port, 0);
    const Options d = parsed({}, ok);
    EXPECT_EQ(d.listen, "127.0.0.1");
    EXPECT_EQ(d.port, 8531);
    EXPECT_TRUE(d.libraries.empty());
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--port", "-1"}, {"--port", "65536"}, {"--check-every", "0"}, {"--max-watches", "x"}, {"--library"}, {"--frobnicate"}}) {
        parsed(bad, ok);
        EXPECT_FALSE(ok) << bad[0];
    }
}

TEST(CommandLine, DefaultDatabaseFollowsTheCacheFolder)
{
    ::setenv("XDG_CACHE_HOME", "/tmp/cache-here", 1);
    EXPECT_EQ(DefaultDatabasePath(), "/tmp/cache-here/quavrel/catalog.db");
    ::setenv("XDG_CACHE_HOME", "relative", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(DefaultDatabasePath(), "/home/someone/.cache/quavrel/catalog.db");
}

TEST(CommandLine, ConnectionBudgetLeavesDescriptorsForFiles)
{
    EXPECT_EQ(ConnectionBudget(256), 96u);
    EXPECT_EQ(ConnectionBudget(1u << 20), 1024u);
    EXPECT_GE(ConnectionBudget(10), 1u);
}

}  // namespace
}  // namespace quavrel::catalog
