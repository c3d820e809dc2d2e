// Link probes against hostile pages and servers: a server that accepts and never answers
// (on a worker and on the user-interface thread), and a page of 100,000 entries, which
// must not become 100,000 threads or hold more than small queued records.
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "songs/check_thread.h"
#include "songs/handover.h"
#include "http/http_client.h"
#include "http/http_errors.h"
#include "platform/ui_thread.h"
#include "tests/support/hostile_heap.h"
#include "tests/support/loopback_listener.h"
#include "tests/support/scripted_server.h"

namespace quavrel {
namespace {

using test::HeapWatch;
using test::Script;
using test::ScriptedServer;

// A generous bound that only catches a hang.
constexpr auto kHangBound = std::chrono::seconds(120);

// A port on 127.0.0.1 where nothing listens: connects to it are refused at once.
uint16_t refusedPort()
{
    uint16_t port = 0;
    int fd = test::ListenOnLoopback(port, 1);
    ::close(fd);
    return port;
}

// Threads of this process right now.
int threadCount()
{
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.')
                ++count;
        ::closedir(dir);
    }
    return count;
}

// One thread serving every connection: reads the request head and holds the connection
// until released; from then on answers each held and new one with a 200 and a length.
class GateServer {
public:
    GateServer()
    {
        fd_ = test::ListenOnLoopback(port_, 1024);
        thread_ = std::thread([this] { serve(); });
    }
    ~GateServer()
    {
        stopping_ = true;
        thread_.join();
        for (int fd : held_)
            ::close(fd);
        ::close(fd_);
    }

    std::string url(int i) const { return "http://127.0.0.1:" + std::to_string(port_) + "/song" + std::to_string(i) + ".mp3"; }
    void release() { released_ = true; }
    int held() const { return heldCount_.load(); }
    int answered() const { return answered_.load(); }

private:
    void serve()
    {
        while (!stopping_) {
            if (released_) {
                for (int fd : held_)
                    answer(fd);
                held_.clear();
            }
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0)
                continue;
            int client = ::accept(fd_, nullptr, nullptr);
            if (client < 0)
                continue;
            readHead(client);
            if (released_) {
                answer(client);
            } else {
                held_.push_back(client);
                ++heldCount_;
            }
        }
    }

    static void readHead(int fd)
    {
        std::string head;
        char buffer[1024];
        while (head.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            head.append(buffer, static_cast<size_t>(n));
        }
    }

    void answer(int fd)
    {
        static const std::string kAnswer = "HTTP/1.1 200 OK\r\nContent-Length: 4096\r\nConnection: close\r\n\r\n";
        ::send(fd, kAnswer.data(), kAnswer.size(), MSG_NOSIGNAL);
        ::close(fd);
        ++answered_;
    }

    int fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> released_{false};
    std::atomic<int> heldCount_{0};
    std::atomic<int> answered_{0};
    std::vector<int> held_;   // only the server thread touches it until it has ended
    std::thread thread_;
};

// Window hooks for a test thread that plays the user-interface thread: counts the
// message passes and says "closing" once asked to after a number of passes.
class FakeUi : public UiHooks {
public:
    explicit FakeUi(int closeAfterPasses = -1) : closeAfter_(closeAfterPasses) { setUiHooks(this); }
    ~FakeUi() override { setUiHooks(nullptr); }

    bool isUiThread() const override { return std::this_thread::get_id() == owner_; }
    void processMessages() override { ++passes_; }
    bool closing() const override { return closeAfter_ >= 0 && passes_ >= closeAfter_; }
    int passes() const { return passes_.load(); }

private:
    std::thread::id owner_ = std::this_thread::get_id();
    int closeAfter_;
    std::atomic<int> passes_{0};
};

// ---- A server that accepts and never answers ----

// On the user-interface thread the probe gives up at its own limit, and the window keeps
// handling its messages all the while.
TEST(HostileProbeTest, SilentServerOnTheUiThreadKeepsTheWindowPumped)
{
    ScriptedServer server;
    server.add(Script().read().hold());
    FakeUi ui;
    TMedia media;
    media.Url = server.url("/silent.mp3");
    EXPECT_FALSE(TCheckThread::Probe(media, std::chrono::milliseconds(800)));
    EXPECT_EQ(media.Speed, -1);
    // 150 ms slices over 800 ms: several passes, not one at the end.
    EXPECT_GE(ui.passes(), 3);
    server.stop();
}

