// Hiding to the tray and coming back, on a real X display with a tray host (the test
// command starts one).
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <filesystem>
#include <memory>

#include "app/frm_main.h"
#include "app/tray_icon.h"
#include "platform/paths.h"
#include "tests/app/main_window_fixture.h"
#include "tests/app/qt_test_main.h"
#include "tests/support/temp_dir.h"

using namespace quavrel;

class LifecycleXvfbTest : public QObject {
    Q_OBJECT
    test::MainWindowFixture w_;

private slots:
    void init()
    {
        QVERIFY(w_.open());
        // A tray host that appears after the program is found within a few seconds.
        if (!QTest::qWaitFor([&] { return w_->RzTrayIcon1->shown(); }, 15000))
            QSKIP("no tray host on this display");
    }
    void cleanup() { w_.close(); }

    void minimiseHidesToTheTrayAndDoubleClickRestores()
    {
        w_->setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!w_->isVisible());
        QVERIFY(w_->hiddenToTray());
        emit w_->RzTrayIcon1->restoreRequested();   // what a left double-click on the icon sends
        QVERIFY(w_->isVisible());
        QVERIFY(!w_->isMinimized());
        QVERIFY(!w_->hiddenToTray());
    }

    void restoreBringsBackTheMaximisedState()
    {
        w_->showMaximized();
        QTRY_VERIFY(w_->isMaximized());
        w_->setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!w_->isVisible());
        w_->N5->trigger();   // "显示主窗口(&M)" acts after the menu closes
        QTRY_VERIFY(w_->isVisible());
        QVERIFY(w_->isMaximized());
    }

    void restoringAVisibleWindowChangesNothingElse()
    {
        const QRect before = w_->geometry();
        w_->restoreProgram();
        QVERIFY(w_->isVisible());
        QCOMPARE(w_->geometry(), before);
    }

    // "退出(&X)" works while the window is hidden and writes both files without showing it.
    void exitWhileHiddenWritesBothFiles()
    {
        std::filesystem::remove(ProgramDir() + "default.m3u");
        std::filesystem::remove(ProgramDir() + "key.lst");
        w_->RememberKeyword("hidden");
        w_->setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!w_->isVisible());
        QSignalSpy closed(w_.get(), &TfrmMain::closed);
        w_->X1->trigger();
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(!w_->isVisible());
        QVERIFY(std::filesystem::exists(ProgramDir() + "default.m3u"));
        QCOMPARE(QString::fromStdString(test::readFile(ProgramDir() + "key.lst")), QStringLiteral("hidden\r\n"));
    }

    void aMinimisedStartShowsOnlyTheIcon()
    {
        QVERIFY(w_.open(test::MainWindowFixture::Show::Hidden));
        QVERIFY(QTest::qWaitFor([&] { return w_->RzTrayIcon1->shown(); }, 15000));
        w_->showMinimizedStart();
        QTest::qWait(100);
        QVERIFY(!w_->isVisible());
        w_->restoreProgram();
        QVERIFY(w_->isVisible());
        QVERIFY(!w_->isMinimized());
        QVERIFY(!w_->isMaximized());
    }
};

QUAVREL_QTEST_MAIN(LifecycleXvfbTest)
#include "lifecycle_xvfb_test.moc"
