#pragma once
// Names of the crash-safe writer's temporary files: ".NAME.XXXXXX.tmp" beside the target
// NAME, hidden on Unix, telling whose it is, with six random letters or digits.
#include <string>

namespace quavrel {

// A new name for a temporary file of the target named `name`.
std::string NewTempName(const std::string& name);

// True when `entry` is a name NewTempName could have given for `name`.
bool IsTempNameOf(const std::string& entry, const std::string& name);

}  // namespace quavrel
