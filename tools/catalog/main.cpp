// quavrel-catalog: the bundled stand-in for the MP3 search service, the maker's server and
// the games portal. Listens on 127.0.0.1 only and writes nothing to stdout except the bound
// port when asked (--print-port), so tests can start it on a free port.
#include "songs/services.h"
#include "tools/catalog/audio_assets.h"
#include "tools/catalog/catalog.h"
#include "tools/catalog/catalog_server.h"

#include <httplib.h>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <thread>

#ifndef QUAVREL_CATALOG_ASSETS
#define QUAVREL_CATALOG_ASSETS "."
#endif

namespace {

struct Options {
    int port = quavrel::kCatalogDefaultPort;
    bool printPort = false;
    std::string assets = QUAVREL_CATALOG_ASSETS;
};

const char kUsage[] =
    "usage: quavrel-catalog [--port N] [--print-port] [--assets DIR]\n"
    "  --port N       port on 127.0.0.1 (default 8531, 0 = any free port)\n"
    "  --print-port   print the bound port on stdout once listening\n"
    "  --assets DIR   folder of tone_0.mp3 ... tone_7.mp3\n";

bool parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--print-port") {
            options.printPort = true;
        } else if (arg == "--port" && i + 1 < argc) {
            const std::string value = argv[++i];
            int port = -1;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), port);
            if (ec != std::errc() || end != value.data() + value.size() || port < 0 || port > 65535)
                return false;
            options.port = port;
        } else if (arg == "--assets" && i + 1 < argc) {
            options.assets = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace quavrel::catalog;

    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::cerr << kUsage;
        return 2;
    }

    // Block the stop signals before any thread exists, so every thread inherits the mask
    // and only the waiter below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    try {
        const Catalog catalog;
        AudioAssets audio;
        std::string error;
        if (!audio.load(options.assets, error)) {
            std::cerr << "quavrel-catalog: " << error << "\n";
            return 1;
        }

        CatalogServer handlers(catalog, audio);
        httplib::Server server;
        server.new_task_queue = [] { return new httplib::ThreadPool(32); };
        handlers.install(server);

        int port = options.port;
        if (port == 0) {
            port = server.bind_to_any_port("127.0.0.1");
        } else if (!server.bind_to_port("127.0.0.1", port)) {
            port = -1;
        }
        if (port <= 0) {
            std::cerr << "quavrel-catalog: cannot listen on 127.0.0.1:" << options.port << "\n";
            return 1;
        }
        handlers.setPort(port);
        if (options.printPort) {
            std::cout << port << std::endl;
        }

        std::atomic<bool> listeningDone{false};
        std::thread waiter([&server, &stopSignals, &listeningDone] {
            int signo = 0;
            sigwait(&stopSignals, &signo);
            // A signal that comes before the server loop has started would be lost by a
            // single stop(), so keep asking until the loop has ended.
            while (!listeningDone) {
                server.stop();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        const bool ok = server.listen_after_bind();
        listeningDone = true;
        // Wakes the waiter when the server ended on its own; otherwise the signal just
        // stays pending in the blocked mask until exit.
        kill(getpid(), SIGTERM);
        waiter.join();
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "quavrel-catalog: " << e.what() << "\n";
        return 1;
    }
}
