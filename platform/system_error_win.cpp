#include "platform/system_error.h"

#include <windows.h>

#include "platform/codepage.h"
#include "platform/wide_text_win.h"

namespace quavrel {

int LastSystemError() { return static_cast<int>(GetLastError()); }

// The system's own text in the user's language, without the line break it ends with.
std::string SystemErrorText(int error)
{
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text)
        message = FromWide(text, length);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    if (message.empty())
        return "System error " + std::to_string(error);
    return utf8ToGbk(message);
}

}  // namespace quavrel
