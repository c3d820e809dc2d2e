// Where a save really writes: the end of a link, and what kind of file is there.
#include <windows.h>

#include <string>

#include "platform/atomic_file_parts_win.h"
#include "platform/wide_text_win.h"

namespace quavrel {
namespace {

// Closes the handle on every path out.
struct HandleCloser {
    HANDLE handle;
    ~HandleCloser() { CloseHandle(handle); }
};

// The path of the file that an open handle leads to, in the everyday form: the system
// gives it as "\\?\C:\..." or "\\?\UNC\server\...".
std::string finalPathOf(HANDLE file, const std::string& fallback)
{
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    if (length >= path.size()) {
        path.resize(length + 1);
        length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    }
    if (length == 0 || length >= path.size())
        return fallback;
    path.resize(length);
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        path = L"\\" + path.substr(7);
    else if (path.rfind(L"\\\\?\\", 0) == 0)
        path = path.substr(4);
    return FromWide(path);
}

bool isLink(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

SaveTarget InspectSaveTarget(const std::string& userPath)
{
    SaveTarget target;
    target.path = userPath;
    // Asking for the right to write finds a read-only file, one this user may not write and
    // one another program keeps closed to writers; links are followed.
    const HANDLE file = CreateFileW(Wide(userPath).c_str(), FILE_WRITE_DATA | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return target;   // kNew: creating the temporary file names any missing folder
        ThrowCreateError(userPath, static_cast<int>(error));
    }
    HandleCloser closer{file};
    if (GetFileType(file) != FILE_TYPE_DISK) {
        target.kind = SaveTarget::Kind::kInPlace;
        return target;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        ThrowCreateError(userPath, static_cast<int>(GetLastError()));
    target.attributes = info.dwFileAttributes;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
        ThrowCreateError(userPath, ERROR_ACCESS_DENIED);
    if (isLink(userPath))
        target.path = finalPathOf(file, userPath);
    target.kind = SaveTarget::Kind::kReplace;
    return target;
}

}  // namespace quavrel
