// The embedded player on a real Qt Multimedia backend: what the main window relies on
// (URL, close, play, stop, status, PlayStateChange 8 once per end) and its control bar.
#include <QAbstractSlider>
#include <QAudioOutput>
#include <QLabel>
#include <QMediaPlayer>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <cstdlib>
#include <cstring>
#include <string>

#include "player/windows_media_player.h"
#include "tests/support/temp_dir.h"
#include "tests/player/media_player_of.h"

using quavrel::TWindowsMediaPlayer;
using quavrel::test::mediaPlayerOf;

namespace {

// Generous bounds that only detect a hang; a one-second song normally ends in about one.
constexpr int kEndTimeoutMs = 30000;

// A mono 16-bit WAV of a quiet tone, `ms` long.
std::string toneWav(int ms)
{
    const int rate = 22050;
    const uint32_t samples = static_cast<uint32_t>(rate) * ms / 1000;
    std::string data;
    for (uint32_t i = 0; i < samples; ++i) {
        int16_t v = static_cast<int16_t>(((i / 25) % 2) ? 2000 : -2000);
        data.append(reinterpret_cast<const char*>(&v), 2);
    }
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    return "RIFF" + u32(36 + data.size()) + "WAVEfmt " + u32(16) + u16(1) + u16(1) +
           u32(rate) + u32(rate * 2) + u16(2) + u16(16) + "data" + u32(data.size()) + data;
}

// Encodes a short MP3 with lame; empty when lame is missing.
QString makeMp3(const quavrel::test::TempDir& dir, const std::string& name, int ms)
{
    std::string wav = dir.file(name + ".wav");
    std::string mp3 = dir.file(name);
    quavrel::test::writeFile(wav, toneWav(ms));
    std::string command = "lame --quiet -b 64 '" + wav + "' '" + mp3 + "'";
    if (std::system(command.c_str()) != 0)
        return {};
    return QString::fromStdString(mp3);
}

int count(const QSignalSpy& spy, int state)
{
    int n = 0;
    for (const auto& args : spy)
        n += args.at(0).toInt() == state;
    return n;
}

}  // namespace

class WindowsMediaPlayerTest : public QObject {
    Q_OBJECT
    quavrel::test::TempDir dir_;
    QString song_;

private slots:
    void initTestCase()
    {
        song_ = makeMp3(dir_, "tone.mp3", 1000);
        QVERIFY2(!song_.isEmpty(), "lame could not encode the test song");
    }

    // ---- stored settings and the empty player ----
    void startsEmptyWithVolumeFifty()
    {
        TWindowsMediaPlayer player;
        QCOMPARE(player.URL(), QString());
        QCOMPARE(player.volume(), 50);
        QCOMPARE(player.contextMenuPolicy(), Qt::NoContextMenu);
        QCOMPARE(mediaPlayerOf(&player)->loops(), 1);
        QVERIFY(mediaPlayerOf(&player)->audioOutput());
        QCOMPARE(qRound(mediaPlayerOf(&player)->audioOutput()->volume() * 100), 50);
    }

    void playWithoutSongDoesNothing()
    {
        TWindowsMediaPlayer player;
        QSignalSpy states(&player, &TWindowsMediaPlayer::PlayStateChange);
        player.play();
        QTest::qWait(100);
        QCOMPARE(mediaPlayerOf(&player)->playbackState(), QMediaPlayer::StoppedState);
        QCOMPARE(count(states, TWindowsMediaPlayer::psPlaying), 0);
    }

    void volumeSliderDrivesTheOutput()
    {
        TWindowsMediaPlayer player;
        auto* slider = player.findChild<QAbstractSlider*>(QStringLiteral("volume"));
        QVERIFY(slider);
        slider->setValue(20);
        QCOMPARE(player.volume(), 20);
        QCOMPARE(qRound(mediaPlayerOf(&player)->audioOutput()->volume() * 100), 20);
    }

    // ---- the control bar ----
    void controlBarFitsThePanelAndIsNamed()
    {
        TWindowsMediaPlayer player;
        player.resize(208, 45);
        player.show();
        QVERIFY(QTest::qWaitForWindowExposed(&player));
        QVERIFY(player.minimumSizeHint().height() <= 45);
        QVERIFY(player.minimumSizeHint().width() <= 208);
        const auto children = player.findChildren<QWidget*>();
        QVERIFY(children.size() >= 5);
        for (QWidget* child : children) {
            QVERIFY2(!child->accessibleName().isEmpty(), child->metaObject()->className());
            // Every control lies inside the panel.
            QRect inside = QRect(QPoint(0, 0), player.size());
            QVERIFY2(inside.contains(child->geometry()), qPrintable(child->accessibleName()));
        }
    }

