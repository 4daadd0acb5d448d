// The cross-process lock: exclusion between processes and threads, waiting, re-entrancy.
#include "app/kernel_objects.h"
#include "app/optex.h"
#include "common/handle.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace {
std::wstring UniqueName(const wchar_t* tag)
{
    return L"guard_lock_test_" + std::wstring(tag) + L"_" + std::to_wstring(GetCurrentProcessId());
}

std::wstring CounterProgramPath()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L'\\') + 1) + L"guard_counter.exe";
}

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
