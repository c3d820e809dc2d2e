// Recommendation and download over a scripted loopback server.
#include <gtest/gtest.h>

#include <filesystem>

#include "songs/download.h"
#include "songs/recommend.h"
#include "songs/services.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"

using namespace quavrel;
using namespace quavrel::test;

namespace {

// Points the maker's server at the scripted server for one test.
class MakerServerScope {
public:
    explicit MakerServerScope(const ScriptedServer& server) : saved_(services())
    {
        ServiceAddresses addresses = saved_;
        addresses.makerServer = "127.0.0.1:" + std::to_string(server.port());
        setServices(addresses);
    }
    ~MakerServerScope() { setServices(saved_); }

private:
    ServiceAddresses saved_;
};

TMedia song(std::string title, std::string url, std::string singer, std::string album)
{
    TMedia media;
    media.Title = std::move(title);
    media.Url = std::move(url);
    media.Singer = std::move(singer);
    media.Album = std::move(album);
    return media;
}

}  // namespace

// ---- Recommendation request ----

TEST(Recommend, EncodesEveryFieldOnceInItsOrder)
{
    const TMedia media = song("a b", "http://h/x.mp3", "\xB0\xAE", "");
    // A blank becomes "+", the address is fully encoded, an empty album ends the query.
    EXPECT_EQ(RecommendPath(media),
              "/recommend.asp?subject=a+b&url=http%3A%2F%2Fh%2Fx%2Emp3&author=%B0%AE&special=");
}

TEST(Recommend, SendsTheRequestLineToTheMakerServer)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("ok")));
    MakerServerScope scope(server);
    EXPECT_TRUE(SendRecommendation(song("t", "u", "s", "a")));
    EXPECT_EQ(server.request(0).rfind("GET /recommend.asp?subject=t&url=u&author=s&special=a HTTP/1.1\r\n", 0), 0u)
        << server.request(0);
}

TEST(Recommend, ReportsFailureWhenTheServerIsDown)
{
    uint16_t deadPort;
    {
        ScriptedServer server;  // bound, then closed: nothing listens there any more
        deadPort = server.port();
    }
    ServiceAddresses saved = services(), addresses = saved;
    addresses.makerServer = "127.0.0.1:" + std::to_string(deadPort);
    setServices(addresses);
    EXPECT_FALSE(SendRecommendation(song("t", "u", "s", "a")));
    setServices(saved);
}

TEST(Recommend, ReportsFailureOnAnErrorStatus)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("", "HTTP/1.1 500 Internal Server Error")));
    MakerServerScope scope(server);
    EXPECT_FALSE(SendRecommendation(song("t", "u", "s", "a")));
}

// ---- Download ----

TEST(Download, SuggestsTheNameAfterTheLastSlash)
{
    EXPECT_EQ(SuggestedFileName("http://h/dir/song.mp3"), "song.mp3");
    EXPECT_EQ(SuggestedFileName("http://h/dir/"), "");
    EXPECT_EQ(SuggestedFileName("song.mp3"), "");
    EXPECT_EQ(SuggestedFileName("http://h/a.mp3?x=1/2"), "2");
    EXPECT_EQ(SuggestedFileName("http://h/%B0%AE.mp3"), "%B0%AE.mp3");
}

TEST(Download, WritesTheWholeBodyReplacingAnOldFile)
{
    ScriptedServer server;
    const std::string body(100000, 'x');
    server.add(Script().answer(HttpResponseText(body)));
    TempDir dir;
    writeFile(dir.file("song.mp3"), "old contents");
    DownloadSong(server.url("/song.mp3"), dir.file("song.mp3"));
    EXPECT_EQ(readFile(dir.file("song.mp3")), body);
}

TEST(Download, AnEmptyBodyGivesAnEmptyFile)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("")));
    TempDir dir;
    DownloadSong(server.url("/empty.mp3"), dir.file("empty.mp3"));
    EXPECT_TRUE(std::filesystem::exists(dir.file("empty.mp3")));
    EXPECT_EQ(readFile(dir.file("empty.mp3")), "");
}

TEST(Download, A404CreatesNoFileAndCarriesTheStatusLine)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("", "HTTP/1.1 404 Not Found")));
    TempDir dir;
    try {
        DownloadSong(server.url("/missing.mp3"), dir.file("missing.mp3"));
        FAIL() << "no exception";
    } catch (const EIdHTTPProtocolException& e) {
        EXPECT_EQ(e.message(), "HTTP/1.1 404 Not Found");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.mp3")));
}

TEST(Download, AFailedFetchLeavesAnExistingFileAlone)
{
    ScriptedServer server;
    server.add(Script().read().reset());
    TempDir dir;
    writeFile(dir.file("keep.mp3"), "keep me");
    EXPECT_THROW(DownloadSong(server.url("/x.mp3"), dir.file("keep.mp3")), EIdException);
    EXPECT_EQ(readFile(dir.file("keep.mp3")), "keep me");
}

TEST(Download, AFolderThatDoesNotExistGivesCannotCreateFile)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("abc")));
    TempDir dir;
    const std::string path = dir.file("no/such/folder/x.mp3");
    try {
        DownloadSong(server.url("/x.mp3"), path);
        FAIL() << "no exception";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.message(), "Cannot create file \"" + path + "\". No such file or directory");
    }
}

TEST(Download, ReportsProgressUpToTheTotal)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText(std::string(200000, 'y'))));
    TempDir dir;
    int64_t lastReceived = -1, lastTotal = 0;
    DownloadSong(server.url("/p.mp3"), dir.file("p.mp3"), [&](int64_t received, int64_t total) {
        EXPECT_GE(received, lastReceived);
        lastReceived = received;
        lastTotal = total;
    });
    EXPECT_EQ(lastReceived, 200000);
    EXPECT_EQ(lastTotal, 200000);
}

// The client keeps what arrived before an early close; a song cut short is not a success.
TEST(Download, ABodyCutShortIsNotSaved)
{
    ScriptedServer server;
    server.add(Script().read().send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" +
                                    std::string(70000, 'a')).close());
    TempDir dir;
    EXPECT_THROW(DownloadSong(server.url("/cut.mp3"), dir.file("cut.mp3")), EIdConnClosedGracefully);
    EXPECT_FALSE(std::filesystem::exists(dir.file("cut.mp3")));
}
