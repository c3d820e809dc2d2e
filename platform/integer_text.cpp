#include "platform/integer_text.h"

#include "platform/bytes.h"

namespace quavrel {

void RaiseConvertError(const std::string& text)
{
    throw EConvertError("'" + text + "' is not a valid integer value");
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = LowerAsciiChar(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool ReadInteger(std::string_view text, int32_t& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size())
        return false;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        int digit = hex ? HexDigitValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0)
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + digit;
        if (magnitude > 2147483648LL)
            return false;
    }
    if (negative)
        magnitude = -magnitude;
    if (magnitude > 2147483647LL)
        return false;
    value = static_cast<int32_t>(magnitude);
    return true;
}

int32_t StrToIntDef(std::string_view text, int32_t fallback)
{
    int32_t value;
    return ReadInteger(text, value) ? value : fallback;
}

int32_t StrToInt(std::string_view text)
{
    int32_t value;
    if (!ReadInteger(text, value))
        RaiseConvertError(std::string(text));
    return value;
}

}  // namespace quavrel
