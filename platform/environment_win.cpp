#include "platform/environment.h"

#include <windows.h>

#include <cstdlib>

#include "platform/wide_text_win.h"

namespace quavrel {

std::optional<std::string> EnvironmentValue(const std::string& name)
{
    const std::wstring wideName = Wide(name);
    std::wstring value(256, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
            return std::nullopt;
        if (length < value.size())
            return FromWide(value.data(), length);
        value.resize(length);
    }
}

// Through the C library, so that its own copy of the environment, which getenv() and the
// programs started with it read, sees the change as well as the system's.
void SetEnvironmentValue(const std::string& name, const std::string& value)
{
    _wputenv((Wide(name) + L"=" + Wide(value)).c_str());
    if (value.empty())   // "NAME=" removes the variable
        SetEnvironmentVariableW(Wide(name).c_str(), L"");
}

bool RunsAsRoot() { return false; }

}  // namespace quavrel
