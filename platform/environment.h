#pragma once
// The process's environment: its variables, as UTF-8 text, and the user it runs as.
#include <optional>
#include <string>

namespace quavrel {

// nullopt when the variable is not set.
std::optional<std::string> EnvironmentValue(const std::string& name);
// Sets the variable for this process and the programs it starts.
void SetEnvironmentValue(const std::string& name, const std::string& value);
// True when the process runs as the Unix superuser (user id 0). Windows has no such user.
bool RunsAsRoot();

}  // namespace quavrel
