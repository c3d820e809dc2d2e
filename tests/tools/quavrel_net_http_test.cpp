// quavrel-net get/head against a scripted server: the bytes on standard output, the head
// line, the failure line on standard error and the exit codes.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"

extern char** environ;

using quavrel::test::HttpResponseText;
using quavrel::test::readFile;
using quavrel::test::Script;
using quavrel::test::ScriptedServer;
using quavrel::test::TempDir;

namespace {
struct Outcome {
    std::string out;
    std::string err;
    int code = -1;
};

Outcome quavrelNet(std::vector<std::string> args)
{
    const char* binary = std::getenv("QUAVREL_NET");
    if (!binary)
        throw std::runtime_error("QUAVREL_NET is not set");
    TempDir dir;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, dir.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    args.insert(args.begin(), binary);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    int rc = posix_spawn(&pid, binary, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start quavrel-net");
    int status = 0;
    waitpid(pid, &status, 0);
    Outcome run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(dir.file("out"));
    run.err = readFile(dir.file("err"));
    return run;
}
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
