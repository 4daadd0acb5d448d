// The cross-process lock: exclusion between processes and threads, waiting, re-entrancy.
#include "app/kernel_objects.h"
#include "app/optex.h"
#include "common/handle.h"
#include "tests/guard/holding_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace {
std::wstring UniqueName(const wchar_t* tag)
{
    return L"guard_lock_test_" + std::wstring(tag) + L"_" + std::to_wstring(GetCurrentProcessId());
}

// Enters the lock on a thread of its own, and leaves it when told to.
class TWaitingEnter {
public:
    explicit TWaitingEnter(const std::wstring& lockName) : FName(lockName)
    {
        FThread.reset(CreateThread(nullptr, 0, &Run, this, 0, nullptr));
    }
    ~TWaitingEnter()
    {
        FRelease = true;
        // A thread still waiting for the lock is ended: the test has failed already.
        if (WaitForSingleObject(FThread.get(), 10000) != WAIT_OBJECT_0)
            TerminateThread(FThread.get(), 1);
    }
    bool WaitUntilEntered() const
    {
        const ULONGLONG start = GetTickCount64();
        while (!FEntered && GetTickCount64() - start < 20000)
            Sleep(1);
        return FEntered;
    }
    bool Entered() const { return FEntered; }
    void Release() { FRelease = true; }
    bool WaitUntilLeft() const { return WaitForSingleObject(FThread.get(), 10000) == WAIT_OBJECT_0; }

private:
    static DWORD WINAPI Run(void* self)
    {
        auto* waiting = static_cast<TWaitingEnter*>(self);
        TOptex lock(waiting->FName);
        lock.Enter();
        lock.Enter();
        waiting->FEntered = true;
        while (!waiting->FRelease)
            Sleep(1);
        lock.Leave();
        lock.Leave();
        return 0;
    }

    std::wstring FName;
    std::atomic<bool> FEntered{false};
    std::atomic<bool> FRelease{false};
    UniqueKernelHandle FThread;
};

// Runs fn on another thread and returns its result.
template <typename F>
auto OnOtherThread(F fn)
{
    decltype(fn()) result{};
    std::thread([&] { result = fn(); }).join();
    return result;
}
}  // namespace

TEST(GuardLockTest, TwoProcessesIncrementingUnderTheLockLoseNoIncrement)
{
    const std::wstring name = UniqueName(L"counter");
    constexpr long iterations = 4000;
    // The counter, then the number of counting processes ready to start.
    TSwapFileMapping mapping(name + L"_Counter", 2 * sizeof(LONG));
    TFileMappingView view(mapping, FILE_MAP_ALL_ACCESS, 0, 2 * sizeof(LONG));
    auto* counter = static_cast<volatile LONG*>(view.Data());
    volatile LONG* ready = counter + 1;
    TEvent gate(nullptr, true, false, name + L"_Go");

    const std::wstring program = CounterProgramPath();
    PROCESS_INFORMATION started[2]{};
    UniqueKernelHandle handles[4];
    for (int i = 0; i < 2; ++i) {
        std::wstring commandLine = L"\"" + program + L"\" " + name + L" " + std::to_wstring(iterations);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &started[i]))
            << GetLastError();
        handles[2 * i].reset(started[i].hProcess);
        handles[2 * i + 1].reset(started[i].hThread);
    }
    // Both count at the same time.
    const ULONGLONG start = GetTickCount64();
    while (*ready < 2 && GetTickCount64() - start < 20000)
        Sleep(1);
    EXPECT_EQ(2, *ready);
    gate.SetEvent();

    HANDLE processes[2] = {started[0].hProcess, started[1].hProcess};
    const DWORD waited = WaitForMultipleObjects(2, processes, TRUE, 60000);
    if (waited == WAIT_TIMEOUT) {
        for (HANDLE process : processes)
            TerminateProcess(process, 1);
    }
    ASSERT_NE(WAIT_TIMEOUT, waited);
    for (HANDLE process : processes) {
        DWORD code = 99;
        GetExitCodeProcess(process, &code);
        EXPECT_EQ(0u, code);
    }
    EXPECT_EQ(2 * iterations, *counter);
}

