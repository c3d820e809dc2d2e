#pragma once
// Integers written as text, read the way the HTTP client and its cookie store read them:
// an optional sign, then decimal digits, or hexadecimal digits after "$", "x" or "0x".
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/exception.h"

namespace quavrel {

// "'%s' is not a valid integer value"
QUAVREL_EXCEPTION(EConvertError, Exception);
[[noreturn]] void RaiseConvertError(const std::string& text);

// 0 to 15 for a hexadecimal digit of either case, -1 for any other byte.
int HexDigitValue(char c);

// False for anything but the forms above, including values outside the signed 32-bit range.
bool ReadInteger(std::string_view text, int32_t& value);
int32_t StrToIntDef(std::string_view text, int32_t fallback);
// Throws EConvertError "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view text);

}  // namespace quavrel
