#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/paths.h"

namespace quavrel {
namespace {

bool writeAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string SystemErrorText(int error) { return std::strerror(error); }

std::string FileErrorText(const std::string& prefix, const std::string& path, int error)
{
    // File names here are UTF-8 bytes; messages are GBK.
    return prefix + " \"" + utf8ToGbk(path) + "\". " + SystemErrorText(error);
}

// Opens the one temporary file of `path`, locked against another copy of the program
// writing the same target. A fixed name means a writer killed mid-write leaves at most
// that one file behind, and the next write reuses it.
static int openLockedTemp(const std::string& path, const std::string& temp)
{
    for (;;) {
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            throw EFCreateError(FileErrorText("Cannot create file", path, errno));
        struct stat held {}, named {};
        // Another copy may have renamed the file away while we waited for the lock.
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &held) == 0 && ::stat(temp.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return fd;
        ::close(fd);
    }
}

void WriteFileAtomically(const std::string& path, const std::string& bytes)
{
    const std::string temp = path + ".tmp";
    int fd = openLockedTemp(path, temp);
    ::fchmod(fd, 0644);
    if (::ftruncate(fd, 0) != 0 || !writeAll(fd, bytes) || ::fsync(fd) != 0) {
        ::unlink(temp.c_str());
        ::close(fd);
        throw EWriteError("Stream write error");
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        ::close(fd);
        throw EFCreateError(FileErrorText("Cannot create file", path, error));
    }
    ::close(fd);   // releases the lock only after the rename
    // Make the rename itself durable.
    int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace quavrel