TEST(GuardLockTest, HolderReentersAndOthersWaitUntilTheLastLeave)
{
    TOptex lock(UniqueName(L"reentry"));
    lock.Enter();
    EXPECT_TRUE(lock.TryEnter());  // the holder enters again
    lock.Enter();

    auto otherTakes = [&] {
        TOptex other(lock.Name());
        const bool taken = other.TryEnter();
        if (taken)
            other.Leave();
        return taken;
    };
    EXPECT_FALSE(OnOtherThread(otherTakes));
    lock.Leave();
    lock.Leave();
    EXPECT_FALSE(OnOtherThread(otherTakes)) << "one Enter is still unmatched";
    lock.Leave();
    EXPECT_TRUE(OnOtherThread(otherTakes));
    // Free again afterwards, for this thread too.
    EXPECT_TRUE(lock.TryEnter());
    lock.Leave();
}

TEST(GuardLockTest, EnterWaitsForTheHolderAndTakesOverOnLeave)
{
    TOptex lock(UniqueName(L"wait"));
    lock.Enter();
    std::atomic<int> entered{0};
    std::atomic<bool> release{false};
    std::thread waiter([&] {
        TOptex other(lock.Name());
        other.Enter();
        other.Enter();  // re-entered while it holds the lock after a wait
        entered = 1;
        while (!release)
            Sleep(1);
        other.Leave();
        other.Leave();
        entered = 2;
    });
    Sleep(200);
    EXPECT_EQ(0, entered.load()) << "entered while the lock was held";
    lock.Leave();
    const ULONGLONG start = GetTickCount64();
    while (entered == 0 && GetTickCount64() - start < 5000)
        Sleep(1);
    EXPECT_EQ(1, entered.load());
    EXPECT_FALSE(lock.TryEnter()) << "the waiter holds the lock now";
    release = true;
    waiter.join();
    EXPECT_EQ(2, entered.load());
    EXPECT_TRUE(lock.TryEnter());
    lock.Leave();
}

// A process killed while it holds the lock (re-entered) does not block the others for good: a
// waiter already waiting and one that comes later each take it over, as of an abandoned mutex,
// and afterwards the lock is free as before.
TEST(GuardLockTest, AHolderKilledHoldingTheLockIsTakenOver)
{
    for (const bool waitingBeforeTheKill : {true, false}) {
        SCOPED_TRACE(waitingBeforeTheKill ? "waiting before the kill" : "entering after the kill");
        const std::wstring name = UniqueName(waitingBeforeTheKill ? L"killed_waiting" : L"killed_later");
        TOptex lock(name);  // keeps the lock's objects while the holder goes
        THoldingProcess holder(name);
        ASSERT_TRUE(holder.WaitUntilHeld()) << "the holding process did not start";
        EXPECT_FALSE(OnOtherThread([&] {
            TOptex other(name);
            const bool taken = other.TryEnter();
            if (taken)
                other.Leave();
            return taken;
        })) << "the lock is held";

        std::unique_ptr<TWaitingEnter> waiter;
        if (waitingBeforeTheKill)
            waiter = std::make_unique<TWaitingEnter>(name);
        holder.Kill();
        if (!waiter)
            waiter = std::make_unique<TWaitingEnter>(name);
        ASSERT_TRUE(waiter->WaitUntilEntered()) << "the lock of a killed holder was never taken over";

        // Held by the waiter now: others wait for it, as for any holder.
        EXPECT_FALSE(lock.TryEnter());
        waiter->Release();
        ASSERT_TRUE(waiter->WaitUntilLeft());
        EXPECT_TRUE(lock.TryEnter()) << "free again once the new holder has left";
        lock.Leave();
        EXPECT_TRUE(OnOtherThread([&] {
            TOptex other(name);
            const bool taken = other.TryEnter();
            if (taken)
                other.Leave();
            return taken;
        })) << "the killed holder's entries are no longer counted";
    }
}
