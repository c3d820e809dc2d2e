// The Linux registry: a hive file per user ($XDG_CONFIG_HOME/quavrel/user.reg), plus the
// autostart entry ($XDG_CONFIG_HOME/autostart/quavrel.desktop) standing for the value
// "Quavrel" under the Run key. Every change re-reads the file and replaces it in one step,
// so a second running copy's changes survive and a failed write leaves the old file.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/desktop_entry.h"
#include "platform/gbk_case.h"
#include "platform/paths.h"
#include "platform/xdg_folders_unix.h"
#include "platform/registry.h"
#include "platform/registry_hive.h"

namespace quavrel {
namespace {

constexpr char kRoot[] = "HKEY_CURRENT_USER\\";
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kAutostartValue[] = "Quavrel";

std::mutex g_noticeMutex;
std::string g_notice;

void setNotice(const std::string& text)
{
    std::lock_guard lock(g_noticeMutex);
    g_notice = text;
}

enum class ReadResult { kOk, kMissing, kFailed };

ReadResult readWholeFile(const std::string& path, std::string& out)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
    if (!S_ISREG(st.st_mode))
        return ReadResult::kFailed;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return ReadResult::kFailed;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad())
        return ReadResult::kFailed;
    out = buffer.str();
    return ReadResult::kOk;
}

