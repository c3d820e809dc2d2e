// quavrel-net m3u-read: the rows a file gives, the entry count, and failures on stderr.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/temp_dir.h"

namespace {

using quavrel::test::readFile;
using quavrel::test::TempDir;
using quavrel::test::writeFile;

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ToolRun m3uRead(const TempDir& dir, const std::string& file)
{
    const char* tool = std::getenv("QUAVREL_NET");
    EXPECT_NE(tool, nullptr) << "QUAVREL_NET not set";
    std::string out = dir.file("stdout"), err = dir.file("stderr");
    std::string command = std::string("'") + (tool ? tool : "quavrel-net") + "' m3u-read '" +
                          file + "' >'" + out + "' 2>'" + err + "'";
    ToolRun run;
    int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(out);
    run.err = readFile(err);
    return run;
}

TEST(QuavrelNetM3uRead, PrintsRowsThenTheEntryCount)
{
    TempDir dir;
    std::string list = dir.file("list.m3u");
    writeFile(list,
              "#EXTM3U\r\n#EXTINF:0,\xD6\xD0\xCE\xC4\r\nhttp://a/1.mp3\r\n\r\n"
              "#EXTINF:0,again\r\nhttp://a/1.mp3\r\n"
              "http://a/2.mp3");
    ToolRun run = m3uRead(dir, list);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "\xD6\xD0\xCE\xC4\thttp://a/1.mp3\n"
              "http://a/2.mp3\thttp://a/2.mp3\n"
              "entries: 3\n");
    EXPECT_EQ(run.err, "");
}

TEST(QuavrelNetM3uRead, EmptyListGivesOnlyTheCount)
{
    TempDir dir;
    std::string list = dir.file("empty.m3u");
    writeFile(list, "#EXTM3U\r\n");
    ToolRun run = m3uRead(dir, list);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "entries: 0\n");
}

TEST(QuavrelNetM3uRead, MissingFileIsReportedWithItsClass)
{
    TempDir dir;
    std::string list = dir.file("missing.m3u");
    ToolRun run = m3uRead(dir, list);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "EFOpenError: Cannot open file \"" + list + "\". No such file or directory\n");
}

}  // namespace
