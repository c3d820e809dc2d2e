#pragma once
// Start-up marks for the start-up benchmark. When QUAVREL_STARTUP_TRACE names a file, each
// mark appends one line "step=milliseconds" to it, counted from QUAVREL_STARTUP_T0 (the
// CLOCK_MONOTONIC time in nanoseconds that the benchmark takes just before it starts the
// program, so the time before main() shows too) or else from the first mark. Without the
// variable a mark does nothing. Called from main() and the main window's start-up steps.
namespace quavrel {

void startupMark(const char* step);

}  // namespace quavrel
