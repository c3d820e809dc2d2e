#pragma once
// Song text made safe for the service's pages. The program cuts entries out of a page
// with fixed patterns: a quote ends an address, a singer or an album, "<" and ">" bound a
// title, "#" and "|" separate hot-list records, and "class=p14", "singer=" and "keyword="
// mark where fields begin. Those characters are replaced by their full-width forms, so
// every entry stays readable whatever the tags hold; control characters (a 0x00 would
// hide the rest of the page from the pattern) become blanks.
#include <cstddef>
#include <string>

namespace quavrel::catalog {

// UTF-8 text to GBK for a page. Characters that GBK cannot hold become "?".
std::string PageField(const std::string& utf8);

// The same for text that is GBK already (a recommendation's fields), cut to at most
// `maxBytes` bytes on a character boundary.
std::string PageFieldFromGbk(const std::string& gbk, std::size_t maxBytes);

}  // namespace quavrel::catalog
