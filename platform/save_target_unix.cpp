// Where a save really writes: the end of a chain of links, and what kind of file is there.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/atomic_file_parts_unix.h"
#include "platform/paths.h"

namespace quavrel {
namespace {

// As many links as the kernel itself follows before it gives up with ELOOP.
constexpr int kMaxLinks = 40;

// The path at the end of `path`'s links. A relative link counts from its own folder. A
// dangling link leads to the file it names, which the save then creates.
std::string followLinks(const std::string& userPath)
{
    std::string path = userPath;
    for (int links = 0;; ++links) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        if (links == kMaxLinks)
            ThrowCreateError(userPath, ELOOP);
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0)
            ThrowCreateError(userPath, errno);
        target.resize(static_cast<size_t>(n));
        path = !target.empty() && target[0] == '/' ? target : FolderOf(path) + "/" + target;
    }
}

// Root may write any file, so access(2) alone would let root replace a read-only one.
bool mayReplace(const std::string& path, const struct stat& st, int& error)
{
    if ((st.st_mode & S_IWUSR) == 0) {
        error = EACCES;
        return false;
    }
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
        error = errno;
        return false;
    }
    return true;
}

}  // namespace

SaveTarget InspectSaveTarget(const std::string& userPath)
{
    SaveTarget target;
    target.path = followLinks(userPath);
    if (::lstat(target.path.c_str(), &target.status) != 0) {
        if (errno != ENOENT)
            ThrowCreateError(userPath, errno);
        target.kind = SaveTarget::Kind::kNew;
        return target;
    }
    const mode_t type = target.status.st_mode & S_IFMT;
    int error = 0;
    if (type == S_IFDIR)
        ThrowCreateError(userPath, EISDIR);
    if (type != S_IFREG) {
        target.kind = SaveTarget::Kind::kInPlace;
        return target;
    }
    if (!mayReplace(target.path, target.status, error))
        ThrowCreateError(userPath, error);
    target.kind = SaveTarget::Kind::kReplace;
    return target;
}

bool StickyFolderRefusesReplacing(const struct stat& folder, const struct stat& target)
{
    // Root may rename any file, sticky folder or not.
    const uid_t user = ::geteuid();
    return (folder.st_mode & S_ISVTX) != 0 && user != 0 && user != target.st_uid && user != folder.st_uid;
}

}  // namespace quavrel
