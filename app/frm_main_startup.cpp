#include "app/application.h"
#include "app/frm_main.h"

namespace quavrel {

// The start-up work in its fixed order. A failing step ends it: the steps after it are
// skipped, the error is shown in the standard error box and start-up carries on.
void TfrmMain::FormCreate()
{
    try {
        setWindowTitle(QStringLiteral("%1 %2").arg(QString::fromLatin1(kProductName),
                                                   QString::fromLatin1(kVersionText)));
        loadSettingsAtStart();
        loadKeywordHistoryAtStart();
        loadDefaultPlayListAtStart();
        navigatePortal();
    } catch (...) {
        reportCurrentException(this);
    }
}

}  // namespace quavrel
