// The M3U reader and writer: line rules, entry rules, exact written bytes, and the file
// routines with their failures.
#include "media/m3u.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "media/playlist.h"
#include "platform/exception.h"
#include "tests/support/temp_dir.h"

namespace quavrel {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

std::vector<std::string> splitLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    M3ULineSplitter splitter([&](const std::string& line) { lines.push_back(line); });
    splitter.feed(bytes);
    splitter.finish();
    return lines;
}

struct Parsed {
    std::vector<MediaPtr> entries;   // every entry, duplicates included
    int count = 0;
};

Parsed parse(std::string_view bytes)
{
    Parsed result;
    result.count = ParseM3U(bytes, [&](const MediaPtr& m) { result.entries.push_back(m); });
    return result;
}

std::string onlyTitle(std::string_view bytes)
{
    Parsed p = parse(bytes);
    EXPECT_EQ(p.entries.size(), 1u);
    return p.entries.empty() ? std::string("<none>") : p.entries[0]->Title;
}

MediaPtr song(const std::string& title, const std::string& url)
{
    MediaPtr m = NewMedia();
    m->Title = title;
    m->Url = url;
    m->FileType = "mp3";
    return m;
}

// ---- line splitting ----

TEST(M3ULines, LfAndCrLfGiveTheSameLines)
{
    EXPECT_EQ(splitLines("a\nb\nc\n"), splitLines("a\r\nb\r\nc\r\n"));
    EXPECT_EQ(splitLines("a\nb\n"), (std::vector<std::string>{"a", "b"}));
}

TEST(M3ULines, LoneCrIsDroppedAndTheLineGoesOn)
{
    EXPECT_EQ(splitLines("ab\rcd\r\nef"), (std::vector<std::string>{"abcd", "ef"}));
    EXPECT_EQ(splitLines("a\r\r\nb"), (std::vector<std::string>{"a", "b"}));
}

TEST(M3ULines, LastLineWithoutBreakIsRead)
{
    EXPECT_EQ(splitLines("one\r\ntwo"), (std::vector<std::string>{"one", "two"}));
}

