#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/registry_hive.h"
#include "tests/support/temp_dir.h"

using namespace quavrel;
using quavrel::test::readFile;
using quavrel::test::TempDir;
using quavrel::test::writeFile;

namespace {

constexpr char kExe[] = "/opt/quavrel/bin/quavrel";

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1); }

    // Stores a hive file as another program (or an older version) left it.
    void storeHive(const std::string& body)
    {
        std::filesystem::create_directories(dir_.path() + "/quavrel");
        writeFile(dir_.path() + "/quavrel/user.reg", "REGEDIT4\r\n\r\n" + body);
    }
    std::string hive() const { return readFile(dir_.path() + "/quavrel/user.reg"); }
    std::string entryPath() const { return dir_.path() + "/autostart/quavrel.desktop"; }

    SettingsFlags load()
    {
        SettingsFlags flags;
        LoadSettings(*OpenUserRegistry(), flags, kExe);
        return flags;
    }

    TempDir dir_;
};

const char kConfigSection[] = "[HKEY_CURRENT_USER\\Software\\quavrel\\Config]\r\n";
const char kRunSection[] = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n";

}  // namespace

// ---- reading the options ----

TEST_F(SettingsTest, NothingStoredMeansOptionsOnAndAutostartOff)
{
    SettingsFlags flags = load();
    EXPECT_TRUE(flags.CyclePlay);
    EXPECT_TRUE(flags.AutoLoadDefaultList);
    EXPECT_TRUE(flags.AutoStartLeftBottom);
    EXPECT_FALSE(flags.AutoStart);
}

TEST_F(SettingsTest, OnlyADwordZeroTurnsAnOptionOff)
{
    storeHive(std::string(kConfigSection) +
              "\"CyclePlay\"=dword:00000000\r\n"        // read under another spelling
              "\"AUTOLOADDEFAULTLIST\"=\"0\"\r\n"         // text: on
              "\"AUTOSTARTLEFTBOTTOM\"=dword:00000002\r\n");
    SettingsFlags flags = load();
    EXPECT_FALSE(flags.CyclePlay);
    EXPECT_TRUE(flags.AutoLoadDefaultList);
    EXPECT_TRUE(flags.AutoStartLeftBottom);
}

TEST_F(SettingsTest, ShortDwordAndBinaryZeroCountAsOn)
{
    storeHive(std::string(kConfigSection) + "\"CYCLEPLAY\"=hex(4):00\r\n"
              "\"AUTOLOADDEFAULTLIST\"=hex:00,00,00,00\r\n");
    SettingsFlags flags = load();
    EXPECT_TRUE(flags.CyclePlay);
    EXPECT_TRUE(flags.AutoLoadDefaultList);
}

// ---- reading the autostart value ----

TEST_F(SettingsTest, AutostartNeedsTheExactPath)
{
    storeHive(std::string(kRunSection) + "\"Quavrel\"=\"/OPT/quavrel/bin/quavrel\"\r\n");
    EXPECT_FALSE(load().AutoStart);
    storeHive(std::string(kRunSection) + "\"quavrel\"=hex(2):2f,6f,70,74,2f,71,75,61,76,72,65,6c,"
              "2f,62,69,6e,2f,71,75,61,76,72,65,6c,00,78\r\n");
    EXPECT_TRUE(load().AutoStart);  // expandable string, cut at its NUL
}

TEST_F(SettingsTest, NonStringRunValueFailsAfterTheOptionsWereRead)
{
    storeHive(std::string(kConfigSection) + "\"CYCLEPLAY\"=dword:00000000\r\n\r\n" + kRunSection +
              "\"Quavrel\"=dword:00000001\r\n");
    SettingsFlags flags;
    try {
        LoadSettings(*OpenUserRegistry(), flags, kExe);
        FAIL() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.message(), "Invalid data type for 'Quavrel'");
    }
    EXPECT_FALSE(flags.CyclePlay);
}

TEST_F(SettingsTest, EmptyRunValueOfAnyTypeIsNoError)
{
    storeHive(std::string(kRunSection) + "\"Quavrel\"=hex(4):\r\n");
    EXPECT_FALSE(load().AutoStart);
}

// ---- saving ----

TEST_F(SettingsTest, FirstSaveWritesTheOptionsInOrderAndNoAutostart)
{
    SaveSettings(*OpenUserRegistry(), load(), kExe);
    EXPECT_EQ(hive(), std::string("REGEDIT4\r\n\r\n") + kConfigSection +
                          "\"AUTOSTARTLEFTBOTTOM\"=dword:00000001\r\n"
                          "\"AUTOLOADDEFAULTLIST\"=dword:00000001\r\n"
                          "\"CYCLEPLAY\"=dword:00000001\r\n");
    EXPECT_FALSE(std::filesystem::exists(entryPath()));
}

TEST_F(SettingsTest, SavedFlagsLoadBackAndAutostartComesAndGoes)
{
    SettingsFlags flags;
    flags.CyclePlay = false;
    flags.AutoStart = true;
    SaveSettings(*OpenUserRegistry(), flags, kExe);
    SaveSettings(*OpenUserRegistry(), flags, kExe);
    SettingsFlags back = load();
    EXPECT_FALSE(back.CyclePlay);
    EXPECT_TRUE(back.AutoStart);
    EXPECT_TRUE(std::filesystem::exists(entryPath()));

    flags.AutoStart = false;
    SaveSettings(*OpenUserRegistry(), flags, kExe);
    EXPECT_FALSE(std::filesystem::exists(entryPath()));
    EXPECT_FALSE(load().AutoStart);
}

// The options fail silently; the autostart write that follows reports its own failure.
TEST_F(SettingsTest, UnwritableStoreFailsOnlyTheAutostartWrite)
{
    writeFile(dir_.path() + "/quavrel", "");      // no config folder can be made
    writeFile(dir_.path() + "/autostart", "");    // nor the autostart folder
    SettingsFlags flags;
    EXPECT_NO_THROW(SaveSettings(*OpenUserRegistry(), flags, kExe));
    flags.AutoStart = true;
    try {
        SaveSettings(*OpenUserRegistry(), flags, kExe);
        FAIL() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.message(), "Failed to set data for 'Quavrel'");
    }
}

TEST_F(SettingsTest, SavingKeepsValuesOfOthers)
{
    storeHive(std::string(kConfigSection) + "\"SearchServer\"=\"example.org:80\"\r\n");
    SaveSettings(*OpenUserRegistry(), SettingsFlags{}, kExe);
    EXPECT_NE(hive().find("\"SearchServer\"=\"example.org:80\"\r\n"), std::string::npos);
}
