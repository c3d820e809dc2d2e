// The real program started on an X display: the splash comes first, is gone before the
// main window shows, and the main window carries the versioned caption; the portal page
// is asked for during the start, with nobody touching the window. The windows are
// watched from outside with xdotool, as a user's desktop would see them.
#include <QElapsedTimer>
#include <QStandardPaths>
#include <filesystem>

#include "tests/app/program_process.h"
#include "tests/app/qt_test_main.h"
#include "tests/support/scripted_server.h"

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

    // The web view starts after the main window's first paint, in a process without
    // OpenGL; it must still send the request, and draw the page without bringing the
    // program down.
    void portalPageIsRequestedDuringStartUp()
    {
        quavrel::test::ScriptedServer portal;
        const std::string page = quavrel::test::HttpResponseText(
            "<html><head><title>portal</title></head><body>portal</body></html>", "HTTP/1.1 200 OK",
            "Content-Type: text/html\r\nConnection: close\r\n");
        for (int i = 0; i < 3; ++i)   // the engine may open a spare connection first
            portal.add(quavrel::test::Script().answer(page));
        test::ProgramProcess started;
        const std::string config = started.configDir();
        std::filesystem::create_directories(config);
        quavrel::test::writeFile(config + "user.reg",
                        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\quavrel\\Config]\r\n"
                        "\"PortalServer\"=\"127.0.0.1:" + std::to_string(portal.port()) + "\"\r\n");
        QVERIFY(started.start());
        QProcess& program = started.process();
        auto requested = [&portal] {
            for (const std::string& head : portal.requests())
                if (head.rfind("GET /index_quavrel.asp HTTP/1.1\r\n", 0) == 0)
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(requested() || program.state() != QProcess::Running, 60000);
        QVERIFY(requested());
        QTest::qWait(1000);
        QCOMPARE(program.state(), QProcess::Running);
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
