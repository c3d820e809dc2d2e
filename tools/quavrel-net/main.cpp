// quavrel-net: drives the program's own network and file code from the command line, for
// diagnosis and scripting. Each subcommand lives in a cmd_*.cpp file of this folder.
#include <cstdio>
#include <string>

#include "platform/command_line.h"
#include "tools/quavrel-net/command.h"

namespace quavrel::cli {

std::map<std::string, Command>& commands()
{
    static std::map<std::string, Command> table;
    return table;
}

int UsageError(const std::string& name)
{
    std::fprintf(stderr, "usage: quavrel-net %s\n", commands().at(name).usage);
    return 2;
}

namespace {

bool asksForHelp(const std::string& word) { return word == "--help" || word == "-h"; }

// The list of commands, to standard output when asked for, else to standard error.
int listCommands(bool asked)
{
    FILE* out = asked ? stdout : stderr;
    std::fprintf(out, "usage: quavrel-net COMMAND [ARGS]\n"
                      "Runs the network and file code of Quavrel from the command line.\n\ncommands:\n");
    for (const auto& [name, command] : commands())
        std::fprintf(out, "  %s\n", command.usage);
    std::fprintf(out, "\n\"quavrel-net COMMAND --help\" tells what a command does.\n");
    return asked ? 0 : 2;
}

int printHelp(const Command& command)
{
    std::printf("usage: quavrel-net %s\n%s\n", command.usage, command.help);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace
}  // namespace quavrel::cli

int main(int argc, char** argv)
{
    using namespace quavrel::cli;
    quavrel::UseBinaryStandardStreams();
    const Args words = quavrel::CommandLineArguments(argc, argv);
    if (words.size() < 2)
        return listCommands(false);
    const std::string& name = words[1];
    if (asksForHelp(name) || name == "help")
        return listCommands(true);
    auto it = commands().find(name);
    if (it == commands().end()) {
        std::fprintf(stderr, "quavrel-net: unknown command '%s'\n", name.c_str());
        return listCommands(false);
    }
    if (words.size() == 3 && asksForHelp(words[2]))
        return printHelp(it->second);
    return it->second.run(Args(words.begin() + 2, words.end()));
}
