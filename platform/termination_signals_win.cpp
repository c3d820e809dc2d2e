// Ctrl+C, Ctrl+Break, the console window's close box, log-off and shut-down reach a console
// program through its console control handler, which Windows runs on a thread of its own.
// The handler writes the request into a pipe, as the Unix signal handler does.
#include "platform/termination_signals.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <csignal>

namespace quavrel {
namespace {

int writeEnd = -1;

// The Unix signal that stands for each request, so that callers need not know the system.
int signalFor(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        return SIGINT;
    case CTRL_CLOSE_EVENT:
        return 1;   // SIGHUP: the terminal went away
    default:
        return SIGTERM;   // log-off and shut-down
    }
}

BOOL WINAPI onConsoleEvent(DWORD event)
{
    const char number = static_cast<char>(signalFor(event));
    _write(writeEnd, &number, 1);
    // Windows ends the process as soon as the handler returns from a close, log-off or
    // shut-down event; waiting here gives the program's close sequence its time (the
    // system allows a few seconds) and ends with the process.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(INFINITE);
    return TRUE;
}

}  // namespace

int WatchTerminationSignals()
{
    int ends[2];
    if (_pipe(ends, 256, _O_BINARY | _O_NOINHERIT) != 0)
        return -1;
    writeEnd = ends[1];
    if (!SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
        _close(ends[0]);
        _close(ends[1]);
        writeEnd = -1;
        return -1;
    }
    return ends[0];
}

// A pipe of the C library cannot be made non-blocking: only what is already there is read.
int TakeTerminationSignal(int readEnd)
{
    const HANDLE pipe = reinterpret_cast<HANDLE>(_get_osfhandle(readEnd));
    int last = 0;
    DWORD waiting = 0;
    char bytes[16];
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0) {
        const int got = _read(readEnd, bytes, waiting < sizeof bytes ? waiting : sizeof bytes);
        if (got <= 0)
            break;
        last = static_cast<unsigned char>(bytes[got - 1]);
    }
    return last;
}

}  // namespace quavrel
