// The main window as built: pages and tabs, menus, the Enter key per page, the player
// rectangle, control geometry, and the portal link. Runs on the real TfrmMain.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "app/frm_main.h"
#include "app/url_label.h"
#include "songs/services.h"
#include "player/windows_media_player.h"
#include "tests/app/main_window_fixture.h"
#include "tests/app/qt_test_main.h"

using namespace quavrel;

// Receives the addresses the desktop is asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class LayoutTest : public QObject {
    Q_OBJECT
private:
    test::MainWindowFixture w;

    QStringList visibleTabTexts() const
    {
        QStringList texts;
        for (int i = 0; i < w->RzPageControl1->count(); ++i)
            if (w->RzPageControl1->isTabVisible(i))
                texts << w->RzPageControl1->tabText(i);
        return texts;
    }

    void pressEnter(QWidget* target)
    {
        QTest::keyClick(target, Qt::Key_Return);
        QCoreApplication::processEvents();
    }

    // Gives lvPlaying the focus with a click, as the user does.
    void focusPlayList()
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::mouseClick(w->lvPlaying->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(QApplication::focusWidget(), w->lvPlaying);
    }

    // Walks the focus back with Shift+Tab from the play list into the player's bar.
    void focusPlayerBar()
    {
        focusPlayList();
        for (int i = 0; i < 40 && !w->WindowsMediaPlayer->isAncestorOf(QApplication::focusWidget()); ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QVERIFY(w->WindowsMediaPlayer->isAncestorOf(QApplication::focusWidget()));
    }

private slots:
    void init()
    {
        QVERIFY(w.open());
    }

    void cleanup() { w.close(); }

    // ---- Pages and tabs ----

    void onlyThreeTabsAreVisible()
    {
        QCOMPARE(w->RzPageControl1->count(), 3);
        QCOMPARE(visibleTabTexts(), (QStringList{"搜索", "设置", "Kitewood游戏"}));
        QCOMPARE(w->RzPageControl1->currentWidget(), w->TabSheet1);
        // The pages never shown are built with their controls, outside the page control.
        QCOMPARE(w->TabSheet2->windowTitle(), QStringLiteral("MP3库"));
        QCOMPARE(w->TabSheet3->windowTitle(), QStringLiteral("下载"));
        QVERIFY(w->TabSheet2->isAncestorOf(w->RzTreeView1) && w->TabSheet3->isAncestorOf(w->RzListView3));
    }

    void hiddenPagesCannotBeSelected()
    {
        const QList<QWidget*> shown{w->TabSheet1, w->TabSheet4, w->TabSheet5};
        for (QWidget* from : shown)
            for (QWidget* hidden : {w->TabSheet2, w->TabSheet3}) {
                w->RzPageControl1->setCurrentWidget(from);
                w->RzPageControl1->setCurrentWidget(hidden);
                QVERIFY(shown.contains(w->RzPageControl1->currentWidget()));
            }
        QVERIFY(!w->TabSheet2->isVisible());
        QVERIFY(!w->TabSheet3->isVisible());
    }

    // Ctrl+Tab and Ctrl+Shift+Tab walk the tabs from the keyboard; a full round in either
    // direction sees exactly the three visible pages.
    void keyboardWalkSkipsHiddenPages()
    {
        for (Qt::KeyboardModifiers mods : {Qt::KeyboardModifiers(Qt::ControlModifier),
                                           Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier)}) {
            QSet<QWidget*> seen;
            for (int i = 0; i < 6; ++i) {
                QTest::keyClick(w->RzPageControl1, Qt::Key_Tab, mods);
                QWidget* current = w->RzPageControl1->currentWidget();
                QVERIFY(current != w->TabSheet2 && current != w->TabSheet3);
                seen.insert(current);
            }
            QCOMPARE(seen.size(), 3);
        }
    }

    void searchPageIsShownFirstAndHoldsItsControls()
    {
        QVERIFY(w->lvSearchResult->isVisible());
        QVERIFY(w->cbxKeyword->isVisible());
        QVERIFY(w->btnNextPage->isEnabled());
        QCOMPARE(w->RzLabel1->text(), QStringLiteral("关键字:"));
        QCOMPARE(w->btnSearch->text(), QStringLiteral("搜索"));
        QCOMPARE(w->btnNextPage->text(), QStringLiteral("下页"));
        QCOMPARE(w->btnClear->text(), QStringLiteral("清空"));
        QCOMPARE(w->btnHot->text(), QStringLiteral("推荐列表"));
        QCOMPARE(w->RzBitBtn3->text(), QStringLiteral("播放(&P)"));
        QCOMPARE(w->RzBitBtn4->text(), QStringLiteral("添加(&A)"));
        QCOMPARE(w->RzBitBtn5->text(), QStringLiteral("推荐(&H)"));
    }

    void settingsPageControls()
    {
        QCOMPARE(w->RzGroupBox1->title(), QStringLiteral("播放设置"));
        QCOMPARE(w->chkAUTOSTART->text(), QStringLiteral("程序随计算机自动启动"));
        QCOMPARE(w->chkAUTOSTARTLEFTBOTTOM->text(), QStringLiteral("自动启动时缩小到右下角"));
        QCOMPARE(w->chkAUTOLOADDEFAULTLIST->text(), QStringLiteral("启动程序时打开上次播放列表"));
        QCOMPARE(w->chkCYCLEPLAY->text(), QStringLiteral("循环播放列表中的歌曲"));
        QCOMPARE(w->RzBitBtn1->text(), QStringLiteral("保存设置(&A)"));
        w->RzPageControl1->setCurrentWidget(w->TabSheet4);
        QVERIFY(w->chkAUTOSTART->isVisible());
        QVERIFY(!w->chkAUTOSTARTLEFTBOTTOM->isVisible());
        QVERIFY(w->RzLabel5->text().contains("Quavrel"));
        QVERIFY(w->RzLabel5->text().contains(QString::fromStdString(services().supportMail)));
    }

    // ---- Menus ----

    void resultMenuHidesItsLastTwoEntries()
    {
        QCOMPARE(w->PopupMenu1->actions(),
                 (QList<QAction*>{w->N1, w->N2, w->nDownload, w->N3, w->N4, w->N8, w->N9}));
        QCOMPARE(w->N1->text(), QStringLiteral("播放"));
        QCOMPARE(w->N2->text(), QStringLiteral("添加至播放列表"));
        QCOMPARE(w->nDownload->text(), QStringLiteral("下载到本地"));
        QCOMPARE(w->N4->text(), QStringLiteral("推荐此曲"));
        QCOMPARE(w->N9->text(), QStringLiteral("属性(&R)"));
        QVERIFY(w->N3->isSeparator() && w->N8->isSeparator());

        w->PopupMenu1->popup(w->lvSearchResult->mapToGlobal(QPoint(20, 40)));
        QVERIFY(QTest::qWaitForWindowExposed(w->PopupMenu1));
        for (QAction* shown : {w->N1, w->N2, w->nDownload, w->N3, w->N4})
            QVERIFY(!w->PopupMenu1->actionGeometry(shown).isEmpty());
        QVERIFY(w->PopupMenu1->actionGeometry(w->N8).isEmpty());
        QVERIFY(w->PopupMenu1->actionGeometry(w->N9).isEmpty());
        w->PopupMenu1->close();
    }

    void resultListOpensItsMenuOnRightClick()
    {
        QCOMPARE(w->lvSearchResult->contextMenuPolicy(), Qt::CustomContextMenu);
        emit w->lvSearchResult->customContextMenuRequested(QPoint(10, 10));
        QTRY_VERIFY(w->PopupMenu1->isVisible());
        w->PopupMenu1->close();
    }

    void trayMenuEntries()
    {
        QCOMPARE(w->PopupMenu2->actions(), (QList<QAction*>{w->N5, w->P1, w->N6, w->X1}));
        QCOMPARE(w->N5->text(), QStringLiteral("显示主窗口(&M)"));
        QCOMPARE(w->P1->text(), QStringLiteral("播放(&P)"));
        QVERIFY(w->N6->isSeparator());
        QCOMPARE(w->X1->text(), QStringLiteral("退出(&X)"));
    }

    // ---- Enter and Alt keys ----

    void enterInKeywordBoxSearches()
    {
        QSignalSpy search(w->btnSearch, &QPushButton::clicked);
        QSignalSpy save(w->RzBitBtn1, &QPushButton::clicked);
        w->cbxKeyword->setFocus();
        pressEnter(w->cbxKeyword);
        QCOMPARE(search.count(), 1);
        QCOMPARE(save.count(), 0);
        QCOMPARE(w->cbxKeyword->count(), 0);   // Enter never inserts the text as an entry
    }

    void enterInResultListSearches()
    {
        QSignalSpy search(w->btnSearch, &QPushButton::clicked);
        pressEnter(w->lvSearchResult);
        QCOMPARE(search.count(), 1);
    }

    void focusedButtonTakesEnterItself()
    {
        QSignalSpy search(w->btnSearch, &QPushButton::clicked);
        QSignalSpy clear(w->btnClear, &QPushButton::clicked);
        w->btnClear->setFocus();
        pressEnter(w->btnClear);
        QCOMPARE(clear.count(), 1);
        QCOMPARE(search.count(), 0);
    }

    void enterOnSettingsPageSaves()
    {
        w->RzPageControl1->setCurrentWidget(w->TabSheet4);
        QSignalSpy search(w->btnSearch, &QPushButton::clicked);
        QSignalSpy save(w->RzBitBtn1, &QPushButton::clicked);
        test::ModalBoxWatcher boxes;   // saving may confirm with a message
        const bool before = w->chkCYCLEPLAY->isChecked();
        w->chkCYCLEPLAY->setFocus();
        pressEnter(w->chkCYCLEPLAY);
        QCOMPARE(save.count(), 1);
        QCOMPARE(search.count(), 0);
        QCOMPARE(w->chkCYCLEPLAY->isChecked(), before);
        pressEnter(w->TabSheet4);
        QCOMPARE(save.count(), 2);
    }

    // The default button takes Enter wherever the focus is in the window, also outside
    // the page control.
    void enterInPlayListOrPlayerBarSearches()
    {
        QSignalSpy search(w->btnSearch, &QPushButton::clicked);
        focusPlayList();
        pressEnter(QApplication::focusWidget());
        QCOMPARE(search.count(), 1);
        focusPlayerBar();
        pressEnter(QApplication::focusWidget());
        QCOMPARE(search.count(), 2);
    }

    void enterInPlayListOrPlayerBarSavesOnSettingsPage()
    {
        w->RzPageControl1->setCurrentWidget(w->TabSheet4);
        QSignalSpy save(w->RzBitBtn1, &QPushButton::clicked);
        test::ModalBoxWatcher boxes;   // saving confirms with a message
        focusPlayList();
        pressEnter(QApplication::focusWidget());
        QCOMPARE(save.count(), 1);
        focusPlayerBar();
        pressEnter(QApplication::focusWidget());
        QCOMPARE(save.count(), 2);
    }

    void enterOnPortalPageClicksNeither()
    {
        w->RzPageControl1->setCurrentWidget(w->TabSheet5);
        QSignalSpy search(w->btnSearch, &QPushButton::clicked);
        QSignalSpy save(w->RzBitBtn1, &QPushButton::clicked);
        pressEnter(w->TabSheet5);
        pressEnter(w->RzPageControl1->tabBar());
        QCOMPARE(search.count(), 0);
        QCOMPARE(save.count(), 0);
        QCOMPARE(w->defaultButtonOfCurrentPage(), nullptr);
    }

    void altKeysComeFromTheAmpersands()
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        test::ModalBoxWatcher boxes(QMessageBox::Cancel);   // the handlers may ask first
        QCOMPARE(w->RzBitBtn3->shortcut(), QKeySequence(Qt::ALT | Qt::Key_P));
        QSignalSpy play(w->RzBitBtn3, &QPushButton::clicked);
        QSignalSpy add(w->RzBitBtn4, &QPushButton::clicked);
        QSignalSpy recommend(w->RzBitBtn5, &QPushButton::clicked);
        QSignalSpy save(w->RzBitBtn1, &QPushButton::clicked);
        w->cbxKeyword->setFocus();
        // A mnemonic presses the button visibly, so the click comes a moment later.
        QTest::keyClick(w->cbxKeyword, Qt::Key_P, Qt::AltModifier);
        QTRY_COMPARE(play.count(), 1);
        QTest::keyClick(w->cbxKeyword, Qt::Key_A, Qt::AltModifier);
        QTRY_COMPARE(add.count(), 1);
        QTest::keyClick(w->cbxKeyword, Qt::Key_H, Qt::AltModifier);
        QTRY_COMPARE(recommend.count(), 1);
        QCOMPARE(save.count(), 0);   // Alt+A belongs to the page that is showing
        w->RzPageControl1->setCurrentWidget(w->TabSheet4);
        w->chkCYCLEPLAY->setFocus();
        QTest::keyClick(w->chkCYCLEPLAY, Qt::Key_A, Qt::AltModifier);
        QTRY_COMPARE(save.count(), 1);
        QCOMPARE(add.count(), 1);
    }

    // ---- Player rectangle ----

    void playerFillsItsPanelAtDesignedSize()
    {
        QCOMPARE(w->RzPanelPlayer->size(), QSize(208, 45));
        QCOMPARE(w->WindowsMediaPlayer->geometry(), QRect(0, 0, 208, 45));
    }

    void playerFollowsWindowResize()
    {
        w->resize(1000, 700);
        QTRY_COMPARE(w->WindowsMediaPlayer->geometry(), w->RzPanelPlayer->rect());
        w->resize(640, 400);
        QTRY_COMPARE(w->WindowsMediaPlayer->geometry(), w->RzPanelPlayer->rect());
        QCOMPARE(w->RzPanelPlayer->height(), 45);
    }

    // Dragging the sizing bar changes only the right-hand panel; the player and the play
    // list follow it.
    void playerFollowsSizingBar()
    {
        w->splitter->setSizes({400, 320});
        QTRY_COMPARE(w->RzSizePanel1->width(), 320);
        QTRY_COMPARE(w->WindowsMediaPlayer->geometry(), QRect(0, 0, 320, 45));
        QCOMPARE(w->lvPlaying->width(), 320);
        QCOMPARE(w->lvPlaying->height(), w->RzSizePanel1->height() - 64 - 30);
        w->splitter->setSizes({600, 120});
        QTRY_COMPARE(w->WindowsMediaPlayer->geometry(), QRect(0, 0, 120, 45));
    }

    // ---- Geometry at the designed size ----

    void windowAndPanelSizes()
    {
        QCOMPARE(w->size(), QSize(725, 502));
        QCOMPARE(w->RzPageControl1->size(), QSize(512, 483));
        QCOMPARE(w->RzSizePanel1->size(), QSize(208, 483));
        QCOMPARE(w->splitter->handleWidth(), 5);
        QCOMPARE(w->RzStatusBar1->height(), 19);
        QCOMPARE(w->RzPanel3->height(), 30);
        QCOMPARE(w->lvPlaying->size(), QSize(208, 389));
        QCOMPARE(w->RzPanel1->height(), 33);
        QCOMPARE(w->RzPanel6->height(), 32);
        QCOMPARE(w->RzPanel5->width(), 278);
        QCOMPARE(w->RzPanel5->geometry().right(), w->RzPanel1->width() - 1);
    }

    void controlGeometry()
    {
        QCOMPARE(w->cbxKeyword->geometry(), QRect(50, 7, 174, 20));
        QCOMPARE(w->btnSearch->geometry(), QRect(6, 3, 57, 27));
        QCOMPARE(w->btnNextPage->geometry(), QRect(64, 3, 57, 27));
        QCOMPARE(w->btnClear->geometry(), QRect(122, 3, 57, 27));
        QCOMPARE(w->btnHot->geometry(), QRect(192, 3, 81, 27));
        QCOMPARE(w->RzBitBtn3->geometry(), QRect(8, 3, 75, 25));
        QCOMPARE(w->RzBitBtn4->geometry(), QRect(96, 3, 75, 25));
        QCOMPARE(w->RzBitBtn5->geometry(), QRect(184, 3, 75, 25));
        QCOMPARE(w->btnOpen->geometry(), QRect(0, 2, 25, 25));
        QCOMPARE(w->btnSave->geometry(), QRect(25, 2, 25, 25));
        QCOMPARE(w->btnDelete->geometry(), QRect(50, 2, 25, 25));
        QVERIFY(!w->btnUP->isVisible() && !w->btnDown->isVisible());
        QCOMPARE(w->RzGroupBox1->geometry(), QRect(8, 8, 241, 129));
        QCOMPARE(w->RzGroupBox2->geometry(), QRect(256, 8, 241, 129));
        QCOMPARE(w->RzGroupBox3->geometry(), QRect(8, 144, 489, 217));
        QCOMPARE(w->RzBitBtn1->geometry(), QRect(384, 384, 113, 25));
        QCOMPARE(w->RzURLLabel1->pos(), QPoint(56, 88));
    }

    void listViews()
    {
        QTreeWidget* results = w->lvSearchResult;
        QCOMPARE(results->columnCount(), 5);
        const QStringList captions{"歌曲名", "歌手", "专辑", "网速", "大小"};
        const int widths[] = {120, 80, 120, 80};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(results->headerItem()->text(i), captions[i]);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(results->columnWidth(i), widths[i]);
        QVERIFY(results->header()->stretchLastSection());
        QCOMPARE(results->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(results->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(results->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(!results->rootIsDecorated());

        QTreeWidget* playing = w->lvPlaying;
        QVERIFY(playing->isHeaderHidden());
        QCOMPARE(playing->columnCount(), 1);
        QCOMPARE(playing->columnWidth(0), 187);
        QCOMPARE(playing->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(playing->editTriggers(), QAbstractItemView::NoEditTriggers);

        // Rows are 20 pixels high in both lists.
        auto* row = new QTreeWidgetItem(playing, QStringList{"song"});
        auto* result = new QTreeWidgetItem(results, QStringList{"a", "b", "c", "1", "2"});
        QCOMPARE(playing->visualItemRect(row).height(), 20);
        QCOMPARE(results->visualItemRect(result).height(), 20);
        // The play list keeps showing its selection without the focus; the result list not.
        QCOMPARE(playing->palette().color(QPalette::Inactive, QPalette::Highlight),
                 playing->palette().color(QPalette::Active, QPalette::Highlight));
        QCOMPARE(results->palette().color(QPalette::Inactive, QPalette::Highlight),
                 results->palette().color(QPalette::Active, QPalette::Base));
    }

    void keywordBoxSettings()
    {
        QVERIFY(w->cbxKeyword->isEditable());
        QCOMPARE(w->cbxKeyword->insertPolicy(), QComboBox::NoInsert);
        QCOMPARE(w->cbxKeyword->completer(), nullptr);
    }

    void accessibleNames()
    {
        QCOMPARE(w->cbxKeyword->accessibleName(), QStringLiteral("关键字"));
        QCOMPARE(w->lvSearchResult->accessibleName(), QStringLiteral("搜索结果"));
        QCOMPARE(w->lvPlaying->accessibleName(), QStringLiteral("播放列表"));
        QCOMPARE(w->InfoPanel->accessibleName(), QString());   // its message is what is read
        QCOMPARE(w->InfoPanel->accessibleDescription(), QStringLiteral("状态"));
        QVERIFY(!w->WindowsMediaPlayer->accessibleName().isEmpty());
        for (QPushButton* b : {w->btnOpen, w->btnSave, w->btnDelete})
            QVERIFY(!b->accessibleName().isEmpty());
    }

    void dialogsAndTimer()
    {
        QCOMPARE(w->OpenDialog1()->nameFilters(), QStringList{"MP3 播放列表(*.m3u)"});
        QCOMPARE(w->OpenDialog1()->defaultSuffix(), QStringLiteral("m3u"));
        QCOMPARE(w->OpenDialog1()->acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(w->SaveDialog1()->nameFilters(), QStringList{"(*.m3u)"});
        QCOMPARE(w->SaveDialog1()->acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(w->SaveDialog1()->testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(w->Mp3SaveDialog()->defaultSuffix(), QStringLiteral("MP3"));
        QVERIFY(w->Mp3SaveDialog()->testOption(QFileDialog::DontConfirmOverwrite));
        for (QFileDialog* d : {w->OpenDialog1(), w->SaveDialog1(), w->Mp3SaveDialog()})
            QVERIFY(d->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(w->PlayTimer->interval(), 100);
        QVERIFY(!w->PlayTimer->isActive());
    }

    // ---- Portal link and page ----

    void portalLinkOpensHomePageAndTurnsPurple()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("http", &catcher, "open");
        w->RzPageControl1->setCurrentWidget(w->TabSheet4);
        QVERIFY(!w->RzURLLabel1->visited());
        QTest::mouseClick(w->RzURLLabel1, Qt::LeftButton, {}, QPoint(5, 5));
        QDesktopServices::unsetUrlHandler("http");
        QCOMPARE(catcher.opened.size(), 1);
        QCOMPARE(catcher.opened.front().toString(),
                 QString::fromStdString("http://" + services().portalServer + "/"));
        QVERIFY(w->RzURLLabel1->visited());
        QCOMPARE(w->RzURLLabel1->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    }

    void formCreateSetsCaptionAndOpensPortal()
    {
        QCOMPARE(w->windowTitle(), QStringLiteral("Quavrel"));
        test::ModalBoxWatcher boxes;
        w->FormCreate();
        QCOMPARE(boxes.seen, 0);
        QCOMPARE(w->windowTitle(), QStringLiteral("Quavrel V3.0"));
        // The web view follows the window's first paint, which has happened here already.
        QTRY_VERIFY(w->WebBrowserKitewood);
        QCOMPARE(w->WebBrowserKitewood->parentWidget(), w->TabSheet5);
        QTRY_COMPARE(w->WebBrowserKitewood->property("url").toUrl().toString(),
                     QString::fromStdString("http://" + services().portalServer + "/index_quavrel.asp"));
    }

    // A portal address that cannot be navigated to fails the last step: the error box
    // shows and the window keeps working.
    void failingPortalStepIsReported()
    {
        const ServiceAddresses saved = services();
        ServiceAddresses broken = saved;
        broken.portalServer = "[not an address";
        setServices(broken);
        test::ModalBoxWatcher boxes;
        w->FormCreate();
        setServices(saved);
        QCOMPARE(boxes.seen, 1);
        QCOMPARE(boxes.title, QStringLiteral("Quavrel"));
        QVERIFY(boxes.text.contains("[not an address"));
        QVERIFY(boxes.text.endsWith('.'));
        QCOMPARE(w->windowTitle(), QStringLiteral("Quavrel V3.0"));
        QTest::qWait(100);
        QVERIFY(!w->WebBrowserKitewood);
    }
};

QUAVREL_QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
