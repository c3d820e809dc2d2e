#pragma once
// The catalogue service for one test program: started on a free port of 127.0.0.1 from
// the binary in QUAVREL_CATALOG, stopped when the object goes. The demo catalogue, or a
// music folder of the test's own with an index file of its own.
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QString>

namespace quavrel::test {

class CatalogProcess {
public:
    ~CatalogProcess() { stop(); }

    // Empty when it started; otherwise why not.
    QString start(const QStringList& extraArguments = {})
    {
        const QByteArray binary = qgetenv("QUAVREL_CATALOG");
        if (binary.isEmpty())
            return QStringLiteral("QUAVREL_CATALOG is not set: the catalogue service was not built");
        process_.start(QString::fromLocal8Bit(binary), QStringList{"--port", "0", "--print-port"} + extraArguments);
        if (!process_.waitForStarted(10000))
            return QStringLiteral("the catalogue service did not start");
        while (!process_.canReadLine()) {
            if (!process_.waitForReadyRead(10000))
                return QStringLiteral("the catalogue service did not print its port");
        }
        bool ok = false;
        port_ = process_.readLine().trimmed().toInt(&ok);
        return ok && port_ > 0 ? QString() : QStringLiteral("the catalogue service printed no port");
    }

    // Serves the audio files under `folder`, indexed into `database`; returns once the
    // first scan has finished, so every song is searchable.
    QString startLibrary(const QString& folder, const QString& database)
    {
        const QString failed = start({"--library", folder, "--database", database});
        if (!failed.isEmpty())
            return failed;
        process_.setReadChannel(QProcess::StandardError);
        QByteArray messages;
        QDeadlineTimer deadline(120000);
        while (!messages.contains("scan finished")) {
            if (process_.state() != QProcess::Running || deadline.hasExpired())
                return QStringLiteral("no first scan: ") + QString::fromLocal8Bit(messages.right(2000));
            process_.waitForReadyRead(1000);
            messages += process_.readAllStandardError();
            if (messages.size() > 1 << 20)
                messages = messages.right(4096);
        }
        return QString();
    }

    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }

    // "127.0.0.1:<port>"
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }

private:
    QProcess process_;
    int port_ = 0;
};

}  // namespace quavrel::test
