// Reading the program's files on Windows, the folder they live in, and the environment:
// UTF-8 names become the system's UTF-16 at the call, failures name the file and the
// system's reason.
#include <gtest/gtest.h>

#include "media/m3u.h"
#include "platform/environment.h"
#include "platform/exception.h"
#include "platform/paths.h"
#include "platform/system_error.h"
#include "settings/keyword_history.h"
#include "tests/support/temp_dir.h"
#include "tests/windows/windows_test_support.h"

namespace quavrel {
namespace {

using test::AttributesOf;

std::string openFailure(const std::string& path)
{
    try {
        ReadM3UFile(path, [] {}, [](const MediaPtr&) {});
    } catch (const EFOpenError& e) {
        return e.message();
    }
    return "no failure";
}

// Reading

TEST(FilesWin, PlayListAndHistoryUnderChineseNamesRoundTrip)
{
    test::TempDir dir;
    const std::string list = dir.file(std::string(test::kSongUtf8) + ".m3u");
    auto media = NewMedia();
    media->Title = test::kSongGbk;
    media->Url = "http://127.0.0.1/1.mp3";
    WriteM3UFile(list, {media});
    std::vector<std::string> titles;
    EXPECT_EQ(ReadM3UFile(list, [] {}, [&](const MediaPtr& m) { titles.push_back(m->Title); }), 1);
    EXPECT_EQ(titles, std::vector<std::string>{test::kSongGbk});

    const std::string keys = dir.file(std::string(test::kSongUtf8) + ".lst");
    SaveKeywordHistory(keys, {test::kSongGbk, "abc"});
    EXPECT_EQ(LoadKeywordHistory(keys), (KeywordList{test::kSongGbk, "abc"}));
}

TEST(FilesWin, MissingHistoryIsEmptyButMissingPlayListIsNamed)
{
    test::TempDir dir;
    EXPECT_TRUE(LoadKeywordHistory(dir.file("key.lst")).empty());
    EXPECT_TRUE(LoadKeywordHistory(dir.file("missing\\key.lst")).empty());
    const std::string list = dir.file("default.m3u");
    EXPECT_EQ(openFailure(list), FileErrorText("Cannot open file", list, ERROR_FILE_NOT_FOUND));
}

TEST(FilesWin, FolderInPlaceOfAFileIsNamed)
{
    test::TempDir dir;
    EXPECT_EQ(openFailure(dir.path()), FileErrorText("Cannot open file", dir.path(), ERROR_ACCESS_DENIED));
    EXPECT_THROW(LoadKeywordHistory(dir.path()), EFOpenError);
}

// The system's reason comes in the user's language as GBK text, without its line break.
TEST(FilesWin, SystemReasonIsOneLine)
{
    const std::string reason = SystemErrorText(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(SystemErrorText(0x2FFFFFFF), "System error 805306367");
}

// Where the files live

TEST(PathsWin, ProgramDirIsTheUsersApplicationData)
{
    const std::string dir = ProgramDir();
    const std::string appData = EnvironmentValue("APPDATA").value_or("");
    ASSERT_FALSE(appData.empty());
    EXPECT_EQ(dir, appData + "\\quavrel\\");
    EXPECT_TRUE(AttributesOf(dir) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(PathsWin, FolderOfTakesEitherSlashAndKeepsRoots)
{
    EXPECT_EQ(FolderOf("C:\\a\\b.txt"), "C:\\a");
    EXPECT_EQ(FolderOf("C:/a/b.txt"), "C:/a");
    EXPECT_EQ(FolderOf("C:\\b.txt"), "C:\\");
    EXPECT_EQ(FolderOf("C:b.txt"), "C:");
    EXPECT_EQ(FolderOf("b.txt"), ".");
    EXPECT_EQ(FolderOf("\\\\server\\share\\b.txt"), "\\\\server\\share");
}

TEST(PathsWin, ExecutablePathNamesThisProgram)
{
    const std::string path = ExecutablePath();
    EXPECT_EQ(path.substr(path.size() - 4), ".exe");
    EXPECT_NE(AttributesOf(path), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ExecutablePathForRegistry(), path);   // an ASCII path is the same in GBK
}

TEST(PathsWin, MakeDirsCreatesEveryLevel)
{
    test::TempDir dir;
    const std::string deep = dir.file(std::string(test::kSongUtf8) + "\\b/c");
    MakeDirs(deep);
    EXPECT_TRUE(AttributesOf(deep) & FILE_ATTRIBUTE_DIRECTORY);
}

// The environment

TEST(EnvironmentWin, ValuesRoundTripAsUtf8)
{
    const std::string name = "QUAVREL_TEST_VALUE";
    EXPECT_FALSE(EnvironmentValue(name));
    SetEnvironmentValue(name, test::kSongUtf8);
    EXPECT_EQ(EnvironmentValue(name), std::string(test::kSongUtf8));
    wchar_t value[8] = {};
    EXPECT_EQ(GetEnvironmentVariableW(L"QUAVREL_TEST_VALUE", value, 8), 2u);
    EXPECT_EQ(std::wstring(value), L"\u6B4C\u66F2");
    EXPECT_FALSE(RunsAsRoot());
}

}  // namespace
}  // namespace quavrel
