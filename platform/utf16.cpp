#include "platform/utf16.h"

namespace quavrel {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length a first byte announces: 1 for ASCII and for bytes no sequence starts with.
size_t announcedLength(unsigned char lead) { return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1; }

}  // namespace

bool IsSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

Utf8Char DecodeUtf8(std::string_view text, size_t at)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return {lead, 1};
    const size_t left = text.size() - at;
    const size_t length = announcedLength(lead);
    const Utf8Char broken{kInvalidUtf8, length < left ? length : left};
    if (length == 1 || lead > 0xF4 || length > left)
        return broken;
    uint32_t c = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if (!isContinuation(next))
            return broken;
        c = (c << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF)
        return broken;
    return {c, length};
}

void AppendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
        const Utf8Char ch = DecodeUtf8(utf8, at);
        at += ch.length;
        if (ch.codePoint == kInvalidUtf8)
            out += kReplacement;
        else if (ch.codePoint < 0x10000)
            out += static_cast<char16_t>(ch.codePoint);
        else {
            const uint32_t c = ch.codePoint - 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size() * 3 / 2);
    for (size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        const bool pairs = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() &&
                           utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF;
        if (pairs) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, unit);   // a lone surrogate keeps its three-byte form
        }
    }
    return out;
}

}  // namespace quavrel
