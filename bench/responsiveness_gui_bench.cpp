// Responsiveness of the user-interface thread: a 1 ms timer on the real main window
// (offscreen) records the longest gap between two of its ticks while the window's own
// network work is under way, phase by phase:
//   start-up       the work that follows the first paint (FormCreate, then show, as main()
//                  does): the portal's web view and its page request, the media back end
//   hot list       btnHotClick against the catalogue service, until its probes are done
//   next page      btnNextPageClick after a search, until its probes are done
//   fetch          GetToStream of 200 MiB on the UI thread (the client pumps messages)
//   download       DownloadSong of 200 MiB on the UI thread: the fetch, then the file write
//   200 probes     TCheckThread probes against a loopback server answering after 100 ms,
//                  rows handed to the window as the program hands them over
//   all at once    the 200 probes and the download together
// Prints "ROW|figure|ours|peer|ratio|goal"; goal: no gap above 150 ms.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "app/application.h"
#include "app/frm_main.h"
#include "bench/gui_bench_support.h"
#include "player/windows_media_player.h"
#include "songs/check_thread.h"
#include "songs/download.h"
#include "http/http_client.h"

namespace {

using namespace quavrel;
using namespace std::chrono_literals;

constexpr int kProbes = 200;
constexpr long long kDownloadBytes = 200LL << 20;
constexpr int kHangMs = 120000;   // only detects a hang

// Loopback server: HEAD answers after 100 ms with a length and closes; GET sends
// kDownloadBytes on a kept-alive connection.
class SlowServer {
public:
    SlowServer()
    {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd, 1024);
        socklen_t len = sizeof addr;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        std::thread([fd] {
            for (int c; (c = ::accept(fd, nullptr, nullptr)) >= 0;)
                std::thread(serve, c).detach();
        }).detach();
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    static void serve(int c)
    {
        std::string pending;
        char buf[8192];
        for (;;) {
            size_t end;
            while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
                ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0) {
                    ::close(c);
                    return;
                }
                pending.append(buf, static_cast<size_t>(n));
            }
            const bool head = pending.rfind("HEAD ", 0) == 0;
            pending.erase(0, end + 4);
            if (head) {
                std::this_thread::sleep_for(100ms);
                static const char kAnswer[] = "HTTP/1.1 200 OK\r\nContent-Length: 4000000\r\nConnection: close\r\n\r\n";
                ::send(c, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL);
                ::close(c);
                return;
            }
            std::string header = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kDownloadBytes) + "\r\n\r\n";
            ::send(c, header.data(), header.size(), MSG_NOSIGNAL);
            static const std::string kBlock(1 << 20, 'Z');
            for (long long left = kDownloadBytes; left > 0; left -= static_cast<long long>(kBlock.size()))
                if (::send(c, kBlock.data(), kBlock.size(), MSG_NOSIGNAL) < 0) {
                    ::close(c);
                    return;
                }
        }
    }
    int port_ = 0;
};

// The longest time between two ticks of a 1 ms timer of the UI thread.
class GapRecorder : public QObject {
public:
    GapRecorder()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            maxGap_ = std::max(maxGap_, clock_.nsecsElapsed() / 1e6);
            clock_.restart();
        });
        clock_.start();
        timer_.start();
    }
    void reset()
    {
        QApplication::processEvents();
        clock_.restart();
        maxGap_ = 0;
    }
    // The longest gap so far, the one still open included.
    double maxGap() const { return std::max(maxGap_, clock_.nsecsElapsed() / 1e6); }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    double maxGap_ = 0;
};

// Lets the UI thread run until every probe has ended and its row has been added.
// Handles messages until `done` holds; false after kHangMs.
bool settleUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > kHangMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
    QApplication::processEvents();
    return true;
}

bool settleProbes()
{
    return settleUntil([] { return PendingProbes() == 0; });
}

