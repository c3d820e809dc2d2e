// What the start-up leaves until the main window has been painted, and that the user never
// waits for it: the web engine and the media back end come after the first paint, the
// portal page still loads from the catalogue without any action, and the first click on
// "播放" plays at once, with no warm-up before it. Runs the real TfrmMain in the order
// main() uses (FormCreate, then show).
#include <QFile>
#include <QLabel>
#include <QMediaPlayer>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "app/frm_main.h"
#include "app/media_variant.h"
#include "player/windows_media_player.h"
#include "songs/services.h"
#include "tests/app/catalog_process.h"
#include "tests/app/qt_test_main.h"
#include "tests/player/media_player_of.h"

using namespace quavrel;

namespace {

// Only detects a hang: the engine's helper processes start on a busy machine.
constexpr int kLoadMs = 60000;

bool webEngineLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore");
}

}  // namespace

class StartupE2ETest : public QObject {
    Q_OBJECT
    test::CatalogProcess catalog_;

private slots:
    void initTestCase()
    {
        const QString problem = catalog_.start();
        if (!problem.isEmpty())
            QSKIP(qPrintable(problem));
        ServiceAddresses addresses;
        addresses.searchServer = addresses.makerServer = addresses.portalServer = catalog_.host();
        setServices(addresses);
    }

    // Runs first, while nothing in this process has loaded the web engine yet.
    void engineAndBackEndComeAfterTheFirstPaint()
    {
        TfrmMain w;
        w.FormCreate();
        QVERIFY(!webEngineLoaded());
        QVERIFY(!w.WebBrowserKitewood);
        QVERIFY(!w.WindowsMediaPlayer->hasBackEnd());
        w.show();
        QTRY_VERIFY(w.WindowsMediaPlayer->hasBackEnd());
        QTRY_VERIFY(w.WebBrowserKitewood);
        QVERIFY(webEngineLoaded());
    }

    // A start hidden to the tray never shows the window, so it is never painted; the
    // portal page and the back end still come as soon as the event loop runs.
    void startHiddenToTheTrayStillRequestsThePortal()
    {
        TfrmMain w;
        w.FormCreate();
        QTRY_VERIFY(w.WindowsMediaPlayer->hasBackEnd());
        QTRY_VERIFY(w.WebBrowserKitewood);
        QTRY_VERIFY(!w.WebBrowserKitewood->property("url").toUrl().isEmpty());
    }

    void portalPageLoadsFromTheCatalogueDuringStartUp()
    {
        TfrmMain w;
        w.FormCreate();
        w.show();
        QTRY_VERIFY(w.WebBrowserKitewood);
        // The catalogue's page names itself; nobody opened the portal tab.
        QTRY_COMPARE_WITH_TIMEOUT(w.WebBrowserKitewood->property("title").toString(),
                                  QStringLiteral("Kitewood游戏"), kLoadMs);
        QCOMPARE(w.RzPageControl1->currentWidget(), w.TabSheet1);
    }

    // The click comes before the window had any idle moment to start the back end.
    void firstClickOnPlayPlaysAtOnce()
    {
        TfrmMain w;
        w.FormCreate();
        w.show();
        MediaPtr song = NewMedia();
        song->Title = "tone";
        song->Url = (catalog_.base() + QStringLiteral("/songs/1.mp3")).toStdString();
        auto* row = new QTreeWidgetItem(w.lvSearchResult);
        row->setData(0, Qt::UserRole, QVariant::fromValue(song));
        row->setSelected(true);
        QVERIFY(!w.WindowsMediaPlayer->hasBackEnd());
        w.RzBitBtn3->click();
        QCOMPARE(w.WindowsMediaPlayer->URL(), QString::fromStdString(song->Url));
        // The song really plays: its position moves.
        QTRY_VERIFY_WITH_TIMEOUT(test::mediaPlayerOf(w.WindowsMediaPlayer)->position() > 0, kLoadMs);
        QCOMPARE(w.lbPlayerInfo->text(), QStringLiteral("正在播放"));
        w.WindowsMediaPlayer->close();
    }
};

QUAVREL_QTEST_MAIN(StartupE2ETest)
#include "startup_e2e_test.moc"