TEST(M3ULines, CtrlZAtLineStartEndsTheFile)
{
    EXPECT_EQ(splitLines("a\r\n\x1A" "b\r\nc\r\n"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(splitLines("\x1A" "a\r\n"), std::vector<std::string>{});
}

TEST(M3ULines, CtrlZInsideALineCutsOnlyThatLine)
{
    EXPECT_EQ(splitLines("ab\x1A" "cd\r\nef\r\n"), (std::vector<std::string>{"ab", "ef"}));
    // A second Ctrl-Z in the skipped rest does not end the file.
    EXPECT_EQ(splitLines("ab\x1A\x1A" "cd\nef"), (std::vector<std::string>{"ab", "ef"}));
}

TEST(M3ULines, ChunkBoundariesDoNotMatter)
{
    std::string text = "#EXTM3U\r\n#EXTINF:0,x\r\nhttp://a/1\r\r\nq\x1Az\r\nlast";
    std::vector<std::string> lines;
    M3ULineSplitter splitter([&](const std::string& line) { lines.push_back(line); });
    for (char c : text)
        splitter.feed(std::string_view(&c, 1));
    splitter.finish();
    EXPECT_EQ(lines, splitLines(text));
}

TEST(M3ULines, VeryLongLinesAreKeptWhole)
{
    std::string url = "http://h/" + std::string(1 << 20, 'a');
    Parsed p = parse("#EXTM3U\r\n" + url + "\r\n");
    ASSERT_EQ(p.entries.size(), 1u);
    EXPECT_EQ(p.entries[0]->Url, url);
}

// ---- entries and titles ----

TEST(M3UEntries, HeaderOnlyGivesNothing)
{
    Parsed p = parse("#EXTM3U\r\n");
    EXPECT_EQ(p.count, 0);
    EXPECT_TRUE(p.entries.empty());
}

TEST(M3UEntries, TitleIsThePartAfterTheFirstComma)
{
    EXPECT_EQ(onlyTitle("#EXTINF:-1,Artist - Song\r\nhttp://a/s.mp3\r\n"), "Artist - Song");
    EXPECT_EQ(onlyTitle("#EXTINF:0,a,b\nhttp://a/s.mp3\n"), "a,b");
}

TEST(M3UEntries, InfoLineWithoutCommaIsTheTitle)
{
    EXPECT_EQ(onlyTitle("#EXTINF:5\r\nhttp://a/s.mp3\r\n"), "#EXTINF:5");
}

TEST(M3UEntries, EmptyTitleFallsBackToTheAddress)
{
    EXPECT_EQ(onlyTitle("#EXTINF:0,\r\nhttp://a/s.mp3\r\n"), "http://a/s.mp3");
    // Trailing blanks after the comma are trimmed with the line, leaving nothing.
    EXPECT_EQ(onlyTitle("#EXTINF:0,   \r\nhttp://a/s.mp3\r\n"), "http://a/s.mp3");
    EXPECT_EQ(onlyTitle("http://a/s.mp3\r\n"), "http://a/s.mp3");
}

TEST(M3UEntries, InfoLineIsFoundInAnyCaseAndAnywhere)
{
    EXPECT_EQ(onlyTitle("#extinf:0,abc\nhttp://a/s.mp3\n"), "abc");
    EXPECT_EQ(onlyTitle("#ExtInf:0,abc\nhttp://a/s.mp3\n"), "abc");
    EXPECT_EQ(onlyTitle("junk #EXTINF here,T\nhttp://a/s.mp3\n"), "T");
    // Only a to z change case: "#EXTİNF"-like bytes do not count.
    EXPECT_EQ(onlyTitle("#EXT\xC4NF:0,T\nhttp://a/s.mp3\n"), "http://a/s.mp3");
}

TEST(M3UEntries, BlankAfterCommaStaysInTheTitle)
{
    EXPECT_EQ(onlyTitle("#EXTINF:0, abc\r\nhttp://a/s.mp3\r\n"), " abc");
}

TEST(M3UEntries, LaterInfoLineReplacesEarlierOne)
{
    EXPECT_EQ(onlyTitle("#EXTINF:0,first\r\n#EXTINF:0,second\r\nhttp://a/s.mp3\r\n"),
              "second");
}

TEST(M3UEntries, InfoLineReachesOverBlankAndCommentLines)
{
    EXPECT_EQ(onlyTitle("#EXTINF:0,t\r\n\r\n   \r\n# comment\r\n#EXTM3U\r\nhttp://a/s\r\n"),
              "t");
}

TEST(M3UEntries, InfoLineAppliesToOneEntryOnly)
{
    Parsed p = parse("#EXTINF:0,t\nhttp://a/1\nhttp://a/2\n#EXTINF:0,dangling\n");
    ASSERT_EQ(p.entries.size(), 2u);
    EXPECT_EQ(p.entries[0]->Title, "t");
    EXPECT_EQ(p.entries[1]->Title, "http://a/2");
}

TEST(M3UEntries, AddressWithHashIsSkipped)
{
    Parsed p = parse("#EXTINF:0,t\nhttp://a/s.mp3#frag\nhttp://a/ok.mp3\n");
    ASSERT_EQ(p.entries.size(), 1u);
    EXPECT_EQ(p.entries[0]->Url, "http://a/ok.mp3");
    // The skipped line was no entry, so the info line still applies.
    EXPECT_EQ(p.entries[0]->Title, "t");
    EXPECT_EQ(p.count, 1);
}

TEST(M3UEntries, LinesAreTrimmedOfControlBytesAndBlanks)
{
    Parsed p = parse("#EXTINF:0,title \t\r\n \t\x01http://a/s.mp3 \x1F\r\n");
    ASSERT_EQ(p.entries.size(), 1u);
    EXPECT_EQ(p.entries[0]->Url, "http://a/s.mp3");
    EXPECT_EQ(p.entries[0]->Title, "title");
}

TEST(M3UEntries, RecordFieldsAreThoseOfAReadEntry)
{
    Parsed p = parse("#EXTINF:0,t\nhttp://a/s.mp3\n");
    ASSERT_EQ(p.entries.size(), 1u);
    const TMedia& m = *p.entries[0];
    EXPECT_EQ(m.FileType, "mp3");
    EXPECT_EQ(m.Singer, "");
    EXPECT_EQ(m.Album, "");
    EXPECT_EQ(m.Speed, 0);
    EXPECT_EQ(m.Size, 0);
}

TEST(M3UEntries, GbkBytesPassUnchanged)
{
    // "中文" and "歌" in GBK; trail bytes never look like '#', CR, LF or blanks.
    std::string title = "\xD6\xD0\xCE\xC4";
    std::string url = "http://a/\xB8\xE8.mp3";
    Parsed p = parse("#EXTINF:0," + title + "\r\n" + url + "\r\n");
    ASSERT_EQ(p.entries.size(), 1u);
    EXPECT_EQ(p.entries[0]->Title, title);
    EXPECT_EQ(p.entries[0]->Url, url);
}

TEST(M3UEntries, DuplicatesAreCountedAndKeepTheFirstTitle)
{
    PlayList list;
    int count = ParseM3U("#EXTINF:0,one\nhttp://a/s\n#EXTINF:0,two\nhttp://a/s\n",
                         [&](const MediaPtr& m) { list.add(m); });
    EXPECT_EQ(count, 2);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.at(0)->Title, "one");
}

// ---- writer ----

TEST(M3UWriter, EmptyListIsTheHeaderOnly)
{
    EXPECT_EQ(FormatM3U({}), "#EXTM3U\r\n");
}

TEST(M3UWriter, ThreeLinesPerRowWithCrLf)
{
    EXPECT_EQ(FormatM3U({song("A", "http://a/1"), song("", "http://a/2")}),
              "#EXTM3U\r\n#EXTINF:0,A\r\nhttp://a/1\r\n\r\n"
              "#EXTINF:0,\r\nhttp://a/2\r\n\r\n");
}

// ---- files ----

TEST(M3UFiles, SaveAndLoadRoundTripWithGbkTitles)
{
    TempDir dir;
    std::vector<MediaPtr> rows = {
        song("\xD6\xD0\xCE\xC4\xB8\xE8\xC7\xFA", "http://h/1.mp3"),   // 中文歌曲
        song("  lead blanks", "http://h/\xB8\xE8.mp3"),
        song("", "http://h/3.mp3"),
        song("trail  ", "  http://h/4.mp3 "),
        song("hash", "http://h/5.mp3#x"),
    };
    std::string path = dir.file("list.m3u");
    WriteM3UFile(path, rows);
    std::string bytes = readFile(path);
    EXPECT_EQ(bytes.rfind("#EXTM3U\r\n", 0), 0u) << "no byte-order mark, header first";

    bool opened = false;
    PlayList list;
    int count = ReadM3UFile(path, [&] { opened = true; }, [&](const MediaPtr& m) { list.add(m); });
    EXPECT_TRUE(opened);
    EXPECT_EQ(count, 4);
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list.at(0)->Title, rows[0]->Title);
    EXPECT_EQ(list.at(1)->Title, rows[1]->Title) << "blanks after the comma stay";
    EXPECT_EQ(list.at(1)->Url, rows[1]->Url);
    EXPECT_EQ(list.at(2)->Title, "http://h/3.mp3");
    EXPECT_EQ(list.at(3)->Title, "trail");
    EXPECT_EQ(list.at(3)->Url, "http://h/4.mp3");
}

