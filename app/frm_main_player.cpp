// Starting songs from the result list, the play list and the tray menu; cycling through
// the play list when a song ends; the player's status text under the player.
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include "app/frm_main.h"
#include "app/gbk_qstring.h"
#include "app/list_selection.h"
#include "media/playlist.h"
#include "player/windows_media_player.h"

namespace quavrel {

void TfrmMain::startSong(const MediaPtr& media)
{
    if (!media)
        return;
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
    const int rows = playList_.size();
    if (rows == 0)
        return;
    // The last row, and any index past the end after deletes, wraps to the first row.
    if (PlayIndex >= 0 && PlayIndex < rows - 1)
        ++PlayIndex;
    else
        PlayIndex = 0;
    QTreeWidgetItem* item = lvPlaying->topLevelItem(PlayIndex);
    // Select without making it current: the list is not scrolled to the row.
    lvPlaying->clearSelection();
    item->setSelected(true);
    startSong(playList_.at(PlayIndex));
    if (!PlayTimer->isActive())
        PlayTimer->start();
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
