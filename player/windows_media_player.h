#pragma once
// TWindowsMediaPlayer: the embedded player of the main window, on Qt Multimedia. It plays
// a song straight from its address and shows its own control bar (play/pause, stop, seek
// with elapsed time, volume) in a 208 x 45 area. Setting URL opens the song and, since
// autoStart is on, plays it. It raises PlayStateChange (8 = played to its end) and
// StatusChange; status() is a short Chinese text of what it is doing. The playback engine
// (media_engine.h: Qt Multimedia, which loads and probes GStreamer) is created by
// createBackEnd(), or by the first song when nobody called it before.
#include <QString>
#include <QWidget>

#include "player/media_engine.h"

namespace quavrel {

class TWindowsMediaPlayer : public QWidget {
    Q_OBJECT
public:
    // Player states as the program knows them; only 8 matters to the callers.
    enum PlayState {
        psUndefined = 0, psStopped = 1, psPaused = 2, psPlaying = 3,
        psBuffering = 6, psWaiting = 7, psMediaEnded = 8, psTransitioning = 9,
        psReady = 10
    };

    explicit TWindowsMediaPlayer(QWidget* parent = nullptr);
    ~TWindowsMediaPlayer() override;

    // Closes the current song: playback stops and the song is let go.
    void close();
    // Opens the song at `url` (Unicode, converted from GBK by the caller) and plays it.
    void setURL(const QString& url);
    // The current address; empty while no song was ever set.
    QString URL() const;
    // controls.play / controls.stop: stop keeps the song loaded for a later play.
    void play();
    void stop();
    // Pauses a playing song; play() goes on from the same place.
    void pause();
    // Jumps to `ms` from the start of the song, as the seek bar does, and raises Seeked.
    void setPosition(qint64 ms);
    // What the player is doing, in a short Chinese phrase.
    QString status() const;
    // The volume, 0 to 100 (50 at start), as the control bar's slider shows it.
    int volume() const;
    void setVolume(int value);

    // For those who show the player elsewhere (the desktop's media controls). Before the
    // engine exists the player is stopped at 0 with no length.
    MediaEngine::PlaybackState playbackState() const;
    qint64 position() const;
    qint64 duration() const;   // 0 while unknown
    bool isSeekable() const;

    // Creates the playback engine now, so the first song starts without waiting for it.
    // Does nothing when it exists.
    void createBackEnd();
    bool hasBackEnd() const;
    // The playback engine's QMediaPlayer, created if need be; for diagnosis and tests.
    QObject* mediaPlayer();

signals:
    void PlayStateChange(int NewState);
    void StatusChange();
    // A song was opened or closed: URL() tells which.
    void sourceChanged();
    void playbackStateChanged();
    void durationChanged();
    void seekableChanged();
    void volumeChanged();
    // The song jumped to `ms`, by the seek bar or setPosition().
    void Seeked(qint64 ms);
    // A song that cannot be opened; the text is also the status.
    void error(const QString& message);

private:
    // What the player is doing, as status() puts it into words.
    enum class Activity { Idle, Connecting, Buffering, Playing, Paused, Stopped, Ready, Ended, Failed };
    void connectEngineEvents();
    void onPlaybackState(MediaEngine::PlaybackState state);
    void onMediaStatus(MediaEngine::MediaStatus status);
    // Shows `activity` (with the buffered percentage or the failure's reason where it
    // applies) and raises StatusChange when the status text changes.
    void setActivity(Activity activity, int bufferedPercent = 0, const QString& reason = {});
    static QString statusText(Activity activity, int bufferedPercent, const QString& reason);
    void fail(const QString& reason);
    void reportEnd();

    struct Impl;
    Impl* d_;
};

}  // namespace quavrel
