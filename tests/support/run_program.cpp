#include "tests/support/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace quavrel::test {

ProgramRun RunProgram(const std::vector<std::string>& argv, const std::string& input)
{
    TempDir dir;
    writeFile(dir.file("in"), input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, dir.file("in").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, dir.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> words = argv;
    std::vector<char*> pointers;
    for (std::string& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    pid_t pid;
    const int rc = posix_spawnp(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ProgramRun run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(dir.file("out"));
    run.err = readFile(dir.file("err"));
    return run;
}

std::string QuavrelNetPath()
{
    const char* path = std::getenv("QUAVREL_NET");
    if (!path || !*path)
        throw std::runtime_error("QUAVREL_NET is not set");
    return path;
}

ProgramRun RunQuavrelNet(std::vector<std::string> args, const std::string& input)
{
    args.insert(args.begin(), QuavrelNetPath());
    return RunProgram(args, input);
}

}  // namespace quavrel::test
