#include "tools/catalog/page_text.h"

#include "platform/codepage.h"

#include <array>
#include <string_view>

namespace quavrel::catalog {
namespace {

struct Replacement {
    char ascii;
    std::string_view utf8;   // the full-width form
    std::string_view gbk;
};

// Full-width forms (U+FFxx) all have GBK codes in row A3.
constexpr std::array<Replacement, 7> kReplacements{{
    {'"', "\xEF\xBC\x82", "\xA3\xA2"},
    {'#', "\xEF\xBC\x83", "\xA3\xA3"},
    {'\'', "\xEF\xBC\x87", "\xA3\xA7"},
    {'<', "\xEF\xBC\x9C", "\xA3\xBC"},
    {'=', "\xEF\xBC\x9D", "\xA3\xBD"},
    {'>', "\xEF\xBC\x9E", "\xA3\xBE"},
    {'|', "\xEF\xBD\x9C", "\xA3\xFC"},
}};

const Replacement* replacementFor(char c)
{
    for (const Replacement& r : kReplacements) {
        if (r.ascii == c)
            return &r;
    }
    return nullptr;
}

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

std::string PageField(const std::string& utf8)
{
    std::string safe;
    safe.reserve(utf8.size());
    for (char c : utf8) {
        if (const Replacement* r = replacementFor(c))
            safe += r->utf8;
        else if (isControl(static_cast<unsigned char>(c)))
            safe += ' ';
        else
            safe += c;
    }
    return utf8ToGbk(safe);
}

std::string PageFieldFromGbk(const std::string& gbk, std::size_t maxBytes)
{
    std::string safe;
    for (std::size_t i = 0; i < gbk.size();) {
        const unsigned char c = static_cast<unsigned char>(gbk[i]);
        std::string_view piece;
        std::string single;
        if (c >= 0x81 && c <= 0xFE && i + 1 < gbk.size()) {
            piece = std::string_view(gbk).substr(i, 2);   // a double-byte character, trail byte included
            i += 2;
        } else {
            if (const Replacement* r = replacementFor(static_cast<char>(c)))
                piece = r->gbk;
            else
                piece = single = std::string(1, isControl(c) || c >= 0x80 ? ' ' : static_cast<char>(c));
            i += 1;
        }
        if (safe.size() + piece.size() > maxBytes)
            break;
        safe += piece;
    }
    return safe;
}

}  // namespace quavrel::catalog
