#include "app/mpris_player.h"

#include <QAbstractItemModel>
#include <QAudioOutput>
#include <QCheckBox>
#include <QMediaPlayer>
#include <QTimer>
#include <QTreeWidget>

#include "app/frm_main.h"
#include "app/gbk_qstring.h"
#include "app/mpris_service.h"
#include "player/windows_media_player.h"

namespace quavrel {
namespace {

constexpr qint64 kMicrosecondsPerMs = 1000;
const QString kLoopPlaylist = QStringLiteral("Playlist");
const QString kLoopNone = QStringLiteral("None");

}  // namespace

MprisPlayer::MprisPlayer(TfrmMain* window, MprisService* service)
    : QDBusAbstractAdaptor(service), window_(window), service_(service)
{
    QMediaPlayer* player = engine();
    connect(player, &QMediaPlayer::sourceChanged, this, [this](const QUrl& source) {
        if (!source.isEmpty())
            ++trackNumber_;
        scheduleAnnouncement();
    });
    connect(player, &QMediaPlayer::playbackStateChanged, this, &MprisPlayer::scheduleAnnouncement);
    connect(player, &QMediaPlayer::durationChanged, this, &MprisPlayer::scheduleAnnouncement);
    connect(player, &QMediaPlayer::seekableChanged, this, &MprisPlayer::scheduleAnnouncement);
    connect(player->audioOutput(), &QAudioOutput::volumeChanged, this, &MprisPlayer::scheduleAnnouncement);
    connect(window_->chkCYCLEPLAY, &QCheckBox::toggled, this, &MprisPlayer::scheduleAnnouncement);
    QAbstractItemModel* rows = window_->lvPlaying->model();
    connect(rows, &QAbstractItemModel::rowsInserted, this, &MprisPlayer::scheduleAnnouncement);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &MprisPlayer::scheduleAnnouncement);
    connect(rows, &QAbstractItemModel::modelReset, this, &MprisPlayer::scheduleAnnouncement);
    connect(window_->WindowsMediaPlayer, &TWindowsMediaPlayer::Seeked, this,
            [this](qint64 ms) { emit Seeked(ms * kMicrosecondsPerMs); });
    announced_ = announcedProperties();
}

QMediaPlayer* MprisPlayer::engine() const { return window_->WindowsMediaPlayer->mediaPlayer(); }

bool MprisPlayer::playing() const { return engine()->playbackState() == QMediaPlayer::PlayingState; }

// ---- properties ----

QString MprisPlayer::playbackStatus() const
{
    switch (engine()->playbackState()) {
    case QMediaPlayer::PlayingState: return QStringLiteral("Playing");
    case QMediaPlayer::PausedState: return QStringLiteral("Paused");
    case QMediaPlayer::StoppedState: break;
    }
    return QStringLiteral("Stopped");
}

QString MprisPlayer::loopStatus() const
{
    return window_->chkCYCLEPLAY->isChecked() ? kLoopPlaylist : kLoopNone;
}

// Repeating a single song is not something the player does: "Track" is ignored.
void MprisPlayer::setLoopStatus(const QString& status)
{
    if (status != kLoopPlaylist && status != kLoopNone)
        return;
    if (window_->chkCYCLEPLAY->isChecked() != (status == kLoopPlaylist))
        window_->chkCYCLEPLAY->click();
}

QDBusObjectPath MprisPlayer::trackId() const
{
    return QDBusObjectPath(QStringLiteral("/org/quavrel/Track/%1").arg(trackNumber_));
}

QVariantMap MprisPlayer::metadata() const
{
    const QString url = window_->WindowsMediaPlayer->URL();
    if (url.isEmpty())
        return {};
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId()));
    map.insert(QStringLiteral("xesam:url"), url);
    const qint64 length = engine()->duration();
    if (length > 0)
        map.insert(QStringLiteral("mpris:length"), qlonglong(length * kMicrosecondsPerMs));
    const MediaPtr& song = window_->songInPlayer();
    if (!song || fromGbk(song->Url) != url)
        return map;
    if (!song->Title.empty())
        map.insert(QStringLiteral("xesam:title"), fromGbk(song->Title));
    if (!song->Singer.empty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{fromGbk(song->Singer)});
    if (!song->Album.empty())
        map.insert(QStringLiteral("xesam:album"), fromGbk(song->Album));
    return map;
}

