#pragma once
// The requests to end the program that arrive as signals: SIGTERM (log-out, `kill`,
// `systemctl --user stop`), SIGINT (Ctrl+C in a terminal) and SIGHUP (the terminal went
// away). On Windows the console's control events stand for them: Ctrl+C and Ctrl+Break as
// SIGINT, closing the console as SIGHUP, log-off and shut-down as SIGTERM. The handler only
// writes the signal's number into a pipe; the program's event loop watches the pipe's read
// end and runs its close sequence there, where it is safe to.

namespace quavrel {

// Installs the handlers and returns the read end of their pipe (not inherited by programs
// this one starts), or -1 when the pipe or the handlers cannot be had. A signal
// that arrives before the event loop watches the pipe waits in it. Call once.
int WatchTerminationSignals();

// Empties the pipe once it has become readable. Returns the number of the last signal
// read, 0 when there was none.
int TakeTerminationSignal(int readEnd);

}  // namespace quavrel
