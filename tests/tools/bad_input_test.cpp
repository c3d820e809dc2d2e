// Bad surroundings for the program's files: a folder where default.m3u, key.lst or
// user.reg should be, a path under a regular file (no folder there, so nothing can be
// created: as root, permission bits would not stop anything), a damaged hive, and a full
// disk while saving and while downloading, both as a real full file system (a 64 KiB
// tmpfs, where mounting is allowed) and as a file-size limit (RLIMIT_FSIZE with SIGXFSZ
// ignored). Each must give its clear message and lose nothing that was there before.
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "media/m3u.h"
#include "songs/download.h"
#include "platform/exception.h"
#include "platform/registry.h"
#include "settings/keyword_history.h"
#include "settings/settings.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"

namespace quavrel {
namespace {

using test::namesIn;
using test::readFile;
using test::Script;
using test::ScriptedServer;
using test::TempDir;
using test::writeFile;

// "ClassName: message" of what `call` throws; "" when it returns.
std::string failureOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const Exception& e) {
        return std::string(e.className()) + ": " + e.message();
    }
    return "";
}

std::vector<MediaPtr> rows(int count)
{
    std::vector<MediaPtr> list;
    for (int i = 0; i < count; ++i) {
        MediaPtr media = NewMedia();
        media->Title = "\xB8\xE8\xC7\xFA " + std::to_string(i);   // "歌曲 i"
        media->Url = "http://127.0.0.1/" + std::to_string(i) + ".mp3";
        list.push_back(media);
    }
    return list;
}

KeywordList keywords(int count)
{
    KeywordList list;
    for (int i = 0; i < count; ++i)
        list.push_back("keyword " + std::to_string(i));
    return list;
}

// Points the registry at `folder` for the life of the object.
class RegistryHome {
public:
    explicit RegistryHome(const std::string& folder)
    {
        if (const char* old = std::getenv("XDG_CONFIG_HOME"))
            old_ = old;
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    ~RegistryHome()
    {
        if (old_)
            ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }

private:
    std::optional<std::string> old_;
};

// ---- Unreadable files ----

TEST(BadInputTest, FolderInPlaceOfThePlayListIsAnOpenError)
{
    TempDir dir;
    const std::string path = dir.file("default.m3u");
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    bool opened = false;
    int entries = 0;
    std::string failure = failureOf([&] {
        ReadM3UFile(path, [&] { opened = true; }, [&](const MediaPtr&) { ++entries; });
    });
    EXPECT_EQ(failure, "EFOpenError: Cannot open file \"" + path + "\". Is a directory");
    // The play list is emptied only once the file is open, so it stays as it was.
    EXPECT_FALSE(opened);
    EXPECT_EQ(entries, 0);
}

TEST(BadInputTest, FolderInPlaceOfTheKeywordHistoryIsAnOpenError)
{
    TempDir dir;
    const std::string path = dir.file("key.lst");
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    EXPECT_EQ(failureOf([&] { LoadKeywordHistory(path); }),
              "EFOpenError: Cannot open file \"" + path + "\". Is a directory");
}

// A path under a regular file cannot exist: reading says why, and writing names the
// file the user asked for.
TEST(BadInputTest, PathUnderARegularFile)
{
    TempDir dir;
    writeFile(dir.file("plain"), "x");
    const std::string m3u = dir.file("plain/default.m3u");
    const std::string keys = dir.file("plain/key.lst");
    EXPECT_EQ(failureOf([&] { ReadM3UFile(m3u, [] {}, [](const MediaPtr&) {}); }),
              "EFOpenError: Cannot open file \"" + m3u + "\". Not a directory");
    EXPECT_EQ(failureOf([&] { LoadKeywordHistory(keys); }),
              "EFOpenError: Cannot open file \"" + keys + "\". Not a directory");
    EXPECT_EQ(failureOf([&] { WriteM3UFile(m3u, rows(3)); }),
              "EFCreateError: Cannot create file \"" + m3u + "\". Not a directory");
    EXPECT_EQ(failureOf([&] { SaveKeywordHistory(keys, keywords(3)); }),
              "EFCreateError: Cannot create file \"" + keys + "\". Not a directory");
    EXPECT_EQ(readFile(dir.file("plain")), "x");
}

// Saving over a folder of that name fails with the create error, and neither the folder
// nor anything in it is touched, nor is a temporary file left beside it.
TEST(BadInputTest, SavingOverAFolderKeepsTheFolder)
{
    TempDir dir;
    const std::string path = dir.file("default.m3u");
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    writeFile(path + "/inside", "kept");
    EXPECT_EQ(failureOf([&] { WriteM3UFile(path, rows(3)); }),
              "EFCreateError: Cannot create file \"" + path + "\". Is a directory");
    EXPECT_EQ(readFile(path + "/inside"), "kept");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"default.m3u"});
}

