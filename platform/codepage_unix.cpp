#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace quavrel {
namespace {

// Converts with iconv; an input sequence that cannot be converted is replaced by
// `replacement` and skipped by `skip` bytes of input.
std::string convert(const std::string& in, const char* to, const char* from,
                    const std::string& replacement, bool skipUtf8Char)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv_open failed");
    std::string out;
    out.reserve(in.size() * 3 / 2 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[4096];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        if (rc != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: replace one character of input and go on.
        out += replacement;
        size_t skip = 1;
        if (skipUtf8Char) {
            unsigned char lead = static_cast<unsigned char>(*src);
            skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        }
        if (skip > srcLeft)
            skip = srcLeft;
        src += skip;
        srcLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, dst - buffer);
    iconv_close(cd);
    return out;
}

}  // namespace

std::string gbkToUtf8(const std::string& gbk)
{
    return convert(gbk, "UTF-8", "GBK", "\xEF\xBF\xBD", false);
}

std::string utf8ToGbk(const std::string& utf8)
{
    return convert(utf8, "GBK", "UTF-8", "?", true);
}

}  // namespace quavrel
