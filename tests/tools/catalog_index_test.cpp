// The catalogue's index as a user meets it across runs: restarts, song numbers that stay
// with their files, a damaged or foreign database, two services on one database, and the
// command line.
#include "tests/tools/catalog_library.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

namespace quavrel::test {
namespace {

void addSongs(const LibraryFolder& l)
{
    WriteMp3(l.file("a/one.mp3"), {"First Light", "Alpha", "Dawn", 1}, TagForm::Id3v2Utf8);
    WriteMp3(l.file("a/two.mp3"), {"Second Wind", "Alpha", "Dawn", 2}, TagForm::Id3v2Utf8);
    WriteMp3(l.file("b/three.mp3"), {"晴天", "周杰伦", "叶惠美", 3}, TagForm::Id3v2Utf16);
}

void startScanned(CatalogService& service, const LibraryFolder& l)
{
    ASSERT_EQ(service.start(l.serviceArgs()), "");
    ASSERT_TRUE(service.waitForMessage("scan finished")) << service.messages();
}

// Overwrites `length` bytes at `offset` of a file.
void damage(const std::string& path, std::size_t offset, std::size_t length)
{
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(offset));
    const std::string junk(length, '\x5A');
    f.write(junk.data(), static_cast<std::streamsize>(length));
}

// ---- restarts and song numbers ----

TEST(CatalogIndex, RestartAnswersFromTheIndexAndKeepsEveryNumber)
{
    LibraryFolder l;
    addSongs(l);
    CatalogService first;
    startScanned(first, l);
    const Found one = Only(first, "first light"), sunny = Only(first, "晴天");
    EXPECT_EQ(first.stop(), 0);

    CatalogService again;
    ASSERT_EQ(again.start(l.serviceArgs()), "");
    // Before its check of the folder has finished, the index already answers.
    EXPECT_EQ(PathOf(again, Only(again, "first light")), PathOf(first, one));
    EXPECT_EQ(Only(again, "晴天").title, gbk("晴天"));
    ASSERT_TRUE(again.waitForMessage("scan finished"));
    EXPECT_NE(again.messages().find(" 0 songs indexed"), std::string::npos) << again.messages();
    EXPECT_EQ(PathOf(again, Only(again, "晴天")), PathOf(first, sunny));
}

// A saved play list keeps song addresses: a renamed file keeps its number, a removed
// song's number is never given to another file, and a file that comes back gets its own.
TEST(CatalogIndex, NumbersStayWithTheirFilesAcrossRenamesAndRemovals)
{
    LibraryFolder l;
    addSongs(l);
    CatalogService service;
    startScanned(service, l);
    const Found one = Only(service, "first light"), two = Only(service, "second wind");
    service.kill9();   // no clean stop: the index must still be whole

    std::filesystem::rename(l.music() + "/a/one.mp3", l.file("moved/renamed.mp3"));
    const std::string keep = readFile(l.music() + "/a/two.mp3");
    std::filesystem::remove(l.music() + "/a/two.mp3");
    WriteMp3(l.file("c/new.mp3"), {"Third Eye", "Beta", "Dusk", 1}, TagForm::Id3v2Utf8);
    CatalogService after;
    startScanned(after, l);
    EXPECT_EQ(PathOf(after, Only(after, "first light")), PathOf(service, one));
    EXPECT_EQ(after.head(PathOf(service, two)).status, 404);
    const std::string fresh = PathOf(after, Only(after, "third eye"));
    EXPECT_NE(fresh, PathOf(service, two));
    EXPECT_NE(fresh, PathOf(service, one));
    after.stop();

    writeFile(l.music() + "/a/two.mp3", keep);
    CatalogService back;
    startScanned(back, l);
    EXPECT_EQ(PathOf(back, Only(back, "second wind")), PathOf(service, two));
}

// ---- a database that cannot be used ----

TEST(CatalogIndex, DamagedDatabaseIsSetAsideAndRebuiltKeepingNumbers)
{
    LibraryFolder l;
    // 晴天 is indexed first, so a fresh scan in folder order would number it last.
    WriteMp3(l.file("b/three.mp3"), {"晴天", "周杰伦", "叶惠美", 3}, TagForm::Id3v2Utf16);
    CatalogService first;
    startScanned(first, l);
    const Found sunny = Only(first, "晴天");
    first.stop();
    addSongs(l);
    CatalogService more;
    startScanned(more, l);
    more.stop();
    // The file's last pages hold the full-text indexes; the song table comes first.
    const std::size_t size = std::filesystem::file_size(l.database());
    damage(l.database(), size - 4096 * 3, 4096 * 2);

    CatalogService second;
    startScanned(second, l);
    EXPECT_NE(second.messages().find("set aside as " + l.database() + ".bad"), std::string::npos)
        << second.messages();
    EXPECT_TRUE(std::filesystem::exists(l.database() + ".bad"));
    EXPECT_EQ(PathOf(second, Only(second, "晴天")), PathOf(first, sunny));
    EXPECT_EQ(Search(second, "alpha").size(), 2u);
}

TEST(CatalogIndex, ForeignFileWhereTheDatabaseShouldBeIsSetAside)
{
    LibraryFolder l;
    addSongs(l);
    writeFile(l.database(), "These are my notes, not a database.\n");
    CatalogService service;
    startScanned(service, l);
    EXPECT_NE(service.messages().find("set aside"), std::string::npos);
    EXPECT_EQ(readFile(l.database() + ".bad"), "These are my notes, not a database.\n");
    EXPECT_EQ(Search(service, "alpha").size(), 2u);
}

TEST(CatalogIndex, SecondServiceOnOneDatabaseIsRefused)
{
    LibraryFolder l;
    addSongs(l);
    CatalogService first;
    startScanned(first, l);
    CatalogService second;
    EXPECT_NE(second.start(l.serviceArgs()), "");
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_NE(second.messages().find("in use by another quavrel-catalog"), std::string::npos) << second.messages();
    EXPECT_EQ(Search(first, "alpha").size(), 2u);
}

// ---- the command line ----

TEST(CatalogCommandLine, MissingLibraryFolderIsAClearErrorWithExitTwo)
{
    LibraryFolder l;
    CatalogService service;
    EXPECT_EQ(service.run({"--library", l.music() + "/nowhere", "--database", l.database()}), 2);
    EXPECT_NE(service.messages().find("the library folder " + l.music() + "/nowhere does not exist"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(l.database()));
}

TEST(CatalogCommandLine, HelpListsEveryOption)
{
    const char* bin = std::getenv("QUAVREL_CATALOG");
    ASSERT_NE(bin, nullptr);
    TempDir dir;
    const int rc = std::system((std::string(bin) + " --help > " + dir.file("help")).c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 0);
    const std::string help = readFile(dir.file("help"));
    for (const char* option : {"--library", "--music-folder", "--database", "--listen", "--port", "--print-port",
                               "--check-every", "--max-watches", "--assets", "--help"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    CatalogService bad;
    EXPECT_EQ(bad.run({"--port", "70000"}), 2);
    EXPECT_EQ(bad.run({"--library"}), 2);
}

// The user's music folder is where `xdg-user-dir MUSIC` says; without one, one clear
// message and exit 2 (which the systemd unit does not restart).
TEST(CatalogCommandLine, MusicFolderComesFromTheUsersFolders)
{
    TempDir home;
    const std::string config = home.file("config");
    std::filesystem::create_directories(config);
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("XDG_CACHE_HOME", home.file("cache").c_str(), 1);
    CatalogService none;
    EXPECT_EQ(none.run({"--music-folder"}), 2);
    EXPECT_NE(none.messages().find("has no music folder"), std::string::npos) << none.messages();

    writeFile(config + "/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_MUSIC_DIR=\"$HOME/\xE9\x9F\xB3\xE4\xB9\x90\"\n");
    CatalogService missing;
    EXPECT_EQ(missing.run({"--music-folder"}), 2);
    EXPECT_NE(missing.messages().find("does not exist"), std::string::npos);

    std::filesystem::create_directories(home.file("\xE9\x9F\xB3\xE4\xB9\x90"));
    WriteMp3(home.file("\xE9\x9F\xB3\xE4\xB9\x90/x.mp3"), {"Home Song", "Me", "Mine", 1}, TagForm::Id3v2Utf8);
    CatalogService music;
    ASSERT_EQ(music.start({"--music-folder"}), "");
    ASSERT_TRUE(music.waitForMessage("scan finished"));
    EXPECT_EQ(Search(music, "home song").size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(home.file("cache/quavrel/catalog.db")));
}

TEST(CatalogCommandLine, DemoCatalogueOpensNoDatabase)
{
    TempDir cache;
    ::setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    CatalogService demo;
    ASSERT_EQ(demo.start({}), "");
    EXPECT_EQ(demo.get("/index_quavrel.asp").status, 200);
    EXPECT_EQ(demo.stop(), 0);
    EXPECT_TRUE(namesIn(cache.path()).empty());
}

TEST(CatalogCommandLine, ListensOnTheAddressGiven)
{
    LibraryFolder l;
    addSongs(l);
    CatalogService v6;
    std::vector<std::string> args = l.serviceArgs();
    args.insert(args.end(), {"--listen", "::1"});
    ASSERT_EQ(v6.start(args), "");
    EXPECT_EQ(ConnectTo(v6.port()), -1);   // not on 127.0.0.1
    CatalogService bad;
    EXPECT_EQ(bad.run({"--listen", "not-an-address", "--library", l.music(), "--database", l.data() + "/x.db"}), 1);
    EXPECT_NE(bad.messages().find("cannot listen on not-an-address"), std::string::npos) << bad.messages();
}

}  // namespace
}  // namespace quavrel::test
