#pragma once
// The bundled catalogue service for one test program: started on a free port of 127.0.0.1
// from the binary in QUAVREL_CATALOG, stopped when the object goes.
#include <QProcess>
#include <QString>

namespace quavrel::test {

class CatalogProcess {
public:
    ~CatalogProcess() { stop(); }

    // Empty when it started; otherwise why not.
    QString start()
    {
        const QByteArray binary = qgetenv("QUAVREL_CATALOG");
        if (binary.isEmpty())
            return QStringLiteral("QUAVREL_CATALOG is not set: the catalogue service was not built");
        process_.start(QString::fromLocal8Bit(binary), {"--port", "0", "--print-port"});
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
