// Shows the main window's twelve images for looking at them: drawn by the image list at
// their size on white and on grey, enlarged four times, as menu bitmaps at 64 pixels on white
// and on dark blue, and in a pop-up menu (pictures drawn by the owner, Start/Resume, Stop and
// Pause disabled; with "bitmaps", the 32-bit bitmaps instead). Ends by itself after a few seconds.
//   images_preview.exe [seconds] [bitmaps]
#include "ui/base/gui_handle.h"
#include "ui/main/images.h"

#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <vector>

namespace {
constexpr UINT WM_SHOWMENU = WM_APP + 1;
HIMAGELIST Images = nullptr;
bool MenuBitmaps = false;
std::vector<HBITMAP> Bitmaps;

void Paint(HWND wnd, HDC dc)
{
    RECT client{};
    GetClientRect(wnd, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HBRUSH grey = CreateSolidBrush(RGB(128, 128, 128));
    HBRUSH navy = CreateSolidBrush(RGB(20, 40, 90));
    RECT band{0, 36, client.right, 60};
    FillRect(dc, &band, grey);
    RECT dark{0, 230, client.right, 306};
    FillRect(dc, &dark, navy);
    for (int i = 0; i < MainImageCount; ++i) {
        ImageList_Draw(Images, i, dc, 10 + i * 20, 10, ILD_NORMAL);
        ImageList_Draw(Images, i, dc, 10 + i * 20, 40, ILD_NORMAL);
    }
    StretchBlt(dc, 10, 70, 240 * 4, 16 * 4, dc, 10, 10, 240, 16, SRCCOPY);
    UniqueMemoryDC mem(CreateCompatibleDC(dc));
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    for (int i = 0; i < MainImageCount; ++i) {
        TSelectObjectScope selected(mem.get(), Bitmaps[i]);
        AlphaBlend(dc, 10 + i * 80, 150, 64, 64, mem.get(), 0, 0, 64, 64, blend);
        AlphaBlend(dc, 10 + i * 80, 236, 64, 64, mem.get(), 0, 0, 64, 64, blend);
    }
    DeleteObject(grey);
    DeleteObject(navy);
}

void ShowMenu(HWND wnd)
{
    static const wchar_t* const Captions[MainImageCount] = {L"Unknown", L"Running", L"Paused",  L"Stopped",
                                                            L"Starting", L"Stopping", L"Start/Resume", L"Stop",
                                                            L"Pause",   L"Refresh", L"Properties...", L"Quit",
                                                            L"Restart"};
    static std::vector<UniqueBitmap> menuBitmaps;
    HMENU menu = CreatePopupMenu();
    for (int i = 0; i < MainImageCount; ++i) {
        menuBitmaps.push_back(CreateImageBitmap(i));
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP | MIIM_STATE;
        item.wID = 100 + i;
        item.dwTypeData = const_cast<wchar_t*>(Captions[i]);
        item.hbmpItem = MenuBitmaps ? menuBitmaps.back().get() : HBMMENU_CALLBACK;
        item.fState = !MenuBitmaps && i >= imgStart && i <= imgPause ? MFS_DISABLED : MFS_ENABLED;
        InsertMenuItemW(menu, i, TRUE, &item);
    }
    POINT p{20, 320};
    ClientToScreen(wnd, &p);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN, p.x, p.y, 0, wnd, nullptr);
    DestroyMenu(menu);
}

LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        Paint(wnd, dc);
        EndPaint(wnd, &ps);
        return 0;
    }
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (item->CtlType != ODT_MENU)
            break;
        MeasureMenuItemImage(*item);
        return TRUE;
    }
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType != ODT_MENU)
            break;
        DrawMenuItemImage(*item, static_cast<int>(item->itemID) - 100);
        return TRUE;
    }
    case WM_SHOWMENU:
        ShowMenu(wnd);
        return 0;
    case WM_TIMER:
        EndMenu();
        DestroyWindow(wnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(wnd, msg, wParam, lParam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR cmdLine, int)
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    const int seconds = cmdLine && *cmdLine ? _wtoi(cmdLine) : 5;
    MenuBitmaps = cmdLine && wcsstr(cmdLine, L"bitmaps") != nullptr;
    UniqueImageList list = CreateMainImageList();
    Images = list.get();
    std::vector<UniqueBitmap> owned;
    for (int i = 0; i < MainImageCount; ++i) {
        owned.push_back(CreateImageBitmap(i, 64));
        Bitmaps.push_back(owned.back().get());
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"ImagesPreview";
    RegisterClassW(&wc);
    HWND wnd = CreateWindowExW(0, wc.lpszClassName, L"Main window images", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                               1000, 640, nullptr, nullptr, instance, nullptr);
    SetTimer(wnd, 1, seconds * 1000, nullptr);
    PostMessageW(wnd, WM_SHOWMENU, 0, 0);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
