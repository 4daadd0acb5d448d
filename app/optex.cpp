#include "app/optex.h"

#include "common/errors.h"

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
        // The holder's Leave sets the event once for each waiter it hands the lock to.
        FEvent.WaitFor(INFINITE);
        InterlockedExchange(&info.ThreadID, threadID);
        info.RecurseCount = 1;
    }
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
