// The module's one entry: a MediaEngine over QMediaPlayer and QAudioOutput.
#include <QAudioOutput>
#include <QMediaPlayer>

#include "player/media_engine.h"

namespace quavrel {
namespace {

static_assert(int(MediaEngine::PausedState) == int(QMediaPlayer::PausedState));
static_assert(int(MediaEngine::InvalidMedia) == int(QMediaPlayer::InvalidMedia));
static_assert(int(MediaEngine::EndOfMedia) == int(QMediaPlayer::EndOfMedia));

class QtMediaEngine final : public MediaEngine {
public:
    QtMediaEngine()
    {
        player_.setAudioOutput(&audio_);
        player_.setLoops(1);
        forward(&QMediaPlayer::durationChanged, &Events::durationChanged);
        forward(&QMediaPlayer::seekableChanged, &Events::seekableChanged);
        forward(&QMediaPlayer::positionChanged, &Events::positionChanged);
        forward(&QMediaPlayer::bufferProgressChanged, &Events::bufferProgressChanged);
        QObject::connect(&player_, &QMediaPlayer::playbackStateChanged, &player_,
                         [this](QMediaPlayer::PlaybackState state) {
                             if (events.playbackStateChanged)
                                 events.playbackStateChanged(PlaybackState(state));
                         });
        QObject::connect(&player_, &QMediaPlayer::mediaStatusChanged, &player_,
                         [this](QMediaPlayer::MediaStatus status) {
                             if (events.mediaStatusChanged)
                                 events.mediaStatusChanged(MediaStatus(status));
                         });
        QObject::connect(&player_, &QMediaPlayer::errorOccurred, &player_,
                         [this](QMediaPlayer::Error, const QString& message) {
                             if (events.errorOccurred)
                                 events.errorOccurred(message);
                         });
    }

    ~QtMediaEngine() override
    {
        QObject::disconnect(&player_, nullptr, &player_, nullptr);
        player_.stop();
    }

    void setSource(const QUrl& source) override { player_.setSource(source); }
    QUrl source() const override { return player_.source(); }
    void play() override { player_.play(); }
    void pause() override { player_.pause(); }
    void stop() override { player_.stop(); }
    void setPosition(qint64 ms) override { player_.setPosition(ms); }
    qint64 position() const override { return player_.position(); }
    qint64 duration() const override { return player_.duration(); }
    bool isSeekable() const override { return player_.isSeekable(); }
    PlaybackState playbackState() const override { return PlaybackState(player_.playbackState()); }
    MediaStatus mediaStatus() const override { return MediaStatus(player_.mediaStatus()); }
    float bufferProgress() const override { return player_.bufferProgress(); }
    QString errorString() const override { return player_.errorString(); }
    void setVolume(float volume) override { audio_.setVolume(volume); }
    QObject* mediaPlayer() override { return &player_; }

private:
    template <typename Signal, typename Callback>
    void forward(Signal signal, Callback Events::*callback)
    {
        QObject::connect(&player_, signal, &player_, [this, callback](auto value) {
            if (events.*callback)
                (events.*callback)(value);
        });
    }

    // The output first: the player lets go of it when destroyed.
    QAudioOutput audio_;
    QMediaPlayer player_;
};

}  // namespace
}  // namespace quavrel

extern "C" Q_DECL_EXPORT quavrel::MediaEngine* quavrelCreateMediaEngine()
{
    return new quavrel::QtMediaEngine;
}
