#include "app/application.h"
#include "app/frm_main.h"
#include "app/startup_trace.h"

namespace quavrel {

// The start-up work in its fixed order. A failing step ends it: the steps after it are
// skipped, the error is shown in the standard error box and start-up carries on.
void TfrmMain::FormCreate()
{
    try {
        setWindowTitle(QStringLiteral("%1 %2").arg(QString::fromLatin1(kProductName),
                                                   QString::fromLatin1(kVersionText)));
        loadSettingsAtStart();
        startupMark("settings");
        loadKeywordHistoryAtStart();
        startupMark("key_list");
        loadDefaultPlayListAtStart();
        startupMark("play_list");
        navigatePortal();
    } catch (...) {
        reportCurrentException(this);
    }
}

}  // namespace quavrel
