// The catalogue service over a music library of the test's own, through the wire: every
// tag and file-name case as the program's page parser reads it, the search, the song
// addresses, the hot list and the portal page.
#include "tests/tools/catalog_library.h"

#include "tests/support/temp_dir.h"

#include <filesystem>
#include <set>

namespace quavrel::test {
namespace {

class CatalogLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        library_ = new LibraryFolder;
        const LibraryFolder& l = *library_;
        // Unicode tags, as they are meant to be.
        WriteMp3(l.file("周杰伦/叶惠美/01.mp3"), {"晴天", "周杰伦", "叶惠美", 3}, TagForm::Id3v2Utf16);
        WriteMp3(l.file("周杰伦/叶惠美/02.mp3"), {"以父之名", "周杰伦", "叶惠美", 1}, TagForm::Id3v2Utf8);
        WriteMp3(l.file("周杰伦/叶惠美/03.mp3"), {"东风破", "周杰伦", "叶惠美", 2}, TagForm::Id3v2Utf8);
        // An album named after a title elsewhere: the song whose title matches comes first.
        WriteMp3(l.file("others/a.mp3"), {"雨后", "阿杜", "晴天", 1}, TagForm::Id3v2Utf8);
        // GBK bytes in the single-byte frames of old Chinese taggers.
        WriteMp3(l.file("old/liu.mp3"), {gbk("忘情水"), gbk("刘德华"), gbk("真永远"), 0}, TagForm::Id3v2Bytes);
        WriteMp3(l.file("old/wang.mp3"), {gbk("红豆"), gbk("王菲"), gbk("唱游"), 0}, TagForm::Id3v1Bytes);
        // Real Latin-1: an accented letter before an ASCII letter is a GBK pair of the
        // extension range, and must stay Latin-1.
        WriteMp3(l.file("west/joga.mp3"), {"J\xF3ga", "Bj\xF6rk", "Homogenic", 0}, TagForm::Id3v2Bytes);
        WriteMp3(l.file("west/hoppipolla.mp3"), {"Hoppipolla", "Sigur R\xF3s", "Takk", 0}, TagForm::Id3v1Bytes);
        // No tags: singer and title from the file name, the album from the folder.
        WriteMp3(l.file("黑白灰/陈奕迅 - 十年.mp3"), {}, TagForm::None);
        WriteMp3(l.file("\xBA\xDA\xB0\xD7/\xD5\xC5\xD1\xA7\xD3\xD1 - \xCE\xC7\xB1\xF0.mp3"), {}, TagForm::None);
        // Characters that would break the page, and one that GBK cannot hold.
        WriteMp3(l.file("odd/quotes.mp3"), {"Say \"hi\" <b>#1</b> | a=b 'x'", "Odd Singer", "Odd", 0},
                 TagForm::Id3v2Utf8);
        WriteMp3(l.file("odd/emoji.mp3"), {"\xF0\x9F\x8E\xB5 Melody", "Emoji Band", "Odd", 0}, TagForm::Id3v2Utf8);
        WriteMp3(l.file("odd/zzfilenameonly.mp3"), {"Plain", "Nobody", "Odd", 0}, TagForm::Id3v2Utf8);
        // The other audio types.
        WriteEncoded(l.file("types/song.flac"), {"Flac Song", "Typist", "Types", 1});
        WriteEncoded(l.file("types/song.ogg"), {"Vorbis Song", "Typist", "Types", 2});
        WriteEncoded(l.file("types/song.opus"), {"Opus Song", "Typist", "Types", 3});
        WriteEncoded(l.file("types/song.wav"), {"Wave Song", "Typist", "Types", 4});
        // Enough songs of one singer for three pages.
        for (int i = 1; i <= 45; ++i)
            WriteMp3(l.file("pages/" + std::to_string(i) + ".mp3"), {"Page Song " + std::to_string(i), "Pager", "Pages", i},
                     TagForm::Id3v2Utf8);
        service_ = new CatalogService;
        ASSERT_EQ(service_->start(l.serviceArgs()), "");
        ASSERT_TRUE(service_->waitForMessage("scan finished")) << service_->messages();
    }

    static void TearDownTestSuite()
    {
        delete service_;
        delete library_;
    }

    static const CatalogService& service() { return *service_; }

    static inline LibraryFolder* library_ = nullptr;
    static inline CatalogService* service_ = nullptr;
};

// ---- tags and file names, as the program reads them ----

