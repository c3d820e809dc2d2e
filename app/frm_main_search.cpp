#include "app/frm_main.h"

namespace quavrel {

void TfrmMain::btnSearchClick() {}
void TfrmMain::btnNextPageClick() {}
void TfrmMain::btnClearClick() {}
void TfrmMain::btnHotClick() {}
void TfrmMain::cbxKeywordChange() {}
void TfrmMain::AddResultRow(const MediaPtr&) {}

}  // namespace quavrel
