// Requests that fail must give back every socket they took: a client left running for days
// (the window, a script around quavrel-net) would otherwise run out of them.
#include <gtest/gtest.h>

#include "http/http_client.h"
#include "tests/support/http_client_support.h"
#include "tests/support/loopback_listener.h"
#include "tests/support/open_handles.h"
#include "tests/support/scripted_server.h"

namespace quavrel {
namespace {

constexpr int kRequests = 1000;
// The system's own worker threads come and go with a handle each (Wine's do); a leak of one
// handle per request would show as hundreds.
constexpr int kSystemSlack = 4;

class RefusedConnects : public ::testing::TestWithParam<test::Loopback> {};

TEST_P(RefusedConnects, LeaveNoHandleOpen)
{
    const bool v6 = GetParam() == test::Loopback::kIpv6;
    const std::string url = std::string("http://") + (v6 ? "[::1]" : "127.0.0.1") + ":" +
                            std::to_string(test::ClosedLoopbackPort(GetParam())) + "/";
    TIdHTTP http;
    // One failure first, so that whatever the system sets up once per process is counted
    // in the first figure.
    EXPECT_NE(test::FailureText([&] { http.GetText(url); }), "");
    const int before = test::OpenHandleCount();
    ASSERT_GT(before, 0);
    for (int i = 0; i < kRequests; ++i)
        ASSERT_EQ(test::FailureText([&] { http.GetText(url); }),
                  "EIdSocketError: Socket Error # 10061\r\nConnection refused.");
    EXPECT_LE(test::OpenHandleCount(), before + kSystemSlack);
}

INSTANTIATE_TEST_SUITE_P(HttpLeak, RefusedConnects, ::testing::Values(test::Loopback::kIpv4, test::Loopback::kIpv6),
                         [](const auto& info) { return info.param == test::Loopback::kIpv6 ? "Ipv6" : "Ipv4"; });

// One server's answers cut short, `count` times, through `http`.
void failCutShort(TIdHTTP& http, int count)
{
    test::ScriptedServer server;
    for (int i = 0; i < count; ++i)
        server.add(test::Script().read().send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nX-Partial: abc").close());
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(test::FailureText([&] { http.GetText(server.url()); }), "EIdException: Undefined situation");
}

// The server's threads hold handles of their own until it stops, so the count is taken
// without a server; a first round sets up what the system sets up once.
TEST(HttpLeak, AnswersCutShortLeaveNoHandleOpen)
{
    TIdHTTP http;
    failCutShort(http, 1);
    const int before = test::OpenHandleCount();
    failCutShort(http, 200);
    EXPECT_LE(test::OpenHandleCount(), before + kSystemSlack);
}

}  // namespace
}  // namespace quavrel
