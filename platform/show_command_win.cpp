#include "platform/show_command.h"

#include <windows.h>

namespace quavrel {

// The show command comes with the process start-up data, as a shortcut's "Run" setting
// or the starting program gives it.
ShowCommand processShowCommand()
{
    STARTUPINFOW info{};
    info.cb = sizeof(info);
    GetStartupInfoW(&info);
    if (!(info.dwFlags & STARTF_USESHOWWINDOW))
        return ShowCommand::Normal;
    switch (info.wShowWindow) {
    case SW_SHOWMAXIMIZED:
        return ShowCommand::Maximized;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        return ShowCommand::Minimized;
    default:
        return ShowCommand::Normal;
    }
}

}  // namespace quavrel