TEST_F(CatalogLibraryTest, UnicodeTagsAreServedAsGbk)
{
    const Found song = Only(service(), "以父之名");
    EXPECT_EQ(song.title, gbk("以父之名"));
    EXPECT_EQ(song.singer, gbk("周杰伦"));
    EXPECT_EQ(song.album, gbk("叶惠美"));
}

TEST_F(CatalogLibraryTest, GbkBytesInOldTagsBecomeChinese)
{
    const Found liu = Only(service(), "忘情水");
    EXPECT_EQ(liu.singer, gbk("刘德华"));
    EXPECT_EQ(liu.album, gbk("真永远"));
    const Found wang = Only(service(), "王菲");
    EXPECT_EQ(wang.title, gbk("红豆"));
    EXPECT_EQ(wang.album, gbk("唱游"));
}

// "ó" is in GBK and comes back as such; "ö" is not, and becomes "?" while the song stays
// findable by its other fields.
TEST_F(CatalogLibraryTest, LatinOneTagsStayLatinOne)
{
    const Found joga = Only(service(), "Homogenic");
    EXPECT_EQ(joga.title, gbk("Jóga"));
    EXPECT_EQ(joga.singer, "Bj?rk");
    const Found sigur = Only(service(), "Hoppipolla");
    EXPECT_EQ(sigur.singer, gbk("Sigur Rós"));
}

TEST_F(CatalogLibraryTest, FileNameGivesSingerAndTitleAndFolderTheAlbum)
{
    const Found tenYears = Only(service(), "十年");
    EXPECT_EQ(tenYears.singer, gbk("陈奕迅"));
    EXPECT_EQ(tenYears.album, gbk("黑白灰"));
    // A name made on Windows, in GBK bytes, is decoded rather than dropped.
    const Found kiss = Only(service(), "吻别");
    EXPECT_EQ(kiss.singer, gbk("张学友"));
    EXPECT_EQ(kiss.album, gbk("黑白"));
}

TEST_F(CatalogLibraryTest, SeparatorsInTagsBecomeFullWidthAndEveryEntryStaysWhole)
{
    const std::vector<Found> odd = Search(service(), "odd");
    ASSERT_EQ(odd.size(), 3u);
    std::set<std::string> titles;
    for (const Found& f : odd) {
        titles.insert(f.title);
        EXPECT_EQ(f.album, "Odd");
        EXPECT_EQ(f.url.find_first_of("\"'<> "), std::string::npos) << f.url;
    }
    EXPECT_TRUE(titles.count(gbk("Say ＂hi＂ ＜b＞＃1＜/b＞ ｜ a＝b ＇x＇"))) << *titles.begin();
    EXPECT_TRUE(titles.count("? Melody"));
}

TEST_F(CatalogLibraryTest, EveryAudioTypeIsServedUnderItsOwnExtension)
{
    const std::vector<Found> types = Search(service(), "typist");
    ASSERT_EQ(types.size(), 4u);
    const char* expected[] = {".flac", ".ogg", ".opus", ".wav"};   // in track order
    for (std::size_t i = 0; i < types.size(); ++i) {
        EXPECT_NE(types[i].url.find(expected[i]), std::string::npos) << types[i].url;
        const HttpReply h = service().head(PathOf(service(), types[i]));
        EXPECT_EQ(h.status, 200);
        const std::string file = library_->music() + "/types/song" + expected[i];
        EXPECT_EQ(h.header("content-length"), std::to_string(std::filesystem::file_size(file)));
    }
}

// ---- the search ----

TEST_F(CatalogLibraryTest, OneTwoAndThreeCharacterKeywords)
{
    EXPECT_EQ(Search(service(), "雨").size(), 1u);
    EXPECT_EQ(Search(service(), "晴天").size(), 2u);
    EXPECT_EQ(Search(service(), "周杰伦").size(), 3u);
    EXPECT_EQ(Search(service(), "Ж").size(), 0u);
}

TEST_F(CatalogLibraryTest, AsciiLettersMatchWithoutRegardToCase)
{
    EXPECT_EQ(Search(service(), "HOMOGENIC").size(), 1u);
    EXPECT_EQ(Search(service(), "homogenic").size(), 1u);
    EXPECT_EQ(Search(service(), "oG").size(), 1u);
}

TEST_F(CatalogLibraryTest, EveryTermMustOccurInSomeFieldOrTheFileName)
{
    EXPECT_EQ(Search(service(), "周杰伦 东风").size(), 1u);
    EXPECT_EQ(Search(service(), "周杰伦 Homogenic").size(), 0u);
    const Found plain = Only(service(), "zzfilenameonly");
    EXPECT_EQ(plain.title, "Plain");
    EXPECT_EQ(Search(service(), "   ").size(), 0u);
}

