// Termination signals turned into bytes on a pipe: the process lives on, and the event
// loop learns which signal came.
#include <gtest/gtest.h>

#include <csignal>

#include "platform/termination_signals.h"

namespace quavrel {
namespace {

class TerminationSignals : public ::testing::Test {
protected:
    static void SetUpTestSuite() { readEnd = WatchTerminationSignals(); }
    static inline int readEnd = -1;
};

// Each of the three signals is caught instead of ending the process.
TEST_F(TerminationSignals, EachSignalArrivesOnThePipe)
{
    ASSERT_GE(readEnd, 0);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ASSERT_EQ(std::raise(signal), 0);
        EXPECT_EQ(TakeTerminationSignal(readEnd), signal);
    }
}

// Signals that pile up before the loop looks are read in one go, and the pipe is empty
// afterwards, so the loop is not woken again for them.
TEST_F(TerminationSignals, WaitingSignalsAreTakenTogether)
{
    ASSERT_GE(readEnd, 0);
    std::raise(SIGINT);
    std::raise(SIGHUP);
    EXPECT_EQ(TakeTerminationSignal(readEnd), SIGHUP);
    EXPECT_EQ(TakeTerminationSignal(readEnd), 0);
}

}  // namespace
}  // namespace quavrel
