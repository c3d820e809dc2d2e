// The close sequence, the session manager's request and minimising on a desktop without
// a tray (offscreen has none).
#include <QComboBox>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "app/frm_main.h"
#include "songs/services.h"
#include "player/windows_media_player.h"
#include "platform/paths.h"
#include "tests/app/main_window_fixture.h"
#include "tests/app/qt_test_main.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"

using namespace quavrel;

namespace {

MediaPtr song(const std::string& title, const std::string& url)
{
    MediaPtr media = NewMedia();
    media->Title = title;
    media->Url = url;
    media->FileType = "mp3";
    return media;
}

}  // namespace

class LifecycleTest : public QObject {
    Q_OBJECT
    test::MainWindowFixture w_;

private slots:
    void init()
    {
        QVERIFY(w_.open());
    }
    void cleanup() { w_.close(); }

    // Without a tray, hiding on minimise would lose the window: it minimises as usual.
    void minimiseWithoutTrayKeepsTheWindow()
    {
        w_->setWindowState(Qt::WindowMinimized);
        QTest::qWait(50);
        QVERIFY(w_->isVisible());
        QVERIFY(!w_->hiddenToTray());
        w_->restoreProgram();
        QVERIFY(w_->isVisible());
        QVERIFY(!w_->isMinimized());
    }

    void closeWritesPlayListAndKeywordHistory()
    {
        w_->AddToPlayList(song("t1", "http://127.0.0.1:1/a.mp3"));
        w_->AddToPlayList(song("t2", "http://127.0.0.1:1/b.mp3"));
        w_->RememberKeyword("abc");
        QSignalSpy closed(w_.get(), &TfrmMain::closed);
        QVERIFY(w_->close());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(QString::fromStdString(test::readFile(ProgramDir() + "default.m3u")),
                 QStringLiteral("#EXTM3U\r\n#EXTINF:0,t1\r\nhttp://127.0.0.1:1/a.mp3\r\n\r\n"
                                "#EXTINF:0,t2\r\nhttp://127.0.0.1:1/b.mp3\r\n\r\n"));
        QCOMPARE(QString::fromStdString(test::readFile(ProgramDir() + "key.lst")), QStringLiteral("abc\r\n"));
    }

    // A play list that cannot be written is reported, the keyword history is still
    // written, and the window closes anyway.
    void aFailingFileDoesNotKeepTheWindowOpen()
    {
        std::filesystem::create_directory(ProgramDir() + "default.m3u");   // cannot be replaced by a file
        w_->RememberKeyword("kept");
        test::ModalBoxWatcher boxes;
        QSignalSpy closed(w_.get(), &TfrmMain::closed);
        QVERIFY(w_->close());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(boxes.seen, 1);
        QVERIFY(boxes.text.contains(QStringLiteral("default.m3u")));
        QCOMPARE(QString::fromStdString(test::readFile(ProgramDir() + "key.lst")), QStringLiteral("kept\r\n"));
    }

    void closeStopsThePlayer()
    {
        w_->WindowsMediaPlayer->setURL(QStringLiteral("http://127.0.0.1:1/nothing.mp3"));
        QVERIFY(w_->close());
        QVERIFY(w_->WindowsMediaPlayer->URL().isEmpty());
    }

    // ---- the session manager asks before logging off ----

    // The log-out may still be cancelled: both files are written, the window stays open
    // and the song plays on.
    void commitRequestWritesBothFilesAndKeepsTheWindow()
    {
        w_->AddToPlayList(song("t1", "http://127.0.0.1:1/a.mp3"));
        w_->RememberKeyword("session");
        w_->WindowsMediaPlayer->setURL(QStringLiteral("http://127.0.0.1:1/a.mp3"));
        QSignalSpy closed(w_.get(), &TfrmMain::closed);
        w_->commitSessionData([] { return true; });
        QCOMPARE(closed.count(), 0);
        QVERIFY(w_->isVisible());
        QVERIFY(!w_->WindowsMediaPlayer->URL().isEmpty());
        QCOMPARE(QString::fromStdString(test::readFile(ProgramDir() + "default.m3u")),
                 QStringLiteral("#EXTM3U\r\n#EXTINF:0,t1\r\nhttp://127.0.0.1:1/a.mp3\r\n\r\n"));
        QCOMPARE(QString::fromStdString(test::readFile(ProgramDir() + "key.lst")), QStringLiteral("session\r\n"));
    }

    // A box nobody may answer would hold up the log-out: it is shown only when the
    // session manager lets the program talk to the user.
    void commitFailureShowsABoxOnlyWhenTheUserMayAnswer()
    {
        std::filesystem::create_directory(ProgramDir() + "default.m3u");   // cannot be replaced by a file
        w_->RememberKeyword("kept");
        for (bool mayInteract : {false, true}) {
            test::ModalBoxWatcher boxes;
            w_->commitSessionData([mayInteract] { return mayInteract; });
            QCOMPARE(boxes.seen, mayInteract ? 1 : 0);
            QCOMPARE(QString::fromStdString(test::readFile(ProgramDir() + "key.lst")), QStringLiteral("kept\r\n"));
        }
    }

    // Probes still running when the window goes away deliver into nothing.
    void closingWhileProbesRunDoesNotCrash()
    {
        test::ScriptedServer songs;   // holds every probe's connection until it stops
        for (int i = 0; i < 5; ++i)
            songs.add(test::Script().read().pause(300).send(test::HttpResponseText(std::string(2048, 'x'))));
        std::string page;
        for (int i = 0; i < 5; ++i) {
            page += "<td class=p14><a href='" + songs.url("/s" + std::to_string(i) + ".mp3") +
                    "'>T" + std::to_string(i) + "</a> singer=S\" keyword=A\"\n";
        }
        test::ScriptedServer search;
        search.add(test::Script().answer(test::HttpResponseText(page)));
        ServiceAddresses saved = services(), addresses = saved;
        addresses.searchServer = "127.0.0.1:" + std::to_string(search.port());
        setServices(addresses);

        w_->cbxKeyword->setEditText(QStringLiteral("x"));
        w_->btnSearchClick();
        QTRY_COMPARE_WITH_TIMEOUT(songs.connections(), 5, 10000);
        QVERIFY(w_->close());
        w_.close();
        QTest::qWait(800);   // the probes answer and hand over after the window is gone
        setServices(saved);
        QVERIFY(!w_.get());
    }
};

QUAVREL_QTEST_MAIN(LifecycleTest)
#include "lifecycle_test.moc"
