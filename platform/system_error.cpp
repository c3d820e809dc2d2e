#include "platform/system_error.h"

#include "platform/codepage.h"
#include "platform/exception.h"

namespace quavrel {

std::string FileErrorText(const std::string& prefix, const std::string& path, int error)
{
    // Appended piece by piece: GCC 12 takes the chain of + for an overlapping copy (-Wrestrict).
    std::string text = prefix;
    text += " \"";
    text += utf8ToGbk(path);
    text += "\". ";
    text += SystemErrorText(error);
    return text;
}

void ThrowCreateError(const std::string& path, int error)
{
    throw EFCreateError(FileErrorText("Cannot create file", path, error));
}

}  // namespace quavrel
