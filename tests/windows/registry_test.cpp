// The real registry of the current user (Wine's, in the test run's own prefix): values go
// in and come back byte for byte, other Windows programs see the characters they spell,
// and the settings and service addresses live where Windows programs look for them.
#include "platform/registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "settings/service_config.h"
#include "settings/settings.h"
#include "tests/windows/windows_test_support.h"

namespace quavrel {
namespace {

constexpr char kTestKey[] = "Software\\quavrel\\Test";

// Every test starts and ends without the keys it uses.
class RegistryWin : public ::testing::Test {
protected:
    void SetUp() override { clean(); }
    void TearDown() override { clean(); }

    static void clean()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\quavrel");
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Quavrel");
    }

    // What another Windows program reads: the stored UTF-16 text.
    static std::wstring storedText(const wchar_t* key, const wchar_t* name)
    {
        wchar_t text[256] = {};
        DWORD size = sizeof text;
        if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
            return L"<none>";
        return text;
    }

    std::unique_ptr<UserRegistry> registry_ = OpenUserRegistry();
};

// Values

TEST_F(RegistryWin, GbkTextRoundTripsAndOthersReadItsCharacters)
{
    auto key = registry_->openKey(kTestKey);
    key->writeString(test::kSongGbk, std::string("a") + test::kSongGbk);
    EXPECT_EQ(key->readValue(test::kSongGbk), (RegistryValue{kRegSz, std::string("a") + test::kSongGbk + '\0'}));
    EXPECT_EQ(storedText(L"Software\\quavrel\\Test", L"\u6B4C\u66F2"), L"a\u6B4C\u66F2");
}

TEST_F(RegistryWin, DwordsTypesAndDeletion)
{
    auto key = registry_->openKey(kTestKey);
    key->writeDword("CYCLEPLAY", 0x01020304);
    EXPECT_EQ(key->readValue("CYCLEPLAY"), (RegistryValue{kRegDword, std::string("\x04\x03\x02\x01", 4)}));
    key->writeString("cycleplay", "text");   // names ignore letter case; the type is replaced
    EXPECT_EQ(RegistryText(*key->readValue("CyclePlay")), "text");
    EXPECT_TRUE(key->deleteValue("CYCLEPLAY"));
    EXPECT_FALSE(key->deleteValue("CYCLEPLAY"));
    EXPECT_FALSE(key->readValue("CYCLEPLAY"));
}

// A value written by another program as UTF-16 comes back as GBK, and one the code page
// cannot hold as "?" per character, never a broken read.
TEST_F(RegistryWin, OtherProgramsValuesComeBackAsGbk)
{
    registry_->openKey(kTestKey);
    const wchar_t text[] = L"\u6B4C\u66F2\U0001F600";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\quavrel\\Test", L"Other", REG_SZ, text, sizeof text),
              ERROR_SUCCESS);
    EXPECT_EQ(RegistryText(*registry_->openKey(kTestKey)->readValue("Other")), std::string(test::kSongGbk) + "?");
}

// Settings in their places

TEST_F(RegistryWin, AutostartIsTheRunValueQuavrel)
{
    SettingsFlags flags;
    flags.AutoStart = true;
    flags.CyclePlay = false;
    const std::string program = std::string("C:\\") + test::kSongGbk + "\\quavrel.exe";
    SaveSettings(*registry_, flags, program);
    EXPECT_EQ(storedText(L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Quavrel"),
              L"C:\\\u6B4C\u66F2\\quavrel.exe");
    SettingsFlags loaded;
    LoadSettings(*registry_, loaded, program);
    EXPECT_TRUE(loaded.AutoStart);
    EXPECT_FALSE(loaded.CyclePlay);

    flags.AutoStart = false;
    SaveSettings(*registry_, flags, program);
    EXPECT_EQ(storedText(L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Quavrel"), L"<none>");
}

TEST_F(RegistryWin, ServiceAddressesComeFromTheConfigKey)
{
    registry_->openKey(kConfigKey)->writeString("SearchServer", "mp3.example.org:8080");
    EXPECT_EQ(LoadServiceAddresses(*registry_).searchServer, "mp3.example.org:8080");
    EXPECT_EQ(LoadServiceAddresses(*registry_).makerServer, "127.0.0.1:8531");
}

}  // namespace
}  // namespace quavrel