double MprisPlayer::volume() const { return window_->WindowsMediaPlayer->volume() / 100.0; }

void MprisPlayer::setVolume(double volume)
{
    window_->WindowsMediaPlayer->setVolume(qRound(qBound(0.0, volume, 1.0) * 100));
}

qlonglong MprisPlayer::position() const { return engine()->position() * kMicrosecondsPerMs; }

bool MprisPlayer::canGoNext() const { return window_->playList().size() > 0; }

bool MprisPlayer::canPlay() const { return canPause() || canGoNext(); }

bool MprisPlayer::canPause() const { return !window_->WindowsMediaPlayer->URL().isEmpty(); }

bool MprisPlayer::canSeek() const { return engine()->isSeekable(); }

// ---- methods ----

void MprisPlayer::Play()
{
    if (playing())
        return;
    if (!window_->WindowsMediaPlayer->URL().isEmpty()) {
        window_->P1Click();
        return;
    }
    QTreeWidget* list = window_->lvPlaying;
    if (list->topLevelItemCount() == 0)
        return;
    if (list->selectedItems().isEmpty())
        list->topLevelItem(0)->setSelected(true);
    window_->lvPlayingDblClick();
}

void MprisPlayer::Pause() { window_->WindowsMediaPlayer->pause(); }

void MprisPlayer::PlayPause()
{
    if (playing())
        Pause();
    else
        Play();
}

void MprisPlayer::Stop() { window_->WindowsMediaPlayer->stop(); }

void MprisPlayer::Next() { window_->stepPlayList(1); }

void MprisPlayer::Previous() { window_->stepPlayList(-1); }

// Before the start means the start; past the end means the next song.
void MprisPlayer::Seek(qlonglong Offset)
{
    if (!canSeek())
        return;
    const qint64 target = qMax<qint64>(0, engine()->position() + Offset / kMicrosecondsPerMs);
    if (engine()->duration() > 0 && target > engine()->duration())
        Next();
    else
        window_->WindowsMediaPlayer->setPosition(target);
}

// A request meant for an earlier song, or outside this one, is ignored.
void MprisPlayer::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position)
{
    if (!canSeek() || TrackId != trackId() || Position < 0)
        return;
    const qint64 target = Position / kMicrosecondsPerMs;
    if (engine()->duration() > 0 && target > engine()->duration())
        return;
    window_->WindowsMediaPlayer->setPosition(target);
}

// ---- change announcements ----

QVariantMap MprisPlayer::announcedProperties() const
{
    return {
        {QStringLiteral("PlaybackStatus"), playbackStatus()},
        {QStringLiteral("LoopStatus"), loopStatus()},
        {QStringLiteral("Metadata"), metadata()},
        {QStringLiteral("Volume"), volume()},
        {QStringLiteral("CanGoNext"), canGoNext()},
        {QStringLiteral("CanGoPrevious"), canGoPrevious()},
        {QStringLiteral("CanPlay"), canPlay()},
        {QStringLiteral("CanPause"), canPause()},
        {QStringLiteral("CanSeek"), canSeek()},
    };
}

// Changes come in bursts (a new song: closed, opened, loading, playing); they are
// gathered until the event loop is next idle and announced once.
void MprisPlayer::scheduleAnnouncement()
{
    if (announcementPending_)
        return;
    announcementPending_ = true;
    QTimer::singleShot(0, this, &MprisPlayer::announceChanges);
}

void MprisPlayer::announceChanges()
{
    announcementPending_ = false;
    const QVariantMap now = announcedProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (announced_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    announced_ = now;
    service_->announce(QStringLiteral("org.mpris.MediaPlayer2.Player"), changed);
}

}  // namespace quavrel
