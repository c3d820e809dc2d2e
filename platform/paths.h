#pragma once
// Where the program keeps its files.
#include <string>

namespace quavrel {

// The folder of key.lst and default.m3u, ending in a path separator. On Linux the per-user
// data folder ($XDG_DATA_HOME/quavrel/, default ~/.local/share/quavrel/), created when
// missing, since an installed program's own folder is not writable.
std::string ProgramDir();
// The per-user configuration folder ($XDG_CONFIG_HOME/quavrel/, default ~/.config/quavrel/),
// ending in a path separator; not created here.
std::string ConfigDir();
// $XDG_CONFIG_HOME (default ~/.config), without a trailing separator.
std::string XdgConfigHome();
// The folder part of a file path: "." when it has no "/", "/" for a file in the root.
std::string FolderOf(const std::string& path);
// Creates every missing folder of `path` (mode 0700); existing ones are left alone.
void MakeDirs(const std::string& path);
// Full path of the running executable.
std::string ExecutablePath();

}  // namespace quavrel
