#include "platform/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/desktop_entry.h"
#include "platform/gbk_case.h"
#include "platform/registry_hive.h"
#include "tests/support/temp_dir.h"

using namespace quavrel;
using quavrel::test::readFile;
using quavrel::test::TempDir;
using quavrel::test::writeFile;

namespace {

constexpr char kConfig[] = "Software\\quavrel\\Config";
constexpr char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

RegistryValue dword(uint32_t n)
{
    std::string data(4, '\0');
    for (int b = 0; b < 4; ++b)
        data[b] = static_cast<char>((n >> (8 * b)) & 0xFF);
    return RegistryValue{kRegDword, data};
}
RegistryValue sz(const std::string& text) { return RegistryValue{kRegSz, text + '\0'}; }

// Points the registry at a fresh configuration folder for one test.
class RegistryFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        oldConfig_ = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
        ::setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
        TakeRegistryNotice();
    }
    void TearDown() override { ::setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1); }

    std::string hivePath() const { return dir_.path() + "/quavrel/user.reg"; }
    std::string entryPath() const { return dir_.path() + "/autostart/quavrel.desktop"; }

    TempDir dir_;
    std::string oldConfig_;
};

}  // namespace

// ---- letter case of GBK names ----

TEST(GbkCase, FoldsLatinFullWidthGreekAndCyrillic)
{
    EXPECT_TRUE(SameTextGbk("CyclePlay", "CYCLEPLAY"));
    EXPECT_TRUE(SameTextGbk("\xA3\xC1", "\xA3\xE1"));  // full-width A, a
    EXPECT_TRUE(SameTextGbk("\xA6\xA1", "\xA6\xC1"));  // Greek Alpha, alpha
    EXPECT_TRUE(SameTextGbk("\xA7\xA1", "\xA7\xD1"));  // Cyrillic A, a
    EXPECT_FALSE(SameTextGbk("abc", "abd"));
}

// The trail byte of a double-byte character may have the value of an ASCII letter;
// two different Chinese characters must not become equal by folding it.
TEST(GbkCase, TrailByteIsNotALetter)
{
    EXPECT_FALSE(SameTextGbk("\x81\x41", "\x81\x61"));
    EXPECT_FALSE(StartsTextGbk("\x81\x41x", "\x81\x61"));
    EXPECT_TRUE(StartsTextGbk("\xD6\xD0" "Abc", "\xD6\xD0" "a"));
}

TEST(GbkCase, PrefixNeverSplitsACharacter)
{
    EXPECT_FALSE(StartsTextGbk("\xD6\xD0", "\xD6"));
    EXPECT_TRUE(StartsTextGbk("\xD6\xD0", "\xD6\xD0"));
}

// ---- hive parsing ----

TEST(HiveParse, ReadsEveryValueForm)
{
    Hive hive = ParseHive(
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\quavrel\\Config]\r\n"
        "\"CYCLEPLAY\"=dword:00000001\r\n"
        "\"Name\"=\"a \\\"q\\\" c:\\\\dir\"\r\n"
        "\"Exp\"=hex(2):25,00\r\n"
        "\"Bin\"=hex:01,ff\r\n"
        "\"Multi\"=hex(7):61,00,00\r\n"
        "@=\"default\"\r\n");
    ASSERT_EQ(hive.keys.size(), 1u);
    const auto& v = hive.keys[0].values;
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].value, dword(1));
    EXPECT_EQ(v[1].value, sz("a \"q\" c:\\dir"));
    EXPECT_EQ(v[2].value, (RegistryValue{kRegExpandSz, std::string("%\0", 2)}));
    EXPECT_EQ(v[3].value, (RegistryValue{kRegBinary, "\x01\xff"}));
    EXPECT_EQ(v[4].value.type, 7u);
    EXPECT_EQ(v[5].name, "");
}

TEST(HiveParse, AcceptsLfLinesCommentsAndContinuations)
{
    Hive hive = ParseHive("REGEDIT4\n; note\n[K]\n\"B\"=hex:01,\\\n  02,03\n");
    ASSERT_EQ(hive.keys.size(), 1u);
    EXPECT_EQ(hive.keys[0].values[0].value.data, "\x01\x02\x03");
}

TEST(HiveParse, MergesSectionsAndKeepsTheLastOfARepeatedValue)
{
    Hive hive = ParseHive("REGEDIT4\r\n[K]\r\n\"a\"=dword:1\r\n[k]\r\n\"A\"=dword:2\r\n");
    ASSERT_EQ(hive.keys.size(), 1u);
    ASSERT_EQ(hive.keys[0].values.size(), 1u);
    EXPECT_EQ(hive.keys[0].values[0].name, "a");
    EXPECT_EQ(hive.keys[0].values[0].value, dword(2));
}

