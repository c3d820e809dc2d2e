#include "platform/registry.h"

namespace quavrel {

std::string RegistryText(const RegistryValue& value)
{
    return value.data.substr(0, value.data.find('\0'));
}

std::optional<uint32_t> RegistryDword(const RegistryValue& value)
{
    if (value.type != kRegDword || value.data.size() != 4)
        return std::nullopt;
    uint32_t number = 0;
    for (int b = 3; b >= 0; --b)
        number = (number << 8) | static_cast<unsigned char>(value.data[b]);
    return number;
}

}  // namespace quavrel
