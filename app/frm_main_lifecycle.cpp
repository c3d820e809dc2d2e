#include "app/frm_main.h"

namespace quavrel {

void TfrmMain::N5Click() {}
void TfrmMain::X1Click() { close(); }

bool TfrmMain::FormCloseQuery()
{
    saveDefaultPlayListAtClose();
    saveKeywordHistoryAtClose();
    return true;
}

}  // namespace quavrel
