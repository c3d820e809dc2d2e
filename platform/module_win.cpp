#include "platform/module.h"

#include <windows.h>

#include <vector>

#include "platform/exception.h"
#include "platform/paths.h"
#include "platform/system_error.h"
#include "platform/wide_text_win.h"

namespace quavrel {

void* LoadModuleSymbol(const std::string& fileName, const char* symbol, const std::string& buildTreePath)
{
    const std::string programFolder = FolderOf(ExecutablePath());
    std::vector<std::string> places{programFolder + "\\" + fileName,
                                    programFolder + "\\..\\lib\\quavrel\\" + fileName};
    if (!buildTreePath.empty())
        places.push_back(buildTreePath);
    std::string reason = "not found";
    for (const std::string& place : places) {
        const std::wstring widePlace = Wide(place);
        const DWORD attributes = GetFileAttributesW(widePlace.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        // The libraries the module itself needs are looked for beside it first.
        HMODULE module = LoadLibraryExW(widePlace.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module) {
            reason = SystemErrorText(LastSystemError());
            continue;
        }
        if (FARPROC address = GetProcAddress(module, symbol))
            return reinterpret_cast<void*>(address);
        reason = place + " has no " + symbol;
    }
    throw Exception("Cannot load " + fileName + ": " + reason);
}

}  // namespace quavrel
