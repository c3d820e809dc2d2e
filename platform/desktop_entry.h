#pragma once
// The freedesktop autostart entry that stands for the Run value on Linux: a desktop
// entry file whose Exec line starts the program at the next logon. Pure text functions;
// registry_unix.cpp reads and writes the file.
#include <optional>
#include <string>

namespace quavrel {

// Exec argument quoting of the Desktop Entry rules, with the string-value escaping of
// the file applied on top: "/opt/my app/quavrel" -> "\"/opt/my app/quavrel\"", and a
// "%" becomes "%%" so that it is not read as a field code.
std::string QuoteExecArgument(const std::string& path);

// The whole entry that starts `executable`.
std::string AutostartEntry(const std::string& executable);

// The program that an entry starts: the first argument of its Exec line with quoting and
// escapes undone. nullopt when the entry has no Exec line, or is hidden or disabled.
std::optional<std::string> AutostartExecutable(const std::string& entry);

}  // namespace quavrel
