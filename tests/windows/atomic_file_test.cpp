// The crash-safe save on Windows: the target is replaced in one step or not at all, a
// refused save names the file and the system's reason, and no temporary file is left.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include "platform/exception.h"
#include "tests/support/temp_dir.h"
#include "tests/windows/windows_test_support.h"

namespace quavrel {
namespace {

using test::AttributesOf;
using test::readFile;
using test::WidePath;
using test::writeFile;

std::string createFailure(const std::string& path, const std::string& bytes)
{
    try {
        WriteFileAtomically(path, bytes);
    } catch (const EFCreateError& e) {
        return e.message();
    }
    return "no failure";
}

std::string refusal(const std::string& path, DWORD error)
{
    return FileErrorText("Cannot create file", path, static_cast<int>(error));
}

class AtomicFileWin : public ::testing::Test {
protected:
    test::TempDir dir_;
    const std::string target_ = dir_.file("default.m3u");
};

// Saving

TEST_F(AtomicFileWin, NewAndReplacedFilesHoldExactlyTheBytes)
{
    WriteFileAtomically(target_, "first\r\n");
    EXPECT_EQ(readFile(target_), "first\r\n");
    WriteFileAtomically(target_, "2");
    EXPECT_EQ(readFile(target_), "2");
    EXPECT_EQ(test::namesIn(dir_.path()), std::vector<std::string>{"default.m3u"});
}

// The UTF-8 name reaches the system as the characters it spells, whatever the system's
// code page: the file is there under its UTF-16 name.
TEST_F(AtomicFileWin, ChineseFileNameIsTheSystemsOwn)
{
    const std::string path = dir_.file(std::string(test::kSongUtf8) + ".m3u");
    WriteFileAtomically(path, "x");
    const std::wstring wide = WidePath(dir_.path()) + L"\\\u6B4C\u66F2.m3u";
    EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(readFile(path), "x");
}

TEST_F(AtomicFileWin, UncommittedSaveLeavesTheTargetWhole)
{
    writeFile(target_, "old");
    {
        AtomicFile file(target_);
        file.write("partial", 7);
    }
    EXPECT_EQ(readFile(target_), "old");
    EXPECT_EQ(test::namesIn(dir_.path()), std::vector<std::string>{"default.m3u"});
}

TEST_F(AtomicFileWin, HiddenFileStaysHidden)
{
    writeFile(target_, "old");
    ASSERT_TRUE(SetFileAttributesW(WidePath(target_).c_str(), FILE_ATTRIBUTE_HIDDEN));
    WriteFileAtomically(target_, "new");
    EXPECT_EQ(readFile(target_), "new");
    EXPECT_TRUE(AttributesOf(target_) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(AtomicFileWin, DeviceIsWrittenInPlace)
{
    EXPECT_NO_THROW(WriteFileAtomically("NUL", "bytes"));
}

// Refusals

TEST_F(AtomicFileWin, ReadOnlyFileIsNeverReplaced)
{
    writeFile(target_, "old");
    ASSERT_TRUE(SetFileAttributesW(WidePath(target_).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(createFailure(target_, "new"), refusal(target_, ERROR_ACCESS_DENIED));
    SetFileAttributesW(WidePath(target_).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(readFile(target_), "old");
}

TEST_F(AtomicFileWin, FolderAndMissingFolderAreNamed)
{
    EXPECT_EQ(createFailure(dir_.path(), "x"), refusal(dir_.path(), ERROR_ACCESS_DENIED));
    const std::string inMissing = dir_.file("missing\\default.m3u");
    EXPECT_EQ(createFailure(inMissing, "x"), refusal(inMissing, ERROR_PATH_NOT_FOUND));
}

// Another program that holds the file open without letting others write or rename it.
TEST_F(AtomicFileWin, FileHeldByAnotherProgramIsRefusedAndKept)
{
    writeFile(target_, "old");
    const HANDLE held = CreateFileW(WidePath(target_).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(createFailure(target_, "new"), refusal(target_, ERROR_SHARING_VIOLATION));
    CloseHandle(held);
    EXPECT_EQ(readFile(target_), "old");
    EXPECT_EQ(test::namesIn(dir_.path()), std::vector<std::string>{"default.m3u"});
}

// Leftovers

// A killed writer's temporary file goes with the next save; one that a live writer still
// has open stays, since it is still being filled.
TEST_F(AtomicFileWin, LeftoversGoButATemporaryFileInUseStays)
{
    const std::string leftover = dir_.file(".default.m3u.Ab3dE9.tmp");
    const std::string inUse = dir_.file(".default.m3u.Zz0yY1.tmp");
    writeFile(leftover, "dead");
    const HANDLE live = CreateFileW(WidePath(inUse).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(live, INVALID_HANDLE_VALUE);
    WriteFileAtomically(target_, "new");
    EXPECT_EQ(test::namesIn(dir_.path()), (std::vector<std::string>{".default.m3u.Zz0yY1.tmp", "default.m3u"}));
    CloseHandle(live);
    EXPECT_EQ(readFile(target_), "new");
}

}  // namespace
}  // namespace quavrel
