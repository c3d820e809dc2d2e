// Any bytes either fail to parse with the hive's own error or give a hive that writes
// out and parses back to the same thing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry_hive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quavrel;
    Hive hive;
    try {
        hive = ParseHive(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const EHiveFormatError&) {
        return 0;
    }
    const std::string written = WriteHive(hive);
    if (!(ParseHive(written) == hive) || WriteHive(ParseHive(written)) != written)
        std::abort();
    return 0;
}
