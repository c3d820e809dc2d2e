#include "app/frm_main.h"

namespace quavrel {

void TfrmMain::chkAUTOSTARTClick() {}
void TfrmMain::RzBitBtn1Click() {}
void TfrmMain::loadSettingsAtStart() {}
void TfrmMain::loadKeywordHistoryAtStart() {}
void TfrmMain::saveKeywordHistoryAtClose() {}
void TfrmMain::RememberKeyword(const std::string&) {}

}  // namespace quavrel
