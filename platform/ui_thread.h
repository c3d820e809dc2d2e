#pragma once
// What the core needs from the window's event loop. The shell installs an implementation
// at start-up; without one (tools, core tests) every thread counts as a worker.

#include <functional>

namespace quavrel {

class UiHooks {
public:
    virtual ~UiHooks() = default;
    // True on the thread that owns the windows.
    virtual bool isUiThread() const = 0;
    // Handles every window message that is waiting, then returns.
    virtual void processMessages() = 0;
    // True once the program is closing: waits on the UI thread give up instead of
    // keeping a closed window's request alive.
    virtual bool closing() const = 0;
};

void setUiHooks(UiHooks* hooks);  // nullptr removes them
bool onUiThread();
void processUiMessages();         // does nothing off the UI thread
bool uiClosing();

// Runs `work` to its end. On the UI thread it runs on a helper thread while the windows go
// on handling their messages, so long local work (writing a big file) never freezes them;
// elsewhere it simply runs. An exception of `work` comes out here.
void RunKeepingUiAlive(const std::function<void()>& work);

}  // namespace quavrel