TEST_F(CatalogLibraryTest, TitleMatchesComeFirstThenSingerAlbumTrack)
{
    const std::vector<Found> sunny = Search(service(), "晴天");
    ASSERT_EQ(sunny.size(), 2u);
    EXPECT_EQ(sunny[0].title, gbk("晴天"));
    EXPECT_EQ(sunny[1].title, gbk("雨后"));
    const std::vector<Found> jay = Search(service(), "叶惠美");
    ASSERT_EQ(jay.size(), 3u);
    EXPECT_EQ(jay[0].title, gbk("以父之名"));
    EXPECT_EQ(jay[1].title, gbk("东风破"));
    EXPECT_EQ(jay[2].title, gbk("晴天"));
}

TEST_F(CatalogLibraryTest, PagingByItemsAsTheProgramPages)
{
    const std::vector<Found> first = Search(service(), "pager", 1);
    const std::vector<Found> second = Search(service(), "pager", 21);
    const std::vector<Found> third = Search(service(), "pager", 41);
    ASSERT_EQ(first.size(), 20u);
    ASSERT_EQ(second.size(), 20u);
    ASSERT_EQ(third.size(), 5u);
    EXPECT_EQ(first[0].title, "Page Song 1");
    EXPECT_EQ(third[4].title, "Page Song 45");
    std::set<std::string> urls;
    for (const auto* page : {&first, &second, &third}) {
        for (const Found& f : *page)
            urls.insert(f.url);
    }
    EXPECT_EQ(urls.size(), 45u);
    EXPECT_TRUE(Search(service(), "pager", 46).empty());
    EXPECT_EQ(Search(service(), "pager", 2)[0], first[1]);
}

// ---- song addresses ----

TEST_F(CatalogLibraryTest, AddressesNameTheHostTheRequestReached)
{
    const std::string target = "/searchmp3?type=5&keyword=homogenic&items=1";
    for (const std::string host : {"music-box:8531", "[fe80::1]:8531", "192.168.1.9"}) {
        const std::vector<Found> found = foundIn(HttpExchange(service().port(), "GET", target, "", host).body);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].url.rfind("http://" + host + "/songs/", 0), 0u) << found[0].url;
    }
    const std::vector<Found> unsafe = foundIn(HttpExchange(service().port(), "GET", target, "", "x'><b").body);
    ASSERT_EQ(unsafe.size(), 1u);
    EXPECT_EQ(unsafe[0].url.rfind(service().base() + "/songs/", 0), 0u);
}

TEST_F(CatalogLibraryTest, HeadGetAndRangeGiveTheFilesExactBytes)
{
    const std::string path = PathOf(service(), Only(service(), "以父之名"));
    const std::string file = readFile(library_->music() + "/周杰伦/叶惠美/02.mp3");
    const HttpReply h = service().head(path);
    EXPECT_EQ(h.status, 200);
    EXPECT_EQ(h.header("content-length"), std::to_string(file.size()));
    EXPECT_EQ(h.header("content-type"), "audio/mpeg");
    EXPECT_EQ(service().get(path).body, file);
    const HttpReply part = service().get(path, "Range: bytes=10-19\r\n");
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.body, file.substr(10, 10));
    EXPECT_EQ(part.header("content-range"), "bytes 10-19/" + std::to_string(file.size()));
    EXPECT_EQ(service().get(path, "Range: bytes=" + std::to_string(file.size()) + "-\r\n").status, 416);
}

TEST_F(CatalogLibraryTest, NothingButIndexedSongsIsEverServed)
{
    const std::string path = PathOf(service(), Only(service(), "以父之名"));   // "/songs/N.mp3"
    const std::string number = path.substr(7, path.find('.') - 7);
    for (const std::string& trick : std::vector<std::string>{"/songs/" + number + ".flac", "/songs/0" + number + ".mp3", "/songs/" + number, "/songs/" + number + ".mp3/",
          "/songs/" + number + ".mp3/../../../etc/passwd", "/songs/../../etc/passwd", "/songs/%2e%2e/%2e%2e/etc/passwd",
          "/songs/-1.mp3", "/songs/99999999.mp3", "/etc/passwd", "//etc/passwd", "/songs/" + number + ".mp3%00",
          "/" + library_->music() + "/west/joga.mp3", "/songs/1e3.mp3"}) {
        EXPECT_EQ(service().get(trick).status, 404) << trick;
    }
    EXPECT_EQ(service().get(path + "?x=1").status, 200);
}

