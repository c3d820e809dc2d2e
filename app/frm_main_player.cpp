// Starting songs from the result list, the play list and the tray menu; cycling through
// the play list when a song ends; the player's status text under the player.
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include "app/after_first_paint.h"
#include "app/frm_main.h"
#include "app/startup_trace.h"
#include "platform/codepage.h"
#include "player/windows_media_player.h"

namespace quavrel {
namespace {

// The first selected row in row order, as the list's own "selected item" means.
QTreeWidgetItem* firstSelected(const QTreeWidget* list)
{
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        if (list->topLevelItem(row)->isSelected())
            return list->topLevelItem(row);
    return nullptr;
}

}  // namespace

bool TfrmMain::cyclePlayOn() const { return CyclePlay; }

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
    WindowsMediaPlayer->close();
    // The player takes Unicode; the record keeps the address as GBK bytes.
    WindowsMediaPlayer->setURL(QString::fromStdString(gbkToUtf8(media->Url)));
}

void TfrmMain::lvSearchResult2DblClick()
{
    QTreeWidgetItem* item = firstSelected(lvSearchResult);
    MediaPtr media = mediaOf(item);
    if (!media)
        return;
    startSong(media);
    PlayIndex = AddToPlayList(media);
}

void TfrmMain::lvPlayingDblClick()
{
    QTreeWidgetItem* item = firstSelected(lvPlaying);
    MediaPtr media = mediaOf(item);
    if (!media)
        return;
    startSong(media);
    PlayIndex = lvPlaying->indexOfTopLevelItem(item);
}

void TfrmMain::WindowsMediaPlayerPlayStateChange(int NewState)
{
    if (NewState != TWindowsMediaPlayer::psMediaEnded || !cyclePlayOn())
        return;
    const int rows = lvPlaying->topLevelItemCount();
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
    startSong(mediaOf(item));
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
