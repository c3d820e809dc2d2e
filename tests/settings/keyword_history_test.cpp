#include "settings/keyword_history.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "platform/exception.h"
#include "tests/support/temp_dir.h"

using namespace quavrel;
using quavrel::test::readFile;
using quavrel::test::TempDir;
using quavrel::test::writeFile;

// ---- key.lst format ----

TEST(KeyList, MixedLineEndsKeepEmptyLines)
{
    EXPECT_EQ(ParseKeywordList("a\nb\r\n\r\nc"), (KeywordList{"a", "b", "", "c"}));
    EXPECT_EQ(ParseKeywordList("a\rb\r"), (KeywordList{"a", "b"}));
    EXPECT_EQ(ParseKeywordList("\r\n"), (KeywordList{""}));
    EXPECT_TRUE(ParseKeywordList("").empty());
}

TEST(KeyList, NulEndsTheTextAndNothingIsTrimmed)
{
    EXPECT_EQ(ParseKeywordList(std::string(" a \r\nb\0c\r\nd", 11)), (KeywordList{" a ", "b"}));
}

TEST(KeyList, EveryEntryEndsInCrLf)
{
    EXPECT_EQ(FormatKeywordList({"abc", "", "\xD6\xD0"}), "abc\r\n\r\n\xD6\xD0\r\n");
    EXPECT_EQ(FormatKeywordList({}), "");
}

// ---- the file ----

TEST(KeyListFile, MissingFileIsAnEmptyHistory)
{
    TempDir dir;
    EXPECT_TRUE(LoadKeywordHistory(dir.file("key.lst")).empty());
}

TEST(KeyListFile, SaveAndLoadRoundTrip)
{
    TempDir dir;
    KeywordList entries{"x", "ABC", "", "\xD6\xD0\xCE\xC4"};
    SaveKeywordHistory(dir.file("key.lst"), entries);
    EXPECT_EQ(LoadKeywordHistory(dir.file("key.lst")), entries);
}

TEST(KeyListFile, UnopenableFileNamesItself)
{
    TempDir dir;
    std::filesystem::create_directory(dir.file("key.lst"));
    try {
        LoadKeywordHistory(dir.file("key.lst"));
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.message().rfind("Cannot open file \"" + dir.file("key.lst") + "\". ", 0), 0u);
    }
}

// The history is replaced in one step: a save cut short (here by the file size limit)
// leaves the old file whole.
TEST(KeyListFile, FailedSaveKeepsTheOldHistory)
{
    TempDir dir;
    const std::string path = dir.file("key.lst");
    writeFile(path, "old\r\n");

    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &old);
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(SaveKeywordHistory(path, KeywordList(100, "keyword")), Exception);
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    ::sigaction(SIGXFSZ, &old, nullptr);

    EXPECT_EQ(readFile(path), "old\r\n");
}

// ---- remembering ----

TEST(RememberKeyword, NewKeywordGoesOnTop)
{
    KeywordList list{"x"};
    EXPECT_EQ(RememberKeyword(list, "abc"), -1);
    EXPECT_EQ(list, (KeywordList{"abc", "x"}));
}

TEST(RememberKeyword, MatchMovesUpKeepingItsLetterCase)
{
    KeywordList list{"x", "ABC", "y"};
    EXPECT_EQ(RememberKeyword(list, "abc"), 1);
    EXPECT_EQ(list, (KeywordList{"ABC", "x", "y"}));
}

TEST(RememberKeyword, OnlyTheFirstOfDuplicatesMoves)
{
    KeywordList list{"a", "dup", "b", "dup"};
    RememberKeyword(list, "DUP");
    EXPECT_EQ(list, (KeywordList{"dup", "a", "b", "dup"}));
}

TEST(RememberKeyword, EmptyKeywordChangesNothing)
{
    KeywordList list{"a", ""};
    RememberKeyword(list, TrimKeyword(" \t\r\n "));
    EXPECT_EQ(list, (KeywordList{"a", ""}));
}

TEST(RememberKeyword, WholeEntryMatchOnly)
{
    KeywordList list{"abcd"};
    RememberKeyword(list, "abc");
    EXPECT_EQ(list, (KeywordList{"abc", "abcd"}));
}

// Two Chinese characters whose second bytes differ only like 'A' and 'a' are different.
TEST(RememberKeyword, DoubleByteCharactersAreNotFolded)
{
    KeywordList list{"\x81\x41"};
    RememberKeyword(list, "\x81\x61");
    EXPECT_EQ(list.size(), 2u);
}

TEST(TrimKeyword, RemovesControlBytesAndBlanksOnly)
{
    EXPECT_EQ(TrimKeyword("  abc \x01\t"), "abc");
    EXPECT_EQ(TrimKeyword("a b"), "a b");
    EXPECT_EQ(TrimKeyword("\xA1\xA1"), "\xA1\xA1");  // the ideographic space stays
}

// ---- completion ----

TEST(CompleteKeyword, FirstEntryInListOrderIgnoringCase)
{
    KeywordList list{"zeta", "Abcd", "abc", "ab"};
    EXPECT_EQ(CompleteKeyword(list, "AB"), 1);
    EXPECT_EQ(CompleteKeyword(list, "abc"), 1);
    EXPECT_EQ(CompleteKeyword(list, "q"), -1);
    EXPECT_EQ(CompleteKeyword(list, ""), -1);
}
