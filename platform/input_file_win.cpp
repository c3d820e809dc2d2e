#include "platform/input_file.h"

#include <windows.h>

#include "platform/exception.h"
#include "platform/system_error.h"
#include "platform/wide_text_win.h"

namespace quavrel {
namespace {

HANDLE asHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

// Other programs may go on reading, writing, renaming or removing the file meanwhile, as
// they may on Unix. A folder refuses to open without backup semantics.
InputFile::InputFile(const std::string& path)
    : handle_(reinterpret_cast<std::intptr_t>(
          CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)))
{
    if (asHandle(handle_) == INVALID_HANDLE_VALUE)
        throw EFOpenError(FileErrorText("Cannot open file", path, LastSystemError()));
}

InputFile::~InputFile() { CloseHandle(asHandle(handle_)); }

size_t InputFile::read(char* buffer, size_t size)
{
    const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(asHandle(handle_), buffer, want, &got, nullptr))
        throw EReadError("Stream read error");
    return got;
}

bool NothingAt(const std::string& path)
{
    if (GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace quavrel
