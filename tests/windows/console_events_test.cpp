// Ctrl+C in the console: caught instead of ending the process, and handed to the event
// loop through the pipe as SIGINT. (Wine cannot send Ctrl+Break to a console group.)
#include "platform/termination_signals.h"

#include <windows.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <gtest/gtest.h>

namespace quavrel {
namespace {

// The handler runs on a thread of the system's: waits until its byte has arrived.
int nextRequest(int readEnd)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < giveUp) {
        if (const int signal = TakeTerminationSignal(readEnd))
            return signal;
        std::this_thread::yield();
    }
    return 0;
}

TEST(ConsoleEvents, CtrlCArrivesAsSigintAndIsTakenOnce)
{
    // A console of its own, so that the events reach this process alone.
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    const int readEnd = WatchTerminationSignals();
    ASSERT_GE(readEnd, 0);
    EXPECT_EQ(TakeTerminationSignal(readEnd), 0);
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    EXPECT_EQ(nextRequest(readEnd), SIGINT);
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    EXPECT_EQ(nextRequest(readEnd), SIGINT);
    EXPECT_EQ(TakeTerminationSignal(readEnd), 0);
}

}  // namespace
}  // namespace quavrel
