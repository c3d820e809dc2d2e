#include "settings/service_config.h"

#include <cctype>

#include "platform/bytes.h"
#include "settings/settings.h"

namespace quavrel {
namespace {

std::string readText(RegistryKey& key, const char* name)
{
    std::optional<RegistryValue> value = key.readValue(name);
    if (!value || (value->type != kRegSz && value->type != kRegExpandSz))
        return {};
    return Trim(RegistryText(*value));
}

bool isHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_';
}

}  // namespace

bool IsValidServerAddress(const std::string& address)
{
    std::string host = address;
    std::string port;
    if (!host.empty() && host[0] == '[') {
        size_t close = host.find(']');
        if (close == std::string::npos || close == 1)
            return false;
        for (size_t i = 1; i < close; ++i) {
            char c = host[i];
            if (!(std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'))
                return false;
        }
        std::string rest = host.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':')
                return false;
            port = rest.substr(1);
            if (port.empty())
                return false;
        }
    } else {
        size_t colon = host.find(':');
        if (colon != std::string::npos) {
            port = host.substr(colon + 1);
            host.resize(colon);
            if (port.empty())
                return false;
        }
        if (host.empty())
            return false;
        for (char c : host) {
            if (!isHostChar(c))
                return false;
        }
    }
    if (port.empty())
        return true;
    if (port.size() > 5)
        return false;
    long number = 0;
    for (char c : port) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (c - '0');
    }
    return number >= 1 && number <= 65535;
}

ServiceAddresses LoadServiceAddresses(UserRegistry& registry)
{
    ServiceAddresses addresses;
    std::unique_ptr<RegistryKey> key;
    try {
        key = registry.openKey(kConfigKey);
    } catch (const Exception&) {
        return addresses;
    }
    auto server = [&](const char* name, std::string& target) {
        std::string text = readText(*key, name);
        if (IsValidServerAddress(text))
            target = text;
    };
    server("SearchServer", addresses.searchServer);
    server("MakerServer", addresses.makerServer);
    server("PortalServer", addresses.portalServer);
    std::string mail = readText(*key, "SupportMail");
    if (!mail.empty() && mail.find_first_of("\r\n") == std::string::npos)
        addresses.supportMail = mail;
    return addresses;
}

ServiceAddresses LoadServiceAddresses() { return LoadServiceAddresses(*OpenUserRegistry()); }

}  // namespace quavrel
