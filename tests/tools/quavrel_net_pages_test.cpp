// quavrel-net search-page, hot-list, query-encode and strip-tags: bytes in on standard
// input, exact bytes out.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

using quavrel::test::readFile;
using quavrel::test::TempDir;
using quavrel::test::writeFile;

struct ToolRun {
    int exitCode = -1;
    std::string out;
};

ToolRun runTool(const std::string& command, const std::string& input, const std::string& extra = "")
{
    TempDir dir;
    const char* tool = std::getenv("QUAVREL_NET");
    EXPECT_NE(tool, nullptr) << "QUAVREL_NET not set";
    writeFile(dir.file("in"), input);
    std::string line = std::string("'") + (tool ? tool : "quavrel-net") + "' " + command + extra + " <'" +
                       dir.file("in") + "' >'" + dir.file("out") + "' 2>/dev/null";
    int status = std::system(line.c_str());
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(dir.file("out"));
    return run;
}

// ---- Page commands ----

TEST(QuavrelNetPages, SearchPagePrintsRecordsInPageOrder)
{
    std::string page =
        "<td class=p14><a href=' http://h/1.mp3'><b>\xB8\xE8 One</b></a> singer=S1\" keyword=A1\"\r\n"
        "<td class=p14><a href='http://h/2.mp3'>Two</a>\r\nsinger= S2 \"\r\nkeyword=<i>A2</i>\"";
    ToolRun run = runTool("search-page", page);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, " http://h/1.mp3\t\xB8\xE8 One\tS1\tA1\n"
                       "http://h/2.mp3\tTwo\tS2\tA2\n");
}

TEST(QuavrelNetPages, HotListPrintsUrlFirst)
{
    ToolRun run = runTool("hot-list", "#A||u1||S||B#<br>\r\n#C||u2||||D#<br>#E||u3||x||y#<BR>");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "u1\tA\tS\tB\nu2\tC\t\tD\n");
}

TEST(QuavrelNetPages, PageWithoutEntriesPrintsNothing)
{
    ToolRun run = runTool("search-page", "<html></html>");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
}

// ---- Filters ----

TEST(QuavrelNetPages, QueryEncodeWholeInput)
{
    ToolRun run = runTool("query-encode", "\xD5\xC5 a+b\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "%D5%C5+a%2Bb%0A");
}

TEST(QuavrelNetPages, StripTagsKeepsBytesAfterNul)
{
    ToolRun run = runTool("strip-tags", std::string("x <y> z\0<b>", 11));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, std::string("x  z\0<b>", 8));
}

TEST(QuavrelNetPages, ExtraArgumentIsAUsageError)
{
    EXPECT_EQ(runTool("strip-tags", "", " extra").exitCode, 2);
}

}  // namespace
