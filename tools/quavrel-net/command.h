#pragma once
// Subcommands of quavrel-net register themselves here, one source file per group, each
// with the words it takes and a few lines on what it does: "quavrel-net COMMAND --help"
// prints them.
#include <map>
#include <string>
#include <vector>

namespace quavrel::cli {

using Args = std::vector<std::string>;    // the words after the subcommand name
using CommandFn = int (*)(const Args&);   // returns the process exit code

struct Command {
    CommandFn run;
    const char* usage;   // the words after "quavrel-net", such as "get [-o FILE] URL..."
    const char* help;    // what it does, one line per "\n"
};

std::map<std::string, Command>& commands();

// "usage: quavrel-net USAGE" of the command `name` on standard error; returns 2, the exit
// code of a command called the wrong way.
int UsageError(const std::string& name);

struct Registration {
    Registration(const char* name, Command command) { commands()[name] = command; }
};

}  // namespace quavrel::cli

#define QUAVREL_NET_COMMAND(name, fn, usage, help) \
    static const ::quavrel::cli::Registration fn##_registration{name, {fn, usage, help}}
