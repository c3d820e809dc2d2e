#pragma once
// TIdAntiFreeze: keeps the window responsive while the user-interface thread waits on the
// network. The HTTP connection calls it around every wait; on worker threads it does
// nothing. It never runs a message pass while a request writes or looks up a host name.
#include <chrono>

namespace quavrel {

class TIdAntiFreeze {
public:
    static constexpr int kIdleTimeOut = 150;        // longest slice of a wait, in ms
    // While data flows: a message pass at least this often, so that with the pass itself
    // the window never goes kIdleTimeOut without handling its messages.
    static constexpr int kBusyPassInterval = 100;
    static constexpr int kConnectStep = 125;        // sleep step during a connect, in ms
    static constexpr int kConnectTimeOut = 120000;  // a connect on the UI thread gives up after this

    // True when the calling thread is the user-interface thread.
    static bool ShouldUse();
    // Handles every waiting window message, then throws EIdAborted when the program is
    // closing, so a closed window keeps no request alive. Does nothing off the UI thread.
    static void DoProcess();
    // While data flows: a message pass when the last one is kBusyPassInterval or more
    // ago, so a fast download does not freeze the window either.
    static void DoProcessIfDue();
};

}  // namespace quavrel
