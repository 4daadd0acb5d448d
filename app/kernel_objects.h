// Owning wrappers for the named kernel objects of the instance guard and its lock: a named
// event, a mapping of the paging file and a view of such a mapping.
#pragma once

#include "common/handle.h"

#include <windows.h>

#include <string>

// A named event. Creation fails with "Failed to create event".
class TEvent {
public:
    TEvent(SECURITY_ATTRIBUTES* security, bool manualReset, bool initialState, const std::wstring& name);

    HANDLE Handle() const noexcept { return FHandle.get(); }
    // Whether an event of that name existed before.
    bool Existed() const noexcept { return FExisted; }
    void SetEvent() const noexcept { ::SetEvent(FHandle.get()); }
    DWORD WaitFor(DWORD milliseconds) const noexcept { return WaitForSingleObject(FHandle.get(), milliseconds); }
    void Close() noexcept { FHandle.reset(); }

private:
    UniqueKernelHandle FHandle;
    bool FExisted = false;
};

// Named shared memory backed by the paging file, created or opened. Creation fails with
// "Failed to create FileMapping".
class TSwapFileMapping {
public:
    TSwapFileMapping(const std::wstring& name, DWORD size, SECURITY_ATTRIBUTES* security = nullptr);

    HANDLE Handle() const noexcept { return FHandle.get(); }
    // Whether the mapping existed before (it was opened, not created).
    bool Existed() const noexcept { return FExisted; }
    DWORD Size() const noexcept { return FSize; }
    void Close() noexcept { FHandle.reset(); }

private:
    UniqueKernelHandle FHandle;
    bool FExisted = false;
    DWORD FSize = 0;
};

// A view of a mapping. Mapping fails with "Failed to create FileMappingView".
class TFileMappingView {
public:
    TFileMappingView(const TSwapFileMapping& mapping, DWORD access, DWORD offset, DWORD size);

    void* Data() const noexcept { return FView.get(); }
    DWORD Size() const noexcept { return FSize; }
    void Close() noexcept { FView.reset(); }

private:
    UniqueMappedView FView;
    DWORD FSize = 0;
};
