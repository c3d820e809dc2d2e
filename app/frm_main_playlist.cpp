#include "app/frm_main.h"

namespace quavrel {

int TfrmMain::AddToPlayList(const MediaPtr&) { return 0; }
void TfrmMain::N2Click() {}
void TfrmMain::btnDeleteClick() {}
void TfrmMain::btnOpenClick() {}
void TfrmMain::btnSaveClick() {}
int TfrmMain::LoadPlayList(const std::string&) { return 0; }
void TfrmMain::SavePlayList(const std::string&) {}
void TfrmMain::loadDefaultPlayListAtStart() {}
void TfrmMain::saveDefaultPlayListAtClose() {}

}  // namespace quavrel
