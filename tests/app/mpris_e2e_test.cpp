// The program's MPRIS interface seen from outside, as a desktop's media widget sees it: a
// client on a connection of its own to the same session bus calls each method, reads and
// writes the properties and watches PropertiesChanged and Seeked, while the real window
// plays songs of the bundled catalogue service.
#include <QCheckBox>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "app/frm_main.h"
#include "app/mpris_service.h"
#include "platform/paths.h"
#include "player/windows_media_player.h"
#include "tests/app/catalog_process.h"
#include "tests/app/private_bus.h"
#include "tests/app/qt_test_main.h"

using namespace quavrel;

namespace {

// Only detects a hang: the catalogue's songs last about three seconds.
constexpr int kWaitMs = 30000;
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// Metadata and PropertiesChanged carry a{sv} maps that arrive still marshalled.
QVariantMap asMap(const QVariant& value)
{
    return value.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(value.value<QDBusArgument>())
                                             : value.toMap();
}

}  // namespace

// A media widget's view of the program: calls go through the bus daemon, and every
// PropertiesChanged and Seeked the program sends is kept.
class MprisClient : public QObject {
    Q_OBJECT
public:
    explicit MprisClient(const QString& address)
        : bus_(QDBusConnection::connectToBus(address, QStringLiteral("mpris-client")))
    {
        bus_.connect(QString(), QString::fromLatin1(MprisService::kObjectPath),
                     QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
                     this, SLOT(onPropertiesChanged(QDBusMessage)));
        bus_.connect(QString(), QString::fromLatin1(MprisService::kObjectPath), kPlayer, QStringLiteral("Seeked"),
                     this, SLOT(onSeeked(qlonglong)));
    }
    ~MprisClient() override { QDBusConnection::disconnectFromBus(QStringLiteral("mpris-client")); }

    QList<QVariantMap> changes;   // the changed properties of each PropertiesChanged
    QList<qlonglong> seeks;

    // The answer of a call; the window goes on handling events while it waits, as the
    // service lives on this thread.
    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& args = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(MprisService::kBusName),
                                                              QString::fromLatin1(MprisService::kObjectPath),
                                                              interface, method);
        message.setArguments(args);
        QDBusPendingCall pending = bus_.asyncCall(message);
        QTest::qWaitFor([&] { return pending.isFinished(); }, kWaitMs);
        return pending.reply();
    }
    bool play(const QString& method) { return call(kPlayer, method).type() == QDBusMessage::ReplyMessage; }
    QVariant get(const QString& interface, const QString& property)
    {
        const QDBusMessage reply = call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                        {interface, property});
        return reply.arguments().isEmpty() ? QVariant() : reply.arguments().first().value<QDBusVariant>().variant();
    }
    QVariant player(const QString& property) { return get(kPlayer, property); }
    QVariantMap metadata() { return asMap(player(QStringLiteral("Metadata"))); }
    QString title() { return metadata().value(QStringLiteral("xesam:title")).toString(); }
    bool set(const QString& property, const QVariant& value)
    {
        return call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                    {kPlayer, property, QVariant::fromValue(QDBusVariant(value))})
                   .type() == QDBusMessage::ReplyMessage;
    }
    // True once some PropertiesChanged has carried `property` with `value`.
    bool announced(const QString& property, const QVariant& value) const
    {
        for (const QVariantMap& change : changes)
            if (change.contains(property) && change.value(property) == value)
                return true;
        return false;
    }

private slots:
    void onPropertiesChanged(const QDBusMessage& message)
    {
        if (message.arguments().value(0).toString() == kPlayer)
            changes << asMap(message.arguments().value(1));
    }
    void onSeeked(qlonglong position) { seeks << position; }

private:
    QDBusConnection bus_;
};

class MprisE2ETest : public QObject {
    Q_OBJECT
    test::CatalogProcess catalog_;
    test::PrivateBus bus_;
    std::unique_ptr<TfrmMain> w_;
    std::unique_ptr<MprisClient> client_;

