#pragma once
// Where the program keeps its files, and the shape of a path. Paths are UTF-8 text; on
// Windows either slash separates folders.
#include <string>

namespace quavrel {

// The folder of key.lst and default.m3u, ending in a path separator, created when missing:
// the per-user data folder, since an installed program's own folder is not writable for
// its users. On Linux $XDG_DATA_HOME/quavrel/ (default ~/.local/share/quavrel/), on
// Windows %APPDATA%\quavrel\.
std::string ProgramDir();
// The folder part of a file path: "." when it has no separator, the root itself ("/",
// "C:\") for a file in a root.
std::string FolderOf(const std::string& path);
// Creates every missing folder of `path` (on Unix with mode 0700); existing ones are left
// alone.
void MakeDirs(const std::string& path);
// Full path of the running executable.
std::string ExecutablePath();
// The same path as registry text, which the autostart value under the Run key holds: GBK
// on Windows, whose registry takes text through code page 936; the file system's own
// bytes on Linux, whose autostart entry names the file as it is.
std::string ExecutablePathForRegistry();

}  // namespace quavrel
