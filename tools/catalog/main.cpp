// quavrel-catalog: the catalogue service Quavrel searches. With --library it serves the
// songs of music folders from an index it keeps up to date; without, the bundled demo
// catalogue. Writes nothing to standard output except the bound port when asked
// (--print-port), so tests can start it on a free port; messages go to standard error.
#include "platform/paths.h"
#include "tools/catalog/audio_assets.h"
#include "tools/catalog/catalog.h"
#include "tools/catalog/database.h"
#include "tools/catalog/demo_service.h"
#include "tools/catalog/http_server.h"
#include "tools/catalog/library.h"
#include "tools/catalog/library_service.h"
#include "tools/catalog/log.h"
#include "tools/catalog/options.h"

#include <pthread.h>
#include <signal.h>

#include <filesystem>
#include <iostream>
#include <optional>

namespace {

using namespace quavrel::catalog;

constexpr int kBadUsage = 2;

// The demo's tones: beside the program in the build tree, else where the install put them
// (share/quavrel/catalog beside its bin/).
std::string defaultAssets()
{
    const std::filesystem::path exe = quavrel::ExecutablePath();
    std::error_code ec;
    if (std::filesystem::exists(exe.parent_path() / "assets/tone_0.mp3", ec))
        return (exe.parent_path() / "assets").string();
    return (exe.parent_path().parent_path() / "share/quavrel/catalog").string();
}

// Blocks the stop signals before any thread exists, so every thread inherits the mask and
// the main thread alone takes them, in waitForStop().
sigset_t blockStopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return signals;
}

void waitForStop(const sigset_t& signals)
{
    int signo = 0;
    sigwait(&signals, &signo);
}

void announce(const HttpServer& server, const Options& options)
{
    if (options.printPort)
        std::cout << server.port() << std::endl;
}

int serveDemo(const Options& options, const sigset_t& signals)
{
    const Catalog catalog;
    AudioAssets audio;
    std::string error;
    if (!audio.load(options.assets.empty() ? defaultAssets() : options.assets, error)) {
        Log(error);
        return 1;
    }
    DemoService demo(catalog, audio);
    HttpServer server(options.listen, options.port, ServerLimits{});
    server.start([&demo](const HttpRequest& request) { return AnswerRequest(demo, request); });
    announce(server, options);
    waitForStop(signals);
    server.stop();
    return 0;
}

// The library folders as canonical paths; false with a message when one is missing.
bool libraryFolders(const Options& options, std::vector<std::string>& folders)
{
    std::vector<std::string> given = options.libraries;
    if (options.musicFolder) {
        std::string music, error;
        if (!FindMusicFolder(music, error)) {
            Log(error);
            return false;
        }
        given.push_back(music);
    }
    for (const std::string& folder : given) {
        std::error_code ec;
        const std::filesystem::path canonical = std::filesystem::canonical(folder, ec);
        if (ec || !std::filesystem::is_directory(canonical, ec)) {
            Log("the library folder " + folder + " does not exist or is not a folder");
            return false;
        }
        folders.push_back(canonical.string());
    }
    return true;
}

int serveLibrary(const Options& options, const std::vector<std::string>& folders, const sigset_t& signals)
{
    Database db(options.database.empty() ? DefaultDatabasePath() : options.database);
    LibrarySettings settings;
    settings.folders = folders;
    settings.checkSeconds = options.checkSeconds;
    settings.maxWatches = options.maxWatches;
    Library library(db, settings);
    LibraryService service(library);
    HttpServer server(options.listen, options.port, ServerLimits{});
    server.start([&service](const HttpRequest& request) { return AnswerRequest(service, request); });
    announce(server, options);
    Log("serving " + std::to_string(folders.size()) + (folders.size() == 1 ? " folder" : " folders") + " on " +
        options.listen + " port " + std::to_string(server.port()) + ", index " + db.file());
    library.start();
    waitForStop(signals);
    server.stop();
    library.stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::cerr << "quavrel-catalog: " << error << "\n" << UsageText();
        return kBadUsage;
    }
    if (options.help) {
        std::cout << UsageText();
        return 0;
    }
    const sigset_t signals = blockStopSignals();
    try {
        if (options.libraries.empty() && !options.musicFolder)
            return serveDemo(options, signals);
        std::vector<std::string> folders;
        if (!libraryFolders(options, folders))
            return kBadUsage;
        return serveLibrary(options, folders, signals);
    } catch (const std::exception& e) {
        Log(e.what());
        return 1;
    }
}