    MediaPtr song(const std::string& title, int id)
    {
        MediaPtr m = NewMedia();
        m->Title = title;
        m->Singer = title + " singer";
        m->Album = title + " album";
        m->Url = (catalog_.base() + QStringLiteral("/songs/%1.mp3").arg(id)).toStdString();
        m->FileType = "mp3";
        return m;
    }
    // The program's own connection, as QDBusConnection::sessionBus() would be.
    QDBusConnection programBus() { return QDBusConnection::connectToBus(bus_.address(), QStringLiteral("program")); }
    void addSongs(int count)
    {
        for (int i = 0; i < count; ++i)
            w_->AddToPlayList(song("song" + std::to_string(i), i + 1));
    }
    // Plays play-list row `row` as a double-click does and waits until it sounds.
    void playRow(int row)
    {
        w_->lvPlaying->clearSelection();
        w_->lvPlaying->topLevelItem(row)->setSelected(true);
        w_->lvPlayingDblClick();
        QTRY_COMPARE_WITH_TIMEOUT(client_->player("PlaybackStatus").toString(), QStringLiteral("Playing"), kWaitMs);
    }

private slots:
    void initTestCase()
    {
        QString problem = bus_.start();
        if (problem.isEmpty())
            problem = catalog_.start();
        if (!problem.isEmpty())
            QSKIP(qPrintable(problem));
    }
    void init()
    {
        w_ = std::make_unique<TfrmMain>();
        w_->show();
        auto* service = new MprisService(w_.get());
        QVERIFY(service->start(programBus()));
        QTRY_COMPARE(service->busName(), QString::fromLatin1(MprisService::kBusName));
        client_ = std::make_unique<MprisClient>(bus_.address());
    }
    void cleanup()
    {
        client_.reset();
        w_.reset();
    }

    // ---- the program itself: org.mpris.MediaPlayer2 ----

    void rootPropertiesNameTheProgram()
    {
        QCOMPARE(client_->get(kRoot, "Identity").toString(), QStringLiteral("Quavrel"));
        QCOMPARE(client_->get(kRoot, "DesktopEntry").toString(), QStringLiteral("quavrel"));
        QCOMPARE(client_->get(kRoot, "CanQuit").toBool(), true);
        QCOMPARE(client_->get(kRoot, "CanRaise").toBool(), true);
        QCOMPARE(client_->get(kRoot, "HasTrackList").toBool(), false);
    }

    // A second program running beside the first still reaches the desktop, under the
    // name MPRIS gives to further instances.
    void aSecondProgramTakesAnInstanceName()
    {
        QDBusConnection secondBus = QDBusConnection::connectToBus(bus_.address(), "second-program");
        auto* second = new MprisService(w_.get());
        QVERIFY(second->start(secondBus));
        QTRY_COMPARE(second->busName(), QStringLiteral("org.mpris.MediaPlayer2.quavrel.instance%1")
                                            .arg(QCoreApplication::applicationPid()));
        delete second;
        QDBusConnection::disconnectFromBus("second-program");
    }

    void raiseBringsBackAHiddenWindow()
    {
        w_->hide();
        QVERIFY(client_->call(kRoot, "Raise").type() == QDBusMessage::ReplyMessage);
        QVERIFY(w_->isVisible());
    }

    void quitRunsTheCloseSequence()
    {
        addSongs(1);
        w_->RememberKeyword("bye");
        std::filesystem::remove(ProgramDir() + "key.lst");
        QSignalSpy closed(w_.get(), &TfrmMain::closed);
        client_->call(kRoot, "Quit");
        QTRY_COMPARE(closed.count(), 1);
        QCOMPARE(QString::fromStdString(test::readFile(ProgramDir() + "key.lst")), QStringLiteral("bye\r\n"));
        QVERIFY(QString::fromStdString(test::readFile(ProgramDir() + "default.m3u")).contains("song0"));
    }

    // ---- Play, Pause, Stop ----

    void playWithNothingToPlayDoesNothing()
    {
        QCOMPARE(client_->player("CanPlay").toBool(), false);
        QVERIFY(client_->play("Play"));
        QCOMPARE(client_->player("PlaybackStatus").toString(), QStringLiteral("Stopped"));
        QVERIFY(client_->metadata().isEmpty());
    }

