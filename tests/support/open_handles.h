#pragma once
// How many files, sockets and other system objects the test process holds open: the
// descriptors in /proc/self/fd on Linux, the handles of the process on Windows. Tests
// compare counts before and after work that must not leak any.

namespace quavrel::test {

int OpenHandleCount();

}  // namespace quavrel::test
