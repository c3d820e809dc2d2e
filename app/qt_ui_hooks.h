#pragma once
// QtUiHooks: the window side of the core's UI-thread hooks. main() installs the one
// instance; a blocking request on the UI thread (the HTTP client) pumps messages through
// it and gives up once the close sequence has marked the program as closing.
#include <atomic>

#include "platform/ui_thread.h"

namespace quavrel {

class QtUiHooks : public UiHooks {
public:
    bool isUiThread() const override;
    // Handles every waiting event once, then returns; deferred deletions stay queued for
    // the main loop, so nothing is freed under a handler that is still waiting.
    void processMessages() override;
    bool closing() const override { return closing_.load(); }

    void setClosing(bool closing) { closing_.store(closing); }

private:
    std::atomic<bool> closing_{false};
};

// The program's one instance.
QtUiHooks& qtUiHooks();

}  // namespace quavrel
