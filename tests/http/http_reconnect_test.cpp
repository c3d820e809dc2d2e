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

const std::string kReset = "EIdSocketError: Socket Error # 10054\r\nConnection reset by peer.";
const std::string kClosed = "EIdConnClosedGracefully: Connection Closed Gracefully.";

class HttpReconnectTest : public ::testing::Test {
protected:
    void SetUp() override { http_.setRequestTimeLimit(kHangGuard); }

    // The first connection answers "one", then takes the next request and ends without a
    // word, the way `ending` ends it (an orderly close or a reset).
    void dropsTheSecondRequest(Script& (Script::*ending)())
    {
        Script script;
        script.answer(HttpResponseText("one")).read();
        (script.*ending)();
        server_.add(script);
    }
    // GET of "/1", which answers "one", then the body of "/2" or its failure.
    std::string secondBody()
    {
        EXPECT_EQ(BodyOrFailure(http_, server_.url("/1")), "one");
        return BodyOrFailure(http_, server_.url("/2"));
    }

    test::ScriptedServer server_;
    TIdHTTP http_;
};

// ---- Sent once more ----

TEST_F(HttpReconnectTest, GetAfterAnOrderlyCloseGoesOutAgain)
{
    dropsTheSecondRequest(&Script::close);
    server_.add(Script().answer(HttpResponseText("two")).hold());
    EXPECT_EQ(secondBody(), "two");
    EXPECT_EQ(server_.connections(), 2);
    // The same request, byte for byte, on both connections.
    ASSERT_EQ(server_.requests().size(), 3u);
    EXPECT_EQ(server_.request(1), ExpectedRequest("GET", "/2", HostOf(server_)));
    EXPECT_EQ(server_.request(2), server_.request(1));
}

TEST_F(HttpReconnectTest, GetAfterAResetGoesOutAgain)
{
    dropsTheSecondRequest(&Script::reset);
    server_.add(Script().answer(HttpResponseText("two")).hold());
    EXPECT_EQ(secondBody(), "two");
    EXPECT_EQ(server_.connections(), 2);
}

TEST_F(HttpReconnectTest, HeadGoesOutAgainToo)
{
    dropsTheSecondRequest(&Script::reset);
    server_.add(Script().answer("HTTP/1.1 200 OK\r\nContent-Length: 4096\r\n\r\n").hold());
    http_.GetText(server_.url("/1"));
    EXPECT_EQ(FailureText([&] { http_.Head(server_.url("/song.mp3")); }), "");
    EXPECT_EQ(http_.StatusCode(), 200);
    EXPECT_EQ(http_.ContentLength(), 4096);
    EXPECT_EQ(server_.connections(), 2);
}

// ---- Reported as it comes ----

// A fresh connection was never idle: its close is the server's answer.
TEST_F(HttpReconnectTest, AFreshConnectionIsNotTriedAgain)
{
    server_.add(Script().read().reset());
    server_.add(Script().answer(HttpResponseText("never")).hold());
    EXPECT_EQ(BodyOrFailure(http_, server_.url()), kReset);
    EXPECT_EQ(server_.connections(), 1);
}

// Once part of an answer came, the server has seen the request: nothing is sent again.
TEST_F(HttpReconnectTest, AnAnswerCutShortIsNotTriedAgain)
{
    server_.add(Script().answer(HttpResponseText("one")).read().send("HTTP/1.1 200").close());
    server_.add(Script().answer(HttpResponseText("never")).hold());
    EXPECT_EQ(secondBody(), kClosed);
    EXPECT_EQ(server_.connections(), 1);
}

// The request goes out once more, not again and again: the fresh connection's failure
// is the one reported.
TEST_F(HttpReconnectTest, OnlyOneMoreTry)
{
    dropsTheSecondRequest(&Script::close);
    server_.add(Script().read().reset());
    server_.add(Script().answer(HttpResponseText("never")).hold());
    EXPECT_EQ(secondBody(), kReset);
    EXPECT_EQ(server_.connections(), 2);
}

// The two cases above with orderly closes alone, which every system reports alike (Wine
// reports a reset as a close too).
TEST_F(HttpReconnectTest, AFreshConnectionsCloseIsNotTriedAgain)
{
    server_.add(Script().read().close());
    server_.add(Script().answer(HttpResponseText("never")).hold());
    EXPECT_EQ(BodyOrFailure(http_, server_.url()), kClosed);
    EXPECT_EQ(server_.connections(), 1);
}

TEST_F(HttpReconnectTest, OnlyOneMoreTryWhenTheFreshConnectionClosesToo)
{
    dropsTheSecondRequest(&Script::close);
    server_.add(Script().read().close());
    server_.add(Script().answer(HttpResponseText("never")).hold());
    EXPECT_EQ(secondBody(), kClosed);
    EXPECT_EQ(server_.connections(), 2);
}

}  // namespace
}  // namespace quavrel
