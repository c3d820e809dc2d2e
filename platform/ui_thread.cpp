#include "platform/ui_thread.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <future>
#include <thread>

namespace quavrel {
namespace {
std::atomic<UiHooks*> g_hooks{nullptr};
}

void setUiHooks(UiHooks* hooks) { g_hooks.store(hooks); }

bool onUiThread()
{
    UiHooks* hooks = g_hooks.load();
    return hooks && hooks->isUiThread();
}

void processUiMessages()
{
    UiHooks* hooks = g_hooks.load();
    if (hooks && hooks->isUiThread())
        hooks->processMessages();
}

bool uiClosing()
{
    UiHooks* hooks = g_hooks.load();
    return hooks && hooks->closing();
}

void RunKeepingUiAlive(const std::function<void()>& work)
{
    if (!onUiThread()) {
        work();
        return;
    }
    // The helper is always waited for: the work must finish (a file half written is worse
    // than a late close), and it may use the caller's data.
    auto done = std::async(std::launch::async, work);
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        processUiMessages();
    done.get();
}

}  // namespace quavrel
