#pragma once
// The hive file of the Linux registry: the registry editor's export format, ANSI flavour.
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\quavrel\Config]
//   "CYCLEPLAY"=dword:00000001
//   "Name"="text with \\ and \" escaped"
//   "Path"=hex(2):25,00            expandable string, raw bytes
//   "Blob"=hex:01,02               binary; hex(N): for any other type
// Text is GBK bytes taken byte for byte, lines end in CR LF. Parsing and writing are
// pure functions over bytes; registry_unix.cpp does the file handling.
#include <string>
#include <vector>

#include "platform/exception.h"
#include "platform/registry.h"

namespace quavrel {

QUAVREL_EXCEPTION(EHiveFormatError, Exception);

struct HiveValue {
    std::string name;  // "" is the key's default value, written as @
    RegistryValue value;
    bool operator==(const HiveValue&) const = default;
};

struct HiveKey {
    std::string path;  // full path, "HKEY_CURRENT_USER\\Software\\..."
    std::vector<HiveValue> values;
    bool operator==(const HiveKey&) const = default;
};

struct Hive {
    std::vector<HiveKey> keys;  // in file order; names unique regardless of letter case
    bool operator==(const Hive&) const = default;

    // nullptr when absent. Paths and value names ignore letter case.
    HiveKey* findKey(const std::string& path);
    HiveKey& addKey(const std::string& path);  // the existing key or a new empty one
    static HiveValue* findValue(HiveKey& key, const std::string& name);
    // Replaces a value of the same name (keeping its first spelling) or appends one.
    static void setValue(HiveKey& key, const std::string& name, const RegistryValue& value);
    static bool removeValue(HiveKey& key, const std::string& name);
};

// Throws EHiveFormatError naming the line when the bytes are not a hive. Sections of the
// same key merge and a repeated value name keeps the last value, as an import would.
Hive ParseHive(const std::string& bytes);
// The file bytes of a hive. ParseHive(WriteHive(h)) == h for every parsed hive.
std::string WriteHive(const Hive& hive);

// True when a name or path can be stored in the file at all (no CR, LF or NUL).
bool IsStorableHiveName(const std::string& name);

}  // namespace quavrel
