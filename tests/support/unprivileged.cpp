#include "tests/support/unprivileged.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace quavrel::test {
namespace {
constexpr uid_t kNobody = 65534;

void writeAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}
}  // namespace

TestUser UnprivilegedUser()
{
    if (::geteuid() == 0)
        return {kNobody, kNobody};
    return {::geteuid(), ::getegid()};
}

void HandToUnprivileged(const std::string& path, mode_t mode)
{
    const TestUser user = UnprivilegedUser();
    if (::lchown(path.c_str(), user.uid, user.gid) != 0 || ::chmod(path.c_str(), mode) != 0)
        throw std::runtime_error("cannot hand " + path + " to the test user");
}

std::string RunAsUnprivileged(const std::function<std::string()>& part)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::close(out[0]);
        const TestUser user = UnprivilegedUser();
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(user.gid) != 0 || ::setuid(user.uid) != 0)) {
            writeAll(out[1], "cannot become the test user");
            ::_exit(1);
        }
        std::string result;
        try {
            result = part();
        } catch (const std::exception& e) {
            result = std::string("unexpected exception: ") + e.what();
        }
        writeAll(out[1], result);
        ::_exit(0);
    }
    ::close(out[1]);
    std::string result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.append(buffer, static_cast<size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status))
        return "the test user's part ended by signal " + std::to_string(WTERMSIG(status));
    return result;
}

std::vector<std::string> CommandAsUnprivileged(std::vector<std::string> argv)
{
    if (::geteuid() != 0)
        return argv;
    const TestUser user = UnprivilegedUser();
    std::vector<std::string> command{"setpriv", "--reuid=" + std::to_string(user.uid),
                                     "--regid=" + std::to_string(user.gid), "--clear-groups", "--"};
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

}  // namespace quavrel::test
