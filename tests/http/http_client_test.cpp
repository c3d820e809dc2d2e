#include "http/http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/http_client_support.h"
#include "tests/support/loopback_listener.h"
#include "tests/support/scripted_server.h"

using namespace quavrel;
using quavrel::test::BodyOrFailure;
using quavrel::test::ExpectedRequest;
using quavrel::test::FailureText;
using quavrel::test::HostOf;
using quavrel::test::HttpResponseText;
using quavrel::test::kHangGuard;
using quavrel::test::Script;
using quavrel::test::ScriptedServer;

namespace {
template <typename E, typename F>
std::string failureOf(F&& call)
{
    try {
        call();
    } catch (const E& e) {
        return e.message();
    } catch (const Exception& e) {
        return std::string("wrong class ") + e.className() + ": " + e.message();
    }
    return "no exception";
}
}  // namespace

// The request on the wire
TEST(HttpRequestTest, GetSendsTheExactBytes)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("hi")));
    TIdHTTP http;
    EXPECT_EQ(http.GetText(server.url("/a/b.mp3?x=1#frag")), "hi");
    EXPECT_EQ(server.request(0), ExpectedRequest("GET", "/a/b.mp3?x=1", HostOf(server)));
}

TEST(HttpRequestTest, HeadSendsTheExactBytesAndReadsStatusAndLength)
{
    ScriptedServer server;
    server.add(Script().answer("HTTP/1.1 200 OK\r\nContent-Length: 4096\r\n\r\n"));
    TIdHTTP http;
    http.Head(server.url("/song.mp3"));
    EXPECT_EQ(server.request(0), ExpectedRequest("HEAD", "/song.mp3", HostOf(server)));
    EXPECT_EQ(http.StatusCode(), 200);
    EXPECT_EQ(http.ContentLength(), 4096);
    EXPECT_EQ(http.StatusLine(), "HTTP/1.1 200 OK");
}

TEST(HttpRequestTest, EncodedKeywordGoesOutAsItStands)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("")));
    TIdHTTP http;
    http.GetText(server.url("/searchmp3?type=5&keyword=%B0%AE&items=1"));
    EXPECT_EQ(server.request(0).substr(0, 50), "GET /searchmp3?type=5&keyword=%B0%AE&items=1 HTTP/");
}

// A doubled slash at the start of the path is part of the path, and goes out as it stands.
TEST(HttpRequestTest, DoubledSlashAtThePathStartIsKept)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("")));
    TIdHTTP http;
    http.GetText(server.url("//a/b.mp3"));
    EXPECT_EQ(server.request(0), ExpectedRequest("GET", "//a/b.mp3", HostOf(server)));
}

// Port 80 is left out of the Host value; needs the right to listen on port 80.
TEST(HttpRequestTest, HostOmitsPort80)
{
    std::unique_ptr<ScriptedServer> server;
    try {
        server = std::make_unique<ScriptedServer>(80);
    } catch (const std::exception&) {
        GTEST_SKIP() << "port 80 is not available";
    }
    server->add(Script().answer(HttpResponseText("")));
    TIdHTTP http;
    http.GetText("http://127.0.0.1/x");
    EXPECT_EQ(server->request(0), ExpectedRequest("GET", "/x", "127.0.0.1"));
}

TEST(HttpRequestTest, LongCookieLineIsFolded)
{
    std::string setCookies;
    for (int i = 0; i < 60; ++i)
        setCookies += "Set-Cookie: cookie" + std::to_string(i) + "=" + std::string(30, 'v') + "; path=/\r\n";
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("", "HTTP/1.1 200 OK", setCookies)).answer(HttpResponseText("")));
    TIdHTTP http;
    http.GetText(server.url("/"));
    http.GetText(server.url("/"));
    std::string request = server.request(1);
    size_t start = request.find("Cookie: ");
    ASSERT_NE(start, std::string::npos);
    std::string cookie = request.substr(start, request.size() - 2 - start);
    size_t lines = 0;
    size_t pos = 0;
    while (pos < cookie.size()) {
        size_t end = cookie.find("\r\n", pos);
        std::string line = cookie.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        EXPECT_LE(line.size(), 1024u);
        if (lines++ > 0) {
            EXPECT_EQ(line[0], ' ');
        }
        pos = end == std::string::npos ? cookie.size() : end + 2;
    }
    EXPECT_GT(lines, 1u);
    EXPECT_NE(cookie.find("cookie59=" + std::string(30, 'v')), std::string::npos);
}

