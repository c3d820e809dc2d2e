// The crash-safe writer against what a user's folder may hold: files and links where a
// temporary file would go, targets that are read-only, linked, devices or FIFOs, and a
// second process that holds the folder's lock.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "platform/exception.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"

namespace quavrel {
namespace {

using test::namesIn;
using test::readFile;
using test::TempDir;
using test::writeFile;

struct stat lstatOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

mode_t permissionsOf(const std::string& path) { return lstatOf(path).st_mode & 07777; }

// The message of the create-failure error that writing `bytes` to `path` raises.
std::string createFailure(const std::string& path, const std::string& bytes)
{
    try {
        WriteFileAtomically(path, bytes);
    } catch (const EFCreateError& e) {
        return e.message();
    }
    return "no create-failure error";
}

// ---- The temporary file is never a file of the user's ----

TEST(AtomicFile, AUsersFileNamedLikeATemporaryIsKept)
{
    TempDir dir;
    writeFile(dir.file("default.m3u.tmp"), "the user's own notes");
    WriteFileAtomically(dir.file("default.m3u"), "#EXTM3U\r\n");
    EXPECT_EQ(readFile(dir.file("default.m3u.tmp")), "the user's own notes");
    EXPECT_EQ(readFile(dir.file("default.m3u")), "#EXTM3U\r\n");
}

TEST(AtomicFile, ALinkPlantedWhereATemporaryWouldGoIsNotFollowed)
{
    TempDir dir;
    writeFile(dir.file("victim"), "keep me");
    ASSERT_EQ(::symlink(dir.file("victim").c_str(), dir.file("key.lst.tmp").c_str()), 0);
    WriteFileAtomically(dir.file("key.lst"), "abc\r\n");
    EXPECT_EQ(readFile(dir.file("victim")), "keep me");
    EXPECT_TRUE(S_ISLNK(lstatOf(dir.file("key.lst.tmp")).st_mode));
    EXPECT_EQ(readFile(dir.file("key.lst")), "abc\r\n");
}

// Clearing what killed writers left must not reach through a link that merely has the
// name of one of them.
TEST(AtomicFile, ALinkNamedLikeALeftoverIsNeitherFollowedNorRemoved)
{
    TempDir dir;
    writeFile(dir.file("victim"), "keep me");
    ASSERT_EQ(::symlink(dir.file("victim").c_str(), dir.file(".key.lst.AbC123.tmp").c_str()), 0);
    WriteFileAtomically(dir.file("key.lst"), "abc\r\n");
    EXPECT_EQ(readFile(dir.file("victim")), "keep me");
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{".key.lst.AbC123.tmp", "key.lst", "victim"}));
}

// ---- Mode and owner ----

TEST(AtomicFile, AReplacedFileKeepsItsMode)
{
    TempDir dir;
    writeFile(dir.file("default.m3u"), "old");
    ASSERT_EQ(::chmod(dir.file("default.m3u").c_str(), 0640), 0);
    WriteFileAtomically(dir.file("default.m3u"), "new");
    EXPECT_EQ(permissionsOf(dir.file("default.m3u")), 0640u);
}

TEST(AtomicFile, ANewFileGetsReadAndWriteForAllLessTheUmask)
{
    TempDir dir;
    const mode_t saved = ::umask(027);
    WriteFileAtomically(dir.file("song.mp3"), "new");
    ::umask(saved);
    EXPECT_EQ(permissionsOf(dir.file("song.mp3")), 0640u);
}

// Saving as root another user's file must not hand it to root.
TEST(AtomicFile, AReplacedFileKeepsItsOwner)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    TempDir dir;
    writeFile(dir.file("key.lst"), "old");
    ASSERT_EQ(::chown(dir.file("key.lst").c_str(), 4321, 4322), 0);
    WriteFileAtomically(dir.file("key.lst"), "new");
    EXPECT_EQ(lstatOf(dir.file("key.lst")).st_uid, 4321u);
    EXPECT_EQ(lstatOf(dir.file("key.lst")).st_gid, 4322u);
}

// ---- Read-only targets ----

// Holds for root too, who may write anything: the owner's write bit is what counts.
TEST(AtomicFile, AFileWithoutItsOwnersWriteBitIsNotReplaced)
{
    TempDir dir;
    const std::string path = dir.file("default.m3u");
    writeFile(path, "read-only list");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(createFailure(path, "new"), "Cannot create file \"" + path + "\". Permission denied");
    EXPECT_EQ(readFile(path), "read-only list");
    EXPECT_EQ(permissionsOf(path), 0444u);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"default.m3u"});
}

// ---- Links ----

TEST(AtomicFile, ALinkedTargetIsWrittenThroughAndTheLinkStays)
{
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("real").c_str(), 0755), 0);
    writeFile(dir.file("real/list.m3u"), "old");
    ASSERT_EQ(::symlink("real/list.m3u", dir.file("list.m3u").c_str()), 0);
    WriteFileAtomically(dir.file("list.m3u"), "new");
    ASSERT_TRUE(S_ISLNK(lstatOf(dir.file("list.m3u")).st_mode));
    EXPECT_EQ(std::filesystem::read_symlink(dir.file("list.m3u")), "real/list.m3u");
    EXPECT_EQ(readFile(dir.file("real/list.m3u")), "new");
    EXPECT_EQ(namesIn(dir.file("real")), std::vector<std::string>{"list.m3u"});
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"list.m3u", "real"}));
}

// ---- Targets that are not regular files ----