// Replaces the file at `path` in one step, creating its folder first. False on failure.
bool replaceFile(const std::string& path, const std::string& bytes)
{
    MakeDirs(FolderOf(path));
    try {
        WriteFileAtomically(path, bytes);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

[[noreturn]] void failedToSet(const std::string& name)
{
    throw ERegistryException("Failed to set data for '" + name + "'");
}

// The two files behind the registry. Copied into every open key, so a key stays usable
// after the registry object that opened it is gone.
class HiveStore {
public:
    HiveStore()
        : hivePath_(ConfigDir() + "user.reg"),
          autostartPath_(XdgConfigHome() + "/autostart/quavrel.desktop") {}

    // The stored hive. A damaged file is moved aside and an empty hive returned; a file
    // that exists but cannot be read gives an empty hive for reading and refuses writes,
    // so that a write never replaces values it could not see.
    std::optional<Hive> load(bool forWrite)
    {
        std::string bytes;
        switch (readWholeFile(hivePath_, bytes)) {
        case ReadResult::kMissing:
            return Hive{};
        case ReadResult::kFailed:
            if (forWrite)
                return std::nullopt;
            return Hive{};
        case ReadResult::kOk:
            break;
        }
        try {
            return ParseHive(bytes);
        } catch (const EHiveFormatError&) {
            const std::string bad = hivePath_ + ".bad";
            if (::rename(hivePath_.c_str(), bad.c_str()) != 0 && forWrite)
                return std::nullopt;
            // "设置文件已损坏，已改名为 " + path + "，本次使用默认设置"
            setNotice("\xC9\xE8\xD6\xC3\xCE\xC4\xBC\xFE\xD2\xD1\xCB\xF0\xBB\xB5\xA3\xAC"
                      "\xD2\xD1\xB8\xC4\xC3\xFB\xCE\xAA " + bad +
                      "\xA3\xAC\xB1\xBE\xB4\xCE\xCA\xB9\xD3\xC3\xC4\xAC\xC8\xCF\xC9\xE8\xD6\xC3");
            return Hive{};
        }
    }

    bool save(const Hive& hive) { return replaceFile(hivePath_, WriteHive(hive)); }

    std::optional<std::string> readAutostart()
    {
        std::string entry;
        if (readWholeFile(autostartPath_, entry) != ReadResult::kOk)
            return std::nullopt;
        return AutostartExecutable(entry);
    }

    bool writeAutostart(const std::string& executable)
    {
        return replaceFile(autostartPath_, AutostartEntry(executable));
    }

    bool removeAutostart() { return ::unlink(autostartPath_.c_str()) == 0; }

private:
    std::string hivePath_;
    std::string autostartPath_;
};

class FileKey : public RegistryKey {
public:
    FileKey(HiveStore store, std::string path, bool isRunKey)
        : store_(std::move(store)), path_(std::move(path)), isRunKey_(isRunKey) {}

    std::optional<RegistryValue> readValue(const std::string& name) override;
    void writeDword(const std::string& name, uint32_t value) override;
    void writeString(const std::string& name, const std::string& text) override;
    bool deleteValue(const std::string& name) override;

private:
    bool isAutostart(const std::string& name) const
    {
        return isRunKey_ && SameTextGbk(name, kAutostartValue);
    }
    void store(const std::string& name, const RegistryValue& value);

    HiveStore store_;
    std::string path_;  // full path with the root
    bool isRunKey_;
};

class FileRegistry : public UserRegistry {
public:
    std::unique_ptr<RegistryKey> openKey(const std::string& path) override
    {
        if (path.empty() || path[0] == '-' || !IsStorableHiveName(path))
            throw ERegistryException("Invalid registry key '" + path + "'");
        // A new key only becomes part of the file with its first value.
        return std::make_unique<FileKey>(store_, kRoot + path, SameTextGbk(path, kRunKey));
    }

private:
    HiveStore store_;
};

std::optional<RegistryValue> FileKey::readValue(const std::string& name)
{
    if (isAutostart(name)) {
        if (std::optional<std::string> executable = store_.readAutostart())
            return RegistryValue{kRegSz, *executable + '\0'};
    }
    std::optional<Hive> hive = store_.load(false);
    HiveKey* key = hive->findKey(path_);
    if (!key)
        return std::nullopt;
    HiveValue* value = Hive::findValue(*key, name);
    if (!value)
        return std::nullopt;
    return value->value;
}

void FileKey::store(const std::string& name, const RegistryValue& value)
{
    if (!IsStorableHiveName(name))
        failedToSet(name);
    std::optional<Hive> hive = store_.load(true);
    if (!hive)
        failedToSet(name);
    Hive::setValue(hive->addKey(path_), name, value);
    if (!store_.save(*hive))
        failedToSet(name);
}

void FileKey::writeDword(const std::string& name, uint32_t value)
{
    std::string data(4, '\0');
    for (int b = 0; b < 4; ++b)
        data[b] = static_cast<char>((value >> (8 * b)) & 0xFF);
    // A number cannot start a program: under the Run key it goes to the hive, where a
    // later start finds a value of the wrong type just as it would elsewhere.
    if (isAutostart(name))
        store_.removeAutostart();
    store(name, RegistryValue{kRegDword, data});
}

void FileKey::writeString(const std::string& name, const std::string& text)
{
    if (!isAutostart(name)) {
        store(name, RegistryValue{kRegSz, text + '\0'});
        return;
    }
    if (!store_.writeAutostart(text))
        failedToSet(name);
    // A copy of the value left in the hive would shadow nothing, but it would come back
    // if the entry were removed by hand; drop it.
    if (std::optional<Hive> hive = store_.load(true)) {
        if (HiveKey* key = hive->findKey(path_); key && Hive::removeValue(*key, name))
            store_.save(*hive);
    }
}

bool FileKey::deleteValue(const std::string& name)
{
    bool removed = isAutostart(name) && store_.removeAutostart();
    std::optional<Hive> hive = store_.load(true);
    if (!hive)
        return removed;
    HiveKey* key = hive->findKey(path_);
    if (key && Hive::removeValue(*key, name))
        removed = store_.save(*hive) || removed;
    return removed;
}

}  // namespace

std::unique_ptr<UserRegistry> OpenUserRegistry() { return std::make_unique<FileRegistry>(); }

std::string TakeRegistryNotice()
{
    std::lock_guard lock(g_noticeMutex);
    std::string notice;
    notice.swap(g_notice);
    return notice;
}

}  // namespace quavrel
