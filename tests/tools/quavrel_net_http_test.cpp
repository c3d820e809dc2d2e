// quavrel-net get/head against a scripted server: the bytes on standard output, the head
// line, the failure line on standard error and the exit codes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/run_program.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"

using quavrel::test::HttpResponseText;
using quavrel::test::readFile;
using quavrel::test::Script;
using quavrel::test::ScriptedServer;
using quavrel::test::TempDir;

namespace {
using Outcome = quavrel::test::ProgramRun;

Outcome quavrelNet(std::vector<std::string> args) { return quavrel::test::RunQuavrelNet(std::move(args)); }
}  // namespace

TEST(QuavrelNetHttpTest, GetWritesTheBodyBytes)
{
    std::string body("GBK \xD6\xD0\xCE\xC4\r\n\0end", 13);
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText(body)));
    Outcome run = quavrelNet({"get", server.url("/page")});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, body);
    EXPECT_EQ(run.err, "");
}

TEST(QuavrelNetHttpTest, GetToAFile)
{
    TempDir dir;
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("one")).answer(HttpResponseText("two")).hold());
    Outcome run = quavrelNet({"get", "-o", dir.file("body"), server.url("/1"), server.url("/2")});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readFile(dir.file("body")), "onetwo");
}

TEST(QuavrelNetHttpTest, HeadPrintsStatusAndLength)
{
    ScriptedServer server;
    server.add(Script()
                   .answer("HTTP/1.1 200 OK\r\nContent-Length: 4096\r\n\r\n")
                   .answer("HTTP/1.1 204 No Content\r\n\r\n")
                   .hold());
    Outcome run = quavrelNet({"head", server.url("/a.mp3"), server.url("/b.mp3")});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "200 4096\n204 -1\n");
    EXPECT_EQ(server.connections(), 1);
}

// Several URLs share one client: one connection, and a cookie of the first answer goes
// with the second request.
TEST(QuavrelNetHttpTest, SeveralUrlsShareConnectionAndCookies)
{
    ScriptedServer server;
    server.add(Script()
                   .answer(HttpResponseText("a", "HTTP/1.1 200 OK", "Set-Cookie: s=1; path=/\r\n"))
                   .answer(HttpResponseText("b"))
                   .hold());
    Outcome run = quavrelNet({"get", server.url("/hotlist.asp"), server.url("/next")});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "ab");
    EXPECT_EQ(server.connections(), 1);
    EXPECT_NE(server.request(1).find("\r\nCookie: s=1\r\n"), std::string::npos);
}

TEST(QuavrelNetHttpTest, FailureLineAndExitCode)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("x", "HTTP/1.1 404 Not Found")));
    Outcome run = quavrelNet({"get", server.url("/missing")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "EIdHTTPProtocolException: HTTP/1.1 404 Not Found\n");
}

TEST(QuavrelNetHttpTest, SocketErrorShowsLineBreaksEscaped)
{
    ScriptedServer probe;
    std::string url = probe.url("/");
    probe.stop();
    Outcome run = quavrelNet({"head", url});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "EIdSocketError: Socket Error # 10061\\r\\nConnection refused.\n");
}

// An address with a line break is refused before any connection, on one line of its own.
TEST(QuavrelNetHttpTest, AddressWithLineBreakIsRefused)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("injected")));
    Outcome run = quavrelNet({"get", server.url("/a\r\nX-Injected: 1")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "EIdInvalidURL: URL contains a CR, LF or NUL byte\n");
    EXPECT_EQ(server.connections(), 0);
}

