// The real program ended by a signal, as a log-out, `systemctl --user stop`, Ctrl+C or a
// closed terminal ends it: the close sequence runs and the program exits with status 0.
#include <QStandardPaths>
#include <csignal>
#include <filesystem>

#include "tests/app/program_process.h"
#include "tests/app/qt_test_main.h"

using namespace quavrel;

namespace {

const std::string kPlayList = "#EXTM3U\r\n#EXTINF:0,kept\r\nhttp://127.0.0.1:1/kept.mp3\r\n\r\n";
const std::string kKeywords = "searched\r\nearlier\r\n";

}  // namespace

class SessionEndXvfbTest : public QObject {
    Q_OBJECT

    // Starts the program with both files, waits for its window, then takes the files away:
    // whatever is there after the signal the close sequence wrote.
    void startWithFilesThenRemoveThem(test::ProgramProcess& program)
    {
        test::writeFile(program.dataDir() + "default.m3u", kPlayList);
        test::writeFile(program.dataDir() + "key.lst", kKeywords);
        QVERIFY(program.start());
        QVERIFY2(!program.waitForMainWindow().isEmpty(), "the main window did not appear");
        std::filesystem::remove(program.dataDir() + "default.m3u");
        std::filesystem::remove(program.dataDir() + "key.lst");
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display");
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("needs xdotool");
    }

    void signalRunsTheCloseSequence_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void signalRunsTheCloseSequence()
    {
        QFETCH(int, signal);
        test::ProgramProcess program;
        startWithFilesThenRemoveThem(program);
        QVERIFY2(program.endWith(signal), "the program did not end");
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 0);
        QCOMPARE(test::readFile(program.dataDir() + "default.m3u"), kPlayList);
        QCOMPARE(test::readFile(program.dataDir() + "key.lst"), kKeywords);
    }

    // Without a session bus the program offers no media controls and says nothing about
    // it: it starts and ends as always.
    void withoutASessionBusTheProgramWorksSilently()
    {
        test::ProgramProcess program;
        program.environment().insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        program.process().setProcessChannelMode(QProcess::SeparateChannels);
        startWithFilesThenRemoveThem(program);
        QVERIFY(program.endWith(SIGTERM));
        QCOMPARE(program.process().exitCode(), 0);
        QCOMPARE(test::readFile(program.dataDir() + "key.lst"), kKeywords);
        const QString errors = QString::fromLocal8Bit(program.process().readAllStandardError());
        QVERIFY2(!errors.contains("D-Bus", Qt::CaseInsensitive) && !errors.contains("DBus", Qt::CaseInsensitive) &&
                     !errors.contains("MPRIS", Qt::CaseInsensitive),
                 qPrintable(errors));
    }
};

QUAVREL_QTEST_MAIN(SessionEndXvfbTest)
#include "session_end_xvfb_test.moc"
