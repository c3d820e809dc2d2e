#include "settings/keyword_history.h"

#include "platform/atomic_file.h"
#include "platform/bytes.h"
#include "platform/gbk_case.h"
#include "platform/input_file.h"

namespace quavrel {

std::string TrimKeyword(const std::string& text) { return Trim(text); }

KeywordList ParseKeywordList(const std::string& bytes)
{
    // A NUL byte ends the text.
    return SplitLines(std::string_view(bytes).substr(0, bytes.find('\0')));
}

std::string FormatKeywordList(const KeywordList& entries)
{
    std::string out;
    for (const std::string& entry : entries)
        out += entry + "\r\n";
    return out;
}

KeywordList LoadKeywordHistory(const std::string& path)
{
    const std::optional<std::string> bytes = ReadFileIfPresent(path);
    return bytes ? ParseKeywordList(*bytes) : KeywordList{};
}

void SaveKeywordHistory(const std::string& path, const KeywordList& entries)
{
    WriteFileAtomically(path, FormatKeywordList(entries));
}

int FindKeyword(const KeywordList& entries, const std::string& keyword)
{
    for (size_t i = 0; i < entries.size(); ++i) {
        if (SameTextGbk(entries[i], keyword))
            return static_cast<int>(i);
    }
    return -1;
}

int RememberKeyword(KeywordList& entries, const std::string& trimmedKeyword)
{
    if (trimmedKeyword.empty())
        return -1;
    int found = FindKeyword(entries, trimmedKeyword);
    if (found < 0) {
        entries.insert(entries.begin(), trimmedKeyword);
        return -1;
    }
    std::string entry = std::move(entries[found]);
    entries.erase(entries.begin() + found);
    entries.insert(entries.begin(), std::move(entry));
    return found;
}

int CompleteKeyword(const KeywordList& entries, const std::string& typed)
{
    if (typed.empty())
        return -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (StartsTextGbk(entries[i], typed))
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace quavrel
