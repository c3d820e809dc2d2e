#pragma once
// The real program for one test: started from the build tree with a scratch data and
// configuration folder of its own (which the test may fill first), watched from outside
// as a desktop would watch it, and ended by a signal.
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace quavrel::test {

// Runs a desktop tool (xdotool, gdbus, playerctl) and returns its output lines.
inline QStringList toolOutput(const QString& tool, const QStringList& args,
                              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(tool, args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

inline QStringList xdotool(const QStringList& args) { return toolOutput(QStringLiteral("xdotool"), args); }

class ProgramProcess {
public:
    static constexpr int kStartMs = 60000;   // only here to stop a hung start-up

    ProgramProcess() : env_(QProcessEnvironment::systemEnvironment())
    {
        env_.insert("XDG_CONFIG_HOME", QString::fromStdString(home_.file("config")));
        env_.insert("XDG_DATA_HOME", QString::fromStdString(home_.file("data")));
        std::filesystem::create_directories(dataDir());
        pointAtTestCatalogue();
    }
    ~ProgramProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Where the program keeps key.lst and default.m3u, ending in "/".
    std::string dataDir() const { return home_.file("data") + "/quavrel/"; }
    // Where it keeps its settings (user.reg), ending in "/"; not created here.
    std::string configDir() const { return home_.file("config") + "/quavrel/"; }
    QProcessEnvironment& environment() { return env_; }
    QProcess& process() { return process_; }

    bool start()
    {
        process_.setProcessEnvironment(env_);
        process_.setProgram(QString::fromLocal8Bit(std::getenv("QUAVREL_BUILD_DIR")) + "/app/quavrel");
        process_.start();
        return process_.waitForStarted();
    }

    // The main window's X window id, once it shows (empty when it never did).
    QString waitForMainWindow()
    {
        QString id;
        QTest::qWaitFor([&] {
            id = xdotool({"search", "--all", "--onlyvisible", "--pid", QString::number(process_.processId()),
                          "--name", "^Quavrel V3.0$"}).value(0);
            return !id.isEmpty() || process_.state() != QProcess::Running;
        }, kStartMs);
        return id;
    }

    // Sends `signal` and waits for the program to end. True when it ended by itself.
    bool endWith(int signal)
    {
        ::kill(static_cast<pid_t>(process_.processId()), signal);
        return process_.waitForFinished(20000);
    }

private:
    // A fresh user's program asks the default port, where the user's own catalogue may
    // listen: its settings point at the test command's catalogue instead (a test may
    // write its own user.reg over this one).
    void pointAtTestCatalogue()
    {
        const char* address = std::getenv("QUAVREL_CATALOG_ADDRESS");
        if (!address || !*address)
            return;
        std::filesystem::create_directories(configDir());
        std::ofstream reg(configDir() + "user.reg", std::ios::binary);
        const std::string value = std::string("\"") + address + "\"\r\n";
        reg << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\quavrel\\Config]\r\n"
            << "\"SearchServer\"=" << value << "\"MakerServer\"=" << value << "\"PortalServer\"=" << value;
    }

    TempDir home_;
    QProcessEnvironment env_;
    QProcess process_;
};

}  // namespace quavrel::test
