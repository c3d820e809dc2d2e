#include "songs/text.h"

#include <stdexcept>
#include <vector>

#include "songs/regexpr.h"

namespace quavrel {

namespace {
const char kTagPattern[] = R"re(\<.*?\>)re";
}

std::string StripTags(const std::string& text)
{
    TRegExpr tag(kTagPattern);
    std::string result;
    result.reserve(text.size());
    size_t position = 0;
    if (tag.Exec(text)) {
        do {
            size_t start = static_cast<size_t>(tag.MatchPos(0));
            result.append(text, position, start - position);
            position = start + static_cast<size_t>(tag.MatchLen(0));
        } while (tag.ExecNext());
    }
    result.append(text, position, std::string::npos);
    return result;
}

std::string QueryEncode(const std::string& value)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size() * 3);
    for (char ch : value) {
        unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out += ch;
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string FillTemplate(const std::string& pattern, std::initializer_list<TemplateArg> args)
{
    std::vector<TemplateArg> list(args);
    size_t next = 0;
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        if (i + 1 >= pattern.size())
            throw std::invalid_argument("Format '" + pattern + "' invalid or incompatible with argument");
        char kind = pattern[++i];
        if (kind == '%') {
            out += '%';
            continue;
        }
        if (next >= list.size())
            throw std::invalid_argument("Format '" + pattern + "' invalid or incompatible with argument");
        const TemplateArg& arg = list[next++];
        if (kind == 's' && std::holds_alternative<std::string>(arg))
            out += std::get<std::string>(arg);
        else if (kind == 'd' && std::holds_alternative<int32_t>(arg))
            out += std::to_string(std::get<int32_t>(arg));
        else
            throw std::invalid_argument("Format '" + pattern + "' invalid or incompatible with argument");
    }
    return out;
}

}  // namespace quavrel
