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

// The target itself, as it was inspected: never through a link put there since, and no
// other writer while it is rewritten.
HANDLE openForRewrite(const SaveTarget& target, const std::string& userPath)
{
    const HANDLE file = CreateFileW(Wide(target.path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        ThrowCreateError(userPath, LastSystemError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        CloseHandle(file);
        ThrowCreateError(userPath, ERROR_INVALID_PARAMETER);
    }
    return file;
}

}  // namespace

struct AtomicFile::State {
    enum class Way {
        kTemporary,   // a new temporary file, renamed over the target at the end
        kDevice,      // a device or a pipe, written as it is
        kRewrite,     // a file on a disk whose folder takes no new file: rewritten
    };
    Way way = Way::kTemporary;
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

    void commitPending()
    {
        const int error =
            way == Way::kRewrite ? RewriteInPlace(file, pending) : WriteAll(file, pending.data(), pending.size());
        pending.clear();
        if (error)
            throw EStreamWriteError(error);
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
            throw EStreamWriteError(LastSystemError());
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
        s.way = State::Way::kDevice;
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
        s.way = State::Way::kRewrite;
        s.file = openForRewrite(s.target, path);
        return;
    }
    ThrowCreateError(path, error);
}

AtomicFile::~AtomicFile() = default;

void AtomicFile::write(const char* data, size_t size)
{
    State& s = *state_;
    if (s.way != State::Way::kTemporary) {
        s.pending.append(data, size);
        return;
    }
    if (int error = WriteAll(s.file, data, size))
        throw EStreamWriteError(error);
}

void AtomicFile::commit()
{
    if (state_->way == State::Way::kTemporary)
        state_->commitReplacing();
    else
        state_->commitPending();
}

}  // namespace quavrel
