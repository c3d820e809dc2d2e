#include "app/mpris_service.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QThread>

#include "app/frm_main.h"
#include "app/mpris_player.h"
#include "app/mpris_root.h"

namespace quavrel {
namespace {

// RequestName's flag and answers, as the bus daemon defines them.
constexpr uint kDoNotQueue = 4;
constexpr uint kPrimaryOwner = 1;
constexpr uint kExists = 3;
constexpr uint kAlreadyOwner = 4;

QDBusMessage busDaemonCall(const QString& method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                          QStringLiteral("/org/freedesktop/DBus"),
                                          QStringLiteral("org.freedesktop.DBus"), method);
}

}  // namespace

MprisService::MprisService(TfrmMain* window) : QObject(window)
{
    new MprisRoot(window, this);
    new MprisPlayer(window, this);
}

MprisService::~MprisService()
{
    if (busName_.isEmpty())
        return;
    QDBusMessage release = busDaemonCall(QStringLiteral("ReleaseName"));
    release << busName_;
    bus_.call(release, QDBus::NoBlock);
}

bool MprisService::start(const QDBusConnection& bus)
{
    if (!bus.isConnected())
        return false;
    bus_ = bus;
    if (!bus_.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors))
        return false;
    requestName(QString::fromLatin1(kBusName));
    return true;
}

void MprisService::offer(TfrmMain* window)
{
    QThread* connecting = QThread::create([] { QDBusConnection::sessionBus(); });
    QObject::connect(connecting, &QThread::finished, window, [window] {
        (new MprisService(window))->start(QDBusConnection::sessionBus());
    });
    QObject::connect(connecting, &QThread::finished, connecting, &QObject::deleteLater);
    connecting->start();
}

// Asked without blocking: the window never waits for the bus daemon.
void MprisService::requestName(const QString& name)
{
    QDBusMessage request = busDaemonCall(QStringLiteral("RequestName"));
    request << name << kDoNotQueue;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(request), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, name](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<uint> reply = *call;
        if (reply.isError())
            return;
        if (reply.value() == kPrimaryOwner || reply.value() == kAlreadyOwner) {
            busName_ = name;
            emit busNameAcquired(name);
        } else if (reply.value() == kExists && name == QLatin1String(kBusName)) {
            requestName(name + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid()));
        }
    });
}

void MprisService::announce(const QString& interface, const QVariantMap& changed)
{
    if (!bus_.isConnected() || changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    bus_.send(signal);
}

}  // namespace quavrel
