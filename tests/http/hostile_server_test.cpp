// The HTTP client against misbehaving servers on 127.0.0.1: endless headers, overlong
// lines, endless bodies, resets and closes at awkward moments, absurd chunk sizes and a
// flood of cookies. Every case must end with its failure or a clean result: never a
// crash, a hang or memory that grows with what the server cares to send. Memory is
// measured with a counting global operator new, through which every string and buffer
// of the client is allocated.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "http/http_client.h"
#include "http/http_errors.h"
#include "tests/support/hostile_heap.h"
#include "tests/support/http_client_support.h"
#include "tests/support/loopback_listener.h"
#include "tests/support/scripted_server.h"

namespace quavrel {
namespace {

using test::FailureText;
using test::Script;
using test::ScriptedServer;
using test::HeapWatch;
using test::kMiB;

// A server that streams what a generator makes, for responses too big or endless to
// script: it reads one request head, then sends pieces until the generator says stop
// (then it closes) or the client goes away.
class StreamServer {
public:
    // Fills `piece` with the next bytes; false to close the connection.
    using Generator = std::function<bool(std::string& piece)>;

    explicit StreamServer(Generator generator) : generator_(std::move(generator))
    {
        fd_ = test::ListenOnLoopback(port_, 4);
        thread_ = std::thread([this] { serve(); });
    }

    ~StreamServer()
    {
        stopping_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        thread_.join();
        ::close(fd_);
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
    long long sent() const { return sent_.load(); }

private:
    void serve()
    {
        pollfd p{fd_, POLLIN, 0};
        while (!stopping_ && ::poll(&p, 1, 50) >= 0) {
            if (!(p.revents & POLLIN))
                continue;
            int client = ::accept(fd_, nullptr, nullptr);
            if (client < 0)
                continue;
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                head.append(buffer, static_cast<size_t>(n));
            }
            std::string piece;
            while (!stopping_ && generator_(piece)) {
                if (!sendAll(client, piece))
                    break;
            }
            ::close(client);
        }
    }

    bool sendAll(int client, const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::send(client, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
            sent_ += n;
        }
        return true;
    }

