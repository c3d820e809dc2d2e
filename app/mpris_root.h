#pragma once
// MprisRoot: org.mpris.MediaPlayer2, what the desktop needs to name the program and to
// bring it forward or end it. Raise restores the window as the tray icon does; Quit runs
// the close sequence as "退出(&X)" does.
#include <QDBusAbstractAdaptor>
#include <QStringList>

namespace quavrel {

class TfrmMain;

class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    MprisRoot(TfrmMain* window, QObject* service);

    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const;
    QString desktopEntry() const { return QStringLiteral("quavrel"); }
    // Nothing is opened from outside: songs come from the search and the play list.
    QStringList supportedUriSchemes() const { return {}; }
    QStringList supportedMimeTypes() const { return {}; }

public slots:
    void Raise();
    void Quit();

private:
    TfrmMain* window_;
};

}  // namespace quavrel
