#include "platform/desktop_entry.h"

#include <string_view>
#include <vector>

#include "platform/bytes.h"

namespace quavrel {
namespace {

constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

// Undoes the file-level escapes of a string value: \s \n \t \r \\.
std::string unescapeValue(const std::string& value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            char e = value[++i];
            c = e == 's' ? ' ' : e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
        }
        out += c;
    }
    return out;
}

// The first argument of an Exec value whose file-level escapes are already undone.
std::string firstArgument(const std::string& exec)
{
    std::string out;
    size_t i = 0;
    bool quoted = false;
    for (; i < exec.size(); ++i) {
        char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
                continue;
            }
            if (c == '\\' && i + 1 < exec.size())
                c = exec[++i];
        } else if (c == '"') {
            quoted = true;
            continue;
        } else if (c == ' ' || c == '\t') {
            if (!out.empty())
                break;
            continue;
        }
        if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%')
            ++i;
        out += c;
    }
    return out;
}

}  // namespace

std::string QuoteExecArgument(const std::string& path)
{
    bool needsQuotes = path.empty() || path.find_first_of(kReserved) != std::string::npos;
    std::string arg;
    for (char c : path) {
        if (c == '%') {
            arg += "%%";
            continue;
        }
        if (needsQuotes && (c == '"' || c == '`' || c == '$' || c == '\\'))
            arg += '\\';
        arg += c;
    }
    if (needsQuotes)
        arg = "\"" + arg + "\"";
    // The file level: backslashes doubled, control characters escaped.
    std::string value;
    for (char c : arg) {
        if (c == '\\')
            value += "\\\\";
        else if (c == '\n')
            value += "\\n";
        else if (c == '\t')
            value += "\\t";
        else if (c == '\r')
            value += "\\r";
        else
            value += c;
    }
    return value;
}

std::string AutostartEntry(const std::string& executable)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quavrel\n"
           "Exec=" + QuoteExecArgument(executable) + "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::optional<std::string> AutostartExecutable(const std::string& entry)
{
    std::optional<std::string> exec;
    bool inMainGroup = false;
    for (const std::string& line : SplitLines(entry)) {
        if (!line.empty() && line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        std::string value = line.substr(eq + 1);
        while (!value.empty() && value.front() == ' ')
            value.erase(0, 1);
        if (key == "Exec")
            exec = firstArgument(unescapeValue(value));
        else if ((key == "Hidden" && value == "true") ||
                 (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return std::nullopt;
    }
    return exec;
}

}  // namespace quavrel
