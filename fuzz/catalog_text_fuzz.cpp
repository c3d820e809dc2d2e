// Bytes from outside meet the catalogue service's text rules: tag bytes and file names
// always decode to well-formed UTF-8, song text made safe for a page never holds a byte
// the program's patterns would take for a separator, a Range header never reaches past
// the body, and a path or an address names a song number or nothing.
#include "tools/catalog/http_response.h"
#include "tools/catalog/legacy_text.h"
#include "tools/catalog/page_text.h"
#include "tools/catalog/song_address.h"
#include "tools/catalog/song_search.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace quavrel::catalog;

// Every single-byte character of a GBK text: no separator, no control byte.
void checkPageSafe(const std::string& gbk)
{
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const auto c = static_cast<unsigned char>(gbk[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < gbk.size()) {
            ++i;
            continue;
        }
        if (c < 0x20 || c == '"' || c == '\'' || c == '<' || c == '>' || c == '#' || c == '|' || c == '=')
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    const std::string tag = DecodeLegacyText(bytes);
    const std::string name = DecodeFileName(bytes);
    if (!IsValidUtf8(tag) || !IsValidUtf8(name))
        std::abort();
    checkPageSafe(PageField(tag));
    checkPageSafe(PageField(name));
    const std::string fromGbk = PageFieldFromGbk(bytes, 64);
    checkPageSafe(fromGbk);
    if (fromGbk.size() > 64)
        std::abort();

    const std::uint64_t bodySize = size ? data[0] * 1000u : 0;
    const ByteRange range = ResolveRange(bytes, bodySize);
    if (range.kind == ByteRange::Kind::Part && (range.length == 0 || range.start + range.length > bodySize))
        std::abort();

    std::int64_t number = 0;
    std::string extension;
    if (ReadSongPath(bytes, number, extension) &&
        (number <= 0 || bytes != "/songs/" + std::to_string(number) + "." + extension))
        std::abort();
    SongNumberInUrl(bytes, number);
    for (const std::string& term : SearchTerms(name)) {
        if (term.empty() || term.find(' ') != std::string::npos)
            std::abort();
    }
    return 0;
}
