#pragma once
// Subcommands of quavrel-net register themselves here, one source file per group.
#include <map>
#include <string>
#include <vector>

namespace quavrel::cli {

using Args = std::vector<std::string>;    // the words after the subcommand name
using CommandFn = int (*)(const Args&);   // returns the process exit code

std::map<std::string, CommandFn>& commands();

struct Registration {
    Registration(const char* name, CommandFn fn) { commands()[name] = fn; }
};

}  // namespace quavrel::cli

#define QUAVREL_NET_COMMAND(name, fn) \
    static const ::quavrel::cli::Registration fn##_registration{name, fn}
