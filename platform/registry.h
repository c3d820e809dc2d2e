#pragma once
// The current user's registry: keys under HKEY_CURRENT_USER holding typed values. On
// Windows it is the real registry; on Linux a hive file in the registry editor's export
// format (platform/registry_hive.h), except that the autostart value under the Run key
// is the freedesktop autostart entry. The settings code is the caller.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/exception.h"

namespace quavrel {

QUAVREL_EXCEPTION(ERegistryException, Exception);

// Value types, numbered as the registry numbers them.
enum RegistryType : uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
};

// A value's type and its raw data as the registry stores it: a string with its
// terminating NUL, a DWORD as four bytes, least significant first.
struct RegistryValue {
    uint32_t type = kRegNone;
    std::string data;

    bool operator==(const RegistryValue&) const = default;
};

// The text of a string value: its data up to the first NUL.
std::string RegistryText(const RegistryValue& value);
// The number of a four-byte REG_DWORD; nullopt for any other value.
std::optional<uint32_t> RegistryDword(const RegistryValue& value);

// One open key. Value names are compared without regard to letter case.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // nullopt when the value does not exist or cannot be read.
    virtual std::optional<RegistryValue> readValue(const std::string& name) = 0;
    // Throw ERegistryException "Failed to set data for 'NAME'" when the value cannot be
    // stored; a value of another type under the same name is replaced.
    virtual void writeDword(const std::string& name, uint32_t value) = 0;
    virtual void writeString(const std::string& name, const std::string& text) = 0;
    // False when there was nothing to delete or it could not be deleted.
    virtual bool deleteValue(const std::string& name) = 0;
};

class UserRegistry {
public:
    virtual ~UserRegistry() = default;
    // Opens a key below HKEY_CURRENT_USER ("Software\\quavrel\\Config"), creating it when
    // missing. Throws ERegistryException when it can be neither opened nor created.
    virtual std::unique_ptr<RegistryKey> openKey(const std::string& path) = 0;
};

// The current user's registry of this machine.
std::unique_ptr<UserRegistry> OpenUserRegistry();

// A problem met with the stored registry (for example a damaged hive file that was set
// aside), reported once: the first call after it happened returns the text, later calls
// return "". Text is GBK.
std::string TakeRegistryNotice();

}  // namespace quavrel