void startProbes(const SlowServer& server, const std::shared_ptr<ResultHandover>& gate)
{
    for (int i = 0; i < kProbes; ++i) {
        TCheckThread probe;
        probe.ListView = gate;
        probe.Media = NewMedia();
        probe.Media->Title = "song " + std::to_string(i);
        probe.Media->Url = server.url("/song" + std::to_string(i) + ".mp3");
        probe.Start();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    bench::prepareEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    Application app(argc, argv);
    bench::Catalogue catalogue;
    if (!catalogue.start()) {
        std::fprintf(stderr, "responsiveness_gui_bench: the catalogue service did not start\n");
        bench::removeScratchHome();
        return 1;
    }
    catalogue.useForAllServices();
    SlowServer server;
    const std::string downloadPath = std::string(getenv("XDG_DATA_HOME")) + "/download.mp3";

    TfrmMain window;
    window.FormCreate();
    window.show();
    // Rows are handed to the window by a queued call, as the program's own gate does.
    auto gate = ResultHandover::create([&window](const MediaPtr& media) {
        QMetaObject::invokeMethod(&window, [&window, media] { window.AddResultRow(media); }, Qt::QueuedConnection);
    });
    GapRecorder gaps;
    bool ok = true;

    struct Phase {
        const char* name;
        std::function<bool()> run;
    };
    const Phase phases[] = {
        {"start-up work after the first paint", [&] {
             return settleUntil(
                 [&] {
                     return window.WebBrowserKitewood && !window.WebBrowserKitewood->property("url").isNull() &&
                            window.WindowsMediaPlayer->hasBackEnd();
                 });
         }},
        {"hot list", [&] {
             window.btnHotClick();
             return settleProbes() && window.lvSearchResult->topLevelItemCount() > 0;
         }},
        {"next page", [&] {
             window.cbxKeyword->setEditText(QStringLiteral("许南风"));
             window.btnSearchClick();
             if (!settleProbes())
                 return false;
             gaps.reset();   // the search itself runs on its worker; time the next page alone
             window.btnNextPageClick();
             return settleProbes();
         }},
        // The fetch alone, to tell its share of the download's gap from the file write's.
        {"fetch 200 MiB into memory", [&] {
             TIdHTTP client;
             std::string body;
             client.GetToStream(server.url("/big.mp3"), body);
             return static_cast<long long>(body.size()) == kDownloadBytes;
         }},
        {"download 200 MiB", [&] {
             DownloadSong(server.url("/big.mp3"), downloadPath);
             return true;
         }},
        {"200 probes", [&] {
             window.btnClearClick();
             startProbes(server, gate);
             return settleProbes() && window.lvSearchResult->topLevelItemCount() == kProbes;
         }},
        {"200 probes and download together", [&] {
             window.btnClearClick();
             startProbes(server, gate);
             DownloadSong(server.url("/big.mp3"), downloadPath);
             return settleProbes() && window.lvSearchResult->topLevelItemCount() == kProbes;
         }},
    };
    double worst = 0;
    for (const Phase& phase : phases) {
        gaps.reset();
        QElapsedTimer took;
        took.start();
        bool done = false;
        try {
            done = phase.run();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", phase.name, e.what());
        }
        const double gap = gaps.maxGap();
        std::printf("%s: %s in %lld ms, longest gap %.1f ms\n", phase.name, done ? "done" : "FAILED", took.elapsed(),
                    gap);
        if (!done) {
            ok = false;
            continue;
        }
        worst = std::max(worst, gap);
        std::printf("ROW|longest UI gap: %s (ms)|%.0f|-|-|<= 150\n", phase.name, gap);
    }
    std::printf("ROW|longest UI gap over all phases (ms)|%.0f|-|-|<= 150\n", worst);
    std::fflush(stdout);
    gate->close();
    catalogue.stop();
    bench::removeScratchHome();
    std::_Exit(ok ? 0 : 1);   // probes and web engine helpers are not waited for, as in the program
}
