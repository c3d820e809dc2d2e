// The link probe against a server of the test's own on 127.0.0.1, the probe limiter,
// and the hand-over gate.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "songs/check_thread.h"
#include "songs/handover.h"
#include "tests/support/loopback_listener.h"

namespace quavrel {
namespace {

using namespace std::chrono_literals;

// A tiny HTTP server: one thread per connection, one request per connection. The handler
// gets the request head and returns the whole answer; kHold keeps the connection open
// without answering until the server is released or stopped.
class LoopbackServer {
public:
    static inline const std::string kHold = "<hold>";
    using Handler = std::function<std::string(const std::string& request)>;

    explicit LoopbackServer(Handler handler) : handler_(std::move(handler))
    {
        listen_ = test::ListenOnLoopback(port_, 512);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }

    ~LoopbackServer()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        ::shutdown(listen_, SHUT_RDWR);
        ::close(listen_);
        acceptor_.join();
        for (auto& t : connections_)
            t.join();
    }

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    int port() const { return port_; }

    // Lets every held connection go on (it is then closed without an answer).
    void release()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    // Lets one held connection go on.
    void releaseOne()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++releaseTokens_;
        changed_.notify_all();
    }
    // Waits until `n` connections are open at once or have been accepted in all.
    bool waitForOpen(int n)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 20s, [&] { return open_ >= n; });
    }
    // Waits until `n` request heads have arrived in all.
    bool waitForRequests(size_t n)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 20s, [&] { return requests_.size() >= n; });
    }
    int peakOpen() const { std::lock_guard<std::mutex> lock(mutex_); return peak_; }
    int accepted() const { std::lock_guard<std::mutex> lock(mutex_); return accepted_; }
    std::vector<std::string> requests() const { std::lock_guard<std::mutex> lock(mutex_); return requests_; }

private:
    void acceptLoop()
    {
        for (;;) {
            int fd = ::accept(listen_, nullptr, nullptr);
            if (fd < 0)
                return;
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) {
                ::close(fd);
                return;
            }
            ++accepted_;
            peak_ = std::max(peak_, ++open_);
            changed_.notify_all();
            connections_.emplace_back([this, fd] { serve(fd); });
        }
    }

    void serve(int fd)
    {
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            request.append(buf, static_cast<size_t>(n));
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
            changed_.notify_all();
        }
        std::string answer = handler_(request);
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (answer == kHold) {
                changed_.wait(lock, [&] { return stopping_ || released_ || releaseTokens_ > 0; });
                if (!stopping_ && !released_)
                    --releaseTokens_;
            }
            // Counted as closed before the peer can see the answer or the close: a HEAD
            // client is done once the head arrives and may connect again at once.
            --open_;
            changed_.notify_all();
        }
        if (answer != kHold)
            ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }

    Handler handler_;
    int listen_ = -1;
    uint16_t port_ = 0;
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread> connections_;
    std::vector<std::string> requests_;
    bool stopping_ = false;
    bool released_ = false;
    int releaseTokens_ = 0;
    int open_ = 0;
    int peak_ = 0;
    int accepted_ = 0;
};

std::string answer(const std::string& statusLine, const std::string& headers)
{
    return statusLine + "\r\n" + headers + "Connection: close\r\n\r\n";
}

// Answers by path: /ok/<n> 200 with length n, /nolength 200 without, /404, /302.
std::string byPath(const std::string& request)
{
    std::string path = request.substr(request.find(' ') + 1);
    path = path.substr(0, path.find(' '));
    if (path.rfind("/ok/", 0) == 0)
        return answer("HTTP/1.1 200 OK", "Content-Length: " + path.substr(4) + "\r\n");
    if (path == "/nolength")
        return answer("HTTP/1.1 200 OK", "");
    if (path == "/badlength")
        return answer("HTTP/1.1 200 OK", "Content-Length: lots\r\n");
    if (path == "/404")
        return answer("HTTP/1.1 404 Not Found", "Content-Length: 0\r\n");
    if (path == "/302")
        return answer("HTTP/1.1 302 Found", "Location: http://127.0.0.1:1/x.mp3\r\nContent-Length: 0\r\n");
    if (path.rfind("/hold", 0) == 0)
        return LoopbackServer::kHold;
    return answer("HTTP/1.1 500 Oops", "Content-Length: 0\r\n");
}

// Collects what the probes hand over.
struct Collector {
    std::mutex mutex;
    std::vector<MediaPtr> listed;
    std::shared_ptr<ResultHandover> gate = ResultHandover::create([this](const MediaPtr& m) {
        std::lock_guard<std::mutex> lock(mutex);
        listed.push_back(m);
    });
    size_t count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return listed.size();
    }
};

MediaPtr song(const std::string& url)
{
    MediaPtr m = NewMedia();
    m->Url = url;
    m->Title = "t";
    return m;
}

void startProbe(const std::shared_ptr<ResultHandover>& gate, const MediaPtr& media,
                std::chrono::milliseconds limit = kProbeRequestLimit,
                const std::shared_ptr<ProbePage>& page = nullptr)
{
    TCheckThread probe;
    probe.ListView = gate;
    probe.Media = media;
    probe.RequestLimit = limit;
    probe.Page = page;
    probe.Start();
}

