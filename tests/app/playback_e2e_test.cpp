// Real playback from the bundled catalogue service on 127.0.0.1: a double-clicked result
// plays to its end, the end is reported once, cycling starts the next row and wraps, and
// the status label follows the player throughout.
#include <QApplication>
#include <QLabel>
#include <QMediaPlayer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "app/frm_main.h"
#include "app/media_variant.h"
#include "player/windows_media_player.h"
#include "tests/app/catalog_process.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/player/media_player_of.h"

using namespace quavrel;

namespace {

// Only detects a hang: the catalogue's songs last about three seconds.
constexpr int kSongMs = 60000;

int ends(const QSignalSpy& spy)
{
    int n = 0;
    for (const auto& args : spy)
        n += args.at(0).toInt() == TWindowsMediaPlayer::psMediaEnded;
    return n;
}

}  // namespace

class PlaybackE2ETest : public QObject {
    Q_OBJECT
    test::CatalogProcess catalog_;
    test::MainWindowFixture w_;

    MediaPtr song(const std::string& title, int id)
    {
        MediaPtr m = NewMedia();
        m->Title = title;
        m->Url = (catalog_.base() + QStringLiteral("/songs/%1.mp3").arg(id)).toStdString();
        m->FileType = "mp3";
        return m;
    }

private slots:
    void initTestCase()
    {
        const QString problem = catalog_.start();
        if (!problem.isEmpty())
            QSKIP(qPrintable(problem));
    }
    void init()
    {
        QVERIFY(w_.open());
    }
    void cleanup()
    {
        w_.close();
    }

    void songPlaysToItsEndAndCyclingGoesOn()
    {
        TfrmMain& w = *w_;
        TWindowsMediaPlayer* player = w.WindowsMediaPlayer;
        QSignalSpy states(player, &TWindowsMediaPlayer::PlayStateChange);
        // Checked after the window's own handler has updated the label.
        QStringList labels;
        bool labelFollows = true;
        connect(player, &TWindowsMediaPlayer::StatusChange, this, [&] {
            labels << w.lbPlayerInfo->text();
            labelFollows = labelFollows && w.lbPlayerInfo->text() == player->status();
        });

        MediaPtr first = song("first", 1);
        auto* row = new QTreeWidgetItem(w.lvSearchResult);
        row->setText(0, QStringLiteral("first"));
        row->setData(0, Qt::UserRole, QVariant::fromValue(first));
        w.lvSearchResult->setCurrentItem(row);
        w.lvSearchResult2DblClick();
        w.AddToPlayList(song("second", 2));
        QCOMPARE(w.PlayIndex, 0);
        QCOMPARE(w.lvPlaying->topLevelItemCount(), 2);

        QTRY_VERIFY_WITH_TIMEOUT(ends(states) == 1, kSongMs);
        QCOMPARE(w.PlayIndex, 1);
        QCOMPARE(player->URL(), QString::fromStdString(song("second", 2)->Url));
        QVERIFY(w.lvPlaying->topLevelItem(1)->isSelected());
        QTRY_VERIFY_WITH_TIMEOUT(!w.PlayTimer->isActive(), kSongMs);
        QTRY_COMPARE_WITH_TIMEOUT(w.lbPlayerInfo->text(), QStringLiteral("正在播放"), kSongMs);

        QTRY_VERIFY_WITH_TIMEOUT(ends(states) == 2, kSongMs);
        QCOMPARE(w.PlayIndex, 0);
        QCOMPARE(player->URL(), QString::fromStdString(first->Url));
        QTRY_COMPARE_WITH_TIMEOUT(test::mediaPlayerOf(player)->playbackState(),
                                  QMediaPlayer::PlayingState, kSongMs);

        player->close();
        QVERIFY(labelFollows);
        QVERIFY(labels.contains(QStringLiteral("正在连接…")));
        QVERIFY(labels.contains(QStringLiteral("播放结束")));
        QCOMPARE(ends(states), 2);
    }

    void missingSongShowsAnErrorAndDoesNotSkip()
    {
        TfrmMain& w = *w_;
        QSignalSpy states(w.WindowsMediaPlayer, &TWindowsMediaPlayer::PlayStateChange);
        w.AddToPlayList(song("gone", 999999));
        w.AddToPlayList(song("next", 3));
        w.lvPlaying->topLevelItem(0)->setSelected(true);
        w.lvPlayingDblClick();
        QTRY_VERIFY_WITH_TIMEOUT(
            w.lbPlayerInfo->text().startsWith(QStringLiteral("无法打开歌曲：")), kSongMs);
        QTest::qWait(500);
        QCOMPARE(ends(states), 0);
        QCOMPARE(w.PlayIndex, 0);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    PlaybackE2ETest test;
    return QTest::qExec(&test, argc, argv);
}

#include "playback_e2e_test.moc"
