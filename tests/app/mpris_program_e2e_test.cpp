// The real program on a session bus, driven by the tools a desktop user has: gdbus sees
// its name, playerctl starts the play list and follows the change.
#include <QStandardPaths>
#include <csignal>

#include "platform/codepage.h"
#include "tests/app/catalog_process.h"
#include "tests/app/private_bus.h"
#include "tests/app/program_process.h"
#include "tests/app/qt_test_main.h"

using namespace quavrel;

namespace {

constexpr int kWaitMs = 30000;   // only detects a hang
const QString kTitle = QStringLiteral("桥边的歌");

}  // namespace

class MprisProgramE2ETest : public QObject {
    Q_OBJECT
    test::CatalogProcess catalog_;
    test::PrivateBus bus_;
    QProcessEnvironment onBus_ = QProcessEnvironment::systemEnvironment();

    QStringList tool(const QString& name, const QStringList& args) { return test::toolOutput(name, args, onBus_); }
    QStringList playerctl(const QStringList& args) { return tool("playerctl", QStringList{"--player=quavrel"} + args); }

private slots:
    void initTestCase()
    {
        for (const char* tool : {"gdbus", "playerctl"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(qPrintable(QStringLiteral("needs %1").arg(tool)));
        QString problem = bus_.start();
        if (problem.isEmpty())
            problem = catalog_.start();
        if (!problem.isEmpty())
            QSKIP(qPrintable(problem));
        onBus_.insert("DBUS_SESSION_BUS_ADDRESS", bus_.address());
    }

    // The play list of the last session is there; Play from the desktop starts its first
    // song, and the title reaches the desktop in UTF-8 although the list keeps GBK.
    void desktopPlaysTheProgramsPlayList()
    {
        test::ProgramProcess program;
        program.environment().insert("DBUS_SESSION_BUS_ADDRESS", bus_.address());
        test::writeFile(program.dataDir() + "default.m3u",
                        "#EXTM3U\r\n#EXTINF:0," + utf8ToGbk(kTitle.toStdString()) + "\r\n" +
                            (catalog_.base() + "/songs/1.mp3").toStdString() + "\r\n\r\n");
        QVERIFY(program.start());
        QVERIFY2(QTest::qWaitFor([this] {
            return tool("gdbus", {"call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                                  "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.ListNames"})
                .join(' ')
                .contains("'org.mpris.MediaPlayer2.quavrel'");
        }, kWaitMs), "the program's name did not appear on the bus");

        QProcess follow;   // sees only what PropertiesChanged tells
        follow.setProcessEnvironment(onBus_);
        follow.start(QStringLiteral("playerctl"), {"--player=quavrel", "--follow", "status"});
        QVERIFY(QTest::qWaitFor([&] { return follow.readAll().contains("Stopped"); }, kWaitMs));
        playerctl({"play"});
        QByteArray followed;
        QVERIFY2(QTest::qWaitFor([&] { return (followed += follow.readAll()).contains("Playing"); }, kWaitMs),
                 followed.constData());
        follow.kill();
        follow.waitForFinished();

        QCOMPARE(playerctl({"status"}).value(0), QStringLiteral("Playing"));
        QCOMPARE(playerctl({"metadata", "xesam:title"}).value(0), kTitle);
        QVERIFY(program.endWith(SIGTERM));
        QCOMPARE(program.process().exitCode(), 0);
    }
};

QUAVREL_QTEST_MAIN(MprisProgramE2ETest)
#include "mpris_program_e2e_test.moc"
