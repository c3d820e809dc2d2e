// Link probes: 200 probes against a loopback server that delays every answer by 50 ms,
// timed from the first start until the last record is handed over, against
// `curl --parallel --parallel-immediate --parallel-max 32 -I` over the same 200 addresses
// in the same run. Prints "ROW|figure|ours|peer|ratio|goal"; a ratio of 1 or more means
// ours is at least as fast (goal: within 1.2x of curl).
//
// curl needs --parallel-immediate here: without it each new transfer waits to see whether
// it can share an earlier connection (HTTP/2 multiplexing), and against answers that come
// with "Connection: close" and the server's close in one go, curl 7.88 leaves finished
// transfers hanging for up to seconds (time_starttransfer 51 ms, time_total up to 10 s),
// so the peer looked 30 times slower than it is.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "songs/check_thread.h"

namespace {

using namespace std::chrono_literals;
constexpr int kProbes = 200;

// Answers every request after 50 ms with 200 and a length, then closes.
class DelayServer {
public:
    DelayServer()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 1024);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        std::thread([fd = fd_] {
            for (;;) {
                int c = ::accept(fd, nullptr, nullptr);
                if (c < 0)
                    return;
                std::thread([c] {
                    char buf[4096];
                    std::string request;
                    while (request.find("\r\n\r\n") == std::string::npos) {
                        ssize_t n = ::recv(c, buf, sizeof buf, 0);
                        if (n <= 0)
                            break;
                        request.append(buf, static_cast<size_t>(n));
                    }
                    std::this_thread::sleep_for(50ms);
                    static const char kAnswer[] =
                        "HTTP/1.1 200 OK\r\nContent-Length: 4000000\r\nConnection: close\r\n\r\n";
                    ::send(c, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL);
                    ::close(c);
                }).detach();
            }
        }).detach();
    }
    std::string url(int i) const { return "http://127.0.0.1:" + std::to_string(port_) + "/song" + std::to_string(i) + ".mp3"; }

private:
    int fd_ = -1;
    int port_ = 0;
};

DelayServer& server()
{
    static DelayServer* instance = new DelayServer;
    return *instance;
}

// Seconds from the first start until the last hand-over.
double probeRun()
{
    std::mutex mutex;
    std::condition_variable done;
    int delivered = 0;
    auto gate = quavrel::ResultHandover::create([&](const quavrel::MediaPtr&) {
        std::lock_guard<std::mutex> lock(mutex);
        if (++delivered == kProbes)
            done.notify_all();
    });
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kProbes; ++i) {
        quavrel::TCheckThread probe;
        probe.ListView = gate;
        probe.Media = quavrel::NewMedia();
        probe.Media->Url = server().url(i);
        probe.Start();
    }
    std::unique_lock<std::mutex> lock(mutex);
    done.wait_for(lock, 120s, [&] { return delivered == kProbes; });
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    lock.unlock();
    gate->close();
    quavrel::WaitForProbes(120s);
    return delivered == kProbes ? seconds : -1;
}

double curlRun()
{
    char dir[] = "/tmp/probe_bench.XXXXXX";
    if (!::mkdtemp(dir))
        return -1;
    std::string config = std::string(dir) + "/urls";
    {
        std::ofstream out(config);
        for (int i = 0; i < kProbes; ++i)
            out << "url = \"" << server().url(i) << "\"\noutput = \"/dev/null\"\n";
    }
    // One status code per line on standard output, so the run counts only when every
    // address answered 200.
    std::string codes = std::string(dir) + "/codes";
    std::string command = "curl -s --no-progress-meter -I --parallel --parallel-immediate --parallel-max " +
                          std::to_string(quavrel::kMaxProbes) + " -w '%{http_code}\\n' -K '" + config + "' > '" +
                          codes + "'";
    auto t0 = std::chrono::steady_clock::now();
    int rc = std::system(command.c_str());
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    int answered = 0;
    {
        std::ifstream in(codes);
        for (std::string line; std::getline(in, line);)
            answered += line == "200";
    }
    std::remove(config.c_str());
    std::remove(codes.c_str());
    ::rmdir(dir);
    if (rc != 0 || answered != kProbes) {
        std::fprintf(stderr, "probe_bench: curl exit %d, %d of %d answered 200\n", rc, answered, kProbes);
        return -1;
    }
    return seconds;
}

void BM_Probe200(benchmark::State& state)
{
    for (auto _ : state)
        state.SetIterationTime(probeRun());
}
BENCHMARK(BM_Probe200)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The best of three runs in seconds; -1 when none completed.
template <typename F>
double best(F run)
{
    double b = -1;
    for (int i = 0; i < 3; ++i) {
        double t = run();
        if (t >= 0 && (b < 0 || t < b))
            b = t;
    }
    return b;
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    double curl = best(curlRun);
    double ours = best(probeRun);
    if (ours < 0 || curl < 0) {
        std::fprintf(stderr, "probe_bench: %s did not complete\n", ours < 0 ? "the probes" : "curl");
        return 1;
    }
    std::printf("ROW|%d probes, 50 ms answers (ms)|%.0f|%.0f|%.2f|>= 0.83\n", kProbes, ours * 1e3, curl * 1e3,
                curl / ours);
    return 0;
}
