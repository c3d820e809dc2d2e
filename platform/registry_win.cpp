// The Windows registry: the current user's hive through the registry's UTF-16 calls. Names
// and texts are GBK inside the program and become UTF-16 through code page 936 at the call,
// whatever the system's own code page is; so GBK text goes in and comes back byte for byte,
// and the registry holds the same characters that a Chinese system's programs store.
#include <windows.h>

#include "platform/codepage.h"
#include "platform/registry.h"
#include "platform/wide_text_win.h"

namespace quavrel {
namespace {

std::wstring wideFromGbk(const std::string& gbk) { return Wide(gbkToUtf8(gbk)); }

bool isText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The GBK form of stored UTF-16 text, its NULs included.
std::string gbkFromStoredText(const std::string& data)
{
    const wchar_t* units = reinterpret_cast<const wchar_t*>(data.data());
    return utf8ToGbk(FromWide(units, data.size() / sizeof(wchar_t)));
}

class WinKey : public RegistryKey {
public:
    explicit WinKey(HKEY key) : key_(key) {}
    ~WinKey() override { RegCloseKey(key_); }

    std::optional<RegistryValue> readValue(const std::string& name) override
    {
        const std::wstring wideName = wideFromGbk(name);
        for (;;) {
            DWORD type = 0;
            DWORD size = 0;
            if (RegQueryValueExW(key_, wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
                return std::nullopt;
            std::string data(size, '\0');
            const LONG rc = RegQueryValueExW(key_, wideName.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(data.data()), &size);
            if (rc == ERROR_MORE_DATA)
                continue;   // it grew meanwhile
            if (rc != ERROR_SUCCESS)
                return std::nullopt;
            data.resize(size);
            return RegistryValue{type, isText(type) ? gbkFromStoredText(data) : data};
        }
    }

    void writeDword(const std::string& name, uint32_t value) override
    {
        const DWORD number = value;
        set(name, REG_DWORD, &number, sizeof number);
    }

    void writeString(const std::string& name, const std::string& text) override
    {
        const std::wstring wide = wideFromGbk(text);
        set(name, REG_SZ, wide.c_str(), static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }

    bool deleteValue(const std::string& name) override
    {
        return RegDeleteValueW(key_, wideFromGbk(name).c_str()) == ERROR_SUCCESS;
    }

private:
    void set(const std::string& name, DWORD type, const void* data, DWORD size)
    {
        if (RegSetValueExW(key_, wideFromGbk(name).c_str(), 0, type, static_cast<const BYTE*>(data), size) !=
            ERROR_SUCCESS)
            throw ERegistryException("Failed to set data for '" + name + "'");
    }

    HKEY key_;
};

class WinRegistry : public UserRegistry {
public:
    std::unique_ptr<RegistryKey> openKey(const std::string& path) override
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, wideFromGbk(path).c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            throw ERegistryException("Failed to create key " + path);
        return std::make_unique<WinKey>(key);
    }
};

}  // namespace

std::unique_ptr<UserRegistry> OpenUserRegistry() { return std::make_unique<WinRegistry>(); }

// The system keeps its registry whole itself; nothing is ever set aside here.
std::string TakeRegistryNotice() { return {}; }

}  // namespace quavrel
