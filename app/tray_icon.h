#pragma once
// RzTrayIcon1: the program's icon in the notification area. A left double-click asks to
// restore the window, a right click shows the icon's menu at the pointer, anything else
// does nothing. On a desktop without a tray the program runs on without the icon and adds
// it as soon as a tray host appears; when the tray host goes away, lost() says so.
#include <QIcon>
#include <QObject>
#include <QPointer>

class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace quavrel {

class TrayIcon : public QObject {
    Q_OBJECT
public:
    TrayIcon(const QIcon& icon, QMenu* menu, QObject* parent = nullptr);
    ~TrayIcon() override;

    // True while the icon sits in a tray.
    bool shown() const;
    // True while the icon's menu is open; restore requests are ignored meanwhile.
    bool menuOpen() const { return menuOpen_; }

signals:
    void restoreRequested();
    // Before the menu shows: the window comes to the foreground first.
    void menuAboutToShow();
    // The tray host that held the icon went away.
    void lost();

private:
    void ensureShown();
    void onActivated(int reason);
    void showMenu();

    QIcon icon_;
    QPointer<QMenu> menu_;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer* watch_ = nullptr;
    bool menuOpen_ = false;
    bool trayWasAvailable_ = false;
};

}  // namespace quavrel
