#include "platform/temp_name.h"

#include <random>

namespace quavrel {
namespace {

constexpr size_t kRandomLength = 6;
constexpr char kSuffix[] = ".tmp";
// Leaves room for the rest of the name within the usual limit of 255 bytes.
constexpr size_t kNameKept = 200;

std::string tempPrefix(const std::string& name) { return "." + name.substr(0, kNameKept) + "."; }

std::string randomPart()
{
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    std::string part;
    for (size_t i = 0; i < kRandomLength; ++i)
        part += kLetters[pick(random)];
    return part;
}

}  // namespace

std::string NewTempName(const std::string& name) { return tempPrefix(name) + randomPart() + kSuffix; }

bool IsTempNameOf(const std::string& entry, const std::string& name)
{
    const std::string prefix = tempPrefix(name);
    const size_t suffixLength = sizeof kSuffix - 1;
    if (entry.size() != prefix.size() + kRandomLength + suffixLength || entry.compare(0, prefix.size(), prefix) != 0 ||
        entry.compare(entry.size() - suffixLength, suffixLength, kSuffix) != 0)
        return false;
    for (size_t i = prefix.size(); i < prefix.size() + kRandomLength; ++i) {
        const char c = entry[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

}  // namespace quavrel