// Statuses that fail the request
TEST(HttpStatusTest, RedirectFailsWithTheStatusLine)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("moved", "HTTP/1.1 302 Found", "Location: http://x/\r\n")));
    TIdHTTP http;
    EXPECT_EQ(failureOf<EIdHTTPProtocolException>([&] { http.GetText(server.url()); }), "HTTP/1.1 302 Found");
}

TEST(HttpStatusTest, LocationOnA200FailsToo)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("x", "HTTP/1.1 200 OK", "Location: /elsewhere\r\n")));
    TIdHTTP http;
    EXPECT_EQ(failureOf<EIdHTTPProtocolException>([&] { http.GetText(server.url()); }), "HTTP/1.1 200 OK");
}

TEST(HttpStatusTest, ContinueIsSkipped)
{
    ScriptedServer server;
    server.add(Script().read().send("HTTP/1.1 100 Continue\r\nX: 1\r\n\r\n" + HttpResponseText("final")).hold());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(server.url()), "final");
    EXPECT_EQ(http.StatusCode(), 200);
}

// The failing answer's body is read away, so the next answer on the connection is intact.
TEST(HttpStatusTest, NotFoundBodyIsDrainedAndConnectionKept)
{
    ScriptedServer server;
    server.add(Script()
                   .answer(HttpResponseText("missing page", "HTTP/1.1 404 Not Found"))
                   .answer(HttpResponseText("second"))
                   .hold());
    TIdHTTP http;
    EXPECT_EQ(failureOf<EIdHTTPProtocolException>([&] { http.GetText(server.url("/a")); }), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(http.GetText(server.url("/b")), "second");
    EXPECT_EQ(server.connections(), 1);
}

// A HEAD answer never carries the announced body, so the drain waits out its 2,000 ms.
TEST(HttpStatusTest, HeadNotFoundWithLengthWaitsThenReadTimeout)
{
    ScriptedServer server;
    server.add(Script().answer("HTTP/1.1 404 Not Found\r\nContent-Length: 500\r\n\r\n").hold());
    TIdHTTP http;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(failureOf<EIdReadTimeout>([&] { http.Head(server.url("/gone.mp3")); }), "Read Timeout");
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1900));
    EXPECT_LT(waited, std::chrono::seconds(30));
}

TEST(HttpStatusTest, BasicChallengeAddsAnEmptyCredentialToLaterRequests)
{
    ScriptedServer server;
    server.add(Script()
                   .answer(HttpResponseText("", "HTTP/1.1 401 Unauthorized", "WWW-Authenticate: Basic realm=\"x\"\r\n"))
                   .answer(HttpResponseText("", "HTTP/1.1 401 Unauthorized"))
                   .hold());
    TIdHTTP http;
    EXPECT_THROW(http.GetText(server.url("/1")), EIdHTTPProtocolException);
    EXPECT_THROW(http.GetText(server.url("/2")), EIdHTTPProtocolException);
    EXPECT_EQ(server.request(0).find("Authorization"), std::string::npos);
    EXPECT_EQ(server.request(1), ExpectedRequest("GET", "/2", HostOf(server), "Authorization: Basic Og==\r\n"));
}

