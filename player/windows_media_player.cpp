#include "player/windows_media_player.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QUrl>

#include "player/media_engine.h"

namespace quavrel {
namespace {

constexpr int kInitialVolume = 50;
constexpr int kButtonSize = 20;

QString formatTime(qint64 ms)
{
    qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// An address as the user or a play list gives it: a web address or a local file path.
QUrl toSource(const QString& address)
{
    QUrl url(address, QUrl::TolerantMode);
    if (url.isValid() && !url.scheme().isEmpty() && url.scheme().size() > 1)
        return url;
    return QUrl::fromLocalFile(QFileInfo(address).absoluteFilePath());
}

}  // namespace

struct TWindowsMediaPlayer::Impl {
    std::unique_ptr<MediaEngine> player;   // the back end; none until createBackEnd()
    QToolButton* playPause = nullptr;
    QToolButton* stopButton = nullptr;
    QSlider* seek = nullptr;
    QLabel* elapsed = nullptr;
    QSlider* volume = nullptr;

    QString url;               // what URL reads: the address last set, empty after close
    Activity activity = Activity::Idle;
    QString status;            // the words for `activity`
    bool failed = false;       // the current song could not be opened; keep the error text
    bool endReported = false;  // PlayStateChange(8) already raised for this run of the song
    quint64 generation = 0;    // counts songs, so a late end notice of an old one is dropped
};

TWindowsMediaPlayer::TWindowsMediaPlayer(QWidget* parent) : QWidget(parent), d_(new Impl)
{
    setContextMenuPolicy(Qt::NoContextMenu);
    setMinimumSize(0, 0);

    auto makeButton = [this](QStyle::StandardPixmap icon, const QString& name) {
        auto* button = new QToolButton(this);
        button->setIcon(style()->standardIcon(icon));
        button->setAutoRaise(true);
        button->setFixedSize(kButtonSize, kButtonSize);
        button->setIconSize(QSize(kButtonSize - 6, kButtonSize - 6));
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleName(name);
        button->setToolTip(name);
        return button;
    };
    d_->playPause = makeButton(QStyle::SP_MediaPlay, QStringLiteral("播放"));
    d_->playPause->setObjectName(QStringLiteral("playPause"));
    d_->stopButton = makeButton(QStyle::SP_MediaStop, QStringLiteral("停止"));
    d_->stopButton->setObjectName(QStringLiteral("stop"));

    d_->seek = new QSlider(Qt::Horizontal, this);
    d_->seek->setObjectName(QStringLiteral("seek"));
    d_->seek->setAccessibleName(QStringLiteral("播放进度"));
    d_->seek->setRange(0, 0);
    d_->seek->setEnabled(false);
    d_->seek->setFixedHeight(kButtonSize - 2);

    d_->elapsed = new QLabel(formatTime(0), this);
    d_->elapsed->setObjectName(QStringLiteral("elapsed"));
    d_->elapsed->setAccessibleName(QStringLiteral("已播放时间"));
    d_->elapsed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    d_->elapsed->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00:00")) + 2);

    auto* volumeIcon = new QLabel(this);
    volumeIcon->setPixmap(style()->standardIcon(QStyle::SP_MediaVolume).pixmap(14, 14));
    volumeIcon->setAccessibleName(QStringLiteral("音量图标"));
    d_->volume = new QSlider(Qt::Horizontal, this);
    d_->volume->setObjectName(QStringLiteral("volume"));
    d_->volume->setAccessibleName(QStringLiteral("音量"));
    d_->volume->setRange(0, 100);
    d_->volume->setValue(kInitialVolume);
    d_->volume->setFixedWidth(64);
    d_->volume->setFixedHeight(kButtonSize - 2);

    // Two rows in the 45-pixel panel: the seek bar with the time over the buttons and volume.
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(2, 1, 2, 1);
    rows->setSpacing(1);
    auto* top = new QHBoxLayout;
    top->setSpacing(2);
    top->addWidget(d_->seek, 1);
    top->addWidget(d_->elapsed);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(2);
    bottom->addWidget(d_->playPause);
    bottom->addWidget(d_->stopButton);
    bottom->addStretch(1);
    bottom->addWidget(volumeIcon);
    bottom->addWidget(d_->volume);
    rows->addLayout(top);
    rows->addLayout(bottom);

    connect(d_->playPause, &QToolButton::clicked, this, [this] {
        if (playbackState() == MediaEngine::PlayingState)
            pause();
        else
            play();
    });
    connect(d_->stopButton, &QToolButton::clicked, this, [this] { stop(); });
    connect(d_->volume, &QSlider::valueChanged, this, [this](int value) {
        if (d_->player)
            d_->player->setVolume(value / 100.0f);
        emit volumeChanged();
    });
    connect(d_->seek, &QSlider::sliderMoved, this, [this](int value) {
        d_->elapsed->setText(formatTime(value));
    });
    connect(d_->seek, &QSlider::sliderReleased, this, [this] { setPosition(d_->seek->value()); });
    connect(d_->seek, &QSlider::actionTriggered, this, [this](int action) {
        // Clicks on the groove page the slider; follow them when not dragging.
        if (action != QAbstractSlider::SliderMove && !d_->seek->isSliderDown())
            setPosition(d_->seek->sliderPosition());
    });
}

void TWindowsMediaPlayer::createBackEnd()
{
    if (d_->player)
        return;
    d_->player = createMediaEngine();
    d_->player->setVolume(d_->volume->value() / 100.0f);
    connectEngineEvents();
}

void TWindowsMediaPlayer::connectEngineEvents()
{
    MediaEngine::Events& events = d_->player->events;
    events.durationChanged = [this](qint64 duration) {
        d_->seek->setRange(0, static_cast<int>(qMax<qint64>(0, duration)));
        emit durationChanged();
    };
    events.seekableChanged = [this](bool seekable) {
        d_->seek->setEnabled(seekable);
        emit seekableChanged();
    };
    events.positionChanged = [this](qint64 position) {
        if (d_->seek->isSliderDown())
            return;
        d_->seek->setValue(static_cast<int>(position));
        d_->elapsed->setText(formatTime(position));
    };
    events.playbackStateChanged = [this](MediaEngine::PlaybackState state) { onPlaybackState(state); };
    events.mediaStatusChanged = [this](MediaEngine::MediaStatus status) { onMediaStatus(status); };
    events.bufferProgressChanged = [this](float progress) {
        auto status = d_->player->mediaStatus();
        if (!d_->failed &&
            (status == MediaEngine::BufferingMedia || status == MediaEngine::StalledMedia))
            setActivity(Activity::Buffering, qRound(progress * 100));
    };
    events.errorOccurred = [this](const QString& message) { fail(message); };
}

void TWindowsMediaPlayer::onPlaybackState(MediaEngine::PlaybackState state)
{
    bool playing = state == MediaEngine::PlayingState;
    d_->playPause->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    d_->playPause->setAccessibleName(playing ? QStringLiteral("暂停") : QStringLiteral("播放"));
    d_->playPause->setToolTip(d_->playPause->accessibleName());
    emit playbackStateChanged();
    if (d_->failed)
        return;
    switch (state) {
    case MediaEngine::PlayingState:
        d_->endReported = false;
        setActivity(Activity::Playing);
        emit PlayStateChange(psPlaying);
        break;
    case MediaEngine::PausedState:
        setActivity(Activity::Paused);
        emit PlayStateChange(psPaused);
        break;
    case MediaEngine::StoppedState:
        // The end of a song reports itself through the media status.
        if (d_->player->mediaStatus() == MediaEngine::EndOfMedia)
            break;
        if (!d_->url.isEmpty())
            setActivity(Activity::Stopped);
        emit PlayStateChange(psStopped);
        break;
    }
}

void TWindowsMediaPlayer::onMediaStatus(MediaEngine::MediaStatus status)
{
    if (d_->failed)
        return;
    switch (status) {
    case MediaEngine::LoadingMedia:
        setActivity(Activity::Connecting);
        emit PlayStateChange(psTransitioning);
        break;
    case MediaEngine::StalledMedia:
    case MediaEngine::BufferingMedia:
        setActivity(Activity::Buffering, qRound(d_->player->bufferProgress() * 100));
        emit PlayStateChange(psBuffering);
        break;
    case MediaEngine::BufferedMedia:
        if (d_->player->playbackState() == MediaEngine::PlayingState)
            setActivity(Activity::Playing);
        break;
    case MediaEngine::LoadedMedia:
        // A stop also passes through here; only a fresh load is "ready".
        if (d_->player->playbackState() == MediaEngine::StoppedState && d_->activity == Activity::Connecting)
            setActivity(Activity::Ready);
        break;
    case MediaEngine::EndOfMedia:
        reportEnd();
        break;
    case MediaEngine::InvalidMedia:
        fail(d_->player->errorString());
        break;
    case MediaEngine::NoMedia:
        break;
    }
}

TWindowsMediaPlayer::~TWindowsMediaPlayer()
{
    if (d_->player) {
        // The engine's events must not reach a half-destroyed widget.
        d_->player->events = {};
        d_->player->stop();
    }
    delete d_;
}

bool TWindowsMediaPlayer::hasBackEnd() const { return d_->player != nullptr; }

void TWindowsMediaPlayer::close()
{
    ++d_->generation;
    d_->failed = false;
    d_->endReported = false;
    const bool hadSong = !d_->url.isEmpty();
    d_->url.clear();
    if (d_->player) {
        d_->player->stop();
        d_->player->setSource(QUrl());
    }
    d_->seek->setRange(0, 0);
    d_->elapsed->setText(formatTime(0));
    setActivity(Activity::Idle);
    if (hadSong)
        emit sourceChanged();
}

void TWindowsMediaPlayer::setURL(const QString& url)
{
    close();
    d_->url = url;
    if (url.isEmpty())
        return;
    createBackEnd();
    d_->player->setSource(toSource(url));
    emit sourceChanged();
    // autoStart: opening a song plays it.
    play();
}

QString TWindowsMediaPlayer::URL() const { return d_->url; }

void TWindowsMediaPlayer::play()
{
    if (d_->url.isEmpty())
        return;
    if (d_->failed) {
        // Another attempt at a song that failed: open it afresh.
        d_->failed = false;
        QUrl source = d_->player->source();
        d_->player->setSource(QUrl());
        d_->player->setSource(source);
    }
    d_->endReported = false;
    d_->player->play();
}

void TWindowsMediaPlayer::stop()
{
    if (d_->player)
        d_->player->stop();
}

void TWindowsMediaPlayer::pause()
{
    if (playbackState() == MediaEngine::PlayingState)
        d_->player->pause();
}

void TWindowsMediaPlayer::setPosition(qint64 ms)
{
    if (!d_->player)
        return;
    d_->player->setPosition(ms);
    emit Seeked(ms);
}

MediaEngine::PlaybackState TWindowsMediaPlayer::playbackState() const
{
    return d_->player ? d_->player->playbackState() : MediaEngine::StoppedState;
}

qint64 TWindowsMediaPlayer::position() const { return d_->player ? d_->player->position() : 0; }

qint64 TWindowsMediaPlayer::duration() const { return d_->player ? qMax<qint64>(0, d_->player->duration()) : 0; }

bool TWindowsMediaPlayer::isSeekable() const { return d_->player && d_->player->isSeekable(); }

QString TWindowsMediaPlayer::status() const { return d_->status; }

int TWindowsMediaPlayer::volume() const { return d_->volume->value(); }

void TWindowsMediaPlayer::setVolume(int value) { d_->volume->setValue(value); }

QObject* TWindowsMediaPlayer::mediaPlayer()
{
    createBackEnd();
    return d_->player->mediaPlayer();
}

void TWindowsMediaPlayer::setActivity(Activity activity, int bufferedPercent, const QString& reason)
{
    d_->activity = activity;
    const QString text = statusText(activity, bufferedPercent, reason);
    if (text == d_->status)
        return;
    d_->status = text;
    emit StatusChange();
}

QString TWindowsMediaPlayer::statusText(Activity activity, int bufferedPercent, const QString& reason)
{
    switch (activity) {
    case Activity::Idle: return QString();
    case Activity::Connecting: return QStringLiteral("正在连接…");
    case Activity::Buffering: return QStringLiteral("缓冲 %1%").arg(bufferedPercent);
    case Activity::Playing: return QStringLiteral("正在播放");
    case Activity::Paused: return QStringLiteral("已暂停");
    case Activity::Stopped: return QStringLiteral("已停止");
    case Activity::Ready: return QStringLiteral("就绪");
    case Activity::Ended: return QStringLiteral("播放结束");
    case Activity::Failed:
        return QStringLiteral("无法打开歌曲：") + (reason.isEmpty() ? QStringLiteral("未知错误") : reason);
    }
    return QString();
}

void TWindowsMediaPlayer::fail(const QString& reason)
{
    // The backend may report one failure two or three times; the first one counts.
    if (d_->failed)
        return;
    d_->failed = true;
    // A failed song leaves the backend in its playing state; stop it for real.
    d_->player->stop();
    setActivity(Activity::Failed, 0, reason);
    emit PlayStateChange(psStopped);
    emit error(d_->status);
}

void TWindowsMediaPlayer::reportEnd()
{
    if (d_->endReported)
        return;
    d_->endReported = true;
    setActivity(Activity::Ended);
    // Raised from the event loop: a handler that opens the next song must not do so from
    // inside the backend's own notification.
    quint64 generation = d_->generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == d_->generation)
                emit PlayStateChange(psMediaEnded);
        },
        Qt::QueuedConnection);
}

}  // namespace quavrel
