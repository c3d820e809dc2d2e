// The order in which a save reaches the disk, seen in the system calls of quavrel-net
// (traced with strace). A killed program cannot show it: the page cache outlives the
// process, so only the order of the calls tells whether a crash of the machine could
// leave an empty or partial file under the old name.
//   Replacing: the bytes go into a temporary file, which is flushed, then renamed over
//   the old file, and then the folder is flushed so that the rename lasts too.
//   In place (a folder that takes no temporary file): the space is reserved before the
//   first byte of the old file is overwritten, and the file is flushed at the end.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/run_program.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"

namespace quavrel {
namespace {

using test::HttpResponseText;
using test::ProgramRun;
using test::Script;
using test::ScriptedServer;
using test::TempDir;

// One system call of a trace: "openat", its arguments as strace wrote them, and its result.
struct Call {
    std::string name;
    std::string args;
    std::string result;
};

class Trace {
public:
    // Runs `argv` under strace, tracing `calls` in it and its children.
    Trace(const TempDir& dir, const std::string& calls, std::vector<std::string> argv)
    {
        const std::string file = dir.file("trace");
        // In a sanitizer build the leak check cannot run under a tracer, and fails the run.
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string noLeakCheck = "ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":detect_leaks=0";
        argv.insert(argv.begin(), {"strace", "-f", "-qq", "-E", noLeakCheck, "-e", "trace=" + calls, "-o", file});
        run_ = test::RunProgram(argv);
        std::string text = test::readFile(file);
        for (size_t start = 0, end; start < text.size(); start = end + 1) {
            end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            add(text.substr(start, end - start));
        }
    }

    const ProgramRun& run() const { return run_; }

    // The index of the first call from `from` on whose name starts with `name` and whose
    // arguments hold `part`; -1 when there is none.
    int find(const std::string& name, const std::string& part, int from = 0) const
    {
        for (int i = std::max(from, 0); i < size(); ++i)
            if (isCall(i, name) && at(i).args.find(part) != std::string::npos)
                return i;
        return -1;
    }
    // The first call `name` on descriptor `fd` from `from` on; -1 when there is none.
    int findOn(const std::string& name, const std::string& fd, int from = 0) const
    {
        for (int i = std::max(from, 0); i < size(); ++i)
            if (isCall(i, name) && firstArgument(i) == fd)
                return i;
        return -1;
    }
    // The last call `name` on descriptor `fd` before `before`; -1 when there is none.
    int findLastOn(const std::string& name, const std::string& fd, int before) const
    {
        for (int i = std::min(before, size()) - 1; i >= 0; --i)
            if (isCall(i, name) && firstArgument(i) == fd)
                return i;
        return -1;
    }
    const Call& at(int index) const { return calls_.at(static_cast<size_t>(index)); }
    std::string firstArgument(int index) const { return at(index).args.substr(0, at(index).args.find(',')); }
    int size() const { return static_cast<int>(calls_.size()); }

private:
    bool isCall(int index, const std::string& name) const { return at(index).name.rfind(name, 0) == 0; }

    // "1234  name(args) = result ..."; lines of exits and signals are no calls.
    void add(const std::string& line)
    {
        const size_t open = line.find('(');
        const size_t equals = line.rfind(" = ");
        const size_t close = equals == std::string::npos ? std::string::npos : line.rfind(')', equals);
        if (open == std::string::npos || close == std::string::npos || close < open)
            return;
        size_t nameStart = line.find_last_of(' ', open);
        nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
        const std::string result = line.substr(equals + 3);
        calls_.push_back({line.substr(nameStart, open - nameStart), line.substr(open + 1, close - open - 1),
                          result.substr(0, result.find(' '))});
    }

    ProgramRun run_;
    std::vector<Call> calls_;
};

class SaveOrderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::RunProgram({"strace", "-qq", "-o", "/dev/null", "true"}).code != 0)
            GTEST_SKIP() << "strace cannot trace processes on this machine";
        ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
        folder_ = dir_.file("music");
        ASSERT_EQ(::mkdir(folder_.c_str(), 0755), 0);
        path_ = folder_ + "/song.mp3";
        test::writeFile(path_, "the old song");
        server_.add(Script().answer(HttpResponseText(std::string(100000, 's'))));
    }

    TempDir dir_;
    std::string folder_;
    std::string path_;
    ScriptedServer server_;
};

TEST_F(SaveOrderTest, TheTemporaryIsFlushedThenRenamedThenTheFolderIsFlushed)
{
    Trace trace(dir_, "openat,write,fsync,fdatasync,rename,renameat,renameat2",
                {test::QuavrelNetPath(), "get", "-o", path_, server_.url("/song.mp3")});
    ASSERT_EQ(trace.run().code, 0) << trace.run().err;

    const int created = trace.find("openat", "\".song.mp3.");
    ASSERT_GE(created, 0) << "no temporary file was created";
    const std::string temp = trace.at(created).result;
    const std::string folder = trace.firstArgument(created);
    const int renamed = trace.find("rename", "\"song.mp3\"", created);
    ASSERT_GE(renamed, 0) << "the temporary file was not renamed over the old one";
    const int lastWrite = trace.findLastOn("write", temp, renamed);
    ASSERT_GT(lastWrite, created) << "the song was not written to the temporary file";

    const int flushed = trace.findOn("fsync", temp, lastWrite);
    EXPECT_GE(flushed, 0) << "the temporary file is not flushed after its last write";
    EXPECT_LT(flushed, renamed) << "the temporary file is renamed before it is flushed";
    EXPECT_GE(trace.findOn("fsync", folder, renamed), 0) << "the folder is not flushed after the rename";
    EXPECT_EQ(test::readFile(path_).size(), 100000u);
}

TEST_F(SaveOrderTest, InPlaceTheSpaceIsReservedBeforeTheOldBytesAreTouched)
{
    test::HandToUnprivileged(path_, 0644);
    test::HandToUnprivileged(folder_, 0555);
    // The build may lie in a folder the test user cannot reach, such as root's home.
    const std::string tool = dir_.file("quavrel-net");
    std::filesystem::copy_file(test::QuavrelNetPath(), tool);
    Trace trace(dir_, "openat,fallocate,write,pwrite64,ftruncate,fsync",
                test::CommandAsUnprivileged({tool, "get", "-o", path_, server_.url("/song.mp3")}));
    ASSERT_EQ(trace.run().code, 0) << trace.run().err;

    const int opened = trace.find("openat", "\"" + path_ + "\", O_WRONLY");
    ASSERT_GE(opened, 0) << "the song was not opened for writing in place";
    const std::string file = trace.at(opened).result;
    const int reserved = trace.findOn("fallocate", file, opened);
    const int firstWrite = trace.findOn("pwrite", file, opened);
    ASSERT_GE(firstWrite, 0) << "nothing was written to the song";
    EXPECT_GE(reserved, 0) << "no space was reserved";
    EXPECT_LT(reserved, firstWrite) << "the old bytes were overwritten before the space was reserved";
    const int lastWrite = trace.findLastOn("pwrite", file, trace.size());
    EXPECT_GE(trace.findOn("fsync", file, lastWrite), 0) << "the song is not flushed after its last write";
    EXPECT_EQ(test::readFile(path_).size(), 100000u);
}

}  // namespace
}  // namespace quavrel
