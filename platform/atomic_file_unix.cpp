#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/atomic_file_parts_unix.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/paths.h"

namespace quavrel {
namespace {

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// O_NONBLOCK makes a FIFO without a reader fail at once (ENXIO) instead of waiting for
// one that may never come; the writes themselves block as usual.
int openInPlace(const SaveTarget& target, const std::string& userPath)
{
    const int fd = ::open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        ThrowCreateError(userPath, errno);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// A folder the user may write but not list can still take the file, without a lock.
int openFolder(const std::string& folder, const std::string& userPath)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES)
        fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        ThrowCreateError(userPath, errno);
    return fd;
}

// Root saving another user's file must not take it over; a user may only hand the group
// to one of their own groups, so the owner alone is kept then.
void keepOwnerAndMode(int fd, const struct stat& old)
{
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    ::fchmod(fd, old.st_mode & 07777);
}

}  // namespace

struct AtomicFile::State {
    std::string userPath;
    SaveTarget target;
    int folder = -1;
    int fd = -1;
    std::string name;       // of the target in `folder`
    std::string tempName;   // while a temporary file of ours exists
    std::string pending;    // for a target written in place: nothing reaches it before commit

    ~State()
    {
        if (fd >= 0)
            ::close(fd);
        if (!tempName.empty())
            ::unlinkat(folder, tempName.c_str(), 0);
        if (folder >= 0)
            ::close(folder);   // releases the folder's lock
    }

    void commitInPlace()
    {
        const bool written = writeAll(fd, pending.data(), pending.size());
        pending.clear();
        if (!written)
            throw EWriteError("Stream write error");
    }

    void commitReplacing()
    {
        if (target.kind == SaveTarget::Kind::kReplace)
            keepOwnerAndMode(fd, target.status);
        if (::fsync(fd) != 0)
            throw EWriteError("Stream write error");
        if (::renameat(folder, tempName.c_str(), folder, name.c_str()) != 0)
            ThrowCreateError(userPath, errno);
        tempName.clear();
        // Makes the rename itself durable.
        ::fsync(folder);
    }
};

AtomicFile::AtomicFile(const std::string& path) : state_(std::make_unique<State>())
{
    State& s = *state_;
    s.userPath = path;
    s.target = InspectSaveTarget(path);
    if (s.target.kind == SaveTarget::Kind::kInPlace) {
        s.fd = openInPlace(s.target, path);
        return;
    }
    s.folder = openFolder(FolderOf(s.target.path), path);
    s.name = nameOf(s.target.path);
    if (LockFolder(s.folder, path) == FolderLock::kExclusive) {
        RemoveLeftoverTemps(s.folder, s.name);
        ShareFolderLock(s.folder, path);
    }
    // A file being replaced is private until it gets the old file's mode at the end; a new
    // one is created with the mode it keeps.
    const mode_t mode = s.target.kind == SaveTarget::Kind::kReplace ? 0600 : 0666;
    s.fd = CreateTempFile(s.folder, s.name, mode, s.tempName);
    if (s.fd < 0) {
        s.tempName.clear();
        ThrowCreateError(path, errno);
    }
}

AtomicFile::~AtomicFile() = default;

void AtomicFile::write(const char* data, size_t size)
{
    State& s = *state_;
    if (s.target.kind == SaveTarget::Kind::kInPlace) {
        s.pending.append(data, size);
        return;
    }
    if (!writeAll(s.fd, data, size))
        throw EWriteError("Stream write error");
}

void AtomicFile::commit()
{
    if (state_->target.kind == SaveTarget::Kind::kInPlace)
        state_->commitInPlace();
    else
        state_->commitReplacing();
}

void WriteFileAtomically(const std::string& path, const std::string& bytes)
{
    AtomicFile file(path);
    file.write(bytes.data(), bytes.size());
    file.commit();
}

std::string SystemErrorText(int error) { return std::strerror(error); }

std::string FileErrorText(const std::string& prefix, const std::string& path, int error)
{
    // File names here are UTF-8 bytes; messages are GBK.
    return prefix + " \"" + utf8ToGbk(path) + "\". " + SystemErrorText(error);
}

void ThrowCreateError(const std::string& path, int error)
{
    throw EFCreateError(FileErrorText("Cannot create file", path, error));
}

}  // namespace quavrel
