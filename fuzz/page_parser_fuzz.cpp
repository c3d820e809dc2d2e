// Pages are untrusted input: both page parsers and the text helpers on arbitrary bytes.
// Checks what must hold for every input besides not crashing: StripTags agrees with a
// plain scan, every record is filled as the parsers promise, and QueryEncode's output
// is made only of its own alphabet.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "songs/page_parser.h"
#include "songs/text.h"

namespace {

// "<" up to the first ">" after it goes, searched only before the first 0x00.
std::string referenceStripTags(const std::string& text)
{
    size_t limit = text.find('\0');
    if (limit == std::string::npos)
        limit = text.size();
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t open = text.find('<', pos);
        if (open == std::string::npos || open >= limit)
            break;
        size_t close = text.find('>', open + 1);
        if (close == std::string::npos || close >= limit)
            break;
        out.append(text, pos, open - pos);
        pos = close + 1;
    }
    out.append(text, pos, std::string::npos);
    return out;
}

void checkRecord(const quavrel::MediaPtr& m)
{
    if (m->FileType != "mp3" || m->Speed != 0 || m->Size != 0)
        std::abort();
    for (const std::string* field : {&m->Title, &m->Singer, &m->Album})
        if (!field->empty() && (static_cast<unsigned char>(field->front()) <= 32 ||
                                static_cast<unsigned char>(field->back()) <= 32))
            std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    quavrel::ParseSearchPage(input, [](const quavrel::MediaPtr& m) {
        checkRecord(m);
        if (m->Url.empty())
            std::abort();   // the address group needs at least one byte
    });
    quavrel::ParseHotList(input, checkRecord);
    if (quavrel::StripTags(input) != referenceStripTags(input))
        std::abort();
    std::string encoded = quavrel::QueryEncode(input);
    if (encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+%") !=
        std::string::npos)
        std::abort();
    return 0;
}
