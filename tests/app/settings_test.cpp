// The settings page on the real main window, with the registry in a temporary
// configuration folder: the flags shown at start, the save button, the autostart entry,
// and a store that is damaged or cannot be written.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

#include "app/frm_main.h"
#include "platform/paths.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/temp_dir.h"

using namespace quavrel;
using test::readFile;
using test::TempDir;
using test::writeFile;

namespace {

const std::string kConfigSection = "[HKEY_CURRENT_USER\\Software\\quavrel\\Config]\r\n";
const std::string kRunSection =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n";

// Answers the next modal message box with OK and keeps its text.
class ModalCatcher : public QObject {
public:
    ModalCatcher()
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.append(box->text());
                box->accept();
            }
        });
        timer_.start(20);
    }
    QStringList texts;

private:
    QTimer timer_;
};

}  // namespace

class SettingsPageTest : public QObject {
    Q_OBJECT
private:
    test::MainWindowFixture w_;

    std::string configDir() const { return w_.home().file("config"); }
    std::string hivePath() const { return configDir() + "/quavrel/user.reg"; }
    std::string entryPath() const { return configDir() + "/autostart/quavrel.desktop"; }
    void storeHive(const std::string& body)
    {
        std::filesystem::create_directories(configDir() + "/quavrel");
        writeFile(hivePath(), "REGEDIT4\r\n\r\n" + body);
    }
    QStringList save()
    {
        ModalCatcher catcher;
        w_->RzBitBtn1->click();
        return catcher.texts;
    }

private slots:
    void init()
    {
        QVERIFY(w_.open(test::MainWindowFixture::Show::Hidden));
    }
    void cleanup()
    {
        w_.close();
    }

    // ---- showing the stored flags ----
    void firstStartShowsTheDefaults()
    {
        w_->loadSettingsAtStart();
        QVERIFY(w_->chkCYCLEPLAY->isChecked());
        QVERIFY(w_->chkAUTOLOADDEFAULTLIST->isChecked());
        QVERIFY(!w_->chkAUTOSTART->isChecked());
        QVERIFY(w_->chkAUTOSTARTLEFTBOTTOM->isChecked());
        QVERIFY(!w_->chkAUTOSTARTLEFTBOTTOM->isEnabled());
        QVERIFY(w_->settingsFlags.CyclePlay);
        QVERIFY(!std::filesystem::exists(hivePath()));  // reading writes nothing
    }

    void onlyADwordZeroTurnsAnOptionOff()
    {
        storeHive(kConfigSection + "\"AUTOLOADDEFAULTLIST\"=\"0\"\r\n"
                  "\"AUTOSTARTLEFTBOTTOM\"=dword:00000002\r\n\"CYCLEPLAY\"=dword:00000000\r\n");
        w_->loadSettingsAtStart();
        QVERIFY(w_->chkAUTOLOADDEFAULTLIST->isChecked());
        QVERIFY(w_->chkAUTOSTARTLEFTBOTTOM->isChecked());
        QVERIFY(!w_->chkCYCLEPLAY->isChecked());
        QVERIFY(!w_->settingsFlags.CyclePlay);
    }

    // Another copy of the program, or the path in other letter case, is not this program.
    void runValueOfAnotherPathLeavesAutostartOffAndSaveDeletesIt()
    {
        QString upper = QString::fromStdString(ExecutablePath()).toUpper();
        storeHive(kRunSection + "\"QUAVREL\"=\"" + upper.toStdString() + "\"\r\n");
        w_->loadSettingsAtStart();
        QVERIFY(!w_->chkAUTOSTART->isChecked());
        QVERIFY(!w_->chkAUTOSTARTLEFTBOTTOM->isEnabled());
        save();
        QVERIFY(readFile(hivePath()).find("QUAVREL") == std::string::npos);
    }

    void ownAutostartEntryChecksTheBoxAndEnablesTheHiddenOne()
    {
        std::filesystem::create_directories(configDir() + "/autostart");
        writeFile(entryPath(), "[Desktop Entry]\nType=Application\nName=Quavrel\nExec=" +
                                   ExecutablePath() + "\n");
        w_->loadSettingsAtStart();
        QVERIFY(w_->chkAUTOSTART->isChecked());
        QVERIFY(w_->chkAUTOSTARTLEFTBOTTOM->isEnabled());
        w_->chkAUTOSTART->click();
        QVERIFY(!w_->chkAUTOSTARTLEFTBOTTOM->isEnabled());
    }

    // The error ends the start-up work: the boxes keep their designed state and the
    // keyword history is not loaded, but the option read before the failure holds.
    void nonStringRunValueStopsTheStartUpWork()
    {
        storeHive(kConfigSection + "\"CYCLEPLAY\"=dword:00000000\r\n\r\n" + kRunSection +
                  "\"Quavrel\"=dword:00000001\r\n");
        writeFile(ProgramDir() + "key.lst", "abc\r\n");
        ModalCatcher catcher;
        w_->FormCreate();
        // The quote sorts below a full stop, so the error box adds none.
        QCOMPARE(catcher.texts, QStringList{QStringLiteral("Invalid data type for 'Quavrel'")});
        QVERIFY(!w_->chkCYCLEPLAY->isChecked());
        QVERIFY(!w_->chkAUTOLOADDEFAULTLIST->isChecked());
        QVERIFY(!w_->chkAUTOSTARTLEFTBOTTOM->isChecked());
        QCOMPARE(w_->cbxKeyword->count(), 0);
        QVERIFY(!w_->settingsFlags.CyclePlay);
    }

