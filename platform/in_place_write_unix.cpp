// Writing a regular file in place, for a file its folder does not let the writer replace:
// the new contents are in memory, the space they need is reserved before the old contents
// are touched, and what lies beyond the old end is written before what lies within it, so
// a full disk or a file-size limit fails while the file is still as it was. Also the loop
// that writes all bytes, which every way of saving uses.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/atomic_file_parts_unix.h"

namespace quavrel {
namespace {

// Blocks for the whole new size, without changing the file's size or contents. A file
// system that cannot reserve is left to the tail-first write.
int reserve(int fd, size_t size)
{
    if (size == 0 || ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0)
        return 0;
    return errno == EOPNOTSUPP || errno == ENOSYS ? 0 : errno;
}

}  // namespace

int RewriteInPlace(int fd, const std::string& bytes)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno;
    const size_t oldSize = static_cast<size_t>(st.st_size);
    if (int error = reserve(fd, bytes.size()))
        return error;
    if (bytes.size() > oldSize) {
        if (int error = WriteAll(fd, bytes.data() + oldSize, bytes.size() - oldSize, static_cast<off_t>(oldSize))) {
            (void)::ftruncate(fd, static_cast<off_t>(oldSize));
            return error;
        }
    }
    if (int error = WriteAll(fd, bytes.data(), std::min(oldSize, bytes.size()), 0))
        return error;
    if (bytes.size() < oldSize && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
        return errno;
    return ::fsync(fd) == 0 ? 0 : errno;
}

int WriteAll(int fd, const char* data, size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t n = offset < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        data += n;
        size -= static_cast<size_t>(n);
        if (offset >= 0)
            offset += n;
    }
    return 0;
}

}  // namespace quavrel
