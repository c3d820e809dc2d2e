#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/exception.h"
#include "platform/system_error.h"

namespace quavrel {

InputFile::InputFile(const std::string& path) : handle_(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
{
    if (handle_ < 0)
        throw EFOpenError(FileErrorText("Cannot open file", path, errno));
    struct stat info {};
    if (::fstat(static_cast<int>(handle_), &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(static_cast<int>(handle_));
        throw EFOpenError(FileErrorText("Cannot open file", path, EISDIR));
    }
}

InputFile::~InputFile() { ::close(static_cast<int>(handle_)); }

size_t InputFile::read(char* buffer, size_t size)
{
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(handle_), buffer, size);
        if (got >= 0)
            return static_cast<size_t>(got);
        if (errno != EINTR)
            throw EReadError("Stream read error");
    }
}

bool NothingAt(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) != 0 && errno == ENOENT;
}

}  // namespace quavrel
