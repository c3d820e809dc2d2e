// The client against a server on the IPv6 loopback address, written in brackets in the
// URL as everywhere else: the connection, the Host line and the cookies.
#include <gtest/gtest.h>

#include "http/http_client.h"
#include "tests/support/http_client_support.h"
#include "tests/support/scripted_server.h"

namespace quavrel {
namespace {

using test::ExpectedRequest;
using test::HostOf;
using test::HttpResponseText;
using test::Loopback;
using test::Script;
using test::ScriptedServer;

TEST(HttpIpv6Test, GetAndHeadOnABracketedAddress)
{
    ScriptedServer server(0, Loopback::kIpv6);
    server.add(Script()
                   .answer(HttpResponseText("over IPv6"))
                   .answer("HTTP/1.1 200 OK\r\nContent-Length: 4096\r\n\r\n")
                   .hold());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(server.url("/a/page.asp?x=1")), "over IPv6");
    http.Head(server.url("/song.mp3"));
    EXPECT_EQ(http.ContentLength(), 4096);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(server.request(0), ExpectedRequest("GET", "/a/page.asp?x=1", "[::1]:" + std::to_string(server.port())));
}

// The cookies of an IPv6 host go back to that host and to no other.
TEST(HttpIpv6Test, CookiesGoBackToTheSameHostOnly)
{
    ScriptedServer v6(0, Loopback::kIpv6);
    v6.add(Script()
               .answer(HttpResponseText("set", "HTTP/1.1 200 OK", "Set-Cookie: s=6; path=/\r\n"))
               .answer(HttpResponseText("again"))
               .hold());
    ScriptedServer v4;
    v4.add(Script().answer(HttpResponseText("other")).hold());
    TIdHTTP http;
    EXPECT_EQ(http.GetText(v6.url("/")), "set");
    EXPECT_EQ(http.GetText(v6.url("/next")), "again");
    EXPECT_EQ(http.GetText(v4.url("/")), "other");
    EXPECT_EQ(v6.request(1), ExpectedRequest("GET", "/next", HostOf(v6), "Cookie: s=6\r\n"));
    EXPECT_EQ(v4.request(0), ExpectedRequest("GET", "/", HostOf(v4)));
}

// Nothing listens there: the connect's own failure, not a failure to read the address.
TEST(HttpIpv6Test, RefusedConnectIsASocketError)
{
    ScriptedServer probe(0, Loopback::kIpv6);
    const std::string url = probe.url("/");
    probe.stop();
    TIdHTTP http;
    EXPECT_EQ(test::FailureText([&] { http.GetText(url); }), "EIdSocketError: Socket Error # 10061\r\nConnection refused.");
}

}  // namespace
}  // namespace quavrel
