// The Windows registry: the current user's hive through the registry API, ANSI calls so
// that names and texts stay in the system code page.
#include <windows.h>

#include "platform/registry.h"

namespace quavrel {
namespace {

class WinKey : public RegistryKey {
public:
    explicit WinKey(HKEY key) : key_(key) {}
    ~WinKey() override { RegCloseKey(key_); }

    std::optional<RegistryValue> readValue(const std::string& name) override
    {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        std::string data(size, '\0');
        if (RegQueryValueExA(key_, name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
            return std::nullopt;
        data.resize(size);
        return RegistryValue{type, data};
    }

    void writeDword(const std::string& name, uint32_t value) override
    {
        DWORD v = value;
        set(name, REG_DWORD, &v, sizeof v);
    }

    void writeString(const std::string& name, const std::string& text) override
    {
        set(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }

    bool deleteValue(const std::string& name) override
    {
        return RegDeleteValueA(key_, name.c_str()) == ERROR_SUCCESS;
    }

private:
    void set(const std::string& name, DWORD type, const void* data, DWORD size)
    {
        if (RegSetValueExA(key_, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) !=
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
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            throw ERegistryException("Failed to create key " + path);
        return std::make_unique<WinKey>(key);
    }
};

}  // namespace

std::unique_ptr<UserRegistry> OpenUserRegistry() { return std::make_unique<WinRegistry>(); }

std::string TakeRegistryNotice() { return {}; }

}  // namespace quavrel
