#include <QCloseEvent>

#include "app/application.h"
#include "app/frm_main.h"
#include "app/qt_ui_hooks.h"

namespace quavrel {

void TfrmMain::N5Click() {}
void TfrmMain::X1Click() { close(); }

bool TfrmMain::FormCloseQuery()
{
    saveDefaultPlayListAtClose();
    saveKeywordHistoryAtClose();
    return true;
}

// Every close request runs the close sequence. A sequence that fails is reported and the
// window closes anyway, so a file that can never be written cannot keep the program open.
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
    // From here on, a request still waiting on the user-interface thread gives up.
    qtUiHooks().setClosing(true);
    event->accept();
}

void TfrmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
}

}  // namespace quavrel
