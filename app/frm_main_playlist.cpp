// The play list lvPlaying and its M3U files: adding without duplicates, deleting with
// renumbering, open and save through the dialogs, default.m3u at start-up and at close.
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <filesystem>

#include "app/frm_main.h"
#include "app/media_variant.h"
#include "app/message_boxes.h"
#include "media/m3u.h"
#include "media/playlist.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "player/windows_media_player.h"

namespace quavrel {
namespace {

// A start-up list with more entries than this has its first song loaded into the player.
constexpr int kPrepareFirstSongAbove = 1000;

QString captionText(int row, const TMedia& media)
{
    return QString::fromStdString(gbkToUtf8(PlayList::caption(row, media)));
}

std::string defaultPlayListPath() { return ProgramDir() + "default.m3u"; }

// A path from a file dialog as the bytes the file system knows it by.
std::string nativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

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

bool TfrmMain::autoLoadDefaultListOn() const { return AutoLoadDefaultList; }

PlayList& TfrmMain::playList()
{
    if (!playList_)
        playList_ = std::make_shared<PlayList>();
    // Every change of lvPlaying goes through this file; rebuild the index should the
    // rows ever have been changed behind its back.
    if (playList_->size() != lvPlaying->topLevelItemCount()) {
        playList_->clear();
        for (int row = 0; row < lvPlaying->topLevelItemCount(); ++row)
            if (MediaPtr media = mediaOf(lvPlaying->topLevelItem(row)))
                playList_->add(media);
    }
    return *playList_;
}

void TfrmMain::clearPlayList()
{
    lvPlaying->clear();
    playList().clear();
}

void TfrmMain::renumberPlayList(int fromRow)
{
    for (int row = fromRow; row < lvPlaying->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = lvPlaying->topLevelItem(row);
        if (MediaPtr media = mediaOf(item))
            item->setText(0, captionText(row, *media));
    }
}

int TfrmMain::AddToPlayList(const MediaPtr& media)
{
    PlayList::AddResult result = playList().add(media);
    if (result.added) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, captionText(result.row, *media));
        item->setData(0, Qt::UserRole, QVariant::fromValue(media));
        lvPlaying->addTopLevelItem(item);
    }
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
    std::vector<int> removed;
    for (int row = lvPlaying->topLevelItemCount() - 1; row >= 0; --row) {
        if (lvPlaying->topLevelItem(row)->isSelected()) {
            delete lvPlaying->takeTopLevelItem(row);
            removed.push_back(row);
        }
    }
    if (removed.empty())
        return;
    if (playList_)
        playList_->removeRows(removed);
    renumberPlayList(0);
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
    std::vector<MediaPtr> rows;
    rows.reserve(static_cast<size_t>(lvPlaying->topLevelItemCount()));
    for (int row = 0; row < lvPlaying->topLevelItemCount(); ++row)
        if (MediaPtr media = mediaOf(lvPlaying->topLevelItem(row)))
            rows.push_back(media);
    // Written beside the old file and renamed over it, so a failed save keeps the old list.
    WriteM3UFile(path, rows);
}

void TfrmMain::btnOpenClick()
{
    QFileDialog* dialog = OpenDialog1();
    if (dialog->exec() != QDialog::Accepted)
        return;
    const QStringList files = dialog->selectedFiles();
    if (files.isEmpty())
        return;
    // The player and PlayIndex stay: a playing song plays on.
    LoadPlayList(nativePath(files.first()));
}

void TfrmMain::btnSaveClick()
{
    QFileDialog* dialog = SaveDialog1();
    if (dialog->exec() != QDialog::Accepted)
        return;
    const QStringList files = dialog->selectedFiles();
    if (files.isEmpty())
        return;
    const QString path = files.first();
    if (QFileInfo::exists(path) &&
        !confirmBox(this, QStringLiteral("文件已经存在，需要覆盖吗？")))
        return;
    SavePlayList(nativePath(path));
}

void TfrmMain::loadDefaultPlayListAtStart()
{
    const std::string path = defaultPlayListPath();
    std::error_code error;
    if (!autoLoadDefaultListOn() || !std::filesystem::exists(path, error))
        return;
    int entries = LoadPlayList(path);
    if (entries <= kPrepareFirstSongAbove || lvPlaying->topLevelItemCount() == 0)
        return;
    // A long list: load its first song, silent, so the tray's play has something to play.
    QTreeWidgetItem* first = lvPlaying->topLevelItem(0);
    lvPlaying->clearSelection();
    first->setSelected(true);
    startSong(mediaOf(first));
    WindowsMediaPlayer->stop();
    PlayIndex = 0;
}

void TfrmMain::saveDefaultPlayListAtClose() { SavePlayList(defaultPlayListPath()); }

}  // namespace quavrel
