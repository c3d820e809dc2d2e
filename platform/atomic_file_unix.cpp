#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/atomic_file_parts_unix.h"
#include "platform/exception.h"
#include "platform/paths.h"

namespace quavrel {
namespace {

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
    enum class Way {
        kTemporary,   // a new temporary file, renamed over the target at the end
        kDevice,      // a device or FIFO, written as it is
        kRewrite,     // a regular file its folder does not let us replace: rewritten
    };
    Way way = Way::kTemporary;
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

    // The target itself, as it was inspected: never through a link put there since.
    void openForRewrite()
    {
        fd = ::open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            ThrowCreateError(userPath, errno);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
            ThrowCreateError(userPath, EINVAL);
        way = Way::kRewrite;
    }

    void commitPending()
    {
        const int error =
            way == Way::kRewrite ? RewriteInPlace(fd, pending) : WriteAll(fd, pending.data(), pending.size());
        pending.clear();
        if (error)
            throw EStreamWriteError(error);
    }

    void commitReplacing()
    {
        if (target.kind == SaveTarget::Kind::kReplace)
            keepOwnerAndMode(fd, target.status);
        if (::fsync(fd) != 0)
            throw EStreamWriteError(errno);
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
        s.way = State::Way::kDevice;
        s.fd = openInPlace(s.target, path);
        return;
    }
    s.folder = openFolder(FolderOf(s.target.path), path);
    s.name = nameOf(s.target.path);
    const bool replacing = s.target.kind == SaveTarget::Kind::kReplace;
    struct stat folderStatus {};
    if (replacing && ::fstat(s.folder, &folderStatus) == 0 &&
        StickyFolderRefusesReplacing(folderStatus, s.target.status)) {
        s.openForRewrite();
        return;
    }
    if (LockFolder(s.folder, path) == FolderLock::kExclusive) {
        RemoveLeftoverTemps(s.folder, s.name);
        ShareFolderLock(s.folder, path);
    }
    // A file being replaced is private until it gets the old file's mode at the end; a new
    // one is created with the mode it keeps.
    s.fd = CreateTempFile(s.folder, s.name, replacing ? 0600 : 0666, s.tempName);
    if (s.fd < 0) {
        const int error = errno;
        s.tempName.clear();
        // A folder the user may not create files in may still hold a file they may write.
        if (replacing && (error == EACCES || error == EPERM)) {
            s.openForRewrite();
            return;
        }
        ThrowCreateError(path, error);
    }
}

AtomicFile::~AtomicFile() = default;

void AtomicFile::write(const char* data, size_t size)
{
    State& s = *state_;
    if (s.way != State::Way::kTemporary) {
        s.pending.append(data, size);
        return;
    }
    if (int error = WriteAll(s.fd, data, size))
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
