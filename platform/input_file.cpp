#include "platform/input_file.h"

namespace quavrel {

std::string ReadToEnd(InputFile& file)
{
    std::string bytes;
    size_t step = 64 * 1024;
    for (;;) {
        const size_t start = bytes.size();
        bytes.resize(start + step);
        const size_t got = file.read(bytes.data() + start, step);
        bytes.resize(start + got);
        if (got == 0)
            return bytes;
        if (step < 16 * 1024 * 1024)
            step *= 2;
    }
}

std::optional<std::string> ReadFileIfPresent(const std::string& path)
{
    if (NothingAt(path))
        return std::nullopt;
    InputFile file(path);
    return ReadToEnd(file);
}

}  // namespace quavrel