TEST(HiveParse, EmptyFileIsAnEmptyHive) { EXPECT_TRUE(ParseHive("").keys.empty()); }

TEST(HiveParse, RejectsDamagedText)
{
    const char* bad[] = {
        "garbage",
        "REGEDIT4\r\n\"a\"=dword:1\r\n",         // value before any key
        "REGEDIT4\r\n[K]\r\n\"a\"=dword:123456789\r\n",
        "REGEDIT4\r\n[K]\r\n\"a\"=\"open\r\n",
        "REGEDIT4\r\n[K]\r\n\"a\"=hex:0g\r\n",
        "REGEDIT4\r\n[K]\r\n\"a\"=wrong\r\n",
        "REGEDIT4\r\n[K\r\n",
        "REGEDIT4\r\n[-K]\r\n",
        "REGEDIT4\r\n[K]\r\n\"a\"=hex:01,\\\r\n",
    };
    for (const char* text : bad)
        EXPECT_THROW(ParseHive(text), EHiveFormatError) << text;
}

// ---- hive writing ----

TEST(HiveWrite, WritesTheExportFormatWithCrLf)
{
    Hive hive;
    HiveKey& key = hive.addKey("HKEY_CURRENT_USER\\Software\\quavrel\\Config");
    Hive::setValue(key, "CYCLEPLAY", dword(1));
    Hive::setValue(key, "Name", sz("a\\\"b"));
    EXPECT_EQ(WriteHive(hive),
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\quavrel\\Config]\r\n"
              "\"CYCLEPLAY\"=dword:00000001\r\n\"Name\"=\"a\\\\\\\"b\"\r\n");
}

// Strings that the quoted form cannot carry, odd DWORDs and unknown types come back
// byte for byte.
TEST(HiveWrite, RoundTripsValuesTheQuotedFormCannotHold)
{
    Hive hive;
    HiveKey& key = hive.addKey("K");
    Hive::setValue(key, "nul", RegistryValue{kRegSz, std::string("a\0b\0", 4)});
    Hive::setValue(key, "crlf", sz("a\r\nb"));
    Hive::setValue(key, "noterm", RegistryValue{kRegSz, "abc"});
    Hive::setValue(key, "short", RegistryValue{kRegDword, "\x01"});
    Hive::setValue(key, "qword", RegistryValue{11, std::string(8, '\x7f')});
    Hive::setValue(key, "gbk\x95\x5C", sz("\x95\x5C"));  // trail byte equal to a backslash
    Hive::setValue(key, "", RegistryValue{kRegBinary, ""});
    EXPECT_EQ(ParseHive(WriteHive(hive)), hive);
}

// ---- the file-backed registry ----

TEST_F(RegistryFileTest, WritesReadsAndDeletesValuesIgnoringLetterCase)
{
    auto registry = OpenUserRegistry();
    auto key = registry->openKey(kConfig);
    EXPECT_FALSE(key->readValue("CYCLEPLAY"));
    key->writeDword("CYCLEPLAY", 0);
    key->writeString("Name", "\xD6\xD0");
    EXPECT_EQ(registry->openKey("software\\QUAVREL\\config")->readValue("CyclePlay"), dword(0));
    EXPECT_EQ(key->readValue("name"), sz("\xD6\xD0"));
    EXPECT_TRUE(key->deleteValue("NAME"));
    EXPECT_FALSE(key->deleteValue("NAME"));
    EXPECT_FALSE(key->readValue("Name"));

    const std::string bytes = readFile(hivePath());
    EXPECT_EQ(bytes.rfind("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\quavrel\\Config]\r\n", 0), 0u);
    EXPECT_NE(bytes.find("\"CYCLEPLAY\"=dword:00000000\r\n"), std::string::npos);
}

TEST_F(RegistryFileTest, OpeningAKeyWritesNothing)
{
    OpenUserRegistry()->openKey(kConfig)->readValue("x");
    EXPECT_FALSE(std::filesystem::exists(hivePath()));
}

TEST_F(RegistryFileTest, DamagedHiveIsSetAsideAndReportedOnce)
{
    std::filesystem::create_directories(dir_.path() + "/quavrel");
    writeFile(hivePath(), "not a hive");
    auto registry = OpenUserRegistry();
    EXPECT_FALSE(registry->openKey(kConfig)->readValue("CYCLEPLAY"));
    EXPECT_EQ(readFile(hivePath() + ".bad"), "not a hive");
    EXPECT_NE(TakeRegistryNotice().find("user.reg.bad"), std::string::npos);
    EXPECT_EQ(TakeRegistryNotice(), "");
    registry->openKey(kConfig)->writeDword("CYCLEPLAY", 1);
    EXPECT_EQ(registry->openKey(kConfig)->readValue("CYCLEPLAY"), dword(1));
}

