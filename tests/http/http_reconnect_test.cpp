// A server may close a kept connection while it is idle, and its close may cross the
// client's next request: the request then meets a close or a reset before any byte of
// an answer. Such a GET or HEAD goes out once more on a fresh connection; every other
// failure is reported as it comes.
#include <gtest/gtest.h>

#include "http/http_client.h"
#include "tests/support/http_client_support.h"
#include "tests/support/scripted_server.h"

namespace quavrel {
namespace {

using test::BodyOrFailure;
using test::ExpectedRequest;
using test::FailureText;
using test::HostOf;
using test::HttpResponseText;
using test::kHangGuard;
using test::Script;
using test::ScriptedServer;

// The first connection answers once, then takes the next request and ends without a
// word, the way `ending` ends it (an orderly close or a reset).
Script answersOnceThenDropsTheNext(Script& (Script::*ending)())
{
    Script script;
    script.answer(HttpResponseText("one")).read();
    (script.*ending)();
    return script;
}

// ---- Sent once more ----

TEST(HttpReconnectTest, GetAfterAnOrderlyCloseGoesOutAgain)
{
    ScriptedServer server;
    server.add(answersOnceThenDropsTheNext(&Script::close));
    server.add(Script().answer(HttpResponseText("two")).hold());
    TIdHTTP http;
    http.setRequestTimeLimit(kHangGuard);
    EXPECT_EQ(http.GetText(server.url("/1")), "one");
    EXPECT_EQ(BodyOrFailure(http, server.url("/2")), "two");
    EXPECT_EQ(server.connections(), 2);
    // The same request, byte for byte, on both connections.
    ASSERT_EQ(server.requests().size(), 3u);
    EXPECT_EQ(server.request(1), ExpectedRequest("GET", "/2", HostOf(server)));
    EXPECT_EQ(server.request(2), server.request(1));
}

TEST(HttpReconnectTest, GetAfterAResetGoesOutAgain)
{
    ScriptedServer server;
    server.add(answersOnceThenDropsTheNext(&Script::reset));
    server.add(Script().answer(HttpResponseText("two")).hold());
    TIdHTTP http;
    http.setRequestTimeLimit(kHangGuard);
    EXPECT_EQ(http.GetText(server.url("/1")), "one");
    EXPECT_EQ(BodyOrFailure(http, server.url("/2")), "two");
    EXPECT_EQ(server.connections(), 2);
}

TEST(HttpReconnectTest, HeadGoesOutAgainToo)
{
    ScriptedServer server;
    server.add(answersOnceThenDropsTheNext(&Script::reset));
    server.add(Script().answer("HTTP/1.1 200 OK\r\nContent-Length: 4096\r\n\r\n").hold());
    TIdHTTP http;
    http.setRequestTimeLimit(kHangGuard);
    http.GetText(server.url("/1"));
    EXPECT_EQ(FailureText([&] { http.Head(server.url("/song.mp3")); }), "");
    EXPECT_EQ(http.StatusCode(), 200);
    EXPECT_EQ(http.ContentLength(), 4096);
    EXPECT_EQ(server.connections(), 2);
}

// ---- Reported as it comes ----

// A fresh connection was never idle: its close is the server's answer.
TEST(HttpReconnectTest, AFreshConnectionIsNotTriedAgain)
{
    ScriptedServer server;
    server.add(Script().read().reset());
    server.add(Script().answer(HttpResponseText("never")).hold());
    TIdHTTP http;
    http.setRequestTimeLimit(kHangGuard);
    EXPECT_EQ(BodyOrFailure(http, server.url()), "EIdSocketError: Socket Error # 10054\r\nConnection reset by peer.");
    EXPECT_EQ(server.connections(), 1);
}

// Once part of an answer came, the server has seen the request: nothing is sent again.
TEST(HttpReconnectTest, AnAnswerCutShortIsNotTriedAgain)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("one")).read().send("HTTP/1.1 200").close());
    server.add(Script().answer(HttpResponseText("never")).hold());
    TIdHTTP http;
    http.setRequestTimeLimit(kHangGuard);
    EXPECT_EQ(http.GetText(server.url("/1")), "one");
    EXPECT_EQ(BodyOrFailure(http, server.url("/2")), "EIdConnClosedGracefully: Connection Closed Gracefully.");
    EXPECT_EQ(server.connections(), 1);
}

// The request goes out once more, not again and again: the fresh connection's failure
// is the one reported.
TEST(HttpReconnectTest, OnlyOneMoreTry)
{
    ScriptedServer server;
    server.add(answersOnceThenDropsTheNext(&Script::close));
    server.add(Script().read().reset());
    server.add(Script().answer(HttpResponseText("never")).hold());
    TIdHTTP http;
    http.setRequestTimeLimit(kHangGuard);
    EXPECT_EQ(http.GetText(server.url("/1")), "one");
    EXPECT_EQ(BodyOrFailure(http, server.url("/2")), "EIdSocketError: Socket Error # 10054\r\nConnection reset by peer.");
    EXPECT_EQ(server.connections(), 2);
}

}  // namespace
}  // namespace quavrel
