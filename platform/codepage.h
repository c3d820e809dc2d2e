#pragma once
// Internal text is GBK bytes; these convert at the edges (user interface, player).
#include <string>

namespace quavrel {

// GBK (code page 936, with 0x80 as the euro sign) to UTF-8. Undecodable bytes become U+FFFD.
std::string gbkToUtf8(const std::string& gbk);
// UTF-8 to GBK. Characters GBK cannot hold become "?".
std::string utf8ToGbk(const std::string& utf8);

}  // namespace quavrel
