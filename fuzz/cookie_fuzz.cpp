// Arbitrary "Set-cookie" values: the first line is the request's host, each further line
// one header value (a leading "2" marks "Set-cookie2"). The store never crashes, and a
// cookie it sends always belongs to the host asked for.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/cookies.h"
#include "http/http_date.h"
#include "http/http_errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t newline = text.find('\n');
    std::string host = text.substr(0, newline);
    quavrel::CookieManager store;
    const auto now = std::chrono::system_clock::time_point(std::chrono::seconds(1577836800));
    while (newline != std::string::npos) {
        size_t next = text.find('\n', newline + 1);
        std::string line = text.substr(newline + 1, next == std::string::npos ? next : next - newline - 1);
        newline = next;
        bool cookie2 = !line.empty() && line[0] == '2';
        quavrel::ParseCookieDate(line);
        try {
            store.AddCookie(cookie2 ? line.substr(1) : line, host, cookie2, now);
        } catch (const quavrel::EConvertError&) {
        }
    }
    store.CookieValue(host, "/", now);
    for (const quavrel::Cookie& cookie : store.cookies())
        if (!quavrel::CookieDomainAccepted(cookie.domain, host))
            __builtin_trap();
    return 0;
}