// Starts `count` probes of one new page for `path` + "/<n>".
void startPage(const std::shared_ptr<ResultHandover>& gate, const LoopbackServer& server, const std::string& path,
               int count)
{
    auto page = NewProbePage();
    for (int i = 0; i < count; ++i)
        startProbe(gate, song(server.url(path + "/" + std::to_string(i + 1))), 60s, page);
}

class ProbeTest : public ::testing::Test {
protected:
    void TearDown() override { ASSERT_TRUE(WaitForProbes(60s)); }
};

// ---- Outcomes of one probe ----

TEST_F(ProbeTest, Status200WithLengthIsListed)
{
    LoopbackServer server(byPath);
    TMedia media;
    media.Url = server.url("/ok/1000");
    EXPECT_TRUE(TCheckThread::Probe(media, kProbeRequestLimit));
    EXPECT_EQ(media.Size, 1000);
    EXPECT_GE(media.Speed, 0);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].rfind("HEAD /ok/1000 HTTP/1.1\r\n", 0), 0u);
}

TEST_F(ProbeTest, FiveMillionBytesKeepTheirSize)
{
    LoopbackServer server(byPath);
    TMedia media;
    media.Url = server.url("/ok/5000000");
    EXPECT_TRUE(TCheckThread::Probe(media, kProbeRequestLimit));
    EXPECT_EQ(media.Size, 5000000);
}

TEST_F(ProbeTest, ZeroOrMissingLengthNotListed)
{
    LoopbackServer server(byPath);
    TMedia zero, missing, bad;
    zero.Url = server.url("/ok/0");
    missing.Url = server.url("/nolength");
    bad.Url = server.url("/badlength");
    EXPECT_FALSE(TCheckThread::Probe(zero, kProbeRequestLimit));
    EXPECT_EQ(zero.Size, 0);
    EXPECT_FALSE(TCheckThread::Probe(missing, kProbeRequestLimit));
    EXPECT_EQ(missing.Size, -1);
    EXPECT_GE(missing.Speed, 0);
    EXPECT_FALSE(TCheckThread::Probe(bad, kProbeRequestLimit));
    EXPECT_EQ(bad.Size, -1);
}

TEST_F(ProbeTest, ErrorStatusAndRedirectFailTheProbe)
{
    LoopbackServer server(byPath);
    for (const char* path : {"/404", "/302"}) {
        TMedia media;
        media.Url = server.url(path);
        EXPECT_FALSE(TCheckThread::Probe(media, kProbeRequestLimit)) << path;
        EXPECT_EQ(media.Speed, -1) << path;
        EXPECT_EQ(media.Size, 0) << path;
    }
}

TEST_F(ProbeTest, RefusedConnectionFailsTheProbe)
{
    int port;
    {
        LoopbackServer gone(byPath);
        port = gone.port();
    }
    TMedia media;
    media.Url = "http://127.0.0.1:" + std::to_string(port) + "/ok/10";
    EXPECT_FALSE(TCheckThread::Probe(media, kProbeRequestLimit));
    EXPECT_EQ(media.Speed, -1);
}

// An address that would write header lines into the request fails like a dead song,
// without a connection.
TEST_F(ProbeTest, AddressWithLineBreakFailsWithoutARequest)
{
    LoopbackServer server(byPath);
    TMedia media;
    media.Url = server.url("/ok/1000\r\nX-Injected: 1");
    EXPECT_FALSE(TCheckThread::Probe(media, kProbeRequestLimit));
    EXPECT_EQ(media.Speed, -1);
    EXPECT_EQ(media.Size, 0);
    EXPECT_EQ(server.accepted(), 0);
}

TEST_F(ProbeTest, EmptyAddressMakesNoRequest)
{
    TMedia media;
    EXPECT_FALSE(TCheckThread::Probe(media, kProbeRequestLimit));
    EXPECT_EQ(media.Speed, 0);
}

// A server that accepts and never answers costs the probe its request limit, no more.
TEST_F(ProbeTest, SilentServerGivesUpAtTheLimit)
{
    LoopbackServer server(byPath);
    Collector results;
    startProbe(results.gate, song(server.url("/hold")), 300ms);
    ASSERT_TRUE(server.waitForOpen(1));
    ASSERT_TRUE(WaitForProbes(20s));   // the server never releases it
    EXPECT_EQ(results.count(), 0u);
}

// ---- Started probes and the hand-over ----

TEST_F(ProbeTest, OnlyAnsweringSongsAreHandedOver)
{
    LoopbackServer server(byPath);
    Collector results;
    std::vector<MediaPtr> songs{song(server.url("/ok/5")), song(server.url("/404")), song(""),
                                song(server.url("/ok/0")), song(server.url("/ok/7"))};
    for (const auto& m : songs)
        startProbe(results.gate, m);
    ASSERT_TRUE(WaitForProbes(60s));
    ASSERT_EQ(results.count(), 2u);
    std::vector<int32_t> sizes{results.listed[0]->Size, results.listed[1]->Size};
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int32_t>{5, 7}));
    EXPECT_EQ(server.accepted(), 4);   // the empty address never went out
}