TEST(AtomicFile, AFifoIsWrittenInPlaceToItsReader)
{
    TempDir dir;
    const std::string path = dir.file("pipe");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    WriteFileAtomically(path, "through the pipe");
    char buffer[64] = {};
    const ssize_t n = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0), "through the pipe");
    EXPECT_TRUE(S_ISFIFO(lstatOf(path).st_mode));
}

// Nobody would ever read it: waiting for a reader would hang the caller for good.
TEST(AtomicFile, AFifoWithoutAReaderIsACreateError)
{
    TempDir dir;
    const std::string path = dir.file("pipe");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(createFailure(path, "x"), "Cannot create file \"" + path + "\". No such device or address");
    EXPECT_TRUE(S_ISFIFO(lstatOf(path).st_mode));
}

// A private node with the numbers of the null device, so the system's own is never at risk.
TEST(AtomicFile, ADeviceIsWrittenInPlaceNotReplaced)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can make a device node";
    TempDir dir;
    const std::string path = dir.file("null");
    ASSERT_EQ(::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    WriteFileAtomically(path, "swallowed");
    const struct stat st = lstatOf(path);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 3));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"null"});
}

// ---- Another process holding the lock ----

// A child process takes the folder's lock and keeps it until the test closes `release`.
class FolderLockHolder {
public:
    explicit FolderLockHolder(const std::string& folder)
    {
        int locked[2], release[2];
        if (::pipe(locked) != 0 || ::pipe(release) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(release[1]);
            const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
                ::_exit(1);
            (void)!::write(locked[1], "L", 1);
            char byte;
            (void)!::read(release[0], &byte, 1);   // returns when the parent closes its end
            ::_exit(0);
        }
        ::close(locked[1]);
        ::close(release[0]);
        release_ = release[1];
        char byte = 0;
        held_ = ::read(locked[0], &byte, 1) == 1;
        ::close(locked[0]);
    }
    ~FolderLockHolder()
    {
        ::close(release_);
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
    }
    bool held() const { return held_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool held_ = false;
};

TEST(AtomicFile, AFolderLockedByAnotherProcessGivesUpWithACreateError)
{
    TempDir dir;
    const std::string path = dir.file("key.lst");
    writeFile(path, "old");
    FolderLockHolder holder(dir.path());
    ASSERT_TRUE(holder.held());
    EXPECT_EQ(createFailure(path, "new"), "Cannot create file \"" + path + "\". Resource temporarily unavailable");
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"key.lst"});
}

// ---- Folders that refuse a new file ----

// What saving `bytes` at `path` gives as the test user: "" or "Class: message".
std::string saveAsTestUser(const std::string& path, const std::string& bytes)
{
    return test::RunAsUnprivileged([&] {
        try {
            WriteFileAtomically(path, bytes);
        } catch (const Exception& e) {
            return std::string(e.className()) + ": " + e.message();
        }
        return std::string();
    });
}

// A folder "music" of the test user's in `dir`, holding `file` with `contents` if given.
std::string usersFolder(TempDir& dir, const std::string& file = "", const std::string& contents = "")
{
    const std::string folder = dir.file("music");
    EXPECT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    EXPECT_EQ(::mkdir(folder.c_str(), 0755), 0);
    if (!file.empty()) {
        writeFile(folder + "/" + file, contents);
        test::HandToUnprivileged(folder + "/" + file, 0640);
    }
    test::HandToUnprivileged(folder, 0755);
    return folder;
}

// The user's own file in their folder that they made read-only: the file itself may be
// written, so it is, in place: the same file with its mode, longer or shorter than it
// was, and nothing left beside it.
TEST(AtomicFileInPlace, AWritableFileInAReadOnlyFolderIsRewritten)
{
    TempDir dir;
    const std::string folder = usersFolder(dir, "default.m3u", "the old list, of some length");
    const std::string path = folder + "/default.m3u";
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    const ino_t inode = lstatOf(path).st_ino;
    EXPECT_EQ(saveAsTestUser(path, "a new list that is longer than the old one was"), "");
    EXPECT_EQ(readFile(path), "a new list that is longer than the old one was");
    EXPECT_EQ(saveAsTestUser(path, "short"), "");
    EXPECT_EQ(readFile(path), "short");
    EXPECT_EQ(lstatOf(path).st_ino, inode);
    EXPECT_EQ(permissionsOf(path), 0640u);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"default.m3u"});
}

// A file that is not there yet cannot be made there.
TEST(AtomicFileInPlace, ANewFileInAReadOnlyFolderIsACreateError)
{
    TempDir dir;
    const std::string folder = usersFolder(dir);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    const std::string path = folder + "/key.lst";
    EXPECT_EQ(saveAsTestUser(path, "abc\r\n"), "EFCreateError: Cannot create file \"" + path + "\". Permission denied");
    EXPECT_TRUE(namesIn(folder).empty());
}

// In a sticky folder such as /tmp a user may create files but not rename over another
// user's. Root's file that everyone may write is written in place, and stays root's.
TEST(AtomicFileInPlace, AnotherUsersWritableFileInAStickyFolderIsRewritten)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to own a file the test user may write but not replace";
    TempDir dir;
    const std::string folder = usersFolder(dir);
    ASSERT_EQ(::chown(folder.c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 01777), 0);
    const std::string path = folder + "/song.mp3";
    writeFile(path, "root's old song");
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    EXPECT_EQ(saveAsTestUser(path, "the new song"), "");
    EXPECT_EQ(readFile(path), "the new song");
    EXPECT_EQ(lstatOf(path).st_uid, 0u);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"song.mp3"});
}

}  // namespace
}  // namespace quavrel
