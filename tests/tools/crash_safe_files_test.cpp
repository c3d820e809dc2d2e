// The program's own files survive a crash at any moment: `quavrel-net write-loop` rewrites
// default.m3u, key.lst or user.reg through the program's writers, alternating two complete
// versions, and is killed with SIGKILL at random moments. Afterwards the file must be one
// of the two versions byte for byte, and killed writers must not leave a pile of
// temporary files behind.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace quavrel {
namespace {

using test::TempDir;
using test::readFile;

constexpr int kKills = 100;

std::string netTool()
{
    const char* path = std::getenv("QUAVREL_NET");
    return path ? path : "";
}

// Starts the writer; with `announced` its output comes back through that pipe end.
pid_t spawnWriteLoop(const std::string& kind, const std::string& dir, const char* count, int* announced = nullptr)
{
    std::vector<std::string> words{netTool(), "write-loop", kind, dir};
    if (count)
        words.push_back(count);
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int out[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (announced) {
        if (::pipe(out) != 0)
            return -1;
        ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        ::posix_spawn_file_actions_addclose(&actions, out[0]);
    } else {
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    int failed = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (announced) {
        ::close(out[1]);
        *announced = out[0];
    }
    return failed ? -1 : pid;
}

// Waits until the writer says it starts writing (or has ended); then closes the pipe.
void awaitWriting(int announced)
{
    char buffer[16];
    std::string said;
    while (said.find('\n') == std::string::npos) {
        ssize_t n = ::read(announced, buffer, sizeof buffer);
        if (n <= 0)
            break;
        said.append(buffer, static_cast<size_t>(n));
    }
    ::close(announced);
}

// Exit status of a finished child, -1 when it did not exit normally.
int waitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Where the writer of `kind` keeps its file under `dir`.
std::string targetIn(const std::string& dir, const std::string& kind)
{
    return kind == "user.reg" ? dir + "/quavrel/user.reg" : dir + "/" + kind;
}

// Everything in the file's folder besides the file itself.
std::vector<std::string> strays(const std::string& target)
{
    std::vector<std::string> names;
    const std::filesystem::path file(target);
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
        if (entry.path() != file && !entry.is_directory())
            names.push_back(entry.path().filename().string());
    }
    return names;
}

struct KillOutcome {
    int kills = 0;
    int torn = 0;                     // the file was neither version
    int missing = 0;                  // the file was gone
    std::vector<std::string> strays;  // left in the folder at the end
};

// Runs the kill loop once per kind and keeps the outcome for the tests below.
class CrashSafeFilesTest : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() { ASSERT_FALSE(netTool().empty()) << "QUAVREL_NET is not set"; }

    const KillOutcome& outcome()
    {
        static std::map<std::string, KillOutcome> outcomes;
        const std::string& kind = GetParam();
        auto found = outcomes.find(kind);
        if (found == outcomes.end())
            found = outcomes.emplace(kind, killLoop(kind)).first;
        return found->second;
    }

    // Version A and version B as the program itself writes them.
    std::string version(const std::string& kind, const char* passes)
    {
        TempDir dir;
        pid_t pid = spawnWriteLoop(kind, dir.path(), passes);
        EXPECT_GT(pid, 0);
        EXPECT_EQ(waitFor(pid), 0);
        return readFile(targetIn(dir.path(), kind));
    }

    KillOutcome killLoop(const std::string& kind)
    {
        const std::string a = version(kind, "1");
        const std::string b = version(kind, "2");
        EXPECT_NE(a, b);
        EXPECT_FALSE(a.empty());

        work_ = std::make_unique<TempDir>();
        const std::string target = targetIn(work_->path(), kind);
        // Start from a complete file, so there is always an old version to keep.
        EXPECT_EQ(waitFor(spawnWriteLoop(kind, work_->path(), "1")), 0);

        const unsigned seed = std::random_device{}();
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> delayUs(0, 20000);
        KillOutcome result;
        for (int i = 0; i < kKills; ++i) {
            int announced = -1;
            pid_t pid = spawnWriteLoop(kind, work_->path(), nullptr, &announced);
            EXPECT_GT(pid, 0);
            if (pid <= 0)
                break;
            // Timed from the first write, so that a slow start-up (a sanitizer build)
            // does not turn the kills into kills before anything was written.
            awaitWriting(announced);
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
            ::kill(pid, SIGKILL);
            waitFor(pid);
            ++result.kills;
            std::string now;
            try {
                now = readFile(target);
            } catch (const std::exception&) {
                ++result.missing;
                continue;
            }
            if (now != a && now != b)
                ++result.torn;
        }
        result.strays = strays(target);
        if (result.torn || result.missing)
            ADD_FAILURE() << "random seed " << seed;
        return result;
    }

    static std::unique_ptr<TempDir> work_;
};

std::unique_ptr<TempDir> CrashSafeFilesTest::work_;

// ---- The file after a kill ----

TEST_P(CrashSafeFilesTest, KilledWriterLeavesTheOldOrTheNewFile)
{
    const KillOutcome& result = outcome();
    EXPECT_EQ(result.kills, kKills);
    EXPECT_EQ(result.missing, 0) << "the file vanished after a kill";
    EXPECT_EQ(result.torn, 0) << "the file was neither version after a kill";
}

// ---- What killed writers leave behind ----

// A killed writer may leave the temporary file it was filling; the next writer must not
// let them pile up: at most one may be left after a hundred kills.
TEST_P(CrashSafeFilesTest, KilledWritersLeaveAtMostOneTemporaryFile)
{
    const KillOutcome& result = outcome();
    std::string names;
    for (size_t i = 0; i < result.strays.size() && i < 5; ++i)
        names += " " + result.strays[i];
    EXPECT_LE(result.strays.size(), 1u) << result.strays.size() << " files left beside the target:" << names
                                        << (result.strays.size() > 5 ? " ..." : "");
}

INSTANTIATE_TEST_SUITE_P(Files, CrashSafeFilesTest, ::testing::Values("default.m3u", "key.lst", "user.reg"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '.')
                                     c = '_';
                             return name;
                         });

}  // namespace
}  // namespace quavrel
