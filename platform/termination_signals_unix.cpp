#include "platform/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace quavrel {
namespace {

int writeEnd = -1;

// Async-signal-safe: one write, errno left as the interrupted code had it.
void onTerminationSignal(int signal)
{
    const int savedErrno = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] ssize_t n = ::write(writeEnd, &byte, 1);
    errno = savedErrno;
}

}  // namespace

int WatchTerminationSignals()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    writeEnd = ends[1];
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    return ends[0];
}

int TakeTerminationSignal(int readEnd)
{
    int last = 0;
    char bytes[16];
    ssize_t n;
    while ((n = ::read(readEnd, bytes, sizeof bytes)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0)
            last = static_cast<unsigned char>(bytes[n - 1]);
    }
    return last;
}

}  // namespace quavrel