    // With no row selected, Play starts row 0; the title, singer, album and address of
    // its record reach the desktop, and the length once the player knows it.
    void playStartsRowZeroWithItsMetadata()
    {
        addSongs(3);
        QVERIFY(client_->play("Play"));
        QTRY_COMPARE_WITH_TIMEOUT(client_->player("PlaybackStatus").toString(), QStringLiteral("Playing"), kWaitMs);
        QCOMPARE(w_->PlayIndex, 0);
        const QVariantMap metadata = client_->metadata();
        QCOMPARE(metadata.value("xesam:title").toString(), QStringLiteral("song0"));
        QCOMPARE(metadata.value("xesam:artist").toStringList(), QStringList{"song0 singer"});
        QCOMPARE(metadata.value("xesam:album").toString(), QStringLiteral("song0 album"));
        QCOMPARE(metadata.value("xesam:url").toString(), catalog_.base() + "/songs/1.mp3");
        QVERIFY(metadata.value("mpris:trackid").value<QDBusObjectPath>().path().startsWith("/"));
        QTRY_VERIFY_WITH_TIMEOUT(client_->metadata().value("mpris:length").toLongLong() > 1000000, kWaitMs);
        QTRY_VERIFY(client_->announced("PlaybackStatus", QStringLiteral("Playing")));
        QVERIFY(std::any_of(client_->changes.cbegin(), client_->changes.cend(), [](const QVariantMap& change) {
            return asMap(change.value("Metadata")).value("xesam:title") == QStringLiteral("song0");
        }));
    }

    void playStartsTheSelectedRow()
    {
        addSongs(3);
        w_->lvPlaying->topLevelItem(1)->setSelected(true);
        QVERIFY(client_->play("Play"));
        QTRY_COMPARE_WITH_TIMEOUT(client_->title(), QStringLiteral("song1"), kWaitMs);
        QCOMPARE(w_->PlayIndex, 1);
    }

    // Pause keeps the place, Play goes on from it; Stop stops; each state is announced.
    void pauseResumeAndStop()
    {
        addSongs(1);
        playRow(0);
        const QString track = client_->metadata().value("mpris:trackid").value<QDBusObjectPath>().path();
        QVERIFY(client_->play("Pause"));
        QTRY_COMPARE(client_->player("PlaybackStatus").toString(), QStringLiteral("Paused"));
        QVERIFY(client_->play("PlayPause"));
        QTRY_COMPARE(client_->player("PlaybackStatus").toString(), QStringLiteral("Playing"));
        QCOMPARE(client_->metadata().value("mpris:trackid").value<QDBusObjectPath>().path(), track);
        QVERIFY(client_->play("Stop"));
        QTRY_COMPARE(client_->player("PlaybackStatus").toString(), QStringLiteral("Stopped"));
        QTRY_VERIFY(client_->announced("PlaybackStatus", QStringLiteral("Paused")));
        QTRY_VERIFY(client_->announced("PlaybackStatus", QStringLiteral("Stopped")));
    }

    // ---- Next and Previous: the play list with the wrap-around of cycling play ----

    void nextAfterTheLastRowWrapsToTheFirst()
    {
        addSongs(3);
        playRow(2);
        QVERIFY(client_->play("Next"));
        QTRY_COMPARE_WITH_TIMEOUT(client_->title(), QStringLiteral("song0"), kWaitMs);
        QCOMPARE(w_->PlayIndex, 0);
        QVERIFY(w_->lvPlaying->topLevelItem(0)->isSelected());
        QVERIFY(!w_->lvPlaying->topLevelItem(2)->isSelected());
    }

    void previousBeforeTheFirstRowWrapsToTheLast()
    {
        addSongs(3);
        playRow(0);
        QVERIFY(client_->play("Previous"));
        QTRY_COMPARE_WITH_TIMEOUT(client_->title(), QStringLiteral("song2"), kWaitMs);
        QCOMPARE(w_->PlayIndex, 2);
        QVERIFY(client_->play("Previous"));
        QTRY_COMPARE_WITH_TIMEOUT(client_->title(), QStringLiteral("song1"), kWaitMs);
    }

    // A desktop's "next" while the player is paused moves on without starting to play.
    void nextWhilePausedMovesOnSilently()
    {
        addSongs(2);
        playRow(0);
        QVERIFY(client_->play("Pause"));
        QTRY_COMPARE(client_->player("PlaybackStatus").toString(), QStringLiteral("Paused"));
        QVERIFY(client_->play("Next"));
        QTRY_COMPARE_WITH_TIMEOUT(client_->title(), QStringLiteral("song1"), kWaitMs);
        QTest::qWait(500);
        QVERIFY(client_->player("PlaybackStatus").toString() != QStringLiteral("Playing"));
    }

