// Any bytes taken as GBK go to UTF-8 and back without a crash, a leak or undefined
// behaviour; the UTF-8 side is always well-formed, and plain ASCII comes back unchanged.
#include "platform/codepage.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool isWellFormedUtf8(const std::string& s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size())
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        const std::uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string utf8 = quavrel::gbkToUtf8(input);
    if (!isWellFormedUtf8(utf8))
        std::abort();
    const std::string back = quavrel::utf8ToGbk(utf8);
    const bool ascii = std::all_of(input.begin(), input.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && back != input)
        std::abort();
    // The other direction: the input taken as UTF-8, however broken.
    (void)quavrel::gbkToUtf8(quavrel::utf8ToGbk(input));
    return 0;
}
