#pragma once
// Byte-level text helpers of the catalogue service: query decoding and keyword matching
// over GBK bytes. Used by the request handlers and the catalogue search.
#include <string>
#include <string_view>
#include <vector>

namespace quavrel::catalog {

// Undoes the program's query encoding: "+" is a blank, "%XX" one byte. A "%" that is not
// followed by two hexadecimal digits stays as it is.
std::string percentDecode(std::string_view encoded);

// The still-encoded value of `key` in the query part of a request target ("/p?a=1&b=2"),
// or an empty string when the key is missing.
std::string rawQueryValue(std::string_view target, std::string_view key);

// Splits at runs of bytes 0x20 and below (such bytes never occur inside a GBK character).
std::vector<std::string> splitWords(const std::string& text);

// True when `needle` occurs in `haystack` on character boundaries, ASCII letters compared
// without regard to case. Both are GBK: a trail byte that happens to be a letter is part
// of its double-byte character and never matches a single letter of the needle.
bool containsGbk(const std::string& haystack, const std::string& needle);

}  // namespace quavrel::catalog
