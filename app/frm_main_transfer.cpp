#include "app/frm_main.h"

namespace quavrel {

void TfrmMain::N4Click() {}
void TfrmMain::nDownloadClick() {}

}  // namespace quavrel
