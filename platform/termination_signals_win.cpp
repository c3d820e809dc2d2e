#include "platform/termination_signals.h"

namespace quavrel {

// Windows ends a session through the end-of-logon query, which reaches the window as the
// toolkit's session-manager request; there are no termination signals to watch.
int WatchTerminationSignals() { return -1; }

int TakeTerminationSignal(int) { return 0; }

}  // namespace quavrel
