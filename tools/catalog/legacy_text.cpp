#include "tools/catalog/legacy_text.h"

#include "platform/codepage.h"

#include <cstdint>

namespace quavrel::catalog {
namespace {

constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD";

// GB2312's rows in GBK: symbols in A1-A9, characters in B0-F7, each with a trail byte
// of A1-FE. Rows AA-AF and F8-FE are user-defined in GBK and never real text.
bool isGb2312Lead(unsigned char c) { return (c >= 0xA1 && c <= 0xA9) || (c >= 0xB0 && c <= 0xF7); }
bool isGb2312Trail(unsigned char c) { return c >= 0xA1 && c <= 0xFE; }

bool pairsIntoGb2312(std::string_view bytes, bool& anyHigh)
{
    anyHigh = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80)
            continue;
        anyHigh = true;
        if (i + 1 >= bytes.size() || !isGb2312Lead(c) || !isGb2312Trail(static_cast<unsigned char>(bytes[i + 1])))
            return false;
        ++i;
    }
    return true;
}

std::string latin1ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        std::size_t extra = 0;
        std::uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= bytes.size())
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const unsigned char t = static_cast<unsigned char>(bytes[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (t & 0x3F);
        }
        const bool overlong = (extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000);
        if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::string DecodeLegacyText(std::string_view bytes)
{
    bool anyHigh = false;
    if (pairsIntoGb2312(bytes, anyHigh)) {
        if (!anyHigh)
            return std::string(bytes);
        const std::string utf8 = gbkToUtf8(std::string(bytes));
        if (utf8.find(kReplacementChar) == std::string::npos)
            return utf8;
    }
    return latin1ToUtf8(bytes);
}

std::string DecodeFileName(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    return gbkToUtf8(std::string(bytes));
}

}  // namespace quavrel::catalog