    // ---- playing a song ----
    void urlPlaysToTheEndAndReportsEightOnce()
    {
        TWindowsMediaPlayer player;
        QSignalSpy states(&player, &TWindowsMediaPlayer::PlayStateChange);
        QSignalSpy statuses(&player, &TWindowsMediaPlayer::StatusChange);
        QStringList seen;
        connect(&player, &TWindowsMediaPlayer::StatusChange, this,
                [&] { seen << player.status(); });
        player.setURL(song_);
        QCOMPARE(player.URL(), song_);
        QTRY_VERIFY_WITH_TIMEOUT(count(states, TWindowsMediaPlayer::psMediaEnded) == 1,
                                 kEndTimeoutMs);
        QVERIFY(seen.contains(QStringLiteral("正在播放")));
        QCOMPARE(player.status(), QStringLiteral("播放结束"));
        // Nothing else arrives later for the same end.
        QTest::qWait(300);
        QCOMPARE(count(states, TWindowsMediaPlayer::psMediaEnded), 1);
        QVERIFY(count(states, TWindowsMediaPlayer::psPlaying) >= 1);
        // The song stays set after its end, so a later play can replay it.
        QCOMPARE(player.URL(), song_);
        player.play();
        QTRY_VERIFY_WITH_TIMEOUT(count(states, TWindowsMediaPlayer::psMediaEnded) == 2,
                                 kEndTimeoutMs);
    }

    void stopKeepsTheSongForALaterPlay()
    {
        TWindowsMediaPlayer player;
        player.setURL(song_);
        QTRY_COMPARE_WITH_TIMEOUT(mediaPlayerOf(&player)->playbackState(),
                                  QMediaPlayer::PlayingState, kEndTimeoutMs);
        player.stop();
        QCOMPARE(mediaPlayerOf(&player)->playbackState(), QMediaPlayer::StoppedState);
        QCOMPARE(player.status(), QStringLiteral("已停止"));
        QCOMPARE(player.URL(), song_);
        player.play();
        QTRY_COMPARE_WITH_TIMEOUT(player.status(), QStringLiteral("正在播放"), kEndTimeoutMs);
    }

    void playPauseButtonToggles()
    {
        TWindowsMediaPlayer player;
        player.setURL(song_);
        QTRY_COMPARE_WITH_TIMEOUT(mediaPlayerOf(&player)->playbackState(),
                                  QMediaPlayer::PlayingState, kEndTimeoutMs);
        auto* button = player.findChild<QToolButton*>(QStringLiteral("playPause"));
        QVERIFY(button);
        QCOMPARE(button->accessibleName(), QStringLiteral("暂停"));
        button->click();
        QTRY_COMPARE(mediaPlayerOf(&player)->playbackState(), QMediaPlayer::PausedState);
        QCOMPARE(player.status(), QStringLiteral("已暂停"));
        QCOMPARE(button->accessibleName(), QStringLiteral("播放"));
        button->click();
        QTRY_COMPARE(mediaPlayerOf(&player)->playbackState(), QMediaPlayer::PlayingState);
        auto* stop = player.findChild<QToolButton*>(QStringLiteral("stop"));
        QVERIFY(stop);
        stop->click();
        QCOMPARE(mediaPlayerOf(&player)->playbackState(), QMediaPlayer::StoppedState);
    }

    void closeLetsTheSongGoWithoutAnEnd()
    {
        TWindowsMediaPlayer player;
        QSignalSpy states(&player, &TWindowsMediaPlayer::PlayStateChange);
        player.setURL(song_);
        QTRY_COMPARE_WITH_TIMEOUT(mediaPlayerOf(&player)->playbackState(),
                                  QMediaPlayer::PlayingState, kEndTimeoutMs);
        player.close();
        QCOMPARE(player.URL(), QString());
        QCOMPARE(mediaPlayerOf(&player)->playbackState(), QMediaPlayer::StoppedState);
        QTest::qWait(1500);
        QCOMPARE(count(states, TWindowsMediaPlayer::psMediaEnded), 0);
    }

    // ---- songs that cannot be opened ----
    void missingFileGivesOneClearError()
    {
        TWindowsMediaPlayer player;
        QSignalSpy errors(&player, &TWindowsMediaPlayer::error);
        QSignalSpy states(&player, &TWindowsMediaPlayer::PlayStateChange);
        player.setURL(QString::fromStdString(dir_.file("missing.mp3")));
        QTRY_VERIFY_WITH_TIMEOUT(errors.count() >= 1, kEndTimeoutMs);
        QTest::qWait(300);
        QCOMPARE(errors.count(), 1);
        QVERIFY2(player.status().startsWith(QStringLiteral("无法打开歌曲：")),
                 qPrintable(player.status()));
        QVERIFY(player.status().size() > QStringLiteral("无法打开歌曲：").size());
        QCOMPARE(mediaPlayerOf(&player)->playbackState(), QMediaPlayer::StoppedState);
        QCOMPARE(count(states, TWindowsMediaPlayer::psMediaEnded), 0);
        // A good song afterwards plays normally.
        player.setURL(song_);
        QTRY_VERIFY_WITH_TIMEOUT(count(states, TWindowsMediaPlayer::psMediaEnded) == 1,
                                 kEndTimeoutMs);
    }

    void notAnMp3GivesAnErrorNotAnEnd()
    {
        std::string junk = dir_.file("junk.mp3");
        quavrel::test::writeFile(junk, std::string(4096, 'x'));
        TWindowsMediaPlayer player;
        QSignalSpy states(&player, &TWindowsMediaPlayer::PlayStateChange);
        player.setURL(QString::fromStdString(junk));
        QTRY_VERIFY_WITH_TIMEOUT(player.status().startsWith(QStringLiteral("无法打开歌曲：")),
                                 kEndTimeoutMs);
        QTest::qWait(300);
        QCOMPARE(count(states, TWindowsMediaPlayer::psMediaEnded), 0);
    }
};

QTEST_MAIN(WindowsMediaPlayerTest)
#include "windows_media_player_test.moc"
