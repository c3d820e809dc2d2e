#include "tools/catalog/gbk_text.h"

#include <cstddef>

namespace quavrel::catalog {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Length in bytes of the GBK character that starts at `pos`.
std::size_t charLength(const std::string& s, std::size_t pos)
{
    if (isLeadByte(static_cast<unsigned char>(s[pos])) && pos + 1 < s.size())
        return 2;
    return 1;
}

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Does `needle` match `haystack` at byte `pos`, character by character?
bool matchesAt(const std::string& haystack, std::size_t pos, const std::string& needle)
{
    std::size_t n = 0;
    while (n < needle.size()) {
        if (pos >= haystack.size())
            return false;
        const std::size_t hl = charLength(haystack, pos);
        const std::size_t nl = charLength(needle, n);
        if (hl != nl)
            return false;
        if (hl == 1) {
            if (foldAscii(haystack[pos]) != foldAscii(needle[n]))
                return false;
        } else if (haystack.compare(pos, 2, needle, n, 2) != 0) {
            return false;
        }
        pos += hl;
        n += nl;
    }
    return true;
}

}  // namespace

std::string percentDecode(std::string_view encoded)
{
    std::string out;
    out.reserve(encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < encoded.size() && hexValue(encoded[i + 1]) >= 0 &&
                   hexValue(encoded[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(encoded[i + 1]) * 16 + hexValue(encoded[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string rawQueryValue(std::string_view target, std::string_view key)
{
    const std::size_t q = target.find('?');
    if (q == std::string_view::npos)
        return {};
    std::string_view query = target.substr(q + 1);
    const std::size_t hash = query.find('#');
    if (hash != std::string_view::npos)
        query = query.substr(0, hash);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        const std::size_t eq = item.find('=');
        if (item.substr(0, eq) == key)
            return eq == std::string_view::npos ? std::string{} : std::string(item.substr(eq + 1));
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

std::vector<std::string> splitWords(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (static_cast<unsigned char>(c) <= 0x20) {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

bool containsGbk(const std::string& haystack, const std::string& needle)
{
    if (needle.empty())
        return true;
    for (std::size_t pos = 0; pos < haystack.size(); pos += charLength(haystack, pos)) {
        if (matchesAt(haystack, pos, needle))
            return true;
    }
    return false;
}

}  // namespace quavrel::catalog
