#include "http/anti_freeze.h"

#include "http/http_errors.h"
#include "platform/ui_thread.h"

namespace quavrel {

namespace {
using Clock = std::chrono::steady_clock;
// Only the UI thread ever reads or writes it.
Clock::time_point g_lastPass;
}  // namespace

bool TIdAntiFreeze::ShouldUse() { return onUiThread(); }

void TIdAntiFreeze::DoProcess()
{
    if (!ShouldUse())
        return;
    processUiMessages();
    g_lastPass = Clock::now();
    if (uiClosing())
        throw EIdAborted("Operation aborted");
}

void TIdAntiFreeze::DoProcessIfDue()
{
    if (ShouldUse() && Clock::now() - g_lastPass >= std::chrono::milliseconds(kBusyPassInterval))
        DoProcess();
}

}  // namespace quavrel