TEST(HttpStatusTest, HeadersCutShortOnA200IsAnUndefinedSituation)
{
    ScriptedServer server;
    server.add(Script().read().send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n").close());
    TIdHTTP http;
    EXPECT_EQ(failureOf<EIdException>([&] { http.GetText(server.url()); }), "Undefined situation");
}

// A close inside the head leaves no answer to deliver, whatever the lines so far said.
TEST(HttpStatusTest, HeaderLineCutShortFailsGetAndHead)
{
    const std::string cutShort = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nX-Partial: abc";
    ScriptedServer server;
    server.add(Script().read().send(cutShort).close());
    server.add(Script().read().send(cutShort).close());
    TIdHTTP get, head;
    EXPECT_EQ(FailureText([&] { get.GetText(server.url()); }), "EIdException: Undefined situation");
    EXPECT_EQ(FailureText([&] { head.Head(server.url()); }), "EIdException: Undefined situation");
}

// The status is decided before the close is: a failing status fails with its status line,
// and the dropped connection is not used again.
TEST(HttpStatusTest, HeaderLineCutShortOnAFailingStatusGivesTheStatusLine)
{
    ScriptedServer server;
    server.add(Script().read().send("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nX-Par").close());
    server.add(Script().answer(HttpResponseText("next")).hold());
    TIdHTTP http;
    EXPECT_EQ(FailureText([&] { http.GetText(server.url("/a")); }),
              "EIdHTTPProtocolException: HTTP/1.1 404 Not Found");
    EXPECT_EQ(http.GetText(server.url("/b")), "next");
    EXPECT_EQ(server.connections(), 2);
}

// Only 100 is skipped; every other informational status, and 304, fails like an error.
TEST(HttpStatusTest, Other1xxAnd304AreStatusFailures)
{
    const char* statuses[] = {"HTTP/1.1 101 Switching Protocols", "HTTP/1.1 199 Later", "HTTP/1.1 304 Not Modified"};
    Script script;
    for (const char* status : statuses)
        script.answer(HttpResponseText("", status));
    ScriptedServer server;
    server.add(script.hold());
    TIdHTTP http;
    http.setRequestTimeLimit(kHangGuard);   // a skipped status would wait for one more
    for (const char* status : statuses)
        EXPECT_EQ(FailureText([&] { http.GetText(server.url()); }), std::string("EIdHTTPProtocolException: ") + status);
}

// Bodies through the client
TEST(HttpBodyTest, CloseDelimitedBody)
{
    ScriptedServer server;
    server.add(Script().read().send("HTTP/1.1 200 OK\r\n\r\n").pause(50).send("up to the close").close());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(server.url()), "up to the close");
}

TEST(HttpBodyTest, ZeroLengthAndUnreadableLength)
{
    ScriptedServer server;
    server.add(Script()
                   .answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")
                   .answer("HTTP/1.1 200 OK\r\nContent-Length: many\r\n\r\n")
                   .hold());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(server.url()), "");
    http.Head(server.url());
    EXPECT_EQ(http.ContentLength(), -1);
}

TEST(HttpBodyTest, ChunkedBodyIsDecoded)
{
    ScriptedServer server;
    std::string chunk(26, 'c');
    server.add(Script()
                   .read()
                   .send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1a\r\n" + chunk)
                   .pause(30)
                   .send("\r\n0\r\n\r\n")
                   .hold());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(server.url()), chunk);
}

TEST(HttpBodyTest, CapitalChunkedComesBackRaw)
{
    ScriptedServer server;
    server.add(Script().read().send("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n").close());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(server.url()), "3\r\nabc\r\n0\r\n\r\n");
}

TEST(HttpBodyTest, EarlyCloseGivesTheCompleteBlocks)
{
    ScriptedServer server;
    server.add(Script()
                   .read()
                   .send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n")
                   .pause(100)
                   .send(std::string(70000, 'd'))
                   .close());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(server.url()).size(), 65536u);
}

