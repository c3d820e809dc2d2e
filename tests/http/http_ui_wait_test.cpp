// The client's waits on the user-interface thread: messages are handled while a request
// waits and while a body streams, never on worker threads, and a closing window or a
// nested request cannot keep or corrupt a request.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "http/http_client.h"
#include "platform/ui_thread.h"
#include "tests/support/scripted_server.h"

using namespace quavrel;
using quavrel::test::HttpResponseText;
using quavrel::test::Script;
using quavrel::test::ScriptedServer;
using Clock = std::chrono::steady_clock;

namespace {
// The test thread plays the user-interface thread; every message pass is timed.
class RecordingHooks : public UiHooks {
public:
    bool isUiThread() const override { return std::this_thread::get_id() == ui_; }
    void processMessages() override
    {
        count++;
        passes.push_back(Clock::now());
        if (onPass)
            onPass();
    }
    bool closing() const override { return closingNow.load(); }

    std::atomic<int> count{0};
    std::vector<Clock::time_point> passes;
    std::atomic<bool> closingNow{false};
    std::function<void()> onPass;

private:
    std::thread::id ui_ = std::this_thread::get_id();
};

class UiWaitTest : public ::testing::Test {
protected:
    void SetUp() override { setUiHooks(&hooks); }
    void TearDown() override { setUiHooks(nullptr); }

    // The longest stretch without a message pass between `start` and `end`.
    Clock::duration longestGap(Clock::time_point start, Clock::time_point end) const
    {
        Clock::duration longest{};
        Clock::time_point previous = start;
        for (Clock::time_point t : hooks.passes) {
            longest = std::max(longest, t - previous);
            previous = t;
        }
        return std::max(longest, end - previous);
    }

    RecordingHooks hooks;
};
}  // namespace

TEST_F(UiWaitTest, MessagesAreHandledWhileWaitingForTheAnswer)
{
    ScriptedServer server;
    server.add(Script().read().pause(800).send(HttpResponseText("late")).hold());
    TIdHTTP http;
    auto start = Clock::now();
    EXPECT_EQ(http.GetText(server.url()), "late");
    EXPECT_GE(hooks.count.load(), 3);
    EXPECT_LT(longestGap(start, Clock::now()), std::chrono::milliseconds(1000));
}

// Data arrives every few milliseconds, so no wait ever runs out; messages must still be
// handled as the body streams in.
TEST_F(UiWaitTest, MessagesAreHandledWhileABodyStreams)
{
    const size_t piece = 64 * 1024;
    const int pieces = 120;
    Script script;
    script.read().send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(piece * pieces) + "\r\n\r\n");
    for (int i = 0; i < pieces; ++i)
        script.send(std::string(piece, 'm')).pause(10);
    ScriptedServer server;
    server.add(script.hold());
    TIdHTTP http;
    auto start = Clock::now();
    EXPECT_EQ(http.GetText(server.url()).size(), piece * pieces);
    EXPECT_GE(hooks.count.load(), 4);
    EXPECT_LT(longestGap(start, Clock::now()), std::chrono::milliseconds(1000));
}

TEST_F(UiWaitTest, WorkerThreadsHandleNoMessages)
{
    ScriptedServer server;
    server.add(Script().read().pause(500).send(HttpResponseText("worker")).hold());
    std::string result;
    std::thread worker([&] {
        TIdHTTP http;
        result = http.GetText(server.url());
    });
    worker.join();
    EXPECT_EQ(result, "worker");
    EXPECT_EQ(hooks.count.load(), 0);
}

TEST_F(UiWaitTest, FailedConnectIsAConnectException)
{
    ScriptedServer probe;
    const std::string url = probe.url();
    probe.stop();   // nothing listens on its port any more
    TIdHTTP http;
    try {
        http.GetText(url);
        FAIL() << "no exception";
    } catch (const EIdConnectException& e) {
        EXPECT_STREQ(e.className(), "EIdConnectException");
        EXPECT_EQ(e.message(), "Socket Error # 10061\r\nConnection refused.");
    }
}

TEST_F(UiWaitTest, ClosingTheProgramAbortsTheWait)
{
    ScriptedServer server;
    server.add(Script().read().hold());
    TIdHTTP http;
    hooks.onPass = [&] {
        if (hooks.count >= 2)
            hooks.closingNow = true;
    };
    try {
        http.GetText(server.url());
        FAIL() << "no exception";
    } catch (const EIdAborted& e) {
        EXPECT_EQ(e.message(), "Operation aborted");
    }
    EXPECT_FALSE(http.busy());
}

// A click handled during the wait that starts another request on the same client.
TEST_F(UiWaitTest, NestedRequestOnTheSameClientIsRefused)
{
    ScriptedServer server;
    server.add(Script().read().pause(400).send(HttpResponseText("outer")).hold());
    TIdHTTP http;
    std::string nested;
    hooks.onPass = [&] {
        if (!nested.empty())
            return;
        try {
            http.GetText(server.url());
            nested = "ran";
        } catch (const EIdClientBusy& e) {
            nested = e.message();
        }
    };
    EXPECT_EQ(http.GetText(server.url()), "outer");
    EXPECT_EQ(nested, "The connection is busy with another request.");
    EXPECT_EQ(server.requests().size(), 1u);
}