// ---- hot list, recommendations, plays ----

TEST_F(CatalogLibraryTest, HotListHasRecommendedThenPlayedSongsAtMostFifty)
{
    const Found joga = Only(service(), "Homogenic");
    const Found kiss = Only(service(), "吻别");
    // A recommendation names the song by its path, whatever host the client used.
    const std::string otherHost = "http://another-name:80" + PathOf(service(), joga);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(service().get("/recommend.asp?subject=x&url=" + QueryEncode(otherHost) + "&author=a&special=").status,
                  200);
    service().get("/recommend.asp?subject=x&url=" + QueryEncode(kiss.url) + "&author=<script>&special=");
    // Addresses that are not songs of this library count for nothing.
    service().get("/recommend.asp?subject=x&url=" + QueryEncode("http://elsewhere/a.mp3") + "&author=a&special=");
    service().get("/recommend.asp?subject=x&url=" + QueryEncode("http://h/songs/99999.mp3") + "&author=a&special=");
    // Plays: 52 songs fetched from byte 0 once; one of them four times by one client.
    for (const int items : {1, 21, 41}) {
        for (const Found& f : Search(service(), "pager", items))
            service().get(PathOf(service(), f), "Range: bytes=0-\r\n");
    }
    for (const char* keyword : {"周杰伦", "刘德华", "王菲"}) {
        for (const Found& f : Search(service(), keyword))
            service().get(PathOf(service(), f));
    }
    const Found many = Search(service(), "pager", 1)[5];
    for (int i = 0; i < 3; ++i)
        service().get(PathOf(service(), many));
    // HEAD and a seek into the middle are no plays.
    const Found tenYears = Only(service(), "十年");
    service().head(PathOf(service(), tenYears));
    service().get(PathOf(service(), tenYears), "Range: bytes=100-\r\n");
    // Another client's play counts once more.
    HttpExchange(service().port(), "GET", PathOf(service(), many), "", "", "127.0.0.2");

    std::vector<Found> hot;
    ASSERT_TRUE(WaitUntil([&] {
        hot = HotList(service());
        return hot.size() == 50 && hot[2] == many;
    })) << hot.size();
    EXPECT_EQ(hot[0], joga);
    EXPECT_EQ(hot[1], kiss);
    for (const Found& f : hot) {
        EXPECT_NE(f, tenYears);
        EXPECT_EQ(f.url.find("elsewhere"), std::string::npos);
    }
    EXPECT_EQ(service().get("/hotlist.asp").body.find("<script>"), std::string::npos);
}

TEST_F(CatalogLibraryTest, HugeOrHostileRecommendationsChangeNothing)
{
    const std::string before = service().get("/hotlist.asp").body;
    const std::string huge(12000, 'A');
    for (const std::string& query : std::vector<std::string>{"subject=" + huge + "&url=" + huge + "&author=" + huge + "&special=" + huge,
          "subject=%00%0D%0A&url=%00&author=%FF%FE&special=%",
          "url=" + QueryEncode("http://x/songs/1.mp3#<br>#evil||http://x||y||z#<br>"), "url=&url=&url="}) {
        const HttpReply r = service().get("/recommend.asp?" + query);
        EXPECT_TRUE(r.status == 200 || r.status == 414 || r.status == 431 || r.status == 413) << r.status;
    }
    EXPECT_TRUE(WaitUntil([&] { return service().get("/hotlist.asp").status == 200; }));
    EXPECT_EQ(service().get("/hotlist.asp").body.find("evil"), std::string::npos);
    EXPECT_EQ(foundIn(service().get("/hotlist.asp").body, true).size(), foundIn(before, true).size());
}

// ---- the portal page ----

TEST_F(CatalogLibraryTest, PortalPageShowsTheLibrary)
{
    const HttpReply r = service().get("/index_quavrel.asp");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.header("content-type"), "text/html; charset=gbk");
    EXPECT_NE(r.body.find(gbk("共有歌曲 62 首，歌手 13 位，专辑 11 张")), std::string::npos);
    EXPECT_NE(r.body.find(gbk("最新加入")), std::string::npos);
    EXPECT_EQ(r.body.find(gbk("正在扫描")), std::string::npos);
    // Tags are text on the page, never markup.
    EXPECT_EQ(r.body.find("<b>#1"), std::string::npos);
}

}  // namespace
}  // namespace quavrel::test
