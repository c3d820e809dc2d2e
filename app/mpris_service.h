#pragma once
// MprisService: the program as media keys, the desktop's media widgets and playerctl see
// it. It owns the object /org/mpris/MediaPlayer2 with the MPRIS interfaces
// org.mpris.MediaPlayer2 (mpris_root.h) and org.mpris.MediaPlayer2.Player (mpris_player.h)
// and holds the name org.mpris.MediaPlayer2.quavrel on the session bus. main() starts it
// once the window is up; without a session bus it stays silent and the program works on.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace quavrel {

class TfrmMain;

class MprisService : public QObject {
    Q_OBJECT
public:
    static constexpr char kBusName[] = "org.mpris.MediaPlayer2.quavrel";
    static constexpr char kObjectPath[] = "/org/mpris/MediaPlayer2";

    // A child of `window`, whose handlers it calls.
    explicit MprisService(TfrmMain* window);
    ~MprisService() override;

    // Exports the object and asks for the name without waiting for the bus's answer.
    // False when `bus` is not connected.
    bool start(const QDBusConnection& bus);

    // The program's way in: connects to the session bus on a helper thread, since the
    // handshake takes milliseconds the window should not wait for, then starts a service
    // for `window` on it. Without a session bus nothing happens.
    static void offer(TfrmMain* window);

    // The name the bus granted; empty until it has answered. A second running program
    // gets "org.mpris.MediaPlayer2.quavrel.instance<pid>", as MPRIS asks.
    QString busName() const { return busName_; }

    // Sends org.freedesktop.DBus.Properties.PropertiesChanged for `interface`.
    void announce(const QString& interface, const QVariantMap& changed);

signals:
    void busNameAcquired(const QString& name);

private:
    void requestName(const QString& name);

    QDBusConnection bus_{QString()};
    QString busName_;
};

}  // namespace quavrel
