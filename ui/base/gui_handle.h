// Owners of the GUI's handles: windows, menus, icons, drawing objects, device contexts and image
// lists, on the template of common/handle.h.
#pragma once

#include "common/handle.h"
#include "ui/base/gui_layer.h"

#include <windows.h>
#include <commctrl.h>

namespace handle_detail {
inline void CloseGdi(HGDIOBJ h) noexcept { ::DeleteObject(h); }
inline void CloseIcon(HICON h) noexcept { ::DestroyIcon(h); }
inline void CloseMenu(HMENU h) noexcept { ::DestroyMenu(h); }
inline void CloseWnd(HWND h) noexcept { ::DestroyWindow(h); }
inline void CloseDC(HDC h) noexcept { ::DeleteDC(h); }
inline void CloseImageList(HIMAGELIST h) noexcept { ::ImageList_Destroy(h); }
}  // namespace handle_detail

using UniqueGdiObject = UniqueNullHandle<HGDIOBJ, handle_detail::CloseGdi>;
using UniqueFont = UniqueNullHandle<HFONT, handle_detail::CloseGdi>;
using UniqueBitmap = UniqueNullHandle<HBITMAP, handle_detail::CloseGdi>;
using UniqueIcon = UniqueNullHandle<HICON, handle_detail::CloseIcon>;
using UniqueMenu = UniqueNullHandle<HMENU, handle_detail::CloseMenu>;
using UniqueWindow = UniqueNullHandle<HWND, handle_detail::CloseWnd>;
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
