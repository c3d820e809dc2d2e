#pragma once
// What a command-line program gets from the system at its start.
#include <string>
#include <vector>

namespace quavrel {

// The program's arguments as UTF-8, its own name first: argv as it stands on Unix; on
// Windows the UTF-16 command line, so that names in any script reach the program whatever
// the system's code page.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Makes standard input and output pass bytes unchanged; Windows would otherwise turn
// every LF written into CR LF. Unix streams always do.
void UseBinaryStandardStreams();

}  // namespace quavrel
