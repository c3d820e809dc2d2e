// The temporary files of the crash-safe writer. A writer keeps its temporary file open and
// closed to every other program until it is renamed over the target, so another save's
// clean-up of leftovers can never take it away; that is what the folder lock does on Unix.
#include <windows.h>

#include <string>

#include "platform/atomic_file_parts_win.h"
#include "platform/temp_name.h"
#include "platform/wide_text_win.h"

namespace quavrel {

std::string JoinPath(const std::string& folder, const std::string& name)
{
    const char last = folder.empty() ? '\\' : folder.back();
    return last == '\\' || last == '/' ? folder + name : folder + "\\" + name;
}

HANDLE CreateTempFile(const std::string& folder, const std::string& name, std::string& tempPath)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = JoinPath(folder, NewTempName(name));
        const HANDLE file = CreateFileW(Wide(tempPath).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

void RemoveLeftoverTemps(const std::string& folder, const std::string& name)
{
    WIN32_FIND_DATAW entry;
    const HANDLE listing = FindFirstFileW(Wide(JoinPath(folder, "*")).c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string entryName = FromWide(entry.cFileName, wcslen(entry.cFileName));
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsTempNameOf(entryName, name))
            DeleteFileW(Wide(JoinPath(folder, entryName)).c_str());
    } while (FindNextFileW(listing, &entry));
    FindClose(listing);
}

}  // namespace quavrel
