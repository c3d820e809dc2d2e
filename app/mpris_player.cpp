#include "app/mpris_player.h"

#include <QAbstractItemModel>
#include <QCheckBox>
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
    connect(player(), &TWindowsMediaPlayer::sourceChanged, this, [this] {
        if (!player()->URL().isEmpty())
            ++trackNumber_;
        scheduleAnnouncement();
    });
    connect(player(), &TWindowsMediaPlayer::playbackStateChanged, this, &MprisPlayer::scheduleAnnouncement);
    connect(player(), &TWindowsMediaPlayer::durationChanged, this, &MprisPlayer::scheduleAnnouncement);
    connect(player(), &TWindowsMediaPlayer::seekableChanged, this, &MprisPlayer::scheduleAnnouncement);
    connect(player(), &TWindowsMediaPlayer::volumeChanged, this, &MprisPlayer::scheduleAnnouncement);
    connect(window_->chkCYCLEPLAY, &QCheckBox::toggled, this, &MprisPlayer::scheduleAnnouncement);
    QAbstractItemModel* rows = window_->lvPlaying->model();
    connect(rows, &QAbstractItemModel::rowsInserted, this, &MprisPlayer::scheduleAnnouncement);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &MprisPlayer::scheduleAnnouncement);
    connect(rows, &QAbstractItemModel::modelReset, this, &MprisPlayer::scheduleAnnouncement);
    connect(player(), &TWindowsMediaPlayer::Seeked, this,
            [this](qint64 ms) { emit Seeked(ms * kMicrosecondsPerMs); });
    announced_ = announcedProperties();
}

TWindowsMediaPlayer* MprisPlayer::player() const { return window_->WindowsMediaPlayer; }

bool MprisPlayer::playing() const { return player()->playbackState() == MediaEngine::PlayingState; }

// ---- properties ----

QString MprisPlayer::playbackStatus() const
{
    switch (player()->playbackState()) {
    case MediaEngine::PlayingState: return QStringLiteral("Playing");
    case MediaEngine::PausedState: return QStringLiteral("Paused");
    case MediaEngine::StoppedState: break;
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
    const QString url = player()->URL();
    if (url.isEmpty())
        return {};
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId()));
    map.insert(QStringLiteral("xesam:url"), url);
    const qint64 length = player()->duration();
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

double MprisPlayer::volume() const { return player()->volume() / 100.0; }

void MprisPlayer::setVolume(double volume)
{
    player()->setVolume(qRound(qBound(0.0, volume, 1.0) * 100));
}

qlonglong MprisPlayer::position() const { return player()->position() * kMicrosecondsPerMs; }

bool MprisPlayer::canGoNext() const { return window_->playList().size() > 0; }

bool MprisPlayer::canPlay() const { return canPause() || canGoNext(); }

bool MprisPlayer::canPause() const { return !player()->URL().isEmpty(); }

bool MprisPlayer::canSeek() const { return player()->isSeekable(); }

// ---- methods ----

void MprisPlayer::Play()
{
    if (playing())
        return;
    if (!player()->URL().isEmpty()) {
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

void MprisPlayer::Pause() { player()->pause(); }

void MprisPlayer::PlayPause()
{
    if (playing())
        Pause();
    else
        Play();
}

void MprisPlayer::Stop() { player()->stop(); }

void MprisPlayer::Next() { step(1); }

void MprisPlayer::Previous() { step(-1); }

// A paused or stopped player stays silent: the next song is loaded and stopped, as the
// start-up loads the first song of a long play list.
void MprisPlayer::step(int direction)
{
    const bool wasPlaying = playing();
    if (window_->stepPlayList(direction) && !wasPlaying)
        player()->stop();
}

// Before the start means the start; past the end means the next song.
void MprisPlayer::Seek(qlonglong Offset)
{
    if (!canSeek())
        return;
    const qint64 target = qMax<qint64>(0, player()->position() + Offset / kMicrosecondsPerMs);
    if (player()->duration() > 0 && target > player()->duration())
        Next();
    else
        player()->setPosition(target);
}

// A request meant for an earlier song, or outside this one, is ignored.
void MprisPlayer::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position)
{
    if (!canSeek() || TrackId != trackId() || Position < 0)
        return;
    const qint64 target = Position / kMicrosecondsPerMs;
    if (player()->duration() > 0 && target > player()->duration())
        return;
    player()->setPosition(target);
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