TEST_F(ProbeTest, ClosedGateDropsTheRecord)
{
    LoopbackServer server(byPath);
    Collector results;
    results.gate->close();
    startProbe(results.gate, song(server.url("/ok/5")));
    ASSERT_TRUE(WaitForProbes(60s));
    EXPECT_EQ(server.accepted(), 1);
    EXPECT_EQ(results.count(), 0u);
}

// Starting never waits for running probes: 200 probes against a server that holds every
// connection all get queued, and no more than 32 connections are ever open.
TEST_F(ProbeTest, AtMost32AtOnceAndStartNeverBlocks)
{
    LoopbackServer server(byPath);
    Collector results;
    for (int i = 0; i < 200; ++i)
        startProbe(results.gate, song(server.url("/hold")), 60s);
    EXPECT_EQ(PendingProbes(), 200u);
    ASSERT_TRUE(server.waitForOpen(kMaxProbes));
    EXPECT_LE(RunningProbes(), static_cast<size_t>(kMaxProbes));
    server.release();
    ASSERT_TRUE(WaitForProbes(120s));
    EXPECT_EQ(server.accepted(), 200);
    EXPECT_EQ(server.peakOpen(), kMaxProbes);
    EXPECT_EQ(results.count(), 0u);
}

TEST_F(ProbeTest, QueuedProbesStartInOrder)
{
    LoopbackServer server(byPath);
    Collector results;
    for (int i = 0; i < kMaxProbes; ++i)
        startProbe(results.gate, song(server.url("/hold")), 60s);
    ASSERT_TRUE(server.waitForOpen(kMaxProbes));
    for (int i = 0; i < 5; ++i)
        startProbe(results.gate, song(server.url("/ok/" + std::to_string(i + 1))));
    server.release();
    ASSERT_TRUE(WaitForProbes(60s));
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), static_cast<size_t>(kMaxProbes + 5));
    // The five queued ones wait behind the held ones and leave the queue in order; with
    // several probe threads free at once they may still reach the server in any order.
    std::vector<std::string> late;
    for (const auto& r : requests)
        if (r.rfind("HEAD /ok/", 0) == 0)
            late.push_back(r.substr(9, 1));
    std::sort(late.begin(), late.end());
    EXPECT_EQ(late, (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(results.count(), 5u);
}

// ---- Pages ----

// When a probe ends, the next one comes from the page listed last, not from an earlier
// page's queue; all pages together never run more than 32 at once.
TEST_F(ProbeTest, NewestPageGoesFirstWithinOneLimit)
{
    LoopbackServer server(byPath);
    Collector results;
    startPage(results.gate, server, "/hold", kMaxProbes + 4);
    ASSERT_TRUE(server.waitForRequests(kMaxProbes));
    startPage(results.gate, server, "/ok", 2);
    server.releaseOne();
    ASSERT_TRUE(server.waitForRequests(kMaxProbes + 1));
    EXPECT_EQ(server.requests()[kMaxProbes].rfind("HEAD /ok/1 ", 0), 0u) << server.requests()[kMaxProbes];
    server.release();
    ASSERT_TRUE(WaitForProbes(60s));
    EXPECT_EQ(server.accepted(), kMaxProbes + 6);
    EXPECT_EQ(server.peakOpen(), kMaxProbes);
    EXPECT_EQ(results.count(), 2u);
}

// ---- Hand-over gate ----

TEST(ResultHandover, ForwardsUntilClosed)
{
    std::vector<MediaPtr> got;
    auto gate = ResultHandover::create([&](const MediaPtr& m) { got.push_back(m); });
    MediaPtr a = NewMedia();
    EXPECT_TRUE(gate->deliver(a));
    gate->close();
    EXPECT_TRUE(gate->closed());
    EXPECT_FALSE(gate->deliver(NewMedia()));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], a);
}

TEST(ResultHandover, GuardedSectionsStopAfterClose)
{
    auto gate = ResultHandover::create(nullptr);
    int runs = 0;
    EXPECT_TRUE(gate->whileOpen([&] { ++runs; }));
    gate->close();
    EXPECT_FALSE(gate->whileOpen([&] { ++runs; }));
    EXPECT_EQ(runs, 1);
}

// close() waits for a delivery in progress, so nothing is forwarded after it returns.
TEST(ResultHandover, CloseWaitsForDeliveryInProgress)
{
    std::atomic<bool> inForward{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> proceed{false};
    auto gate = ResultHandover::create([&](const MediaPtr&) {
        inForward = true;
        while (!proceed)
            std::this_thread::yield();
        finished = true;
    });
    std::thread worker([&] { gate->deliver(NewMedia()); });
    while (!inForward)
        std::this_thread::yield();
    std::thread closer([&] { gate->close(); });
    proceed = true;
    closer.join();
    EXPECT_TRUE(finished.load());
    worker.join();
}

}  // namespace
}  // namespace quavrel
