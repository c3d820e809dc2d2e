#include "app/tray_icon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace quavrel {

namespace {
// How often to look for a tray host while there is none.
constexpr int kTrayWatchMs = 1000;
}

TrayIcon::TrayIcon(const QIcon& icon, QMenu* menu, QObject* parent)
    : QObject(parent), icon_(icon), menu_(menu)
{
    tray_ = new QSystemTrayIcon(icon_, this);
    // The menu is shown by hand, so that the window can come forward first and restore
    // requests can be ignored while it is open.
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { onActivated(reason); });
    watch_ = new QTimer(this);
    watch_->setInterval(kTrayWatchMs);
    connect(watch_, &QTimer::timeout, this, &TrayIcon::ensureShown);
    ensureShown();
    watch_->start();
}

TrayIcon::~TrayIcon()
{
    if (tray_)
        tray_->hide();
}

bool TrayIcon::shown() const { return trayWasAvailable_ && tray_->isVisible(); }

// Adds the icon when a tray host is there, and again after the host went away and came
// back (a restarted panel forgets its icons).
void TrayIcon::ensureShown()
{
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available && (!trayWasAvailable_ || !tray_->isVisible())) {
        tray_->hide();
        tray_->show();
    }
    const bool hostGone = trayWasAvailable_ && !available;
    trayWasAvailable_ = available;
    if (hostGone)
        emit lost();
}

void TrayIcon::onActivated(int reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        if (!menuOpen_)
            emit restoreRequested();
        break;
    case QSystemTrayIcon::Context:
        showMenu();
        break;
    default:  // a single left click and everything else do nothing
        break;
    }
}

void TrayIcon::showMenu()
{
    if (!menu_ || menuOpen_)
        return;
    const QPoint at = QCursor::pos();
    emit menuAboutToShow();
    menuOpen_ = true;
    menu_->exec(at);
    menuOpen_ = false;
}

}  // namespace quavrel
