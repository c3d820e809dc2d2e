#pragma once
// Reads the dates that servers write into cookie "expires" attributes: RFC 1123
// ("Sun, 06 Nov 1994 08:49:37 GMT"), RFC 850 ("Sunday, 06-Nov-94 08:49:37 GMT"), asctime
// ("Sun Nov  6 08:49:37 1994") and the Netscape form ("Sun, 06-Nov-1994 08:49:37 GMT").
// Times are taken as GMT. Used by the cookie store.
#include <cstdint>
#include <optional>
#include <string_view>

namespace quavrel {

// Seconds since 1970-01-01 00:00:00 GMT; nothing when the text does not read as a date.
std::optional<int64_t> ParseCookieDate(std::string_view text);

}  // namespace quavrel
