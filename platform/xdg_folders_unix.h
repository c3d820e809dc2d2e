#pragma once
// The freedesktop per-user folders that the Linux registry keeps its files in.
#include <string>

namespace quavrel {

// The per-user configuration folder ($XDG_CONFIG_HOME/quavrel/, default ~/.config/quavrel/),
// ending in a path separator; not created here.
std::string ConfigDir();
// $XDG_CONFIG_HOME (default ~/.config), without a trailing separator.
std::string XdgConfigHome();

}  // namespace quavrel