// The second URL fails: the first body is not written either, and no third request is sent.
TEST(QuavrelNetHttpTest, StopsAtTheFirstFailure)
{
    ScriptedServer server;
    server.add(Script()
                   .answer(HttpResponseText("fine"))
                   .answer(HttpResponseText("", "HTTP/1.1 302 Found", "Location: /x\r\n"))
                   .hold());
    Outcome run = quavrelNet({"get", server.url("/1"), server.url("/2"), server.url("/3")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "EIdHTTPProtocolException: HTTP/1.1 302 Found\n");
    EXPECT_EQ(server.requests().size(), 2u);
}

// The file is replaced only when every body arrived; a failure leaves it and no stray file.
TEST(QuavrelNetHttpTest, FailedGetLeavesTheFileAlone)
{
    TempDir dir;
    quavrel::test::writeFile(dir.file("body"), "old");
    ScriptedServer server;
    server.add(Script()
                   .answer(HttpResponseText("first"))
                   .read()
                   .send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nshort")
                   .close());
    Outcome run = quavrelNet({"get", "-o", dir.file("body"), server.url("/1"), server.url("/2")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "EIdConnClosedGracefully: Connection Closed Gracefully.\n");
    EXPECT_EQ(readFile(dir.file("body")), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

// `get -o /dev/null` as root once turned the system's null device into a regular file. A
// private node with the null device's numbers stands in for it here.
TEST(QuavrelNetHttpTest, GetToADeviceWritesToItAndLeavesItADevice)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can make a device node";
    TempDir dir;
    const std::string null = dir.file("null");
    ASSERT_EQ(mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("song bytes")));
    Outcome run = quavrelNet({"get", "-o", null, server.url("/song.mp3")});
    EXPECT_EQ(run.code, 0) << run.err;
    struct stat st {};
    ASSERT_EQ(lstat(null.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 3));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

// ---- A body cut short ----

// The server announces 102,400 bytes, sends half and closes. The program's own download
// refuses such a body; so does the command: to a file, which keeps its old contents, and
// to standard output, which gets nothing.
namespace {
Script announcesMoreThanItSends()
{
    return Script()
        .read()
        .send("HTTP/1.1 200 OK\r\nContent-Length: 102400\r\n\r\n" + std::string(51200, 'p'))
        .close();
}
}  // namespace

TEST(QuavrelNetHttpTest, BodyCutShortLeavesTheFileAlone)
{
    TempDir dir;
    quavrel::test::writeFile(dir.file("song.mp3"), "the old song");
    ScriptedServer server;
    server.add(announcesMoreThanItSends());
    Outcome run = quavrelNet({"get", "-o", dir.file("song.mp3"), server.url("/song.mp3")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "EIdConnClosedGracefully: Connection Closed Gracefully.\n");
    const std::string kept = readFile(dir.file("song.mp3"));
    EXPECT_TRUE(kept == "the old song") << "the file now holds " << kept.size() << " bytes";
    EXPECT_EQ(quavrel::test::namesIn(dir.path()), std::vector<std::string>{"song.mp3"});
}

TEST(QuavrelNetHttpTest, BodyCutShortPrintsNothing)
{
    ScriptedServer server;
    server.add(announcesMoreThanItSends());
    Outcome run = quavrelNet({"get", server.url("/song.mp3")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out.size(), 0u);
    EXPECT_EQ(run.err, "EIdConnClosedGracefully: Connection Closed Gracefully.\n");
}

// ---- Folders that refuse a new file ----

// The user saves over their own song in a folder they made read-only: the folder takes
// no temporary file, but the song itself may be written, and is.
TEST(QuavrelNetHttpTest, GetOverAFileInAReadOnlyFolder)
{
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const std::string folder = dir.file("music");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string path = folder + "/song.mp3";
    quavrel::test::writeFile(path, "the old song");
    quavrel::test::HandToUnprivileged(path, 0644);
    quavrel::test::HandToUnprivileged(folder, 0555);
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("the new song, somewhat longer")));
    // The build may lie in a folder the test user cannot reach, such as root's home.
    const std::string tool = dir.file("quavrel-net");
    std::filesystem::copy_file(quavrel::test::QuavrelNetPath(), tool);
    Outcome run = quavrel::test::RunProgram(
        quavrel::test::CommandAsUnprivileged({tool, "get", "-o", path, server.url("/song.mp3")}));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(readFile(path), "the new song, somewhat longer");
    EXPECT_EQ(quavrel::test::namesIn(folder), std::vector<std::string>{"song.mp3"});
}

// ---- Names with IPv6 addresses ----

// A name is looked up for both families, and its addresses are tried in turn. The test
// gives quavrel-net a hosts file of its own, in a mount namespace of its own; "both"
// has ::1 and 127.0.0.1, and whichever comes first refuses one of the two requests.
TEST(QuavrelNetHttpTest, NamesAreLookedUpForBothFamilies)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give quavrel-net a hosts file of its own";
    TempDir dir;
    quavrel::test::writeFile(dir.file("hosts"), "::1 six.quavrel.test\n"
                                                "::1 both.quavrel.test\n"
                                                "127.0.0.1 both.quavrel.test\n");
    ScriptedServer v6(0, quavrel::test::Loopback::kIpv6);
    v6.add(Script().answer(HttpResponseText("six")));
    v6.add(Script().answer(HttpResponseText("six again")));
    ScriptedServer v4;
    v4.add(Script().answer(HttpResponseText("four")));
    auto get = [&](const std::string& host, const ScriptedServer& server) {
        return quavrel::test::RunProgram({"unshare", "--mount", "sh", "-c", "mount --bind \"$0\" /etc/hosts && exec \"$@\"",
                                          dir.file("hosts"), quavrel::test::QuavrelNetPath(), "get",
                                          "http://" + host + ":" + std::to_string(server.port()) + "/"});
    };
    Outcome six = get("six.quavrel.test", v6);
    EXPECT_EQ(six.err, "");
    EXPECT_EQ(six.out, "six");
    Outcome bothToSix = get("both.quavrel.test", v6);
    EXPECT_EQ(bothToSix.err, "");
    EXPECT_EQ(bothToSix.out, "six again");
    Outcome bothToFour = get("both.quavrel.test", v4);
    EXPECT_EQ(bothToFour.err, "");
    EXPECT_EQ(bothToFour.out, "four");
    EXPECT_NE(v4.request(0).find("\r\nHost: both.quavrel.test:" + std::to_string(v4.port()) + "\r\n"),
              std::string::npos);
}
