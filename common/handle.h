// Owning wrappers for Win32 handles: one small template, one alias per handle kind.
// Copy is disabled, move hands the handle over; the destructor closes it. The owners of windows,
// menus, icons, drawing objects and image lists are the GUI base's (ui/base/gui_handle.h).
#pragma once

#include <windows.h>
#include <winsvc.h>

#include <utility>

// Traits give the handle type, its invalid value and how it is closed.
template <typename H, auto Close>
struct NullHandleTraits {
    using Type = H;
    static H Invalid() noexcept { return H{}; }
    static void Free(H h) noexcept { Close(h); }
};

template <typename Traits>
class UniqueHandle {
    using H = typename Traits::Type;

public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(H h) noexcept : FHandle(h) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : FHandle(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    H get() const noexcept { return FHandle; }
    explicit operator bool() const noexcept { return FHandle != Traits::Invalid(); }

    H release() noexcept { return std::exchange(FHandle, Traits::Invalid()); }
    void reset(H h = Traits::Invalid()) noexcept
    {
        H old = std::exchange(FHandle, h);
        if (old != Traits::Invalid())
            Traits::Free(old);
    }
    // For out-parameters: closes what is held and hands out the slot.
    H* put() noexcept
    {
        reset();
        return &FHandle;
    }

private:
    H FHandle = Traits::Invalid();
};

namespace handle_detail {
inline void CloseKernel(HANDLE h) noexcept { ::CloseHandle(h); }
inline void CloseKey(HKEY h) noexcept { ::RegCloseKey(h); }
inline void CloseSc(SC_HANDLE h) noexcept { ::CloseServiceHandle(h); }
inline void CloseView(void* p) noexcept { ::UnmapViewOfFile(p); }
inline void CloseLocal(HLOCAL h) noexcept { ::LocalFree(h); }
inline void CloseModule(HMODULE h) noexcept { ::FreeLibrary(h); }

struct FileHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Free(HANDLE h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Free(HANDLE h) noexcept { ::FindClose(h); }
};
}  // namespace handle_detail

template <typename H, auto Close>
using UniqueNullHandle = UniqueHandle<NullHandleTraits<H, Close>>;

using UniqueKernelHandle = UniqueNullHandle<HANDLE, handle_detail::CloseKernel>;
using UniqueFileHandle = UniqueHandle<handle_detail::FileHandleTraits>;
using UniqueRegKey = UniqueNullHandle<HKEY, handle_detail::CloseKey>;
using UniqueScHandle = UniqueNullHandle<SC_HANDLE, handle_detail::CloseSc>;
using UniqueMappedView = UniqueNullHandle<void*, handle_detail::CloseView>;
using UniqueLocal = UniqueNullHandle<HLOCAL, handle_detail::CloseLocal>;
using UniqueModule = UniqueNullHandle<HMODULE, handle_detail::CloseModule>;
using UniqueFindHandle = UniqueHandle<handle_detail::FindHandleTraits>;
