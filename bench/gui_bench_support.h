#pragma once
// Shared start of the Qt benchmark programs (bench/*_gui_bench.cpp): a scratch home so the
// window never touches the real user's files, the program's own application class,
// offscreen unless a display is asked for, the bundled catalogue service on a free port,
// and the process's resident memory.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "songs/services.h"

namespace quavrel::bench {

// The scratch home of this run.
inline const std::string& scratchHome()
{
    static std::string home = [] {
        char pattern[] = "/tmp/quavrel_gui_bench.XXXXXX";
        return std::string(::mkdtemp(pattern));
    }();
    return home;
}

// Removes the scratch home; call before std::_Exit, which runs no destructor.
inline void removeScratchHome()
{
    std::error_code ignored;
    std::filesystem::remove_all(scratchHome(), ignored);
}

// Scratch XDG folders and the web engine's settings; call before the application exists.
inline void prepareEnvironment()
{
    const std::string& home = scratchHome();
    std::filesystem::create_directories(home + "/config");
    std::filesystem::create_directories(home + "/data");
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
}

// Resident memory of this process in KiB.
inline long residentKiB()
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

// The catalogue service on a free port of 127.0.0.1, ended with the object.
class Catalogue {
public:
    bool start()
    {
        QByteArray binary = qgetenv("QUAVREL_CATALOG");
        if (binary.isEmpty())
            binary = QByteArray(QUAVREL_BUILD_DIR) + "/tools/catalog/quavrel-catalog";
        process_.start(QString::fromLocal8Bit(binary), {"--port", "0", "--print-port"});
        if (!process_.waitForStarted(10000))
            return false;
        for (int i = 0; i < 100 && !process_.canReadLine(); ++i)
            process_.waitForReadyRead(100);
        port_ = process_.readLine().trimmed().toInt();
        return port_ > 0;
    }
    ~Catalogue() { stop(); }
    // Call before std::_Exit, which runs no destructor.
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    // Every service of the program pointed at this catalogue.
    void useForAllServices() const
    {
        ServiceAddresses addresses;
        addresses.searchServer = addresses.makerServer = addresses.portalServer = host();
        setServices(addresses);
    }

private:
    QProcess process_;
    int port_ = 0;
};

}  // namespace quavrel::bench
