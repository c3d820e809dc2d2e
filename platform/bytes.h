#pragma once
// Trimming of byte strings, as every part of the program trims: every leading and trailing
// byte of value 32 or below (space and every control byte, CR and LF included) goes;
// bytes 0x80 and above, such as GBK characters, stay.
#include <string>
#include <string_view>

namespace quavrel {

std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);

}  // namespace quavrel
