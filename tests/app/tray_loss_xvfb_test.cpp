// The tray host going away while the window is hidden in the tray: the window comes back,
// since nothing else could bring it back. The test runs on an X display of its own with
// a tray host of its own, so that it can stop that host without touching other tests.
#include <QProcess>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <vector>

#include "app/frm_main.h"
#include "app/tray_icon.h"
#include "tests/app/qt_test_main.h"

using namespace quavrel;

class TrayLossTest : public QObject {
    Q_OBJECT
    QProcess trayHost_;
    std::unique_ptr<TfrmMain> w_;

private slots:
    void initTestCase()
    {
        if (!qEnvironmentVariableIsSet("QUAVREL_OWN_DISPLAY"))
            QSKIP("needs an X display of its own (xvfb-run)");
        trayHost_.start(QStringLiteral("trayer"), {"--edge", "bottom", "--width", "10"});
        if (!trayHost_.waitForStarted())
            QSKIP("no tray host program");
    }
    void cleanupTestCase()
    {
        trayHost_.kill();
        trayHost_.waitForFinished();
    }

    void lostTrayHostShowsTheHiddenWindow()
    {
        w_ = std::make_unique<TfrmMain>();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        QVERIFY(QTest::qWaitFor([&] { return w_->RzTrayIcon1->shown(); }, 15000));
        w_->setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(w_->hiddenToTray());
        QVERIFY(!w_->isVisible());

        trayHost_.terminate();
        QVERIFY(trayHost_.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(w_->isVisible(), 15000);
        QVERIFY(!w_->hiddenToTray());
        QVERIFY(!w_->isMinimized());
    }
};

// Starts the test again under xvfb-run, on a new display; returns only when that cannot
// be done (the test then skips).
void runOnADisplayOfItsOwn(char** argv)
{
    if (qEnvironmentVariableIsSet("QUAVREL_OWN_DISPLAY"))
        return;
    setenv("QUAVREL_OWN_DISPLAY", "1", 1);
    std::vector<char*> args{const_cast<char*>("xvfb-run"), const_cast<char*>("-a"), const_cast<char*>("-s"),
                            const_cast<char*>("-screen 0 1024x768x24 -nolisten tcp")};
    for (char** arg = argv; *arg; ++arg)
        args.push_back(*arg);
    args.push_back(nullptr);
    execvp(args[0], args.data());
    unsetenv("QUAVREL_OWN_DISPLAY");
}

QUAVREL_QTEST_MAIN_AFTER(TrayLossTest, runOnADisplayOfItsOwn)

#include "tray_loss_xvfb_test.moc"