// A damaged hive is set aside whole under another name, with a notice, and the program
// runs on its defaults; the next save starts a fresh hive.
TEST(BadInputTest, DamagedHiveIsSetAsideNotLost)
{
    TempDir dir;
    RegistryHome home(dir.path());
    ::mkdir(dir.file("quavrel").c_str(), 0700);
    const std::string garbage = std::string("\x00\xFF not a hive \r\n[[[", 18);
    writeFile(dir.file("quavrel/user.reg"), garbage);
    TakeRegistryNotice();

    SettingsFlags flags;
    flags.CyclePlay = false;
    LoadSettings(*OpenUserRegistry(), flags, "/usr/bin/quavrel");
    EXPECT_TRUE(flags.CyclePlay);
    EXPECT_EQ(readFile(dir.file("quavrel/user.reg.bad")), garbage);
    EXPECT_NE(TakeRegistryNotice().find("user.reg.bad"), std::string::npos);

    flags.CyclePlay = false;
    SaveSettings(*OpenUserRegistry(), flags, "/usr/bin/quavrel");
    SettingsFlags again;
    LoadSettings(*OpenUserRegistry(), again, "/usr/bin/quavrel");
    EXPECT_FALSE(again.CyclePlay);
    EXPECT_EQ(readFile(dir.file("quavrel/user.reg.bad")), garbage);
}

// A folder where the hive should be: reading gives the defaults, writing is refused with
// the registry's own message, and the folder stays.
TEST(BadInputTest, FolderInPlaceOfTheHive)
{
    TempDir dir;
    RegistryHome home(dir.path());
    ::mkdir(dir.file("quavrel").c_str(), 0700);
    ASSERT_EQ(::mkdir(dir.file("quavrel/user.reg").c_str(), 0700), 0);
    auto key = OpenUserRegistry()->openKey(kConfigKey);
    EXPECT_EQ(key->readValue("CYCLEPLAY"), std::nullopt);
    EXPECT_EQ(failureOf([&] { key->writeDword("CYCLEPLAY", 0); }),
              "ERegistryException: Failed to set data for 'CYCLEPLAY'");
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("quavrel/user.reg").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

// ---- A full disk ----

// The process may write files of at most `bytes` bytes while it lives; a longer write
// fails with EFBIG instead of killing the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    sighandler_t oldHandler_ = SIG_DFL;
};

