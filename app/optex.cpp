#include "app/optex.h"

#include "common/errors.h"

#include <algorithm>

namespace {
DWORD ProcessorCount()
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

LONG ReadShared(volatile LONG& field) noexcept { return InterlockedCompareExchange(&field, 0, 0); }
}  // namespace

TOptex::TOptex(const std::wstring& name, int spinCount)
    : FEvent(nullptr, false, false, L"Optex_Event_" + name), FExisted(FEvent.Existed()), FName(name)
{
    const std::wstring blockName = L"Optex_MMF_" + name;
    FFileMapping.reset(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(TSharedInfo), blockName.c_str()));
    SM_ASSERT(FFileMapping);
    FSharedInfo.reset(MapViewOfFile(FFileMapping.get(), FILE_MAP_WRITE, 0, 0, 0));
    SM_ASSERT(FSharedInfo);

    if (spinCount < 0)
        spinCount = DefaultSpinCount;
    // On a single processor spinning only delays the holder; the block keeps what it has.
    if (ProcessorCount() > 1)
        InterlockedExchange(&Shared().SpinCount, spinCount);
}

TOptex::~TOptex()
{
    FEvent.Close();
    FSharedInfo.reset();
    FFileMapping.reset();
}

bool TOptex::TryEnter()
{
    TSharedInfo& info = Shared();
    const LONG threadID = static_cast<LONG>(GetCurrentThreadId());
    LONG spin = ReadShared(info.SpinCount);
    bool entered = false;
    do {
        if (InterlockedCompareExchange(&info.LockCount, 1, 0) == 0) {
            InterlockedExchange(&info.ThreadID, threadID);
            info.RecurseCount = 1;
            entered = true;
        } else if (ReadShared(info.ThreadID) == threadID) {
            InterlockedIncrement(&info.LockCount);
            info.RecurseCount = info.RecurseCount + 1;
            entered = true;
        } else {
            YieldProcessor();
        }
        --spin;
    } while (!entered && spin > 0);
    return entered;
}

void TOptex::Enter()
{
    if (TryEnter())
        return;
    TSharedInfo& info = Shared();
    const LONG threadID = static_cast<LONG>(GetCurrentThreadId());
    if (InterlockedIncrement(&info.LockCount) == 1) {
        // Freed meanwhile: it is ours.
        InterlockedExchange(&info.ThreadID, threadID);
        info.RecurseCount = 1;
    } else if (ReadShared(info.ThreadID) == threadID) {
        info.RecurseCount = info.RecurseCount + 1;
    } else {
        WaitForTurn();
        InterlockedExchange(&info.ThreadID, threadID);
        info.RecurseCount = 1;
    }
}

// The holder's Leave sets the event once for each waiter it hands the lock to. A holder whose
// thread ends without leaving (its process killed) never sets it: the waiter watches the
// holder's thread besides the event, and takes the lock over when that thread has ended.
void TOptex::WaitForTurn()
{
    for (;;) {
        const LONG owner = ReadShared(Shared().ThreadID);
        UniqueKernelHandle thread;
        if (owner != 0) {
            thread.reset(OpenThread(SYNCHRONIZE, FALSE, static_cast<DWORD>(owner)));
            // No thread has that id any more: it ended and is gone.
            if (!thread && GetLastError() == ERROR_INVALID_PARAMETER && TakeOver(owner))
                return;
        }
        // Without the holder's thread to watch (none recorded yet, or not ours to open), the
        // holder is looked at again after a while.
        const HANDLE handles[] = {FEvent.Handle(), thread.get()};
        const DWORD waited = WaitForMultipleObjects(thread ? 2 : 1, handles, FALSE, OwnerCheckInterval);
        if (waited == WAIT_OBJECT_0)
            return;
        if (waited == WAIT_OBJECT_0 + 1 && TakeOver(owner))
            return;
        if (waited == WAIT_FAILED)
            Sleep(OwnerCheckInterval);
    }
}

bool TOptex::TakeOver(LONG deadOwner)
{
    TSharedInfo& info = Shared();
    const LONG threadID = static_cast<LONG>(GetCurrentThreadId());
    // Only one waiter takes it; the others go on waiting, now for this one.
    if (InterlockedCompareExchange(&info.ThreadID, threadID, deadOwner) != deadOwner)
        return false;
    // The dead holder's entries leave the count; this waiter's own, made as it began to wait,
    // stays as its hold.
    const LONG abandoned = std::max<LONG>(LONG{info.RecurseCount}, 0);
    LONG count = ReadShared(info.LockCount);
    for (;;) {
        const LONG seen = InterlockedCompareExchange(&info.LockCount, std::max<LONG>(count - abandoned, 1), count);
        if (seen == count)
            break;
        count = seen;
    }
    return true;
}

void TOptex::Leave()
{
    TSharedInfo& info = Shared();
    info.RecurseCount = info.RecurseCount - 1;
    if (info.RecurseCount > 0) {
        InterlockedDecrement(&info.LockCount);
        return;
    }
    InterlockedExchange(&info.ThreadID, 0);
    if (InterlockedDecrement(&info.LockCount) > 0)
        FEvent.SetEvent();
}
