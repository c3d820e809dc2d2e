#pragma once
// A session bus of one test program's own (dbus-daemon with the test command's bus
// configuration), so that the MPRIS name the test looks at belongs to the program under
// test and not to another test's program running at the same time. Ended with the object.
#include <QProcess>
#include <QString>
#include <sys/prctl.h>

#include <csignal>
#include <cstdlib>

namespace quavrel::test {

class PrivateBus {
public:
    ~PrivateBus()
    {
        if (daemon_.state() == QProcess::NotRunning)
            return;
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000))
            daemon_.kill();
        daemon_.waitForFinished(5000);
    }

    // Empty when it started; otherwise why not.
    QString start()
    {
        const QString config = QString::fromLocal8Bit(std::getenv("QUAVREL_SOURCE_DIR")) + "/scripts/session-bus.conf";
        // Ends with the test program even when that crashes, so no bus outlives the run.
        daemon_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        daemon_.start(QStringLiteral("dbus-daemon"), {"--config-file=" + config, "--nofork", "--print-address=1"});
        if (!daemon_.waitForStarted(5000))
            return QStringLiteral("needs dbus-daemon");
        while (!daemon_.canReadLine())
            if (!daemon_.waitForReadyRead(5000))
                return QStringLiteral("dbus-daemon printed no address");
        address_ = QString::fromUtf8(daemon_.readLine().trimmed());
        return {};
    }

    // What DBUS_SESSION_BUS_ADDRESS says for it.
    const QString& address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

}  // namespace quavrel::test
