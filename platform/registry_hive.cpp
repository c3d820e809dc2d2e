#include "platform/registry_hive.h"


#include <cstdio>

#include "platform/bytes.h"
#include "platform/gbk_case.h"

namespace quavrel {
namespace {

constexpr char kHeader[] = "REGEDIT4";
constexpr char kEol[] = "\r\n";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimRight(const std::string& s)
{
    size_t end = s.size();
    while (end > 0 && isBlank(s[end - 1]))
        --end;
    return s.substr(0, end);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Parses 1 to 8 hex digits at `pos`; advances `pos`.
bool parseHexNumber(const std::string& s, size_t& pos, uint32_t& out)
{
    size_t start = pos;
    out = 0;
    while (pos < s.size() && hexDigit(s[pos]) >= 0 && pos - start < 8)
        out = out * 16 + static_cast<uint32_t>(hexDigit(s[pos++]));
    return pos > start && (pos == s.size() || hexDigit(s[pos]) < 0);
}

// Reads a quoted text starting at the opening quote; \\ and \" are escapes, any other
// backslash stands for itself. Returns false when the closing quote is missing.
bool parseQuoted(const std::string& s, size_t& pos, std::string& out)
{
    out.clear();
    ++pos;
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"')
            return true;
        if (c == '\\' && pos < s.size() && (s[pos] == '\\' || s[pos] == '"'))
            c = s[pos++];
        out += c;
    }
    return false;
}

bool parseHexBytes(const std::string& s, size_t pos, std::string& out)
{
    out.clear();
    auto skipBlanks = [&] {
        while (pos < s.size() && isBlank(s[pos]))
            ++pos;
    };
    skipBlanks();
    if (pos == s.size())
        return true;
    for (;;) {
        skipBlanks();
        int hi = pos < s.size() ? hexDigit(s[pos]) : -1;
        if (hi < 0)
            return false;
        ++pos;
        int lo = pos < s.size() ? hexDigit(s[pos]) : -1;
        int byte = hi;
        if (lo >= 0) {
            byte = hi * 16 + lo;
            ++pos;
        }
        out += static_cast<char>(byte);
        skipBlanks();
        if (pos == s.size())
            return true;
        if (s[pos++] != ',')
            return false;
    }
}

[[noreturn]] void fail(size_t lineNumber, const char* what)
{
    throw EHiveFormatError("Registry file line " + std::to_string(lineNumber) + ": " + what);
}

std::string escapeQuoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// A REG_SZ goes out as "text" only when reading it back gives the same bytes.
bool writableAsQuoted(const RegistryValue& v)
{
    if (v.type != kRegSz || v.data.empty() || v.data.back() != '\0')
        return false;
    return v.data.find_first_of(std::string("\r\n\0", 3)) == v.data.size() - 1;
}

std::string hexList(const std::string& data)
{
    std::string out;
    char buf[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(data[i]));
        if (i)
            out += ',';
        out += buf;
    }
    return out;
}

std::string formatValue(const RegistryValue& v)
{
    if (writableAsQuoted(v))
        return escapeQuoted(v.data.substr(0, v.data.size() - 1));
    if (v.type == kRegDword && v.data.size() == 4) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", *RegistryDword(v));
        return buf;
    }
    if (v.type == kRegBinary)
        return "hex:" + hexList(v.data);
    char buf[24];
    std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
    return buf + hexList(v.data);
}

}  // namespace

