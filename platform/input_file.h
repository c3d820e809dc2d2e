#pragma once
// A local file read from its start to its end: the play list and the keyword history are
// read through it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quavrel {

class InputFile {
public:
    // Throws EFOpenError "Cannot open file \"PATH\". REASON" when the file cannot be opened
    // for reading or is a folder.
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Up to `size` bytes, 0 at the end. Throws EReadError "Stream read error".
    size_t read(char* buffer, size_t size);

private:
    std::intptr_t handle_;   // a descriptor on Unix, a file handle on Windows
};

// True when nothing is at `path`, nor perhaps its folder.
bool NothingAt(const std::string& path);

// Everything from where `file` stands to its end.
std::string ReadToEnd(InputFile& file);

// The whole file at `path`; nullopt when nothing is there; any other failure as InputFile
// reports it.
std::optional<std::string> ReadFileIfPresent(const std::string& path);

}  // namespace quavrel
