#include "platform/ui_thread.h"

#include <atomic>

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

}  // namespace quavrel
