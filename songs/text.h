#pragma once
// Byte-string helpers shared by the page parsers and the request builders: tag removal,
// trimming, query encoding and the filling of the service URL templates. All GBK bytes,
// never converted.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>

#include "platform/bytes.h"   // Trim

namespace quavrel {

// Removes every run from a "<" to the first ">" after it. Only the bytes before the
// first 0x00 are searched; everything after it is kept.
std::string StripTags(const std::string& text);


// Percent-encodes one query value: letters and digits stay, space becomes "+", every
// other byte "%XX" in upper-case hexadecimal.
std::string QueryEncode(const std::string& value);

// Fills a URL template: each "%s" takes the next argument's bytes as they stand, each
// "%d" the next integer in decimal; "%%" is a single "%". Throws std::invalid_argument
// when the arguments do not fit the template.
using TemplateArg = std::variant<std::string, int32_t>;
std::string FillTemplate(const std::string& pattern, std::initializer_list<TemplateArg> args);

}  // namespace quavrel
