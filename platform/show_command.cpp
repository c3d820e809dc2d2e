#include "platform/show_command.h"

#include <cctype>
#include <string>

namespace quavrel {

ShowCommand parseShowCommand(const char* text)
{
    if (!text)
        return ShowCommand::Normal;
    std::string word;
    for (const char* p = text; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (!std::isspace(c))
            word += static_cast<char>(std::tolower(c));
    }
    if (word == "maximized")
        return ShowCommand::Maximized;
    if (word == "minimized")
        return ShowCommand::Minimized;
    return ShowCommand::Normal;
}

}  // namespace quavrel
