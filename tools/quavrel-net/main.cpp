// quavrel-net: drives the program's own network and file code from the command line, for
// diagnosis and scripting. Each subcommand lives in a cmd_*.cpp file of this folder.
#include <cstdio>

#include "tools/quavrel-net/command.h"

namespace quavrel::cli {
std::map<std::string, CommandFn>& commands()
{
    static std::map<std::string, CommandFn> table;
    return table;
}
}  // namespace quavrel::cli

int main(int argc, char** argv)
{
    using namespace quavrel::cli;
    if (argc >= 2) {
        auto it = commands().find(argv[1]);
        if (it != commands().end())
            return it->second(Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "usage: quavrel-net COMMAND [ARGS]\ncommands:");
    for (const auto& [name, fn] : commands())
        std::fprintf(stderr, " %s", name.c_str());
    std::fprintf(stderr, "\n");
    return 2;
}
