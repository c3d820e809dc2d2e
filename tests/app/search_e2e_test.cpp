// Search, next page, clear and hot list through the real main window against the bundled
// catalogue service on 127.0.0.1, and the result rows the window builds.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "app/frm_main.h"
#include "app/media_variant.h"
#include "songs/check_thread.h"
#include "songs/services.h"
#include "platform/codepage.h"
#include "tests/app/catalog_process.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/temp_dir.h"

using namespace quavrel;

namespace {

// Only detects a hang: every probe of the catalogue answers within milliseconds.
constexpr int kHangMs = 60000;

QString rowText(const QTreeWidget* list, int row, int column) { return list->topLevelItem(row)->text(column); }

int findTitle(const QTreeWidget* list, const QString& title)
{
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        if (rowText(list, row, 0) == title)
            return row;
    return -1;
}

}  // namespace

class SearchE2ETest : public QObject {
    Q_OBJECT
    test::CatalogProcess catalog_;
    test::MainWindowFixture w_;

    // Waits until every probe has finished and its row has been posted and added.
    bool settle()
    {
        if (!WaitForProbesPumping())
            return false;
        QCoreApplication::processEvents();
        return true;
    }
    static bool WaitForProbesPumping()
    {
        QElapsedTimer timer;
        timer.start();
        while (PendingProbes() > 0) {
            if (timer.elapsed() > kHangMs)
                return false;
            QTest::qWait(10);
        }
        return true;
    }
    // Types as an input method commits Chinese text.
    void typeKeyword(const QString& text)
    {
        w_->cbxKeyword->lineEdit()->clear();
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QCoreApplication::sendEvent(w_->cbxKeyword->lineEdit(), &commit);
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
        ServiceAddresses addresses;
        addresses.searchServer = catalog_.host();
        addresses.makerServer = catalog_.host();
        addresses.portalServer = catalog_.host();
        setServices(addresses);
        QVERIFY(w_.open());
    }
    void cleanup()
    {
        QVERIFY(settle());
        w_.close();
    }

    // ---- Rows ----

    void resultRowShowsFiveColumnsAndCarriesItsRecord()
    {
        MediaPtr media = NewMedia();
        media->Title = "\xB8\xE8";   // 歌
        media->Singer = "S";
        media->Album = "A";
        media->Speed = 12;
        media->Size = 5000000;
        w_->AddResultRow(media);
        QTreeWidget* list = w_->lvSearchResult;
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(rowText(list, 0, 0), QStringLiteral("歌"));
        QCOMPARE(rowText(list, 0, 1), QStringLiteral("S"));
        QCOMPARE(rowText(list, 0, 2), QStringLiteral("A"));
        QCOMPARE(rowText(list, 0, 3), QStringLiteral("12"));
        QCOMPARE(rowText(list, 0, 4), QStringLiteral("4882"));
        QCOMPARE(TfrmMain::mediaOf(list->topLevelItem(0)), media);
        QCOMPARE(TfrmMain::mediaOf(nullptr), MediaPtr());
    }

    // Even positions pale blue, odd white, whatever the rows hold.
    void rowsAreColouredByPosition()
    {
        for (int i = 0; i < 5; ++i) {
            MediaPtr media = NewMedia();
            media->Title = "t";
            media->Size = 1;
            w_->AddResultRow(media);
        }
        QTreeWidget* list = w_->lvSearchResult;
        list->clearSelection();
        list->setCurrentItem(nullptr);
        QImage image = list->viewport()->grab().toImage();
        for (int row = 0; row < 5; ++row) {
            QRect rect = list->visualItemRect(list->topLevelItem(row));
            QPoint inside(list->columnWidth(0) - 4, rect.center().y());   // beyond the short title
            QColor expected = row % 2 == 0 ? QColor(240, 240, 255) : QColor(255, 255, 255);
            QCOMPARE(image.pixelColor(inside * image.devicePixelRatio()).rgb(), expected.rgb());
        }
    }

    // ---- Search, next page, clear ----