    Generator generator_;
    int fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<long long> sent_{0};
    std::thread thread_;
};

// Sends `head` once, then `repeat` again and again until `limit` bytes went out in all.
StreamServer::Generator headThenRepeat(std::string head, std::string repeat, long long limit)
{
    auto sent = std::make_shared<long long>(0);
    auto first = std::make_shared<bool>(true);
    return [=](std::string& piece) {
        if (*sent >= limit)
            return false;
        piece = *first ? head : repeat;
        *first = false;
        *sent += static_cast<long long>(piece.size());
        return true;
    };
}

// ---- Headers that never end ----

// Header lines for ever: the client gives up on a head that big instead of keeping every
// line. The server stops after 128 MiB, so a client without a bound ends too (with the
// whole flood in memory) rather than hanging the suite.
TEST(HostileHeadersTest, EndlessHeaderLinesFailWithBoundedMemory)
{
    std::string lines;
    for (int i = 0; i < 64; ++i)
        lines += "X-Filler: " + std::string(1000, 'a') + "\r\n";
    StreamServer server(headThenRepeat("HTTP/1.1 200 OK\r\n", lines, 128 * kMiB));
    TIdHTTP client;
    HeapWatch heap;
    EXPECT_EQ(FailureText([&] { client.GetText(server.url()); }), "EIdHeadTooLarge: Response headers exceed 8 MiB.");
    EXPECT_LT(heap.peakGrowth(), 32 * kMiB) << "the client kept the header flood: " << server.sent() << " bytes sent";
}

// Interim answers for ever, each setting a new cookie: together they are one head, with
// one limit, and the cookie store stays bounded meanwhile.
TEST(HostileHeadersTest, EndlessContinueAnswersFailAtTheHeadLimit)
{
    auto number = std::make_shared<long long>(0);
    auto sent = std::make_shared<long long>(0);
    StreamServer server([=](std::string& piece) {
        if (*sent >= 64 * kMiB)
            return false;
        piece.clear();
        for (int i = 0; i < 100; ++i)
            piece += "HTTP/1.1 100 Continue\r\nSet-Cookie: c" + std::to_string((*number)++) + "=" +
                     std::string(200, 'v') + "; path=/\r\n\r\n";
        *sent += static_cast<long long>(piece.size());
        return true;
    });
    TIdHTTP client;
    client.setRequestTimeLimit(test::kHangGuard);
    HeapWatch heap;
    EXPECT_EQ(FailureText([&] { client.GetText(server.url()); }), "EIdHeadTooLarge: Response headers exceed 8 MiB.");
    EXPECT_LT(heap.peakGrowth(), 16 * kMiB);
}

// The same flood as continuation lines, which all join the value of one header.
TEST(HostileHeadersTest, EndlessContinuationLinesFailWithBoundedMemory)
{
    std::string lines;
    for (int i = 0; i < 64; ++i)
        lines += " " + std::string(1000, 'b') + "\r\n";
    StreamServer server(headThenRepeat("HTTP/1.1 200 OK\r\nX-Long: a\r\n", lines, 128 * kMiB));
    TIdHTTP client;
    HeapWatch heap;
    std::string failure = FailureText([&] { client.GetText(server.url()); });
    EXPECT_NE(failure, "") << "an endless header value was taken as a response";
    EXPECT_LT(heap.peakGrowth(), 32 * kMiB) << "the client kept the header flood: " << server.sent() << " bytes sent";
}

// One header line that never ends fails at the line limit, whatever follows.
TEST(HostileHeadersTest, EndlessLineWithoutBreakFailsAtTheLineLimit)
{
    StreamServer server(headThenRepeat("HTTP/1.1 200 OK\r\nX-Endless: ", std::string(65536, 'c'), 64 * kMiB));
    TIdHTTP client;
    HeapWatch heap;
    EXPECT_EQ(FailureText([&] { client.GetText(server.url()); }),
              "EIdReadLnMaxLineLengthExceeded: Max line length exceeded.");
    EXPECT_LT(heap.peakGrowth(), 4 * kMiB);
}

// ---- The line limit, at its edge ----

// 16,384 bytes pass and 16,385 fail, for the status line, a header line and a chunk-size
// line alike (the CR before the LF does not count).
TEST(HostileLinesTest, LongestLinePassesAndOneByteMoreFails)
{
    struct Case {
        std::string name;
        std::string passing;
        std::string failing;
    } cases[] = {
        {"status line", "HTTP/1.1 200 " + std::string(16384 - 13, 'x') + "\r\nContent-Length: 2\r\n\r\nok",
         "HTTP/1.1 200 " + std::string(16385 - 13, 'x') + "\r\nContent-Length: 2\r\n\r\nok"},
        {"header line", "HTTP/1.1 200 OK\r\nX: " + std::string(16384 - 3, 'x') + "\r\nContent-Length: 2\r\n\r\nok",
         "HTTP/1.1 200 OK\r\nX: " + std::string(16385 - 3, 'x') + "\r\nContent-Length: 2\r\n\r\nok"},
        {"chunk-size line",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2 " + std::string(16384 - 2, ' ') + "\r\nok\r\n0\r\n\r\n",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2 " + std::string(16385 - 2, ' ') + "\r\nok\r\n0\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server;
        server.add(Script().read().send(c.passing).close());
        server.add(Script().read().send(c.failing).close());
        TIdHTTP passing;
        EXPECT_EQ(passing.GetText(server.url()), "ok");
        TIdHTTP failing;
        EXPECT_EQ(FailureText([&] { failing.GetText(server.url()); }),
                  "EIdReadLnMaxLineLengthExceeded: Max line length exceeded.");
    }
}

// ---- Bodies ----

// A body delimited by the close, 64 MiB long: it arrives whole, and once it is delivered
// the client keeps nothing of it (its input buffer stays small). While it grows, the
// string's doubling may cost up to three times the body for a moment, no more.
TEST(HostileBodyTest, HugeCloseDelimitedBodyIsHeldOnce)
{
    const long long total = 64 * kMiB;
    std::string block(65536, '\0');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>('a' + i % 26);
    const std::string head = "HTTP/1.1 200 OK\r\n\r\n";
    StreamServer server(headThenRepeat(head, block, total + static_cast<long long>(head.size())));
    TIdHTTP client;
    HeapWatch heap;
    std::string body = client.GetText(server.url());
    const long long peak = heap.peakGrowth();
    const long long kept = heap.liveGrowth() - static_cast<long long>(body.capacity());
    ASSERT_EQ(static_cast<long long>(body.size()), total);
    EXPECT_EQ(body.compare(0, block.size(), block), 0);
    EXPECT_EQ(body.compare(body.size() - block.size(), block.size(), block), 0);
    EXPECT_LT(kept, 4 * kMiB) << "the client holds on to body bytes after delivering them";
    EXPECT_LT(peak, 3 * total + 8 * kMiB) << "the body was held more than once";
}

// A counted body that announces 2 GiB - 1 and closes early ends cut back to its complete
// blocks; the announcement alone costs no more than address space.
TEST(HostileBodyTest, AnnouncedHugeLengthDoesNotReserveIt)
{
    ScriptedServer server;
    server.add(Script()
                   .read()
                   .send("HTTP/1.1 200 OK\r\nContent-Length: 2147483647\r\n\r\n")
                   .pause(50)
                   .send(std::string(70000, 'z'))
                   .close());
    TIdHTTP client;
    std::string body = client.GetText(server.url());
    EXPECT_EQ(body.size(), 65536u);
    EXPECT_EQ(body.find_first_not_of('z'), std::string::npos);
}

// A reset in the middle of a body fails the request with the socket error, whichever way
// the body is delimited, and nothing of it reaches the caller's stream.
TEST(HostileBodyTest, ResetInTheMiddleOfABodyIsASocketError)
{
    const std::string part(100000, 'r');
    const std::string heads[] = {
        "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nF4240\r\n",
        "HTTP/1.1 200 OK\r\n\r\n",
    };
    for (const std::string& head : heads) {
        SCOPED_TRACE(head);
        ScriptedServer server;
        server.add(Script().read().send(head + part).pause(100).reset());
        TIdHTTP client;
        std::string stream = "kept";
        std::string failure = FailureText([&] { client.GetToStream(server.url(), stream); });
        EXPECT_EQ(failure, "EIdSocketError: Socket Error # 10054\r\nConnection reset by peer.");
        EXPECT_EQ(stream, "kept");
    }
}

// The server closes right after the head of a 200: either the client notices the close
// before the body ("Undefined situation"), or the counted body ends at its last complete
// block, which is none. Either way no body bytes are invented.
TEST(HostileBodyTest, CloseBeforeTheBody)
{
    ScriptedServer server;
    server.add(Script().read().send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n").close());
    TIdHTTP client;
    std::string body = "unchanged";
    std::string failure = FailureText([&] { body = client.GetText(server.url()); });
    if (failure.empty())
        EXPECT_EQ(body, "");
    else
        EXPECT_EQ(failure, "EIdException: Undefined situation");
}

// A chunk size beyond 32 bits does not read as a size at all (the body ends there); the
// largest 32-bit size is read as it comes and ends with the close. Neither is reserved.
TEST(HostileBodyTest, AbsurdChunkSizesAreNeverAllocated)
{
    {
        ScriptedServer server;
        server.add(Script().read().send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                        "FFFFFFFFFFFF\r\nabc\r\n0\r\n\r\n").close());
        TIdHTTP client;
        HeapWatch heap;
        std::string body = "unchanged";
        std::string failure = FailureText([&] { body = client.GetText(server.url()); });
        EXPECT_TRUE(failure.empty() ? body.empty() : failure.rfind("EIdConnClosedGracefully", 0) == 0) << failure;
        EXPECT_LT(heap.peakGrowth(), 4 * kMiB);
    }
    {
        ScriptedServer server;
        server.add(Script().read().send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                        "7FFFFFFF\r\n" + std::string(1000, 'q')).close());
        TIdHTTP client;
        HeapWatch heap;
        EXPECT_EQ(FailureText([&] { client.GetText(server.url()); }),
                  "EIdConnClosedGracefully: Connection Closed Gracefully.");
        EXPECT_LT(heap.peakGrowth(), 4 * kMiB);
    }
}

// ---- A flood of cookies ----

// 10,000 Set-Cookie lines are taken, and the next request carries the newest 180 back
// folded into lines of at most 1,024 bytes; nothing grows beyond the cookies themselves.
TEST(HostileCookieTest, TenThousandSetCookieLinesComplete)
{
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n";
    for (int i = 0; i < 10000; ++i)
        head += "Set-Cookie: c" + std::to_string(i) + "=v" + std::to_string(i) + "; path=/\r\n";
    head += "\r\nok";
    ScriptedServer server;
    server.add(Script().read().send(head).read().send(test::HttpResponseText("done")).close());
    TIdHTTP client;
    HeapWatch heap;
    EXPECT_EQ(client.GetText(server.url()), "ok");
    EXPECT_EQ(client.GetText(server.url()), "done");
    EXPECT_LT(heap.peakGrowth(), 32 * kMiB);

    const std::string request = server.request(1);
    EXPECT_NE(request.find("Cookie: c9999=v9999; "), std::string::npos);
    EXPECT_NE(request.find(" c9820=v9820\r\n"), std::string::npos);
    EXPECT_EQ(request.find(" c9819=v9819"), std::string::npos);
    size_t start = 0;
    for (size_t end; (end = request.find("\r\n", start)) != std::string::npos; start = end + 2)
        ASSERT_LE(end - start, 1024u) << "an unfolded line of " << end - start << " bytes";
}

// A cookie with a CR in it would end the next request's "Cookie" line early and start a
// header line of the server's choosing: it is not kept.
TEST(HostileCookieTest, CookieWithACarriageReturnIsNotSentBack)
{
    ScriptedServer server;
    server.add(Script()
                   .answer(test::HttpResponseText("one", "HTTP/1.1 200 OK",
                                                  "Set-Cookie: cr=a\rX-Injected: yes; path=/\r\n"))
                   .answer(test::HttpResponseText("two"))
                   .hold());
    TIdHTTP client;
    EXPECT_EQ(client.GetText(server.url()), "one");
    EXPECT_EQ(client.GetText(server.url()), "two");
    EXPECT_EQ(server.request(1), test::ExpectedRequest("GET", "/", test::HostOf(server)));
}

}  // namespace
}  // namespace quavrel
