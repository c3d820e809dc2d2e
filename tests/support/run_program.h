#pragma once
// Runs a program of the build the way a user runs it from a shell: its arguments, bytes on
// standard input, and what it printed and how it ended.
#include <string>
#include <vector>

namespace quavrel::test {

struct ProgramRun {
    std::string out;
    std::string err;
    int code = -1;   // the exit status; -1 when a signal ended it
};

// Runs argv[0] (looked up in PATH when it holds no "/") with `input` on standard input,
// and waits for it. Throws std::runtime_error when it cannot be started.
ProgramRun RunProgram(const std::vector<std::string>& argv, const std::string& input = "");

// The quavrel-net of the build (QUAVREL_NET); throws std::runtime_error when it is unset.
std::string QuavrelNetPath();

// RunProgram of quavrel-net with `args`.
ProgramRun RunQuavrelNet(std::vector<std::string> args, const std::string& input = "");

}  // namespace quavrel::test
