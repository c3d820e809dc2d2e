// Long local work on the UI thread keeps the windows handling messages.
#include "platform/ui_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace quavrel;

namespace {

// The calling thread plays the UI thread; every message pass is counted.
class CountingHooks : public UiHooks {
public:
    CountingHooks() : ui_(std::this_thread::get_id()) { setUiHooks(this); }
    ~CountingHooks() override { setUiHooks(nullptr); }
    bool isUiThread() const override { return std::this_thread::get_id() == ui_; }
    void processMessages() override { ++passes; }
    bool closing() const override { return false; }
    std::atomic<int> passes{0};

private:
    std::thread::id ui_;
};

}  // namespace

TEST(RunKeepingUiAlive, PumpsWhileTheWorkRunsElsewhere)
{
    CountingHooks hooks;
    std::thread::id workThread;
    RunKeepingUiAlive([&] {
        workThread = std::this_thread::get_id();
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    });
    EXPECT_NE(workThread, std::this_thread::get_id());
    EXPECT_GE(hooks.passes.load(), 3);
}

TEST(RunKeepingUiAlive, PassesTheWorksExceptionOn)
{
    CountingHooks hooks;
    EXPECT_THROW(RunKeepingUiAlive([] { throw std::runtime_error("disk full"); }), std::runtime_error);
}

TEST(RunKeepingUiAlive, OffTheUiThreadRunsInPlaceWithoutPumping)
{
    CountingHooks hooks;
    std::thread worker([&] {
        std::thread::id workThread;
        RunKeepingUiAlive([&] { workThread = std::this_thread::get_id(); });
        EXPECT_EQ(workThread, std::this_thread::get_id());
    });
    worker.join();
    EXPECT_EQ(hooks.passes.load(), 0);
}
