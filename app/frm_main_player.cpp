#include "app/frm_main.h"

namespace quavrel {

void TfrmMain::lvSearchResult2DblClick() {}
void TfrmMain::lvPlayingDblClick() {}
void TfrmMain::WindowsMediaPlayerPlayStateChange(int) {}
void TfrmMain::WindowsMediaPlayerStatusChange() {}
void TfrmMain::PlayTimerTimer() {}
void TfrmMain::P1Click() {}
void TfrmMain::startSong(const MediaPtr&) {}

}  // namespace quavrel
