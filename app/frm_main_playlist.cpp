// The play list lvPlaying and its M3U files: adding without duplicates, deleting with
// renumbering, open and save through the dialogs, default.m3u at start-up and at close.
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <filesystem>

#include "app/frm_main.h"
#include "app/gbk_qstring.h"
#include "app/message_boxes.h"
#include "media/m3u.h"
#include "media/playlist.h"
#include "platform/paths.h"
#include "player/windows_media_player.h"

namespace quavrel {
namespace {

// A start-up list with more entries than this has its first song loaded into the player.
constexpr int kPrepareFirstSongAbove = 1000;

QString captionText(int row, const TMedia& media) { return fromGbk(PlayList::caption(row, media)); }

std::string defaultPlayListPath() { return ProgramDir() + "default.m3u"; }

// A path from a file dialog as the bytes the file system knows it by.
std::string nativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The file the user chose in `dialog`, or an empty text when the dialog was cancelled.
QString chosenFile(QFileDialog* dialog)
{
    if (dialog->exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog->selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

// Repaints the list once after a bulk change instead of once per row.
class UpdatesPaused {
public:
    explicit UpdatesPaused(QWidget* widget) : widget_(widget), was_(widget->updatesEnabled())
    {
        widget_->setUpdatesEnabled(false);
    }
    ~UpdatesPaused() { widget_->setUpdatesEnabled(was_); }

private:
    QWidget* widget_;
    bool was_;
};

}  // namespace

void TfrmMain::clearPlayList()
{
    playList_.clear();
    lvPlaying->clear();
}

void TfrmMain::renumberPlayList()
{
    for (int row = 0; row < playList_.size(); ++row)
        lvPlaying->topLevelItem(row)->setText(0, captionText(row, *playList_.at(row)));
}

int TfrmMain::AddToPlayList(const MediaPtr& media)
{
    const PlayList::AddResult result = playList_.add(media);
    if (result.added)
        lvPlaying->addTopLevelItem(new QTreeWidgetItem(QStringList{captionText(result.row, *media)}));
    return result.row;
}

void TfrmMain::N2Click()
{
    for (int row = 0; row < lvSearchResult->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = lvSearchResult->topLevelItem(row);
        if (!item->isSelected())
            continue;
        if (MediaPtr media = mediaOf(item))
            AddToPlayList(media);
    }
}

void TfrmMain::btnDeleteClick()
{
    std::vector<int> removed;   // from the last row to the first
    for (int row = lvPlaying->topLevelItemCount() - 1; row >= 0; --row)
        if (lvPlaying->topLevelItem(row)->isSelected())
            removed.push_back(row);
    if (removed.empty())
        return;
    playList_.removeRows(removed);
    for (int row : removed)
        delete lvPlaying->takeTopLevelItem(row);
    renumberPlayList();
}

int TfrmMain::LoadPlayList(const std::string& path)
{
    UpdatesPaused paused(lvPlaying);
    return ReadM3UFile(
        path, [this] { clearPlayList(); },
        [this](const MediaPtr& media) { AddToPlayList(media); });
}

void TfrmMain::SavePlayList(const std::string& path)
{
    // Written beside the old file and renamed over it, so a failed save keeps the old list.
    WriteM3UFile(path, playList_.rows());
}

void TfrmMain::btnOpenClick()
{
    const QString path = chosenFile(OpenDialog1());
    if (path.isEmpty())
        return;
    // The player and PlayIndex stay: a playing song plays on.
    LoadPlayList(nativePath(path));
}

void TfrmMain::btnSaveClick()
{
    const QString path = chosenFile(SaveDialog1());
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path) &&
        !confirmBox(this, QStringLiteral("文件已经存在，需要覆盖吗？")))
        return;
    SavePlayList(nativePath(path));
}

void TfrmMain::loadDefaultPlayListAtStart()
{
    const std::string path = defaultPlayListPath();
    std::error_code error;
    if (!settingsFlags.AutoLoadDefaultList || !std::filesystem::exists(path, error))
        return;
    int entries = LoadPlayList(path);
    if (entries <= kPrepareFirstSongAbove || playList_.empty())
        return;
    // A long list: load its first song, silent, so the tray's play has something to play.
    lvPlaying->clearSelection();
    lvPlaying->topLevelItem(0)->setSelected(true);
    startSong(playList_.at(0));
    WindowsMediaPlayer->stop();
    PlayIndex = 0;
}

void TfrmMain::saveDefaultPlayListAtClose() { SavePlayList(defaultPlayListPath()); }

}  // namespace quavrel