TEST(HttpBodyTest, FailedBodyLeavesTheStreamAsItWas)
{
    ScriptedServer server;
    server.add(Script().read().send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nabc").close());
    TIdHTTP http;
    std::string stream = "before";
    EXPECT_THROW(http.GetToStream(server.url(), stream), EIdConnClosedGracefully);
    EXPECT_EQ(stream, "before");
}

TEST(HttpBodyTest, GetToStreamAppendsAndProgressEndsAtTheTotal)
{
    ScriptedServer server;
    std::string body(300000, 'p');
    server.add(Script().answer(HttpResponseText(body)).hold());
    TIdHTTP http;
    std::vector<std::pair<int64_t, int64_t>> calls;
    http.setProgress([&](int64_t received, int64_t total) { calls.emplace_back(received, total); });
    std::string stream = "x";
    http.GetToStream(server.url(), stream);
    EXPECT_EQ(stream, "x" + body);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), std::make_pair(int64_t(300000), int64_t(300000)));
}

TEST(HttpBodyTest, GetToSinkHandsOverTheBodyAsItArrives)
{
    ScriptedServer server;
    server.add(Script()
                   .read()
                   .send("HTTP/1.1 200 OK\r\nContent-Length: 70000\r\n\r\n" + std::string(40000, 'a'))
                   .pause(100)
                   .send(std::string(30000, 'b'))
                   .hold());
    TIdHTTP http;
    std::string seen;
    size_t calls = 0;
    http.GetToSink(server.url(), [&](const char* data, size_t size) {
        seen.append(data, size);
        ++calls;
    });
    EXPECT_EQ(seen, std::string(40000, 'a') + std::string(30000, 'b'));
    EXPECT_GT(calls, 1u);
}

TEST(HttpBodyTest, OverlongHeaderLineFails)
{
    ScriptedServer server;
    server.add(Script().read().send("HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'x') + "\r\n\r\n").hold());
    TIdHTTP http;
    EXPECT_EQ(failureOf<EIdReadLnMaxLineLengthExceeded>([&] { http.GetText(server.url()); }),
              "Max line length exceeded.");
}

// Connection reuse

// An answer carrying `closeHeader` ends its connection: the next request connects anew,
// even though the server keeps its side open.
namespace {
void ExpectReconnectAfter(const std::string& closeHeader)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("one", "HTTP/1.1 200 OK", closeHeader)).hold());
    server.add(Script().answer(HttpResponseText("two")).hold());
    TIdHTTP http;
    http.setRequestTimeLimit(kHangGuard);
    EXPECT_EQ(http.GetText(server.url()), "one");
    EXPECT_EQ(BodyOrFailure(http, server.url()), "two") << "the connection the answer closed was used again";
    EXPECT_EQ(server.connections(), 2);
}
}  // namespace

TEST(HttpConnectionTest, ConnectionCloseForcesAReconnect) { ExpectReconnectAfter("Connection: close\r\n"); }

// The value is trimmed and compared without regard to case.
TEST(HttpConnectionTest, ProxyConnectionCloseCountsToo) { ExpectReconnectAfter("Proxy-Connection:  CLOSE \r\n"); }

TEST(HttpConnectionTest, Http10WithKeepAliveStaysOpen)
{
    ScriptedServer server;
    server.add(Script()
                   .answer(HttpResponseText("one", "HTTP/1.0 200 OK", "Connection: keep-alive\r\n"))
                   .answer(HttpResponseText("two", "HTTP/1.0 200 OK"))
                   .answer(HttpResponseText("three"))
                   .hold());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(server.url()), "one");
    EXPECT_EQ(http.GetText(server.url()), "two");
    EXPECT_EQ(http.GetText(server.url()), "three");
    EXPECT_EQ(server.connections(), 1);
}

TEST(HttpConnectionTest, ServerCloseOfAnIdleConnectionIsNoticedBeforeWriting)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("one")).close());
    server.add(Script().answer(HttpResponseText("two")).hold());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(server.url()), "one");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));   // the server closes meanwhile
    EXPECT_EQ(http.GetText(server.url()), "two");
    EXPECT_EQ(server.connections(), 2);
}

TEST(HttpConnectionTest, AnotherPortMeansAnotherConnection)
{
    ScriptedServer first, second;
    first.add(Script().answer(HttpResponseText("a")).hold());
    second.add(Script().answer(HttpResponseText("b")).hold());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(first.url()), "a");
    EXPECT_EQ(http.GetText(second.url()), "b");
    EXPECT_EQ(first.connections(), 1);
    EXPECT_EQ(second.connections(), 1);
}

