#pragma once
// MediaEngine: the playback engine under TWindowsMediaPlayer, Qt Multimedia's media player
// with its audio output. It lives in a module of its own (quavrel-media.so, built from
// player/engine/) that is loaded when the first engine is made: Qt Multimedia and the
// thirty-odd libraries under it (PulseAudio, the codecs, Qt Network, Kerberos) made up
// most of the time before main(). States and statuses keep Qt Multimedia's names and
// values. The engine reports its changes through the callbacks in `events`, on the
// user-interface thread.
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class QObject;

namespace quavrel {

class MediaEngine {
public:
    enum PlaybackState { StoppedState, PlayingState, PausedState };
    enum MediaStatus {
        NoMedia, LoadingMedia, LoadedMedia, StalledMedia, BufferingMedia, BufferedMedia, EndOfMedia,
        InvalidMedia
    };

    struct Events {
        std::function<void(qint64 ms)> durationChanged;
        std::function<void(bool seekable)> seekableChanged;
        std::function<void(qint64 ms)> positionChanged;
        std::function<void(PlaybackState)> playbackStateChanged;
        std::function<void(MediaStatus)> mediaStatusChanged;
        std::function<void(float progress)> bufferProgressChanged;
        std::function<void(const QString& message)> errorOccurred;
    };

    virtual ~MediaEngine() = default;

    virtual void setSource(const QUrl& source) = 0;
    virtual QUrl source() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual void setPosition(qint64 ms) = 0;
    virtual qint64 position() const = 0;
    virtual qint64 duration() const = 0;
    virtual bool isSeekable() const = 0;
    virtual PlaybackState playbackState() const = 0;
    virtual MediaStatus mediaStatus() const = 0;
    virtual float bufferProgress() const = 0;
    virtual QString errorString() const = 0;
    // 0 to 1.
    virtual void setVolume(float volume) = 0;
    // The Qt Multimedia player itself (a QMediaPlayer), for diagnosis and tests.
    virtual QObject* mediaPlayer() = 0;

    Events events;
};

// Loads the module (once) and makes an engine that plays each song once. Throws Exception
// when the module cannot be loaded.
std::unique_ptr<MediaEngine> createMediaEngine();

}  // namespace quavrel