    void canGoNextFollowsThePlayList()
    {
        QCOMPARE(client_->player("CanGoNext").toBool(), false);
        addSongs(1);
        QTRY_VERIFY(client_->announced("CanGoNext", true));
        QCOMPARE(client_->player("CanGoPrevious").toBool(), true);
        QCOMPARE(client_->player("CanPlay").toBool(), true);
    }

    // ---- Seek, SetPosition and Seeked ----

    void setPositionJumpsAndSaysSo()
    {
        addSongs(1);
        playRow(0);
        QTRY_VERIFY_WITH_TIMEOUT(client_->player("CanSeek").toBool(), kWaitMs);
        const QVariant track = client_->metadata().value("mpris:trackid");
        client_->call(kPlayer, "SetPosition", {track, qlonglong(1500000)});
        QTRY_COMPARE(client_->seeks, QList<qlonglong>{1500000});
        QVERIFY(client_->player("Position").toLongLong() >= 1500000);
        // A position meant for another song is ignored.
        client_->call(kPlayer, "SetPosition",
                      {QVariant::fromValue(QDBusObjectPath("/org/quavrel/Track/999999")), qlonglong(0)});
        QVERIFY(client_->player("Position").toLongLong() >= 1500000);
        QCOMPARE(client_->seeks.size(), 1);
    }

    // The user's own jump with the player's seek bar reaches the desktop too.
    void aJumpWithTheSeekBarIsAnnounced()
    {
        addSongs(1);
        playRow(0);
        QTRY_VERIFY_WITH_TIMEOUT(client_->player("CanSeek").toBool(), kWaitMs);
        auto* seekBar = w_->WindowsMediaPlayer->findChild<QSlider*>(QStringLiteral("seek"));
        QVERIFY(seekBar);
        seekBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QTRY_COMPARE(client_->seeks.size(), 1);
    }

    void seekMovesByTheOffsetAndPastTheEndGoesToTheNextSong()
    {
        addSongs(2);
        playRow(0);
        QTRY_VERIFY_WITH_TIMEOUT(client_->player("CanSeek").toBool(), kWaitMs);
        client_->call(kPlayer, "Seek", {qlonglong(1000000)});
        QTRY_COMPARE(client_->seeks.size(), 1);
        QVERIFY(client_->seeks.first() >= 1000000 && client_->seeks.first() < 2500000);
        client_->call(kPlayer, "Seek", {qlonglong(600000000)});
        QTRY_COMPARE_WITH_TIMEOUT(client_->title(), QStringLiteral("song1"), kWaitMs);
    }

    // ---- Volume and LoopStatus ----

    void volumeIsThePlayersVolumeOnAScaleOfOne()
    {
        QVERIFY(client_->set("Volume", 0.25));
        QCOMPARE(w_->WindowsMediaPlayer->volume(), 25);
        w_->WindowsMediaPlayer->setVolume(80);
        QTRY_VERIFY(client_->announced("Volume", 0.8));
        QCOMPARE(client_->player("Volume").toDouble(), 0.8);
    }

    // LoopStatus is the cycle-play box; setting it clicks the box.
    void loopStatusIsTheCyclePlayBox()
    {
        w_->chkCYCLEPLAY->setChecked(true);
        QCOMPARE(client_->player("LoopStatus").toString(), QStringLiteral("Playlist"));
        QSignalSpy clicks(w_->chkCYCLEPLAY, &QCheckBox::clicked);
        QVERIFY(client_->set("LoopStatus", QStringLiteral("None")));
        QVERIFY(!w_->chkCYCLEPLAY->isChecked());
        QCOMPARE(clicks.count(), 1);
        QTRY_VERIFY(client_->announced("LoopStatus", QStringLiteral("None")));
        w_->chkCYCLEPLAY->click();
        QTRY_VERIFY(client_->announced("LoopStatus", QStringLiteral("Playlist")));
        QCOMPARE(client_->player("LoopStatus").toString(), QStringLiteral("Playlist"));
    }
};

QUAVREL_QTEST_MAIN(MprisE2ETest)
#include "mpris_e2e_test.moc"
