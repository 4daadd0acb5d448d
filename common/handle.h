// Owning wrappers for Win32 handles: one small template, one alias per handle kind.
// Copy is disabled, move hands the handle over; the destructor closes it.
#pragma once

#include <windows.h>
#include <commctrl.h>
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
inline void CloseGdi(HGDIOBJ h) noexcept { ::DeleteObject(h); }
inline void CloseIcon(HICON h) noexcept { ::DestroyIcon(h); }
inline void CloseMenu(HMENU h) noexcept { ::DestroyMenu(h); }
inline void CloseWnd(HWND h) noexcept { ::DestroyWindow(h); }
inline void CloseLocal(HLOCAL h) noexcept { ::LocalFree(h); }
inline void CloseModule(HMODULE h) noexcept { ::FreeLibrary(h); }
inline void CloseDC(HDC h) noexcept { ::DeleteDC(h); }
inline void CloseImageList(HIMAGELIST h) noexcept { ::ImageList_Destroy(h); }

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
using UniqueGdiObject = UniqueNullHandle<HGDIOBJ, handle_detail::CloseGdi>;
using UniqueFont = UniqueNullHandle<HFONT, handle_detail::CloseGdi>;
using UniqueBitmap = UniqueNullHandle<HBITMAP, handle_detail::CloseGdi>;
using UniqueIcon = UniqueNullHandle<HICON, handle_detail::CloseIcon>;
using UniqueMenu = UniqueNullHandle<HMENU, handle_detail::CloseMenu>;
using UniqueWindow = UniqueNullHandle<HWND, handle_detail::CloseWnd>;
using UniqueLocal = UniqueNullHandle<HLOCAL, handle_detail::CloseLocal>;
using UniqueModule = UniqueNullHandle<HMODULE, handle_detail::CloseModule>;
using UniqueFindHandle = UniqueHandle<handle_detail::FindHandleTraits>;
using UniqueImageList = UniqueNullHandle<HIMAGELIST, handle_detail::CloseImageList>;
// A device context of our own (CreateCompatibleDC), deleted.
using UniqueMemoryDC = UniqueNullHandle<HDC, handle_detail::CloseDC>;

// A window's device context (GetDC; null for the screen's), released to that window.
class UniqueWindowDC {
public:
    explicit UniqueWindowDC(HWND wnd) noexcept : FWnd(wnd), FDC(::GetDC(wnd)) {}
    ~UniqueWindowDC()
    {
        if (FDC)
            ::ReleaseDC(FWnd, FDC);
    }
    UniqueWindowDC(const UniqueWindowDC&) = delete;
    UniqueWindowDC& operator=(const UniqueWindowDC&) = delete;

    HDC get() const noexcept { return FDC; }
    explicit operator bool() const noexcept { return FDC != nullptr; }

private:
    HWND FWnd;
    HDC FDC;
};

// An object selected into a device context for a scope: the one it replaced is selected back
// at the scope's end (before the object or the context goes, when declared after them).
class TSelectObjectScope {
public:
    TSelectObjectScope(HDC dc, HGDIOBJ object) noexcept : FDC(dc), FOld(::SelectObject(dc, object)) {}
    ~TSelectObjectScope()
    {
        if (FOld && FOld != HGDI_ERROR)
            ::SelectObject(FDC, FOld);
    }
    TSelectObjectScope(const TSelectObjectScope&) = delete;
    TSelectObjectScope& operator=(const TSelectObjectScope&) = delete;

private:
    HDC FDC;
    HGDIOBJ FOld;
};
