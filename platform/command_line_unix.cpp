#include "platform/command_line.h"

namespace quavrel {

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

void UseBinaryStandardStreams() {}

}  // namespace quavrel