// Closing the window ends a silent wait on the user-interface thread long before the
// request limit would.
TEST(HostileProbeTest, ClosingTheWindowEndsASilentWait)
{
    ScriptedServer server;
    server.add(Script().read().hold());
    FakeUi ui(/*closeAfterPasses=*/2);
    TIdHTTP client;
    client.setRequestTimeLimit(std::chrono::minutes(10));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client.Head(server.url("/silent.mp3")), EIdAborted);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kHangBound);
    server.stop();
}

// Probes started from a worker against silent servers end at their limit, all of them,
// and the ones that wait in the queue get their full limit after their turn comes.
TEST(HostileProbeTest, SilentServersOnWorkersEndAtTheLimit)
{
    ScriptedServer server;
    for (int i = 0; i < 40; ++i)
        server.add(Script().read().hold());
    std::atomic<int> delivered{0};
    auto gate = ResultHandover::create([&](const MediaPtr&) { ++delivered; });
    for (int i = 0; i < 40; ++i) {
        TCheckThread probe;
        probe.ListView = gate;
        probe.Media = NewMedia();
        probe.Media->Url = server.url("/silent" + std::to_string(i) + ".mp3");
        probe.RequestLimit = std::chrono::milliseconds(300);
        probe.Start();
    }
    ASSERT_TRUE(WaitForProbes(kHangBound));
    EXPECT_EQ(delivered.load(), 0);
    EXPECT_EQ(server.connections(), 40);
    gate->close();
    server.stop();
}

// ---- A page of 100,000 entries ----

// 100,000 probes: the first 64 go to a server that holds them until released, the rest to
// dead addresses. Starting them all never waits, never runs more than 32 at once, never
// makes a thread per entry, and the queue holds only small records.
TEST(HostileProbeTest, HundredThousandEntriesStayWithinThe32ProbeLimit)
{
    constexpr int kEntries = 100000;
    constexpr int kAnswering = 64;
    ASSERT_TRUE(WaitForProbes(kHangBound));
    GateServer server;
    const std::string dead = "http://127.0.0.1:" + std::to_string(refusedPort()) + "/dead";

    std::atomic<bool> done{false};
    std::atomic<size_t> peakRunning{0};
    std::atomic<int> peakThreads{0};
    const int baseThreads = threadCount();   // this thread, the server's, no probes yet
    std::thread sampler([&] {
        while (!done) {
            peakRunning = std::max(peakRunning.load(), RunningProbes());
            peakThreads = std::max(peakThreads.load(), threadCount());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    std::mutex deliveredMutex;
    std::vector<std::string> delivered;
    auto gate = ResultHandover::create([&](const MediaPtr& media) {
        std::lock_guard lock(deliveredMutex);
        delivered.push_back(media->Url);
    });

    HeapWatch heap;
    for (int i = 0; i < kEntries; ++i) {
        TCheckThread probe;
        probe.ListView = gate;
        probe.Media = NewMedia();
        probe.Media->Title = "song " + std::to_string(i);
        probe.Media->Url = i < kAnswering ? server.url(i) : dead + std::to_string(i) + ".mp3";
        probe.Start();
    }
    // The first 32 are held by the server, so everything else is still queued.
    const size_t pendingAfterStart = PendingProbes();
    const long long queuedBytes = heap.liveGrowth();

    const auto heldBy = std::chrono::steady_clock::now() + kHangBound;
    while (server.held() < kMaxProbes && std::chrono::steady_clock::now() < heldBy)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(server.held(), kMaxProbes);
    EXPECT_EQ(RunningProbes(), static_cast<size_t>(kMaxProbes));
    server.release();

    ASSERT_TRUE(WaitForProbes(kHangBound));
    done = true;
    sampler.join();

    EXPECT_EQ(pendingAfterStart, static_cast<size_t>(kEntries));
    EXPECT_LE(peakRunning.load(), static_cast<size_t>(kMaxProbes));
    // The sampler itself is one more thread.
    EXPECT_LE(peakThreads.load(), baseThreads + 1 + kMaxProbes);
    EXPECT_LT(queuedBytes / kEntries, 1024) << "bytes per queued probe";
    EXPECT_EQ(server.answered(), kAnswering);
    {
        std::lock_guard lock(deliveredMutex);
        EXPECT_EQ(delivered.size(), static_cast<size_t>(kAnswering));
        std::vector<std::string> expected;
        for (int i = 0; i < kAnswering; ++i)
            expected.push_back(server.url(i));
        std::sort(expected.begin(), expected.end());
        std::sort(delivered.begin(), delivered.end());
        EXPECT_EQ(delivered, expected);
    }
    gate->close();
}

}  // namespace
}  // namespace quavrel