// URLs that fail before any connection
TEST(HttpUrlFailureTest, SchemesAndPorts)
{
    TIdHTTP http;
    EXPECT_EQ(failureOf<EIdIOHandlerPropInvalid>([&] { http.GetText("https://127.0.0.1/"); }),
              "IOHandler value is not valid");
    EXPECT_EQ(failureOf<EIdUnknownProtocol>([&] { http.GetText("ftp://127.0.0.1/"); }), "");
    EXPECT_EQ(failureOf<EConvertError>([&] { http.GetText("http://127.0.0.1:8o/"); }),
              "'8o' is not a valid integer value");
    EXPECT_EQ(failureOf<EIdInvalidPort>([&] { http.GetText("http://127.0.0.1:65536/"); }),
              "Port number out of range: 65536");
}

TEST(HttpUrlFailureTest, OtherSchemeWithAPortIsPlainHttp)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("plain")));
    TIdHTTP http;
    EXPECT_EQ(http.GetText("ftp://127.0.0.1:" + std::to_string(server.port()) + "/f"), "plain");
}

// A line break or NUL in an address would let a page write header lines of its own into
// the request: such an address fails before any connection is made.
TEST(HttpUrlFailureTest, LineBreaksAndNulFailBeforeConnecting)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("injected")));
    const std::string urls[] = {server.url("/a\r\nX-Injected: 1"), server.url("/a\nX: 1"), server.url("/a\r"),
                                server.url("/a") + std::string(1, '\0') + "b", "http://127.0.0.1\r\n:1/"};
    TIdHTTP http;
    for (const std::string& url : urls)
        EXPECT_EQ(FailureText([&] { http.GetText(url); }), "EIdInvalidURL: URL contains a CR, LF or NUL byte");
    EXPECT_EQ(server.connections(), 0);
}

// Relative URLs go to the host of the previous request; a fresh client has none.
TEST(HttpUrlFailureTest, RelativeUrls)
{
    TIdHTTP fresh;
    EXPECT_EQ(failureOf<EIdSocketError>([&] { fresh.GetText("/hotlist.asp"); }), "Socket Error # 11001\r\n");

    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("1")).answer(HttpResponseText("2")).hold());
    TIdHTTP http;
    http.GetText(server.url("/a"));
    EXPECT_EQ(http.GetText("/b"), "2");
    EXPECT_EQ(server.request(1), ExpectedRequest("GET", "/b", HostOf(server)));
}

// Socket errors
TEST(HttpSocketErrorTest, RefusedConnectCarriesTheWindowsCodeAndText)
{
    TIdHTTP http;
    try {
        http.GetText("http://127.0.0.1:" + std::to_string(test::ClosedLoopbackPort()) + "/");
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_STREQ(e.className(), "EIdSocketError");
        EXPECT_EQ(e.code(), 10061);
        EXPECT_EQ(e.message(), "Socket Error # 10061\r\nConnection refused.");
    }
}

TEST(HttpSocketErrorTest, ResetDuringTheBody)
{
    ScriptedServer server;
    server.add(Script().read().send("HTTP/1.1 200 OK\r\n\r\npartial").pause(100).reset());
    TIdHTTP http;
    EXPECT_EQ(failureOf<EIdSocketError>([&] { http.GetText(server.url()); }),
              "Socket Error # 10054\r\nConnection reset by peer.");
}

TEST(HttpSocketErrorTest, TableTexts)
{
    EXPECT_EQ(SocketErrorMessage(10035), "Socket Error # 10035\r\nOperation would block. ");
    EXPECT_EQ(SocketErrorMessage(10065), "Socket Error # 10065\r\nNo route to host.");
    EXPECT_EQ(SocketErrorMessage(10066), "Socket Error # 10066\r\nDirectory not empty");
    EXPECT_EQ(SocketErrorMessage(10067), "Socket Error # 10067\r\n");
}