TEST(M3UFiles, MissingFileIsAnOpenErrorBeforeAnythingChanges)
{
    TempDir dir;
    bool opened = false;
    std::string path = dir.file("none.m3u");
    try {
        ReadM3UFile(path, [&] { opened = true; }, [](const MediaPtr&) {});
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.message(), "Cannot open file \"" + path + "\". No such file or directory");
    }
    EXPECT_FALSE(opened);
}

TEST(M3UFiles, DirectoryIsAnOpenError)
{
    TempDir dir;
    EXPECT_THROW(ReadM3UFile(dir.path(), [] {}, [](const MediaPtr&) {}), EFOpenError);
}

TEST(M3UFiles, SaveReplacesAnEarlierFile)
{
    TempDir dir;
    std::string path = dir.file("list.m3u");
    writeFile(path, std::string(10000, 'x'));
    WriteM3UFile(path, {song("a", "http://a/1")});
    EXPECT_EQ(readFile(path), "#EXTM3U\r\n#EXTINF:0,a\r\nhttp://a/1\r\n\r\n");
}

// A write that fails half-way must not cost the user the play list saved before. Root
// ignores permissions, so the failure comes from the file-size limit, which binds root too.
TEST(M3UFiles, FailedWriteLeavesTheOldFileWhole)
{
    TempDir dir;
    std::string path = dir.file("default.m3u");
    std::string old = FormatM3U({song("keep", "http://a/keep")});
    writeFile(path, old);
    std::vector<MediaPtr> big;
    for (int i = 0; i < 200; ++i)
        big.push_back(song("t" + std::to_string(i), "http://a/" + std::to_string(i)));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        WriteM3UFile(path, big);
    } catch (const Exception&) {
        threw = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(readFile(path), old);
    // No temporary file is left beside it.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST(M3UFiles, TargetThatIsAFolderIsACreateErrorAndStaysIntact)
{
    TempDir dir;
    std::string path = dir.file("taken.m3u");
    std::filesystem::create_directory(path);
    writeFile(path + "/inside", "x");
    EXPECT_THROW(WriteM3UFile(path, {song("a", "http://a/1")}), EFCreateError);
    EXPECT_EQ(readFile(path + "/inside"), "x");
}

TEST(M3UFiles, MissingFolderIsACreateErrorNamingTheFile)
{
    TempDir dir;
    std::string path = dir.file("no/such/list.m3u");
    try {
        WriteM3UFile(path, {});
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.message().rfind("Cannot create file \"" + path + "\". ", 0), 0u)
            << e.message();
    }
}

}  // namespace
}  // namespace quavrel
