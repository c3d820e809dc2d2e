// Player control on the real main window: starting songs from the result list and the
// play list, cycling at a song's end, the delayed play, the tray's play and the status text.
// A song's end is the player's PlayStateChange(8), raised here as the player raises it.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QMediaPlayer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <memory>

#include "app/frm_main.h"
#include "app/media_variant.h"
#include "player/windows_media_player.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/player/media_player_of.h"

using namespace quavrel;
using test::TempDir;

namespace {

constexpr int kHangMs = 30000;

// Local addresses that no file answers to: the player fails quietly, and nothing leaves
// the machine.
std::string address(const std::string& name) { return "/nonexistent/quavrel/" + name + ".mp3"; }
QString qaddress(const std::string& name) { return QString::fromStdString(address(name)); }

MediaPtr song(const std::string& title)
{
    MediaPtr m = NewMedia();
    m->Title = title;
    m->Url = address(title);
    m->FileType = "mp3";
    return m;
}

QTreeWidgetItem* addResult(TfrmMain& w, const MediaPtr& m)
{
    auto* item = new QTreeWidgetItem(w.lvSearchResult);
    item->setText(0, QString::fromStdString(m->Title));
    item->setData(0, Qt::UserRole, QVariant::fromValue(m));
    return item;
}

void doubleClick(QTreeWidget* list, QTreeWidgetItem* item)
{
    list->scrollToItem(item);
    QPoint at = list->visualItemRect(item).center();
    // The first click selects, the double-click acts, as a user's double-click does.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// A user's double-click below the last row (press, release, press, release through the
// window system), after a click that selected `item`.
void doubleClickBelowTheRows(QTreeWidget* list, QTreeWidgetItem* item)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    const QPoint below(20, list->viewport()->height() - 5);
    QVERIFY(!list->indexAt(below).isValid());
    QTest::mouseDClick(list->window()->windowHandle(), Qt::LeftButton, {},
                       list->viewport()->mapTo(list->window(), below));
}

// Closes the next modal dialog (the "saved" message of the settings page) once it is up.
void closeNextModal()
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer] {
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            modal->accept();
        }
    });
    timer->start();
}

void songEnds(TfrmMain& w) { emit w.WindowsMediaPlayer->PlayStateChange(8); }

QList<int> selectedRows(const QTreeWidget* list)
{
    QList<int> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->isSelected())
            rows << i;
    return rows;
}

// A one-second MP3 made with lame, for the cases that need a song that really plays.
QString realSong(const TempDir& dir)
{
    std::string wav = dir.file("tone.wav"), mp3 = dir.file("tone.mp3");
    std::string command = "sh -c \"head -c 88200 /dev/zero | lame --quiet -r -s 44.1 "
                          "--bitwidth 16 -m m - '" + mp3 + "'\"";
    if (std::system(command.c_str()) != 0)
        return {};
    return QString::fromStdString(mp3);
}

}  // namespace

class PlayerControlTest : public QObject {
    Q_OBJECT
    test::MainWindowFixture w_;

    void fillPlayList(std::initializer_list<const char*> titles)
    {
        for (const char* t : titles)
            w_->AddToPlayList(song(t));
    }

private slots:
    void init()
    {
        QVERIFY(w_.open());
    }
    void cleanup()
    {
        w_.close();
    }

    // ---- starting a song ----
    void doubleClickOnResultPlaysAndAppends()
    {
        TfrmMain& w = *w_;
        fillPlayList({"a"});
        w.lvPlaying->topLevelItem(0)->setSelected(true);
        addResult(w, song("r0"));
        QTreeWidgetItem* row = addResult(w, song("r1"));
        doubleClick(w.lvSearchResult, row);
        QCOMPARE(w.WindowsMediaPlayer->URL(), qaddress("r1"));
        QCOMPARE(w.lvPlaying->topLevelItemCount(), 2);
        QCOMPARE(w.lvPlaying->topLevelItem(1)->text(0), QStringLiteral("2.\tr1"));
        QCOMPARE(w.PlayIndex, 1);
        // The play list's selection stays where it was.
        QCOMPARE(selectedRows(w.lvPlaying), QList<int>({0}));
    }

    void playButtonAndMenuItemPlayTheSelectedResult()
    {
        TfrmMain& w = *w_;
        addResult(w, song("r0"));
        addResult(w, song("r1"))->setSelected(true);
        w.RzBitBtn3->click();
        QCOMPARE(w.WindowsMediaPlayer->URL(), qaddress("r1"));
        QCOMPARE(w.PlayIndex, 0);
        w.lvSearchResult->clearSelection();
        w.lvSearchResult->topLevelItem(0)->setSelected(true);
        w.N1->trigger();
        QCOMPARE(w.WindowsMediaPlayer->URL(), qaddress("r0"));
        QCOMPARE(w.PlayIndex, 1);
    }

