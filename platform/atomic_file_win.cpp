#include "platform/atomic_file.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/atomic_file_parts_win.h"
#include "platform/exception.h"
#include "platform/paths.h"
#include "platform/wide_text_win.h"

namespace quavrel {
namespace {

// The attributes a replaced file hands on to its successor.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool writeAll(HANDLE file, const char* data, size_t size)
{
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

std::string nameOf(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

std::wstring fullPath(const std::string& path)
{
    const std::wstring wide = Wide(path);
    const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return wide;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
    full.resize(written < length ? written : 0);
    return full.empty() ? wide : full;
}

// Renames the open file over `target` through its own handle, so that no other program
// can touch it in between. False with the last error set when that fails.
bool renameOpenFile(HANDLE file, const std::string& target)
{
    const std::wstring name = fullPath(target);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
}

bool renameUnsupported(DWORD error)
{
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

HANDLE openInPlace(const SaveTarget& target, const std::string& userPath)
{
    const HANDLE file = CreateFileW(Wide(target.path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        ThrowCreateError(userPath, LastSystemError());
    return file;
}

// Room for `size` bytes before any old byte is overwritten, so that a full disk fails the
// save while the old contents are still whole.
bool reserve(HANDLE file, size_t size)
{
    LARGE_INTEGER old{};
    if (!GetFileSizeEx(file, &old))
        return false;
    if (static_cast<unsigned long long>(old.QuadPart) >= size)
        return true;
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

}  // namespace

struct AtomicFile::State {
    std::string userPath;
    SaveTarget target;
    HANDLE file = INVALID_HANDLE_VALUE;   // the temporary file, or the target written in place
    std::string tempPath;                 // while a temporary file of ours exists
    std::string pending;                  // for a target written in place: nothing reaches it before commit

    ~State()
    {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if (!tempPath.empty())
            DeleteFileW(Wide(tempPath).c_str());
    }

    // A device takes the bytes as they come. A file whose folder takes no new files is
    // rewritten: room first, then the bytes from its start, then its new end, flushed.
    void commitInPlace()
    {
        const bool disk = GetFileType(file) == FILE_TYPE_DISK;
        LARGE_INTEGER start{};
        bool written = !disk || (reserve(file, pending.size()) && SetFilePointerEx(file, start, nullptr, FILE_BEGIN));
        written = written && writeAll(file, pending.data(), pending.size());
        if (written && disk)
            written = SetEndOfFile(file) && FlushFileBuffers(file);
        pending.clear();
        if (!written)
            throw EWriteError("Stream write error");
    }

    void commitReplacing()
    {
        // Zero times and attributes in the request leave those unchanged.
        if (const DWORD kept = target.attributes & kKeptAttributes) {
            FILE_BASIC_INFO basic{};
            basic.FileAttributes = kept;
            SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
        }
        if (!FlushFileBuffers(file))
            throw EWriteError("Stream write error");
        if (renameOpenFile(file, target.path)) {
            tempPath.clear();
            // Makes the rename itself durable along with the file.
            FlushFileBuffers(file);
            return;
        }
        const DWORD error = GetLastError();
        if (!renameUnsupported(error))
            ThrowCreateError(userPath, static_cast<int>(error));
        // A file system that cannot rename an open file: closed, then moved in one step.
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        if (!MoveFileExW(Wide(tempPath).c_str(), Wide(target.path).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            ThrowCreateError(userPath, LastSystemError());
        tempPath.clear();
    }
};

AtomicFile::AtomicFile(const std::string& path) : state_(std::make_unique<State>())
{
    State& s = *state_;
    s.userPath = path;
    s.target = InspectSaveTarget(path);
    if (s.target.kind == SaveTarget::Kind::kInPlace) {
        s.file = openInPlace(s.target, path);
        return;
    }
    const std::string folder = FolderOf(s.target.path);
    const std::string name = nameOf(s.target.path);
    RemoveLeftoverTemps(folder, name);
    s.file = CreateTempFile(folder, name, s.tempPath);
    if (s.file != INVALID_HANDLE_VALUE)
        return;
    const int error = LastSystemError();
    s.tempPath.clear();
    // A folder that takes no new files may still let its files be rewritten.
    if (error == ERROR_ACCESS_DENIED && s.target.kind == SaveTarget::Kind::kReplace) {
        s.target.kind = SaveTarget::Kind::kInPlace;
        s.file = openInPlace(s.target, path);
        return;
    }
    ThrowCreateError(path, error);
}

AtomicFile::~AtomicFile() = default;

void AtomicFile::write(const char* data, size_t size)
{
    State& s = *state_;
    if (s.target.kind == SaveTarget::Kind::kInPlace) {
        s.pending.append(data, size);
        return;
    }
    if (!writeAll(s.file, data, size))
        throw EWriteError("Stream write error");
}

void AtomicFile::commit()
{
    if (state_->target.kind == SaveTarget::Kind::kInPlace)
        state_->commitInPlace();
    else
        state_->commitReplacing();
}

}  // namespace quavrel