// A write cut short (here by the file size limit) must leave the complete old hive.
TEST_F(RegistryFileTest, WriteThatFailsMidwayKeepsTheOldHive)
{
    auto key = OpenUserRegistry()->openKey(kConfig);
    key->writeDword("CYCLEPLAY", 0);
    const std::string before = readFile(hivePath());

    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &old);
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = before.size() + 16;
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(key->writeString("Big", std::string(4096, 'x')), ERegistryException);
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    ::sigaction(SIGXFSZ, &old, nullptr);

    EXPECT_EQ(readFile(hivePath()), before);
    EXPECT_FALSE(key->readValue("Big"));
}

TEST_F(RegistryFileTest, UnwritableFolderFailsTheWrite)
{
    // A plain file where the folder should be stops even root.
    writeFile(dir_.path() + "/quavrel", "");
    auto key = OpenUserRegistry()->openKey(kConfig);
    try {
        key->writeDword("CYCLEPLAY", 1);
        FAIL() << "write succeeded";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.message(), "Failed to set data for 'CYCLEPLAY'");
    }
}

// ---- the autostart entry ----

TEST_F(RegistryFileTest, RunValueIsTheAutostartEntry)
{
    auto run = OpenUserRegistry()->openKey(kRun);
    run->writeString("Quavrel", "/opt/my apps/quavrel");
    EXPECT_EQ(run->readValue("QUAVREL"), sz("/opt/my apps/quavrel"));
    const std::string entry = readFile(entryPath());
    EXPECT_NE(entry.find("Exec=\"/opt/my apps/quavrel\"\n"), std::string::npos);
    EXPECT_NE(entry.find("X-GNOME-Autostart-enabled=true\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(hivePath()));

    if (::access("/usr/bin/desktop-file-validate", X_OK) == 0) {
        const std::string command = "desktop-file-validate '" + entryPath() + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << entry;
    }
    EXPECT_TRUE(run->deleteValue("Quavrel"));
    EXPECT_FALSE(std::filesystem::exists(entryPath()));
    EXPECT_FALSE(run->readValue("Quavrel"));
}

TEST_F(RegistryFileTest, OtherRunValuesAndWrongTypesLiveInTheHive)
{
    auto run = OpenUserRegistry()->openKey(kRun);
    run->writeString("Other", "/bin/true");
    run->writeDword("Quavrel", 1);
    EXPECT_FALSE(std::filesystem::exists(entryPath()));
    EXPECT_EQ(run->readValue("Quavrel"), dword(1));
    EXPECT_EQ(run->readValue("Other"), sz("/bin/true"));
    // Making it a string again leaves one value, the entry.
    run->writeString("Quavrel", "/usr/bin/quavrel");
    EXPECT_EQ(run->readValue("Quavrel"), sz("/usr/bin/quavrel"));
    EXPECT_EQ(readFile(hivePath()).find("Quavrel"), std::string::npos);
}

TEST(DesktopEntry, QuotesOnlyWhatNeedsIt)
{
    EXPECT_EQ(QuoteExecArgument("/usr/bin/quavrel"), "/usr/bin/quavrel");
    EXPECT_EQ(QuoteExecArgument("/a b/q"), "\"/a b/q\"");
    EXPECT_EQ(QuoteExecArgument("/a$b/q"), "\"/a\\\\$b/q\"");
    EXPECT_EQ(QuoteExecArgument("/a\\b"), "\"/a\\\\\\\\b\"");
    EXPECT_EQ(QuoteExecArgument("/100%/q"), "/100%%/q");
}

TEST(DesktopEntry, ReadsBackWhatItWrites)
{
    for (std::string path : {"/usr/bin/quavrel", "/a b/\"x\"/q", "/a\\b$c`d/100%", "/t\tn"})
        EXPECT_EQ(AutostartExecutable(AutostartEntry(path)), path) << path;
}

TEST(DesktopEntry, DisabledOrIncompleteEntryStartsNothing)
{
    EXPECT_FALSE(AutostartExecutable("[Desktop Entry]\nType=Application\n"));
    EXPECT_FALSE(AutostartExecutable(AutostartEntry("/q") + "Hidden=true\n"));
    EXPECT_FALSE(AutostartExecutable("[Other]\nExec=/q\n"));
}
