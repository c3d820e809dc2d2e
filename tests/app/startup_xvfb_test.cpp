// The real program started on an X display: the splash comes first, is gone before the
// main window shows, and the main window carries the versioned caption. The windows are
// watched from outside with xdotool, as a user's desktop would see them.
#include <QElapsedTimer>
#include <QStandardPaths>

#include "tests/app/program_process.h"
#include "tests/app/qt_test_main.h"

using namespace quavrel;

class StartupTest : public QObject {
    Q_OBJECT
private:
    static QStringList visibleWindows(qint64 pid)
    {
        return test::xdotool({"search", "--onlyvisible", "--pid", QString::number(pid)});
    }

    static QString windowName(const QString& id) { return test::xdotool({"getwindowname", id}).value(0); }

    static QSize windowSize(const QString& id)
    {
        QSize size;
        for (const QString& line : test::xdotool({"getwindowgeometry", "--shell", id})) {
            if (line.startsWith("WIDTH="))
                size.setWidth(line.mid(6).toInt());
            if (line.startsWith("HEIGHT="))
                size.setHeight(line.mid(7).toInt());
        }
        return size;
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display");
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("needs xdotool");
    }

    void splashComesFirstAndIsGoneBeforeMainWindow()
    {
        test::ProgramProcess started;
        QVERIFY(started.start());
        QProcess& program = started.process();
        bool splashSeen = false;
        bool bothSeen = false;
        QString main;
        QElapsedTimer clock;
        clock.start();
        // Generous bound: only here to stop a hung start-up.
        while (main.isEmpty() && clock.elapsed() < 60000 && program.state() == QProcess::Running) {
            const QStringList windows = visibleWindows(program.processId());
            QString mainNow;
            bool splashNow = false;
            for (const QString& id : windows) {
                if (windowName(id) == QStringLiteral("Quavrel V3.0"))
                    mainNow = id;
                else if (windowSize(id) == QSize(466, 200))
                    splashNow = true;
            }
            splashSeen = splashSeen || splashNow;
            bothSeen = bothSeen || (splashNow && !mainNow.isEmpty());
            main = mainNow;
        }
        QVERIFY2(!main.isEmpty(), "the main window did not appear");
        QVERIFY(splashSeen);
        QVERIFY(!bothSeen);
        // The splash never comes back.
        QTest::qWait(500);
        for (const QString& id : visibleWindows(program.processId()))
            QVERIFY(windowSize(id) != QSize(466, 200) || windowName(id) == QStringLiteral("Quavrel V3.0"));
        program.terminate();
        program.waitForFinished(10000);
    }

    void maximisedStart()
    {
        test::ProgramProcess started;
        started.environment().insert("QUAVREL_SHOW_COMMAND", "maximized");
        QVERIFY(started.start());
        QProcess& program = started.process();
        QString main;
        QElapsedTimer clock;
        clock.start();
        while (main.isEmpty() && clock.elapsed() < 60000 && program.state() == QProcess::Running)
            for (const QString& id : visibleWindows(program.processId()))
                if (windowName(id) == QStringLiteral("Quavrel V3.0"))
                    main = id;
        // There is no window manager to act on it; the request itself is on the window.
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {"-id", main, "_NET_WM_STATE"});
        xprop.waitForFinished(5000);
        const QString state = QString::fromUtf8(xprop.readAllStandardOutput());
        program.terminate();
        program.waitForFinished(10000);
        QVERIFY(!main.isEmpty());
        QVERIFY2(state.contains("_NET_WM_STATE_MAXIMIZED_HORZ"), qPrintable(state));
    }
};

QUAVREL_QTEST_MAIN(StartupTest)
#include "startup_xvfb_test.moc"
