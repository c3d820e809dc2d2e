// Writing a regular file in place, for a file whose folder takes no new file: the new
// contents are in memory, the disk space they need is reserved before the old contents
// are touched, and what lies beyond the old end is written before what lies within it, so
// a full disk fails while the file is still as it was. Also the loop that writes all
// bytes, which every way of saving uses.
#include <windows.h>

#include <algorithm>

#include "platform/atomic_file_parts_win.h"

namespace quavrel {
namespace {

// Wine, for one, answers that it has no such call.
bool cannotReserve(DWORD error)
{
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

// Disk space for `size` bytes, without changing the file's contents. Only ever asked for
// more than the file holds: a smaller allocation would cut the file short. A file system
// that cannot reserve is left to the tail-first write.
int reserve(HANDLE file, size_t size)
{
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    if (SetFileInformationByHandle(file, FileAllocationInfo, &allocation, sizeof allocation))
        return 0;
    const DWORD error = GetLastError();
    return cannotReserve(error) ? 0 : static_cast<int>(error);
}

bool setEnd(HANDLE file, size_t size)
{
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end);
}

}  // namespace

int RewriteInPlace(HANDLE file, const std::string& bytes)
{
    LARGE_INTEGER old{};
    if (!GetFileSizeEx(file, &old))
        return LastSystemError();
    const size_t oldSize = static_cast<size_t>(old.QuadPart);
    if (bytes.size() > oldSize) {
        int error = reserve(file, bytes.size());
        if (!error)
            error = WriteAll(file, bytes.data() + oldSize, bytes.size() - oldSize, static_cast<long long>(oldSize));
        if (error) {
            setEnd(file, oldSize);
            return error;
        }
    }
    if (int error = WriteAll(file, bytes.data(), std::min(oldSize, bytes.size()), 0))
        return error;
    if (bytes.size() < oldSize && !setEnd(file, bytes.size()))
        return LastSystemError();
    return FlushFileBuffers(file) ? 0 : LastSystemError();
}

int WriteAll(HANDLE file, const char* data, size_t size, long long offset)
{
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, offset < 0 ? nullptr : &at))
            return LastSystemError();
        if (written == 0)
            return ERROR_WRITE_FAULT;
        data += written;
        size -= written;
        if (offset >= 0)
            offset += written;
    }
    return 0;
}

}  // namespace quavrel
