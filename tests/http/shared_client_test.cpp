// The window's shared client: a request that finds it busy runs on a fresh client, and
// both keep their cookies in the one store of the run.
#include "http/shared_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/http_client_support.h"
#include "tests/support/scripted_server.h"

using namespace quavrel;
using quavrel::test::ExpectedRequest;
using quavrel::test::HostOf;
using quavrel::test::HttpResponseText;
using quavrel::test::Script;
using quavrel::test::ScriptedServer;

// A cookie set before the shared client got busy goes with the fresh client's request, and
// the cookie the fresh client receives goes with the shared client's next one.
TEST(SharedHttpClientCookieTest, FreshClientSendsAndKeepsTheSharedCookies)
{
    ScriptedServer held, other;
    held.add(Script().answer(HttpResponseText("", "HTTP/1.1 200 OK", "Set-Cookie: s=1; path=/\r\n")).read().hold());
    other.add(Script().answer(HttpResponseText("", "HTTP/1.1 200 OK", "Set-Cookie: f=2; path=/\r\nConnection: close\r\n")));
    other.add(Script().answer(HttpResponseText("")));
    auto client = std::make_shared<SharedHttpClient>();
    client->GetText(held.url("/first"));

    std::thread busy([&] { EXPECT_ANY_THROW(client->GetText(held.url("/held"))); });
    for (int i = 0; i < 10000 && held.requests().size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(client->busy());
    client->GetText(other.url("/fresh"));
    held.stop();   // ends the held request
    busy.join();

    client->GetText(other.url("/after"));
    EXPECT_EQ(other.request(0), ExpectedRequest("GET", "/fresh", HostOf(other), "Cookie: s=1\r\n"));
    EXPECT_EQ(other.request(1), ExpectedRequest("GET", "/after", HostOf(other), "Cookie: f=2; s=1\r\n"));
}