    // ---- saving ----
    void saveTwiceConfirmsEachTimeAndAddsTheAutostartEntry()
    {
        w_->loadSettingsAtStart();
        w_->chkAUTOSTART->click();
        QVERIFY(w_->chkAUTOSTARTLEFTBOTTOM->isEnabled());
        QCOMPARE(save(), QStringList{QStringLiteral("设置保存完成！")});
        const std::string first = readFile(hivePath());
        QCOMPARE(save(), QStringList{QStringLiteral("设置保存完成！")});
        QCOMPARE(readFile(hivePath()), first);
        QVERIFY(first.find("\"AUTOSTARTLEFTBOTTOM\"=dword:00000001\r\n"
                           "\"AUTOLOADDEFAULTLIST\"=dword:00000001\r\n"
                           "\"CYCLEPLAY\"=dword:00000001\r\n") != std::string::npos);

        const std::string entry = readFile(entryPath());
        QVERIFY(entry.find("Exec=" + ExecutablePath() + "\n") != std::string::npos);
        if (access("/usr/bin/desktop-file-validate", X_OK) == 0) {
            const std::string command = "desktop-file-validate '" + entryPath() + "'";
            QCOMPARE(std::system(command.c_str()), 0);
        }

        // The next start sees it, and turning it off removes the entry.
        auto again = std::make_unique<TfrmMain>();
        again->loadSettingsAtStart();
        QVERIFY(again->chkAUTOSTART->isChecked());
        w_->chkAUTOSTART->click();
        save();
        QVERIFY(!std::filesystem::exists(entryPath()));
    }

    void cyclePlayChangesOnlyWhenSaved()
    {
        w_->loadSettingsAtStart();
        w_->chkCYCLEPLAY->click();
        QVERIFY(w_->settingsFlags.CyclePlay);
        save();
        QVERIFY(!w_->settingsFlags.CyclePlay);
    }

    // As root no folder is read-only, so a plain file stands where the folders belong.
    void unwritableConfigFolderOnSave()
    {
        w_->loadSettingsAtStart();
        std::filesystem::create_directories(configDir());
        writeFile(configDir() + "/quavrel", "");
        writeFile(configDir() + "/autostart", "");
        if (geteuid() != 0)
            std::filesystem::permissions(configDir(), std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::owner_exec);
        w_->chkCYCLEPLAY->click();
        // The options fail silently.
        QCOMPARE(save(), QStringList{QStringLiteral("设置保存完成！")});
        QVERIFY(!w_->settingsFlags.CyclePlay);
        // The autostart entry fails with a message and no confirmation.
        w_->chkAUTOSTART->click();
        QCOMPARE(save(), QStringList{QStringLiteral("Failed to set data for 'Quavrel'")});
        QVERIFY(w_->settingsFlags.AutoStart);
    }

    // ---- a damaged or half-written store ----
    void damagedHiveGivesDefaultsAndIsReportedOnce()
    {
        std::filesystem::create_directories(configDir() + "/quavrel");
        writeFile(hivePath(), "\x01\x02 not a registry file");
        w_->loadSettingsAtStart();
        QVERIFY(w_->chkCYCLEPLAY->isChecked());
        QVERIFY(w_->InfoPanel->text().contains(QStringLiteral("user.reg.bad")));
        QVERIFY(std::filesystem::exists(hivePath() + ".bad"));
        save();
        QVERIFY(readFile(hivePath()).rfind("REGEDIT4\r\n", 0) == 0);

        auto again = std::make_unique<TfrmMain>();
        again->loadSettingsAtStart();
        QCOMPARE(again->InfoPanel->text(), QString());
    }

    // A write cut short by the file size limit leaves the whole old hive.
    void writeThatFailsMidwayKeepsTheOldHive()
    {
        storeHive(kConfigSection + "\"CYCLEPLAY\"=dword:00000001\r\n\"Padding\"=\"" +
                  std::string(2000, 'p') + "\"\r\n");
        const std::string before = readFile(hivePath());
        w_->loadSettingsAtStart();
        w_->chkCYCLEPLAY->click();

        struct sigaction ignore {}, old {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &old);
        rlimit oldLimit{};
        getrlimit(RLIMIT_FSIZE, &oldLimit);
        rlimit small = oldLimit;
        small.rlim_cur = 1000;
        setrlimit(RLIMIT_FSIZE, &small);
        const QStringList texts = save();
        setrlimit(RLIMIT_FSIZE, &oldLimit);
        sigaction(SIGXFSZ, &old, nullptr);

        QCOMPARE(texts, QStringList{QStringLiteral("设置保存完成！")});
        QCOMPARE(readFile(hivePath()), before);
        auto again = std::make_unique<TfrmMain>();
        again->loadSettingsAtStart();
        QVERIFY(again->chkCYCLEPLAY->isChecked());
    }
};

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    SettingsPageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "settings_test.moc"