    void noSelectedResultDoesNothing()
    {
        addResult(*w_, song("r0"));
        w_->PlayIndex = 4;
        w_->lvSearchResult2DblClick();
        QCOMPARE(w_->WindowsMediaPlayer->URL(), QString());
        QCOMPARE(w_->PlayIndex, 4);
        QCOMPARE(w_->lvPlaying->topLevelItemCount(), 0);
    }

    // A listed song keeps its row; cycling then goes on from that row.
    void listedResultKeepsTheListAndCyclesFromItsRow()
    {
        TfrmMain& w = *w_;
        fillPlayList({"a", "b", "c", "d"});
        MediaPtr again = song("c");
        again->Title = "c again";
        doubleClick(w.lvSearchResult, addResult(w, again));
        QCOMPARE(w.lvPlaying->topLevelItemCount(), 4);
        QCOMPARE(w.lvPlaying->topLevelItem(2)->text(0), QStringLiteral("3.\tc"));
        QCOMPARE(w.PlayIndex, 2);
        songEnds(w);
        QCOMPARE(w.PlayIndex, 3);
        QCOMPARE(selectedRows(w.lvPlaying), QList<int>({3}));
        QCOMPARE(w.WindowsMediaPlayer->URL(), qaddress("d"));
    }

    void doubleClickOnPlayListRowPlaysIt()
    {
        TfrmMain& w = *w_;
        fillPlayList({"a", "b", "c"});
        doubleClick(w.lvPlaying, w.lvPlaying->topLevelItem(1));
        QCOMPARE(w.WindowsMediaPlayer->URL(), qaddress("b"));
        QCOMPARE(w.PlayIndex, 1);
    }

    // A double-click anywhere in a list acts on its selected row.
    void doubleClickBelowTheResultsPlaysTheSelectedOne()
    {
        addResult(*w_, song("r0"));
        doubleClickBelowTheRows(w_->lvSearchResult, addResult(*w_, song("r1")));
        QCOMPARE(w_->WindowsMediaPlayer->URL(), qaddress("r1"));
        QCOMPARE(w_->lvPlaying->topLevelItemCount(), 1);
    }

    void doubleClickBelowThePlayListPlaysTheSelectedRow()
    {
        fillPlayList({"a", "b", "c"});
        doubleClickBelowTheRows(w_->lvPlaying, w_->lvPlaying->topLevelItem(1));
        QCOMPARE(w_->WindowsMediaPlayer->URL(), qaddress("b"));
        QCOMPARE(w_->PlayIndex, 1);
    }

    void gbkAddressReachesThePlayerAsUnicode()
    {
        MediaPtr m = song("x");
        m->Url = "/nonexistent/\xB8\xE8.mp3";   // 歌
        w_->AddToPlayList(m);
        w_->lvPlaying->topLevelItem(0)->setSelected(true);
        w_->lvPlayingDblClick();
        QCOMPARE(w_->WindowsMediaPlayer->URL(), QStringLiteral("/nonexistent/歌.mp3"));
    }

    // ---- cycling ----
    void endStartsTheNextRowThenWrapsToTheFirst()
    {
        TfrmMain& w = *w_;
        fillPlayList({"a", "b", "c"});
        w.lvPlaying->topLevelItem(1)->setSelected(true);
        w.lvPlayingDblClick();
        songEnds(w);
        QCOMPARE(w.PlayIndex, 2);
        QCOMPARE(w.WindowsMediaPlayer->URL(), qaddress("c"));
        QCOMPARE(selectedRows(w.lvPlaying), QList<int>({2}));
        QVERIFY(w.PlayTimer->isActive());
        songEnds(w);
        QCOMPARE(w.PlayIndex, 0);
        QCOMPARE(w.WindowsMediaPlayer->URL(), qaddress("a"));
        QCOMPARE(selectedRows(w.lvPlaying), QList<int>({0}));
    }

    void endAfterDeletesPastTheEndStartsRowZero()
    {
        TfrmMain& w = *w_;
        fillPlayList({"a", "b", "c", "d"});
        w.lvPlaying->topLevelItem(3)->setSelected(true);
        w.lvPlayingDblClick();
        w.lvPlaying->clearSelection();
        w.lvPlaying->topLevelItem(3)->setSelected(true);
        w.lvPlaying->topLevelItem(2)->setSelected(true);
        w.btnDeleteClick();
        QCOMPARE(w.PlayIndex, 3);
        songEnds(w);
        QCOMPARE(w.PlayIndex, 0);
        QCOMPARE(w.WindowsMediaPlayer->URL(), qaddress("a"));
    }

