// The program's own files survive a crash at any moment: `quavrel-write-loop` rewrites
// default.m3u, key.lst or user.reg through the program's writers, alternating two complete
// versions of different lengths, and is killed with SIGKILL at random moments. A reader
// must see one of the two versions byte for byte, while the writer runs and after the
// kill. The file is reached through a link, has a mode of its own, and the user keeps
// files of their own where a careless writer would put its temporary; all of that must
// survive too, and killed writers must not leave a pile of temporary files behind.
#include <fcntl.h>
#include <sys/stat.h>
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

#include "platform/paths.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace quavrel {
namespace {

using test::namesIn;
using test::readFile;
using test::TempDir;
using test::writeFile;

constexpr int kKills = 100;

std::string writeLoopTool()
{
    const char* path = std::getenv("QUAVREL_WRITE_LOOP");
    return path ? path : "";
}

// Starts the writer; with `announced` its output comes back through that pipe end.
pid_t spawnWriteLoop(const std::string& kind, const std::string& dir, const char* count, int* announced = nullptr)
{
    std::vector<std::string> words{writeLoopTool(), kind, dir};
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

const std::string kUsersOwn = "the user's own file";

// The traps of one kill loop: the target is a relative link to `real` in a folder of its
// own, the real file holds `first` with mode 0640, and files of the user's sit at
// "<name>.tmp" in both folders.
struct Layout {
    Layout(const std::string& dir, const std::string& kind, const std::string& first)
        : link(targetIn(dir, kind)), realFolder(dir + "/real"), real(realFolder + "/" + kind)
    {
        std::filesystem::create_directories(FolderOf(link));
        std::filesystem::create_directories(realFolder);
        writeFile(real, first);
        ::chmod(real.c_str(), 0640);
        const std::string relative = kind == "user.reg" ? "../real/" + kind : "real/" + kind;
        linkOk = ::symlink(relative.c_str(), link.c_str()) == 0;
        for (const std::string& planted : {link + ".tmp", real + ".tmp"})
            writeFile(planted, kUsersOwn);
    }

    // Files in the real file's folder other than the file and the user's.
    std::vector<std::string> strays() const
    {
        std::vector<std::string> names = namesIn(realFolder);
        const std::string name = real.substr(realFolder.size() + 1);
        std::erase_if(names, [&](const std::string& n) { return n == name || n == name + ".tmp"; });
        return names;
    }

    std::string link, realFolder, real;
    bool linkOk = false;
};

struct KillOutcome {
    int kills = 0;
    int torn = 0;                          // a reader saw neither version
    int missing = 0;                       // the file was gone
    std::vector<std::string> strays;       // left in the folder at the end
    std::vector<std::string> straysAfterSave;   // left after one more complete save
    bool linkKept = false;
    mode_t mode = 0;
    bool usersFilesKept = false;
};

// Runs the kill loop once per kind and keeps the outcome for the tests below.
class CrashSafeFilesTest : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() { ASSERT_FALSE(writeLoopTool().empty()) << "QUAVREL_WRITE_LOOP is not set"; }

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
        EXPECT_NE(a.size(), b.size());
        EXPECT_FALSE(a.empty());

        work_ = std::make_unique<TempDir>();
        // Start from a complete file, so there is always an old version to keep.
        const Layout layout(work_->path(), kind, a);
        EXPECT_TRUE(layout.linkOk);

        const unsigned seed = std::random_device{}();
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> delayUs(0, 20000);
        KillOutcome result;
        auto readerSeesAVersion = [&] {
            std::string now;
            try {
                now = readFile(layout.link);
            } catch (const std::exception&) {
                ++result.missing;
                return;
            }
            if (now != a && now != b)
                ++result.torn;
        };
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
            readerSeesAVersion();
            ::kill(pid, SIGKILL);
            waitFor(pid);
            ++result.kills;
            readerSeesAVersion();
        }
        result.strays = layout.strays();
        struct stat linked {}, real {};
        result.linkKept = ::lstat(layout.link.c_str(), &linked) == 0 && S_ISLNK(linked.st_mode);
        if (::stat(layout.link.c_str(), &real) == 0)
            result.mode = real.st_mode & 07777;
        result.usersFilesKept = true;
        for (const std::string& planted : {layout.link + ".tmp", layout.real + ".tmp"}) {
            try {
                result.usersFilesKept = result.usersFilesKept && readFile(planted) == kUsersOwn;
            } catch (const std::exception&) {
                result.usersFilesKept = false;
            }
        }
        EXPECT_EQ(waitFor(spawnWriteLoop(kind, work_->path(), "1")), 0);
        result.straysAfterSave = layout.strays();
        if (result.torn || result.missing)
            ADD_FAILURE() << "random seed " << seed;
        return result;
    }

    static std::unique_ptr<TempDir> work_;
};

std::unique_ptr<TempDir> CrashSafeFilesTest::work_;

// ---- The file after a kill ----

TEST_P(CrashSafeFilesTest, AReaderSeesTheOldOrTheNewFile)
{
    const KillOutcome& result = outcome();
    EXPECT_EQ(result.kills, kKills);
    EXPECT_EQ(result.missing, 0) << "the file vanished";
    EXPECT_EQ(result.torn, 0) << "a reader saw neither version";
}

TEST_P(CrashSafeFilesTest, TheLinkToTheFileStays)
{
    EXPECT_TRUE(outcome().linkKept);
}

TEST_P(CrashSafeFilesTest, TheFileKeepsItsMode)
{
    EXPECT_EQ(outcome().mode, 0640u);
}

TEST_P(CrashSafeFilesTest, TheUsersFilesBesideItAreUntouched)
{
    EXPECT_TRUE(outcome().usersFilesKept);
}

// ---- What killed writers leave behind ----

std::string listed(const std::vector<std::string>& names)
{
    std::string text = std::to_string(names.size()) + " files left beside the target:";
    for (size_t i = 0; i < names.size() && i < 5; ++i)
        text += " " + names[i];
    return text + (names.size() > 5 ? " ..." : "");
}

// A killed writer may leave the temporary file it was filling; the next writer must not
// let them pile up: at most one may be left after a hundred kills.
TEST_P(CrashSafeFilesTest, KilledWritersLeaveAtMostOneTemporaryFile)
{
    const KillOutcome& result = outcome();
    EXPECT_LE(result.strays.size(), 1u) << listed(result.strays);
}

TEST_P(CrashSafeFilesTest, TheNextCompleteSaveClearsWhatWasLeft)
{
    const KillOutcome& result = outcome();
    EXPECT_TRUE(result.straysAfterSave.empty()) << listed(result.straysAfterSave);
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
