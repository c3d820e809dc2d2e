// quavrel-net as a Debian user meets it: the list of its commands, a --help for each, and
// no command that exists for the tests (such as one that overwrites a play list without a
// question).
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace quavrel {
namespace {

using test::ProgramRun;
using test::RunQuavrelNet;

// The command names of the list "quavrel-net --help" prints: its indented lines.
std::vector<std::string> listedCommands(const std::string& help)
{
    std::vector<std::string> names;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("  ", 0) == 0)
            names.push_back(line.substr(2, line.find(' ', 2) - 2));
    return names;
}

TEST(QuavrelNetCommandsTest, HelpListsTheCommands)
{
    ProgramRun run = RunQuavrelNet({"--help"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(listedCommands(run.out),
              (std::vector<std::string>{"get", "head", "hot-list", "m3u-read", "query-encode", "search-page",
                                        "strip-tags"}));
    // Without a command the same list goes to standard error, as a usage error.
    ProgramRun bare = RunQuavrelNet({});
    EXPECT_EQ(bare.code, 2);
    EXPECT_EQ(bare.out, "");
    EXPECT_EQ(bare.err, run.out);
}

// Each command tells what it does, without doing it.
TEST(QuavrelNetCommandsTest, EachCommandHasAHelp)
{
    const std::vector<std::string> names = listedCommands(RunQuavrelNet({"--help"}).out);
    ASSERT_FALSE(names.empty()) << "--help lists no command";
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ProgramRun run = RunQuavrelNet({name, "--help"});
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out.rfind("usage: quavrel-net " + name, 0), 0u) << run.out;
        EXPECT_GT(std::count(run.out.begin(), run.out.end(), '\n'), 1) << "no more than a usage line";
    }
}

// "write-loop" rewrote a real play list with made-up entries: the installed tool does not
// know it.
TEST(QuavrelNetCommandsTest, TheTestWriterIsNoCommand)
{
    test::TempDir dir;
    const std::string list = "#EXTM3U\r\n#EXTINF:0,mine\r\nhttp://h/1.mp3\r\n\r\n";
    test::writeFile(dir.file("default.m3u"), list);
    ProgramRun run = RunQuavrelNet({"write-loop", "default.m3u", dir.path(), "1"});
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.err.rfind("quavrel-net: unknown command 'write-loop'\n", 0), 0u) << run.err;
    EXPECT_EQ(test::readFile(dir.file("default.m3u")), list);
}

// A command called the wrong way says how to call it.
TEST(QuavrelNetCommandsTest, AWrongCallShowsTheUsage)
{
    ProgramRun run = RunQuavrelNet({"get", "-o"});
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.err, "usage: quavrel-net get [-o FILE] URL...\n");
    EXPECT_EQ(RunQuavrelNet({"m3u-read"}).err, "usage: quavrel-net m3u-read FILE\n");
}

}  // namespace
}  // namespace quavrel