    void otherStatesDoNotCycle()
    {
        TfrmMain& w = *w_;
        fillPlayList({"a", "b"});
        for (int state : {0, 1, 2, 3, 6, 7, 9, 10})
            emit w.WindowsMediaPlayer->PlayStateChange(state);
        QCOMPARE(w.PlayIndex, 0);
        QCOMPARE(w.WindowsMediaPlayer->URL(), QString());
        QVERIFY(!w.PlayTimer->isActive());
    }

    void endWithEmptyListChangesNothing()
    {
        TfrmMain& w = *w_;
        addResult(w, song("r"))->setSelected(true);
        w.lvSearchResult2DblClick();
        w.lvPlaying->topLevelItem(0)->setSelected(true);
        w.btnDeleteClick();
        songEnds(w);
        QCOMPARE(w.PlayIndex, 0);
        QCOMPARE(w.WindowsMediaPlayer->URL(), qaddress("r"));
        QVERIFY(!w.PlayTimer->isActive());
    }

    void cyclingOffStopsAfterTheSong()
    {
        TfrmMain& w = *w_;
        fillPlayList({"a", "b"});
        w.lvPlaying->topLevelItem(0)->setSelected(true);
        w.lvPlayingDblClick();
        // Cycling changes when the settings page is saved, not when the box is ticked.
        w.chkCYCLEPLAY->setChecked(false);
        closeNextModal();
        w.RzBitBtn1->click();
        QVERIFY(!w.settingsFlags.CyclePlay);
        songEnds(w);
        QCOMPARE(w.PlayIndex, 0);
        QCOMPARE(w.WindowsMediaPlayer->URL(), qaddress("a"));
        QCOMPARE(selectedRows(w.lvPlaying), QList<int>({0}));
        QVERIFY(!w.PlayTimer->isActive());
    }

    // ---- the delayed play ----
    void timerTicksOnceAndPlays()
    {
        TfrmMain& w = *w_;
        QString file = realSong(w_.home());
        QVERIFY(!file.isEmpty());
        MediaPtr m = NewMedia();
        m->Title = "tone";
        m->Url = file.toStdString();
        w.AddToPlayList(m);
        songEnds(w);
        QVERIFY(w.PlayTimer->isActive());
        QCOMPARE(w.PlayTimer->interval(), 100);
        // Stop what autoStart began, so the tick is what plays the song.
        w.WindowsMediaPlayer->stop();
        QTRY_VERIFY_WITH_TIMEOUT(!w.PlayTimer->isActive(), kHangMs);
        QCOMPARE(test::mediaPlayerOf(w.WindowsMediaPlayer)->playbackState(),
                 QMediaPlayer::PlayingState);
    }

    // ---- tray play ----
    void trayPlayWithoutSongDoesNothing()
    {
        w_->P1->trigger();
        QTest::qWait(100);
        QCOMPARE(test::mediaPlayerOf(w_->WindowsMediaPlayer)->playbackState(),
                 QMediaPlayer::StoppedState);
        QCOMPARE(w_->lbPlayerInfo->text(), QString());
    }

    void trayPlayPlaysTheCurrentSong()
    {
        TfrmMain& w = *w_;
        QString file = realSong(w_.home());
        QVERIFY(!file.isEmpty());
        w.WindowsMediaPlayer->setURL(file);
        w.WindowsMediaPlayer->stop();
        QCOMPARE(test::mediaPlayerOf(w.WindowsMediaPlayer)->playbackState(),
                 QMediaPlayer::StoppedState);
        w.P1Click();
        QTRY_COMPARE_WITH_TIMEOUT(test::mediaPlayerOf(w.WindowsMediaPlayer)->playbackState(),
                                  QMediaPlayer::PlayingState, kHangMs);
    }

    // ---- status text ----
    void statusTextFollowsThePlayer()
    {
        TfrmMain& w = *w_;
        QCOMPARE(w.lbPlayerInfo->text(), QString());
        fillPlayList({"missing"});
        w.lvPlaying->topLevelItem(0)->setSelected(true);
        w.lvPlayingDblClick();
        QTRY_VERIFY_WITH_TIMEOUT(
            w.lbPlayerInfo->text().startsWith(QStringLiteral("无法打开歌曲：")), kHangMs);
        QCOMPARE(w.lbPlayerInfo->text(), w.WindowsMediaPlayer->status());

        QString file = realSong(w_.home());
        QVERIFY(!file.isEmpty());
        w.WindowsMediaPlayer->setURL(file);
        QTRY_COMPARE_WITH_TIMEOUT(w.lbPlayerInfo->text(), QStringLiteral("正在播放"), kHangMs);
        w.WindowsMediaPlayer->stop();
        QCOMPARE(w.lbPlayerInfo->text(), QStringLiteral("已停止"));
    }
};

int main(int argc, char** argv)
{
    // The window hosts a web view, which wants shared GL contexts before the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    PlayerControlTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "player_control_test.moc"
