// Arbitrary bytes as a URL: splitting never crashes, the request target is never empty
// and starts with "/", and replacing backslashes keeps the length.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string url(reinterpret_cast<const char*>(data), size);
    if (quavrel::ReplaceBackslashes(url).size() != url.size())
        __builtin_trap();
    quavrel::UrlParts parts = quavrel::SplitUrl(url);
    std::string target = parts.target();
    if (target.empty() || target[0] != '/' || parts.requestDirectory()[0] != '/')
        __builtin_trap();
    uint32_t address;
    quavrel::ParseIpv4(parts.host, address);
    return 0;
}