// Cookies through the client
TEST(HttpCookieTest, CookieWithPathGoesBackLastInTheHeaders)
{
    ScriptedServer server;
    server.add(Script()
                   .answer(HttpResponseText("", "HTTP/1.1 200 OK",
                                            "Set-Cookie: sid=42; path=/\r\nSet-Cookie: nopath=1\r\n"))
                   .answer(HttpResponseText(""))
                   .hold());
    TIdHTTP http;
    http.GetText(server.url("/hotlist.asp"));
    http.GetText(server.url("/searchmp3?x=1"));
    EXPECT_EQ(server.request(1), ExpectedRequest("GET", "/searchmp3?x=1", HostOf(server), "Cookie: sid=42\r\n"));
}

// Cookies are taken from every answer: a failing one, a redirect, a 100 before the answer.
TEST(HttpCookieTest, CookiesOfFailingRedirectAndContinueAnswersAreKept)
{
    ScriptedServer server;
    server.add(Script()
                   .answer(HttpResponseText("", "HTTP/1.1 404 Not Found", "Set-Cookie: a=1; path=/\r\n"))
                   .answer(HttpResponseText("", "HTTP/1.1 302 Found", "Location: /x\r\nSet-Cookie: b=2; path=/\r\n"))
                   .answer("HTTP/1.1 100 Continue\r\nSet-Cookie: c=3; path=/\r\n\r\n" + HttpResponseText("ok"))
                   .answer(HttpResponseText(""))
                   .hold());
    TIdHTTP http;
    EXPECT_THROW(http.GetText(server.url("/1")), EIdHTTPProtocolException);
    EXPECT_THROW(http.GetText(server.url("/2")), EIdHTTPProtocolException);
    EXPECT_EQ(http.GetText(server.url("/3")), "ok");
    http.GetText(server.url("/4"));
    EXPECT_EQ(server.request(3), ExpectedRequest("GET", "/4", HostOf(server), "Cookie: c=3; b=2; a=1\r\n"));
}

TEST(HttpCookieTest, Cookie2PortListFailsTheRequest)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("", "HTTP/1.1 200 OK", "Set-Cookie2: a=1; Port=\"80,8o\"\r\n")));
    TIdHTTP http;
    EXPECT_EQ(failureOf<EConvertError>([&] { http.GetText(server.url()); }), "'8o' is not a valid integer value");
}

// One request at a time
TEST(HttpBusyTest, SecondRequestOnABusyClientIsRefused)
{
    ScriptedServer server;
    server.add(Script().read().pause(400).send(HttpResponseText("slow")).hold());
    TIdHTTP http;
    std::string result;
    std::thread first([&] { result = http.GetText(server.url()); });
    for (int i = 0; i < 500 && server.requests().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(http.busy());
    EXPECT_EQ(failureOf<EIdClientBusy>([&] { http.GetText(server.url()); }),
              "The connection is busy with another request.");
    first.join();
    EXPECT_EQ(result, "slow");
    EXPECT_FALSE(http.busy());
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(HttpLimitTest, WholeRequestLimitEndsAServerThatNeverAnswers)
{
    ScriptedServer server;
    server.add(Script().read().hold());
    TIdHTTP http;
    http.setRequestTimeLimit(std::chrono::milliseconds(300));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(failureOf<EIdReadTimeout>([&] { http.GetText(server.url()); }), "Read Timeout");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

// The limit covers the whole body, not each wait: a server trickling bytes is cut off too.
TEST(HttpLimitTest, WholeRequestLimitCoversATricklingBody)
{
    ScriptedServer server;
    Script script;
    script.read().send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
    for (int i = 0; i < 100; ++i)
        script.send("x").pause(50);
    server.add(script);
    TIdHTTP http;
    http.setRequestTimeLimit(std::chrono::milliseconds(500));
    EXPECT_EQ(failureOf<EIdReadTimeout>([&] { http.GetText(server.url()); }), "Read Timeout");
}
