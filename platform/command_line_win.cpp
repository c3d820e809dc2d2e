#include "platform/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/wide_text_win.h"

namespace quavrel {

std::vector<std::string> CommandLineArguments(int, char**)
{
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; words && i < count; ++i)
        arguments.push_back(FromWide(words[i], wcslen(words[i])));
    LocalFree(words);
    return arguments;
}

void UseBinaryStandardStreams()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace quavrel
