#pragma once
// MprisPlayer: org.mpris.MediaPlayer2.Player, the song in the player and its controls for
// the desktop. Every command goes through the window's own handlers and routines: Play
// resumes the song in the player or plays the selected play-list row (row 0 when none is
// selected), Next and Previous step through the play list as cycling play does, and
// LoopStatus is the cycle-play box ("Playlist" while it is checked), set as a click would.
// Every change of a property is announced with PropertiesChanged; a jump in the song
// with Seeked. Times on the bus are microseconds, the player's milliseconds.
#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>


namespace quavrel {

class MprisService;
class TfrmMain;
class TWindowsMediaPlayer;

class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    MprisPlayer(TfrmMain* window, MprisService* service);

    QString playbackStatus() const;
    QString loopStatus() const;
    void setLoopStatus(const QString& status);
    // The player plays at normal speed only; other rates are ignored.
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const;
    double volume() const;
    void setVolume(double volume);
    qlonglong position() const;
    // Both directions wrap around, so either works whenever the play list has rows.
    bool canGoNext() const;
    bool canGoPrevious() const { return canGoNext(); }
    bool canPlay() const;
    bool canPause() const;
    bool canSeek() const;
    bool canControl() const { return true; }

public slots:
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void Seek(qlonglong Offset);
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position);
    // Nothing is opened from outside (SupportedUriSchemes is empty).
    void OpenUri(const QString& Uri) { Q_UNUSED(Uri) }

signals:
    void Seeked(qlonglong Position);

private:
    TWindowsMediaPlayer* player() const;
    bool playing() const;
    void step(int direction);
    QDBusObjectPath trackId() const;
    // Every property that PropertiesChanged covers (all but Position), as now.
    QVariantMap announcedProperties() const;
    void scheduleAnnouncement();
    void announceChanges();

    TfrmMain* window_;
    MprisService* service_;
    QVariantMap announced_;
    // Counts the songs given to the player: each gets a track id of its own.
    quint64 trackNumber_ = 0;
    bool announcementPending_ = false;
};

}  // namespace quavrel
