// A re-entrant lock that works across processes: a lock block in named shared memory, updated
// with atomic operations, and a named auto-reset event on which waiters sleep. The thread that
// holds the lock may enter it again; each Enter is matched by a Leave. As with an abandoned
// mutex, a holder whose thread ends without leaving (its process killed) does not block the
// others for good: a waiting Enter notices the thread is gone and takes the lock over.
#pragma once

#include "app/kernel_objects.h"
#include "common/handle.h"

#include <windows.h>

#include <string>

class TOptex {
public:
    // The spin count used when a negative one is given.
    static constexpr int DefaultSpinCount = 4000;

    // The lock block shared by every holder of the name: four 32-bit fields.
    struct TSharedInfo {
        volatile LONG SpinCount;
        volatile LONG LockCount;     // holders plus waiters; 0 = free
        volatile LONG ThreadID;      // owner thread id; 0 = none
        volatile LONG RecurseCount;  // recursion of the owner
    };
    static_assert(sizeof(TSharedInfo) == 16);

    // Creates or opens the lock of that name: the event "Optex_Event_<name>" and the lock block
    // "Optex_MMF_<name>". The spin count is written only on a machine with more than one processor.
    explicit TOptex(const std::wstring& name, int spinCount = DefaultSpinCount);
    ~TOptex();
    TOptex(const TOptex&) = delete;
    TOptex& operator=(const TOptex&) = delete;

    // Waits for the lock without a time limit while its holder's thread lives.
    void Enter();
    // Takes the lock if it can within the spin count (at least one attempt); never waits, and
    // so never takes it over from a holder that is gone.
    bool TryEnter();
    void Leave();

    const std::wstring& Name() const noexcept { return FName; }
    bool Existed() const noexcept { return FExisted; }

private:
    // How often a waiter looks again at a holder whose thread it cannot watch.
    static constexpr DWORD OwnerCheckInterval = 100;

    // Waits until the lock is handed over or its holder is found gone and taken over.
    void WaitForTurn();
    // Takes the lock from the holder with that thread id, which has ended: false when another
    // thread holds it by now.
    bool TakeOver(LONG deadOwner);
    TSharedInfo& Shared() const noexcept { return *static_cast<TSharedInfo*>(FSharedInfo.get()); }

    TEvent FEvent;
    bool FExisted = false;
    UniqueKernelHandle FFileMapping;
    std::wstring FName;
    UniqueMappedView FSharedInfo;
};

// Holds the lock for a scope.
class TOptexLock {
public:
    explicit TOptexLock(TOptex& optex) : FOptex(optex) { FOptex.Enter(); }
    ~TOptexLock() { FOptex.Leave(); }
    TOptexLock(const TOptexLock&) = delete;
    TOptexLock& operator=(const TOptexLock&) = delete;

private:
    TOptex& FOptex;
};
