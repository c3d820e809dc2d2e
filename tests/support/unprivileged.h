#pragma once
// Runs part of a test as a user whom folder and file modes bind. Root passes over modes,
// so a test of what a read-only or sticky folder does runs that part as "nobody" when
// the suite runs as root (as CI does); otherwise as the user running it.
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace quavrel::test {

struct TestUser {
    uid_t uid;
    gid_t gid;
};

// "nobody" (65534) under root, otherwise the user running the tests.
TestUser UnprivilegedUser();

// Gives `path` to UnprivilegedUser() with `mode`; a folder of a TempDir must be opened up
// (mode 0755 or so) for that user to reach what lies in it.
void HandToUnprivileged(const std::string& path, mode_t mode);

// Runs `part` in a child process as UnprivilegedUser() and returns what it returned; when
// the child does not end normally, a line saying so. Gtest assertions do not work in the
// child: return what is to be checked.
std::string RunAsUnprivileged(const std::function<std::string()>& part);

// `argv` as a command that runs as UnprivilegedUser(): under root behind setpriv.
std::vector<std::string> CommandAsUnprivileged(std::vector<std::string> argv);

}  // namespace quavrel::test
