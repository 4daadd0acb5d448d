// DelayWithMessages keeps the GUI alive and ends early once the application terminates.
#include "ui/base/application.h"
#include "ui/base/delay.h"

#include <gtest/gtest.h>

#include <thread>

namespace {
int timerTicks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++timerTicks; }

TEST(DelayWithMessages, ProcessesMessagesWhileWaiting)
{
    Application().Initialize();
    timerTicks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, &CountTick);
    DWORD start = GetTickCount();
    DelayWithMessages(400);
    DWORD elapsed = GetTickCount() - start;
    KillTimer(nullptr, timer);
    EXPECT_GE(elapsed, 400u);
    EXPECT_GE(timerTicks, 3);
}

TEST(DelayWithMessages, ServesCallsFromOtherThreads)
{
    Application().Initialize();
    bool ran = false;
    std::thread worker([&] { Application().Synchronize([&] { ran = Application().IsGuiThread(); }); });
    DelayWithMessages(300);
    worker.join();
    EXPECT_TRUE(ran);
}

TEST(DelayWithMessages, ZeroReturnsAtOnce)
{
    DWORD start = GetTickCount();
    DelayWithMessages(0);
    EXPECT_LT(GetTickCount() - start, 20u);
}

// Runs last in this program: the application stays terminated afterwards.
TEST(DelayWithMessagesZ, ReturnsEarlyOnceTheApplicationTerminates)
{
    Application().Initialize();
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        Application().Terminate();
    });
    DWORD start = GetTickCount();
    DelayWithMessages(5000);
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_TRUE(Application().Terminated());
}
}  // namespace
