#include "platform/environment.h"

#include <unistd.h>

#include <cstdlib>

namespace quavrel {

std::optional<std::string> EnvironmentValue(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    if (!value)
        return std::nullopt;
    return std::string(value);
}

void SetEnvironmentValue(const std::string& name, const std::string& value)
{
    ::setenv(name.c_str(), value.c_str(), 1);
}

bool RunsAsRoot() { return ::geteuid() == 0; }

}  // namespace quavrel
