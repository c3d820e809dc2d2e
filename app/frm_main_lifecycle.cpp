// Tray icon, minimise and restore, and the close sequence.
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>
#include <QWindowStateChangeEvent>
#include <exception>
#include <initializer_list>

#include "app/application.h"
#include "app/frm_main.h"
#include "app/image_lists.h"
#include "app/qt_ui_hooks.h"
#include "app/tray_icon.h"
#include "songs/handover.h"
#include "player/windows_media_player.h"

namespace quavrel {

void TfrmMain::setUpTrayIcon()
{
    RzTrayIcon1 = new TrayIcon(ImageList1->icon(4), PopupMenu2, this);
    connect(RzTrayIcon1, &TrayIcon::restoreRequested, this, &TfrmMain::restoreProgram);
    // Without its icon a window hidden in the tray could never come back.
    connect(RzTrayIcon1, &TrayIcon::lost, this, [this] {
        if (hiddenToTray_)
            restoreProgram();
    });
    // The window comes forward first, so that the menu closes when the user clicks elsewhere.
    connect(RzTrayIcon1, &TrayIcon::menuAboutToShow, this, [this] {
        if (isVisible()) {
            raise();
            activateWindow();
        }
    });
    // Logging off or shutting down: the session manager only asks, and the log-out may
    // still be cancelled, so both files are written and the window stays.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        commitSessionData([&manager] { return manager.allowsErrorInteraction(); });
        manager.release();
    });
}

void TfrmMain::N5Click() { restoreProgram(); }

void TfrmMain::X1Click() { close(); }

void TfrmMain::restoreProgram()
{
    if (RzTrayIcon1 && RzTrayIcon1->menuOpen())
        return;
    if (hiddenToTray_ || isMinimized() || !isVisible()) {
        hiddenToTray_ = false;
        setWindowState(stateBeforeMinimize_ & ~Qt::WindowMinimized);
        show();
    }
    raise();
    activateWindow();
}

void TfrmMain::showMinimizedStart()
{
    if (RzTrayIcon1 && RzTrayIcon1->shown()) {
        stateBeforeMinimize_ = Qt::WindowNoState;
        hiddenToTray_ = true;   // never shown: only the icon is there
        return;
    }
    showMinimized();
}

void TfrmMain::hideToTray()
{
    if (!isMinimized())
        return;   // restored again before the deferred hide ran
    hiddenToTray_ = true;
    hide();
}

// Minimising hides the window and its taskbar entry when there is a tray to come back
// from. Without a tray the window minimises as usual, so it can never be lost.
void TfrmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    stateBeforeMinimize_ = change->oldState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
    if (RzTrayIcon1 && RzTrayIcon1->shown())
        QTimer::singleShot(0, this, &TfrmMain::hideToTray);
}

std::vector<std::exception_ptr> TfrmMain::writeSessionFiles()
{
    std::vector<std::exception_ptr> failures;
    for (auto step : {&TfrmMain::saveDefaultPlayListAtClose, &TfrmMain::saveKeywordHistoryAtClose}) {
        try {
            (this->*step)();
        } catch (...) {
            failures.push_back(std::current_exception());
        }
    }
    return failures;
}

void TfrmMain::reportFailures(const std::vector<std::exception_ptr>& failures, Interaction interaction)
{
    for (const std::exception_ptr& failure : failures) {
        try {
            std::rethrow_exception(failure);
        } catch (...) {
            reportCurrentException(this, interaction);
        }
    }
}

void TfrmMain::commitSessionData(const std::function<bool()>& mayInteract)
{
    const auto failures = writeSessionFiles();
    // The session manager is asked for the user only when there is something to show.
    if (!failures.empty())
        reportFailures(failures, mayInteract() ? Interaction::Allowed : Interaction::None);
}

void TfrmMain::closeWithoutInteraction()
{
    closeInteraction_ = Interaction::None;
    close();
}

// Both files are attempted even when the first cannot be written; each failure is shown,
// and the close goes ahead anyway, so a file that can never be written neither keeps the
// program open nor blocks logging off.
bool TfrmMain::FormCloseQuery()
{
    reportFailures(writeSessionFiles(), closeInteraction_);
    WindowsMediaPlayer->close();
    return true;
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    bool allow = true;
    try {
        allow = FormCloseQuery();
    } catch (...) {
        reportCurrentException(this);
    }
    if (!allow) {
        event->ignore();
        return;
    }
    // From here on, a request still waiting on the user-interface thread gives up, and
    // late probe results are dropped.
    qtUiHooks().setClosing(true);
    if (searchGate_.gate)
        searchGate_.gate->close();
    event->accept();
    emit closed();
}

}  // namespace quavrel
