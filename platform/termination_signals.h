#pragma once
// The requests to end the program that arrive as signals: SIGTERM (log-out, `kill`,
// `systemctl --user stop`), SIGINT (Ctrl+C in a terminal) and SIGHUP (the terminal went
// away). The handler only writes the signal's number into a pipe; the program's event loop
// watches the pipe's read end and runs its close sequence there, where it is safe to.

namespace quavrel {

// Installs the handlers and returns the read end of their pipe (non-blocking, closed on
// exec), or -1 when this platform has no such signals or the pipe cannot be made. A signal
// that arrives before the event loop watches the pipe waits in it. Call once.
int WatchTerminationSignals();

// Empties the pipe once it has become readable. Returns the number of the last signal
// read, 0 when there was none.
int TakeTerminationSignal(int readEnd);

}  // namespace quavrel
