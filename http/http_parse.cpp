#include "http/http_parse.h"

#include "http/http_errors.h"
#include "platform/integer_text.h"

namespace quavrel {

int32_t ParseStatusCode(std::string_view statusLine)
{
    size_t space = statusLine.find(' ');
    if (space == std::string_view::npos)
        return -1;
    std::string_view rest = statusLine.substr(space + 1);
    return StrToIntDef(rest.substr(0, rest.find(' ')), -1);
}

int32_t ParseContentLength(std::string_view value) { return StrToIntDef(TrimView(value), -1); }

int32_t ParseChunkSize(std::string_view line)
{
    std::string_view digits = line.substr(0, line.find(' '));
    if (digits.empty())
        return 0;
    int64_t size = 0;
    for (char c : digits) {
        int digit = HexDigitValue(c);
        if (digit < 0)
            return 0;
        size = size * 16 + digit;
        if (size > INT32_MAX)
            return 0;   // too big for a size: the line reads as none
    }
    return static_cast<int32_t>(size);
}

void CheckContentRange(std::string_view value)
{
    if (value.empty())
        return;
    size_t space = value.find(' ');
    std::string_view rest = space == std::string_view::npos ? std::string_view() : value.substr(space + 1);
    size_t dash = rest.find('-');
    StrToInt(rest.substr(0, dash));
    rest = dash == std::string_view::npos ? std::string_view() : rest.substr(dash + 1);
    StrToInt(rest.substr(0, rest.find('/')));
}

void HeaderList::addLine(std::string_view line)
{
    if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !lines_.empty()) {
        std::string& value = lines_.back().second;
        std::string_view more = TrimView(line);
        if (!more.empty()) {
            if (!value.empty())
                value += ' ';
            value += more;
        }
        return;
    }
    size_t colon = line.find(':');
    std::string_view name = TrimView(line.substr(0, colon));
    std::string_view value = colon == std::string_view::npos ? std::string_view() : TrimView(line.substr(colon + 1));
    lines_.emplace_back(std::string(name), std::string(value));
}

const std::string& HeaderList::value(std::string_view name) const
{
    static const std::string kEmpty;
    for (const auto& [key, value] : lines_)
        if (EqualsNoCase(key, name))
            return value;
    return kEmpty;
}

bool HeaderList::has(std::string_view name) const
{
    for (const auto& line : lines_)
        if (EqualsNoCase(line.first, name))
            return true;
    return false;
}

std::vector<std::string> HeaderList::values(std::string_view name) const
{
    std::vector<std::string> out;
    for (const auto& [key, value] : lines_)
        if (EqualsNoCase(key, name))
            out.push_back(value);
    return out;
}

std::vector<std::string> FoldHeaderLine(std::string_view line, size_t limit)
{
    auto isBreak = [](char c) { return c == ' ' || c == '\t' || c == ','; };
    auto trimRight = [](std::string_view s) {
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
            s.remove_suffix(1);
        return s;
    };
    std::vector<std::string> out;
    std::string current(line);
    while (current.size() > limit) {
        // The last break within the limit; a piece without one runs to its first break.
        size_t cut = std::string::npos;
        for (size_t i = limit; i-- > 1;)
            if (isBreak(current[i])) {
                cut = i + 1;
                break;
            }
        if (cut == std::string::npos) {
            for (size_t i = limit; i < current.size(); ++i)
                if (isBreak(current[i])) {
                    cut = i + 1;
                    break;
                }
        }
        std::string_view rest = std::string_view(current).substr(cut == std::string::npos ? current.size() : cut);
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
            rest.remove_prefix(1);
        if (cut == std::string::npos || rest.empty())
            break;
        std::string piece(trimRight(std::string_view(current).substr(0, cut)));
        std::string next = " " + std::string(rest);
        out.push_back(std::move(piece));
        current = std::move(next);
    }
    out.push_back(std::string(trimRight(current)));
    return out;
}

std::string Base64Encode(std::string_view bytes)
{
    static const char kTable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t n = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
        out += kTable[n >> 18];
        out += kTable[(n >> 12) & 63];
        out += kTable[(n >> 6) & 63];
        out += kTable[n & 63];
    }
    if (i + 1 == bytes.size()) {
        uint32_t n = uint8_t(bytes[i]) << 16;
        out += kTable[n >> 18];
        out += kTable[(n >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        uint32_t n = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8);
        out += kTable[n >> 18];
        out += kTable[(n >> 12) & 63];
        out += kTable[(n >> 6) & 63];
        out += '=';
    }
    return out;
}

bool HasLineBreakOrNul(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace quavrel