bool IsStorableHiveName(const std::string& name)
{
    return name.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

HiveKey* Hive::findKey(const std::string& path)
{
    for (HiveKey& key : keys) {
        if (SameTextGbk(key.path, path))
            return &key;
    }
    return nullptr;
}

HiveKey& Hive::addKey(const std::string& path)
{
    if (HiveKey* key = findKey(path))
        return *key;
    keys.push_back(HiveKey{path, {}});
    return keys.back();
}

HiveValue* Hive::findValue(HiveKey& key, const std::string& name)
{
    for (HiveValue& value : key.values) {
        if (SameTextGbk(value.name, name))
            return &value;
    }
    return nullptr;
}

void Hive::setValue(HiveKey& key, const std::string& name, const RegistryValue& value)
{
    if (HiveValue* existing = findValue(key, name))
        existing->value = value;
    else
        key.values.push_back(HiveValue{name, value});
}

bool Hive::removeValue(HiveKey& key, const std::string& name)
{
    for (auto it = key.values.begin(); it != key.values.end(); ++it) {
        if (SameTextGbk(it->name, name)) {
            key.values.erase(it);
            return true;
        }
    }
    return false;
}

Hive ParseHive(const std::string& bytes)
{
    Hive hive;
    std::vector<std::string> lines = SplitLines(bytes);
    size_t first = 0;
    while (first < lines.size() && trimRight(lines[first]).empty())
        ++first;
    if (first == lines.size())
        return hive;  // an empty file holds no keys
    if (trimRight(lines[first]) != kHeader)
        fail(first + 1, "not a REGEDIT4 file");

    HiveKey* current = nullptr;
    for (size_t i = first + 1; i < lines.size(); ++i) {
        const size_t lineNumber = i + 1;
        std::string line = trimRight(lines[i]);
        if (line.find('\0') != std::string::npos)
            fail(lineNumber, "NUL byte");
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.size() < 3 || line.back() != ']' || line[1] == '-')
                fail(lineNumber, "bad key line");
            current = &hive.addKey(line.substr(1, line.size() - 2));
            continue;
        }
        if (!current)
            fail(lineNumber, "value outside a key");

        size_t pos = 0;
        std::string name;
        if (line[0] == '@') {
            pos = 1;
        } else if (line[0] != '"' || !parseQuoted(line, pos, name)) {
            fail(lineNumber, "bad value name");
        }
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        if (pos == line.size() || line[pos++] != '=')
            fail(lineNumber, "missing '='");
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;

        RegistryValue value;
        if (pos < line.size() && line[pos] == '"') {
            std::string text;
            if (!parseQuoted(line, pos, text) || pos != line.size())
                fail(lineNumber, "bad string value");
            value = RegistryValue{kRegSz, text + '\0'};
        } else if (line.compare(pos, 6, "dword:") == 0) {
            pos += 6;
            uint32_t number = 0;
            if (!parseHexNumber(line, pos, number) || pos != line.size())
                fail(lineNumber, "bad dword value");
            std::string data(4, '\0');
            for (int b = 0; b < 4; ++b)
                data[b] = static_cast<char>((number >> (8 * b)) & 0xFF);
            value = RegistryValue{kRegDword, data};
        } else if (line.compare(pos, 3, "hex") == 0) {
            pos += 3;
            uint32_t type = kRegBinary;
            if (pos < line.size() && line[pos] == '(') {
                ++pos;
                if (!parseHexNumber(line, pos, type) || pos == line.size() || line[pos] != ')')
                    fail(lineNumber, "bad value type");
                ++pos;
            }
            if (pos == line.size() || line[pos++] != ':')
                fail(lineNumber, "missing ':'");
            std::string list = line.substr(pos);
            // A long list goes on over the next lines after a trailing backslash.
            while (!list.empty() && list.back() == '\\' && i + 1 < lines.size()) {
                list.pop_back();
                std::string next = trimRight(lines[++i]);
                size_t start = next.find_first_not_of(" \t");
                list += start == std::string::npos ? "" : next.substr(start);
            }
            value.type = type;
            if (!parseHexBytes(list, 0, value.data))
                fail(lineNumber, "bad hex bytes");
        } else {
            fail(lineNumber, "unknown value form");
        }
        Hive::setValue(*current, name, value);
    }
    return hive;
}

std::string WriteHive(const Hive& hive)
{
    std::string out = std::string(kHeader) + kEol;
    for (const HiveKey& key : hive.keys) {
        out += kEol;
        out += "[" + key.path + "]" + kEol;
        for (const HiveValue& v : key.values) {
            out += v.name.empty() ? std::string("@") : escapeQuoted(v.name);
            out += "=" + formatValue(v.value) + kEol;
        }
    }
    return out;
}

}  // namespace quavrel
