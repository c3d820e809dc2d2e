// The one connection a client keeps between requests: when it is used again and when a
// failure leaves it alone.
#include <gtest/gtest.h>

#include "http/http_client.h"
#include "tests/support/http_client_support.h"
#include "tests/support/scripted_server.h"

using namespace quavrel;
using quavrel::test::BodyOrFailure;
using quavrel::test::HttpResponseText;
using quavrel::test::kHangGuard;
using quavrel::test::Script;
using quavrel::test::ScriptedServer;

namespace {
std::string localhostUrl(const char* name, const ScriptedServer& server, const std::string& path)
{
    return std::string("http://") + name + ":" + std::to_string(server.port()) + path;
}
}  // namespace

// Reuse of the open connection
TEST(HttpKeepAliveTest, HostNamesDifferingOnlyInCaseShareTheConnection)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("a")).answer(HttpResponseText("b")).hold());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(localhostUrl("localhost", server, "/1")), "a");
    EXPECT_EQ(BodyOrFailure(http, localhostUrl("LocalHost", server, "/2")), "b");
    EXPECT_EQ(server.connections(), 1);
}

// A server may send its next answer early: those bytes wait in the client for the next
// request on the connection.
TEST(HttpKeepAliveTest, BytesAfterABodyStartTheNextResponse)
{
    ScriptedServer server;
    server.add(Script().read().send(HttpResponseText("one") + HttpResponseText("two")).read().hold());
    TIdHTTP http;
    http.setRequestTimeLimit(kHangGuard);   // lost bytes would leave the second request waiting
    EXPECT_EQ(http.GetText(server.url("/1")), "one");
    EXPECT_EQ(BodyOrFailure(http, server.url("/2")), "two");
    EXPECT_EQ(server.connections(), 1);
}

// Failures before anything is sent
TEST(HttpKeepAliveTest, UrlFailuresLeaveTheOpenConnectionAlone)
{
    ScriptedServer server;
    server.add(Script().answer(HttpResponseText("one")).answer(HttpResponseText("two")).hold());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(server.url("/1")), "one");
    EXPECT_THROW(http.GetText("ftp://127.0.0.1/"), EIdUnknownProtocol);
    EXPECT_THROW(http.GetText("https://127.0.0.1/"), EIdIOHandlerPropInvalid);
    EXPECT_THROW(http.GetText("http://127.0.0.1:8o/"), EConvertError);
    EXPECT_EQ(BodyOrFailure(http, server.url("/2")), "two");
    EXPECT_EQ(server.connections(), 1);
}
