#include "tools/catalog/os_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quavrel::catalog {
namespace {

void fill(const struct stat& st, FileStamp& stamp)
{
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = static_cast<std::int64_t>(st.st_size);
    stamp.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    stamp.regular = S_ISREG(st.st_mode);
    stamp.directory = S_ISDIR(st.st_mode);
}

}  // namespace

bool StatFile(const std::string& path, FileStamp& stamp, std::string& error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    fill(st, stamp);
    return true;
}

int OpenIndexedFile(const std::string& path, std::uint64_t device, std::uint64_t inode, std::int64_t& size,
                    bool& outOfDescriptors)
{
    outOfDescriptors = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        outOfDescriptors = errno == EMFILE || errno == ENFILE;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_dev) != device ||
        static_cast<std::uint64_t>(st.st_ino) != inode) {
        ::close(fd);
        return -1;
    }
    size = static_cast<std::int64_t>(st.st_size);
    return fd;
}

void CloseDescriptor(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

std::string CannotReadReason(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return std::strerror(errno);
    ::close(fd);
    return "";
}

unsigned long DescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1024;
    return static_cast<unsigned long>(limit.rlim_cur);
}

ExclusiveLock::~ExclusiveLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool ExclusiveLock::acquire(const std::string& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? "in use by another quavrel-catalog" : std::strerror(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

}  // namespace quavrel::catalog
