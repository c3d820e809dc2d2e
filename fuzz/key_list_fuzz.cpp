// key.lst bytes: parsing never fails, writing and parsing again keeps the entries, and
// remembering a keyword keeps the list a permutation plus at most one new entry.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/keyword_history.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quavrel;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    KeywordList entries = ParseKeywordList(bytes);
    if (ParseKeywordList(FormatKeywordList(entries)) != entries)
        std::abort();
    if (entries.empty())
        return 0;
    const std::string keyword = TrimKeyword(entries.back());
    KeywordList after = entries;
    RememberKeyword(after, keyword);
    if (!keyword.empty() && (after.empty() || after.front().size() != keyword.size()))
        std::abort();
    if (after.size() != entries.size() && after.size() != entries.size() + 1)
        std::abort();
    CompleteKeyword(entries, keyword);
    return 0;
}
