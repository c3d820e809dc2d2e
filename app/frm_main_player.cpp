// Starting songs from the result list, the play list and the tray menu; cycling through
// the play list when a song ends; the player's status text under the player.
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include "app/after_first_paint.h"
#include "app/frm_main.h"
#include "app/gbk_qstring.h"
#include "app/list_selection.h"
#include "app/startup_trace.h"
#include "media/playlist.h"
#include "player/windows_media_player.h"

namespace quavrel {

// The media back end takes a while to start; it is started right after the window's first
// paint, before the portal's steps, so the first song plays without waiting. A song
// started before that creates it on the spot.
void TfrmMain::createMediaBackEndWhenIdle()
{
    afterFirstPaint_->add([this] {
        WindowsMediaPlayer->createBackEnd();
        startupMark("media_backend");
    });
}

void TfrmMain::startSong(const MediaPtr& media)
{
    if (!media)
        return;
    songInPlayer_ = media;
    WindowsMediaPlayer->close();
    // The player takes Unicode; the record keeps the address as GBK bytes.
    WindowsMediaPlayer->setURL(fromGbk(media->Url));
}

void TfrmMain::lvSearchResult2DblClick()
{
    MediaPtr media = mediaOf(firstSelected(lvSearchResult));
    if (!media)
        return;
    startSong(media);
    PlayIndex = AddToPlayList(media);
}

void TfrmMain::lvPlayingDblClick()
{
    QTreeWidgetItem* item = firstSelected(lvPlaying);
    if (!item)
        return;
    const int row = lvPlaying->indexOfTopLevelItem(item);
    startSong(playList_.at(row));
    PlayIndex = row;
}

void TfrmMain::WindowsMediaPlayerPlayStateChange(int NewState)
{
    if (NewState != TWindowsMediaPlayer::psMediaEnded || !settingsFlags.CyclePlay)
        return;
    if (!stepPlayList(1))
        return;
    if (!PlayTimer->isActive())
        PlayTimer->start();
}

bool TfrmMain::stepPlayList(int step)
{
    const int rows = playList_.size();
    if (rows == 0)
        return false;
    // Onwards, the last row and any index past the end after deletes wrap to the first
    // row; backwards, the first row and any index past the end go to the last one.
    if (step > 0)
        PlayIndex = PlayIndex >= 0 && PlayIndex < rows - 1 ? PlayIndex + 1 : 0;
    else
        PlayIndex = PlayIndex > 0 && PlayIndex < rows ? PlayIndex - 1 : rows - 1;
    QTreeWidgetItem* item = lvPlaying->topLevelItem(PlayIndex);
    // Select without making it current: the list is not scrolled to the row.
    lvPlaying->clearSelection();
    item->setSelected(true);
    startSong(playList_.at(PlayIndex));
    return true;
}

void TfrmMain::PlayTimerTimer()
{
    // One tick only, also when play fails, so a failure is reported once.
    struct StopTimer {
        QTimer* timer;
        ~StopTimer() { timer->stop(); }
    } stopTimer{PlayTimer};
    WindowsMediaPlayer->play();
}

void TfrmMain::P1Click()
{
    if (WindowsMediaPlayer->URL().isEmpty())
        return;
    WindowsMediaPlayer->play();
}

void TfrmMain::WindowsMediaPlayerStatusChange()
{
    lbPlayerInfo->setText(WindowsMediaPlayer->status());
}

}  // namespace quavrel