    void enterSearchesAndProbesList()
    {
        TfrmMain& w = *w_;
        typeKeyword(QStringLiteral("许南风"));
        QVERIFY(!w.btnNextPage->isEnabled());   // typing disables it
        QTest::keyClick(w.cbxKeyword->lineEdit(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(w.lvSearchResult->topLevelItemCount() > 0, kHangMs);
        QVERIFY(settle());

        QTreeWidget* list = w.lvSearchResult;
        QCOMPARE(list->topLevelItemCount(), 6);
        QCOMPARE(w.NextItem.load(), 7);
        QVERIFY(w.btnNextPage->isEnabled());
        QCOMPARE(w.cbxKeyword->currentText(), QStringLiteral("许南风"));
        QCOMPARE(w.cbxKeyword->itemText(0), QStringLiteral("许南风"));
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            QCOMPARE(rowText(list, row, 1), QStringLiteral("许南风"));
            bool ok = false;
            QVERIFY(rowText(list, row, 3).toInt(&ok) >= 0 && ok);
            MediaPtr media = TfrmMain::mediaOf(list->topLevelItem(row));
            QVERIFY(media);
            QCOMPARE(media->Singer, utf8ToGbk("许南风"));
            QVERIFY(media->Size > 0);
            QCOMPARE(media->FileType, std::string("mp3"));
        }
        int big = findTitle(list, QStringLiteral("烟雨江南"));
        QVERIFY(big >= 0);
        QCOMPARE(rowText(list, big, 4), QStringLiteral("4882"));
        QVERIFY(findTitle(list, QStringLiteral("归途")) >= 0);
        QCOMPARE(rowText(list, findTitle(list, QStringLiteral("归途")), 2), QString());   // blank album trimmed
    }

    // Songs that fail their probe count in NextItem but are not listed; a next page
    // after a clear continues the numbering, so an exhausted result stays empty.
    void clearThenNextPageContinuesNumbering()
    {
        TfrmMain& w = *w_;
        typeKeyword(QStringLiteral("白鹭乐队"));   // six songs, one without a length
        QTest::mouseClick(w.btnSearch, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(w.lvSearchResult->topLevelItemCount() > 0, kHangMs);
        QVERIFY(settle());
        QCOMPARE(w.lvSearchResult->topLevelItemCount(), 5);
        QCOMPARE(w.NextItem.load(), 7);

        QTest::mouseClick(w.btnClear, Qt::LeftButton);
        QCOMPARE(w.lvSearchResult->topLevelItemCount(), 0);
        QCOMPARE(w.NextItem.load(), 7);
        QTest::mouseClick(w.btnNextPage, Qt::LeftButton);
        QVERIFY(settle());
        QCOMPARE(w.lvSearchResult->topLevelItemCount(), 0);
        QCOMPARE(w.NextItem.load(), 7);

        // A next page from the start brings the songs back below what is listed.
        w.NextItem = 1;
        QTest::mouseClick(w.btnNextPage, Qt::LeftButton);
        QVERIFY(settle());
        QCOMPARE(w.lvSearchResult->topLevelItemCount(), 5);
        QCOMPARE(w.NextItem.load(), 7);
    }

    void blankKeywordOnlyShowsTheMessage()
    {
        TfrmMain& w = *w_;
        MediaPtr kept = NewMedia();
        kept->Size = 1;
        w.AddResultRow(kept);
        w.NextItem = 9;
        typeKeyword(QStringLiteral("   "));
        QTest::mouseClick(w.btnSearch, Qt::LeftButton);
        QCOMPARE(w.InfoPanel->text(), QStringLiteral("请输入歌手名、歌曲名等任意关键字再搜索"));
        QCOMPARE(w.lvSearchResult->topLevelItemCount(), 1);
        QCOMPARE(w.NextItem.load(), 9);
        QVERIFY(!w.btnNextPage->isEnabled());
    }

    // ---- Hot list ----

    void hotListFillsTheListAndReportsDone()
    {
        TfrmMain& w = *w_;
        MediaPtr old = NewMedia();
        old->Size = 1;
        w.AddResultRow(old);
        const int before = w.NextItem.load();
        QTest::mouseClick(w.btnHot, Qt::LeftButton);
        QCOMPARE(w.InfoPanel->text(), QStringLiteral("搜索完成，双击歌曲收听！"));
        QVERIFY(w.NextItem.load() > before);
        QVERIFY(settle());
        QTreeWidget* list = w.lvSearchResult;
        QVERIFY(list->topLevelItemCount() > 0);
        QVERIFY(list->topLevelItemCount() <= w.NextItem.load() - before);
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            QVERIFY(TfrmMain::mediaOf(list->topLevelItem(row)) != old);
            QVERIFY(!rowText(list, row, 0).contains(QLatin1Char('<')));
            QVERIFY(!rowText(list, row, 0).isEmpty());
        }
    }

    void unreachableHotListShowsFailureText()
    {
        ServiceAddresses addresses = services();
        addresses.makerServer = "127.0.0.1:1";   // nothing listens on port 1
        setServices(addresses);
        QTest::mouseClick(w_->btnHot, Qt::LeftButton);
        QCOMPARE(w_->InfoPanel->text(),
                 QStringLiteral("网络故障，如果一直出现，请联系作者：") + QString::fromStdString(addresses.supportMail));
        QCOMPARE(w_->lvSearchResult->topLevelItemCount(), 0);
    }
};

QTEST_MAIN(SearchE2ETest)
#include "search_e2e_test.moc"