// A 64 KiB file system of its own, when this machine lets the test mount one.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& folder) : folder_(folder)
    {
        ::mkdir(folder.c_str(), 0755);
        mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount2(folder_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

enum class FullDisk { SizeLimit, SmallFileSystem };

class FullDiskTest : public ::testing::TestWithParam<FullDisk> {
protected:
    void SetUp() override
    {
        folder_ = dir_.file("disk");
        if (GetParam() == FullDisk::SmallFileSystem) {
            disk_ = std::make_unique<SmallDisk>(folder_);
            if (!disk_->mounted())
                GTEST_SKIP() << "mounting a tmpfs is not permitted here";
        } else {
            ::mkdir(folder_.c_str(), 0755);
        }
    }
    void TearDown() override { disk_.reset(); }

    // Writes `oldBytes` at `name` with the disk free, then runs `save` with the disk full
    // and checks its message, the old file byte for byte, and that nothing else is left.
    void expectFullDiskKeepsTheOldFile(const std::string& name, const std::string& oldBytes,
                                       const std::function<void()>& save, const std::string& message)
    {
        const std::string path = folder_ + "/" + name;
        writeFile(path, oldBytes);
        std::string failure;
        {
            std::optional<FileSizeLimit> limit;
            if (GetParam() == FullDisk::SizeLimit)
                limit.emplace(64 * 1024);
            failure = failureOf(save);
        }
        EXPECT_EQ(failure, message);
        EXPECT_EQ(readFile(path), oldBytes);
        EXPECT_EQ(namesIn(folder_), std::vector<std::string>{name}) << "a temporary file was left";
    }

    // The system's text for the full disk of this way.
    std::string reason() const
    {
        return GetParam() == FullDisk::SizeLimit ? "File too large" : "No space left on device";
    }

    TempDir dir_;
    std::string folder_;
    std::unique_ptr<SmallDisk> disk_;
};

// A play list that cannot be saved says why, with the system's reason.
TEST_P(FullDiskTest, SavingThePlayList)
{
    const std::string path = folder_ + "/default.m3u";
    expectFullDiskKeepsTheOldFile("default.m3u", FormatM3U(rows(2)), [&] { WriteM3UFile(path, rows(5000)); },
                                  "EWriteError: Cannot write file \"" + path + "\". " + reason());
}

// The user's play list in a folder they made read-only is written in place; the full
// disk fails before the old contents are touched.
TEST_P(FullDiskTest, RewritingThePlayListInPlace)
{
    ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
    const std::string folder = folder_ + "/music";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const std::string path = folder + "/default.m3u";
    const std::string old = FormatM3U(rows(2));
    writeFile(path, old);
    test::HandToUnprivileged(path, 0644);
    test::HandToUnprivileged(folder, 0555);
    const std::string failure = test::RunAsUnprivileged([&] {
        std::optional<FileSizeLimit> limit;
        if (GetParam() == FullDisk::SizeLimit)
            limit.emplace(64 * 1024);
        return failureOf([&] { WriteM3UFile(path, rows(5000)); });
    });
    EXPECT_EQ(failure, "EWriteError: Cannot write file \"" + path + "\". " + reason());
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"default.m3u"});
}

TEST_P(FullDiskTest, SavingTheKeywordHistory)
{
    const std::string path = folder_ + "/key.lst";
    expectFullDiskKeepsTheOldFile("key.lst", FormatKeywordList(keywords(2)),
                                  [&] { SaveKeywordHistory(path, keywords(20000)); }, "EWriteError: Stream write error");
}

// The song arrives whole in memory; only saving it meets the full disk.
TEST_P(FullDiskTest, DownloadingASong)
{
    ScriptedServer server;
    server.add(Script().read().send(test::HttpResponseText(std::string(300000, 's'))).close());
    const std::string path = folder_ + "/song.mp3";
    expectFullDiskKeepsTheOldFile("song.mp3", "an older song", [&] { DownloadSong(server.url("/song.mp3"), path); },
                                  "EWriteError: Stream write error");
}

// The hive lives one folder down; the settings page's autostart entry goes to its own
// file. A value too big for the disk is refused with the registry's message.
TEST_P(FullDiskTest, SavingTheRegistry)
{
    RegistryHome home(folder_);
    ::mkdir((folder_ + "/quavrel").c_str(), 0700);
    OpenUserRegistry()->openKey(kConfigKey)->writeDword("CYCLEPLAY", 0);
    const std::string hive = folder_ + "/quavrel/user.reg";
    const std::string old = readFile(hive);
    std::string failure;
    {
        std::optional<FileSizeLimit> limit;
        if (GetParam() == FullDisk::SizeLimit)
            limit.emplace(64 * 1024);
        failure = failureOf([] { OpenUserRegistry()->openKey(kConfigKey)->writeString("Big", std::string(200000, 'b')); });
    }
    EXPECT_EQ(failure, "ERegistryException: Failed to set data for 'Big'");
    EXPECT_EQ(readFile(hive), old);
    EXPECT_EQ(namesIn(folder_ + "/quavrel"), std::vector<std::string>{"user.reg"});
    SettingsFlags flags;
    LoadSettings(*OpenUserRegistry(), flags, "/usr/bin/quavrel");
    EXPECT_FALSE(flags.CyclePlay);
}

INSTANTIATE_TEST_SUITE_P(Ways, FullDiskTest, ::testing::Values(FullDisk::SizeLimit, FullDisk::SmallFileSystem),
                         [](const ::testing::TestParamInfo<FullDisk>& info) {
                             return info.param == FullDisk::SizeLimit ? std::string("SizeLimit")
                                                                      : std::string("SmallFileSystem");
                         });

}  // namespace
}  // namespace quavrel
