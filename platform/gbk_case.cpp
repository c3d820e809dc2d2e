#include "platform/gbk_case.h"

namespace quavrel {
namespace {

bool isLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool isTrail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Length of the character at `i`: 2 for a lead byte followed by a trail byte, else 1.
size_t charLength(const std::string& s, size_t i)
{
    if (i + 1 < s.size() && isLead(static_cast<unsigned char>(s[i])) &&
        isTrail(static_cast<unsigned char>(s[i + 1])))
        return 2;
    return 1;
}

unsigned char lowerTrail(unsigned char lead, unsigned char trail)
{
    if (lead == 0xA3 && trail >= 0xC1 && trail <= 0xDA)  // full-width A-Z
        return trail + 0x20;
    if (lead == 0xA6 && trail >= 0xA1 && trail <= 0xB8)  // Greek capitals
        return trail + 0x20;
    if (lead == 0xA7 && trail >= 0xA1 && trail <= 0xC1)  // Cyrillic capitals
        return trail + 0x30;
    return trail;
}

}  // namespace

std::string LowerCaseGbk(const std::string& text)
{
    std::string out = text;
    for (size_t i = 0; i < out.size();) {
        size_t n = charLength(out, i);
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (n == 2) {
            out[i + 1] = static_cast<char>(lowerTrail(c, static_cast<unsigned char>(out[i + 1])));
        } else if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + ('a' - 'A'));
        }
        i += n;
    }
    return out;
}

bool SameTextGbk(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && LowerCaseGbk(a) == LowerCaseGbk(b);
}

bool StartsTextGbk(const std::string& text, const std::string& prefix)
{
    if (prefix.size() > text.size())
        return false;
    size_t i = 0;
    while (i < prefix.size())
        i += charLength(text, i);
    if (i != prefix.size())
        return false;  // the prefix would cut a character of `text` in two
    return LowerCaseGbk(text.substr(0, prefix.size())) == LowerCaseGbk(prefix);
}

}  // namespace quavrel
