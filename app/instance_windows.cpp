#include "app/instance_windows.h"

#include <cwchar>

namespace {
struct TFindApplication {
    DWORD ProcessID;
    HWND Found;
};

BOOL CALLBACK FindApplicationProc(HWND wnd, LPARAM lParam) noexcept
{
    auto* find = reinterpret_cast<TFindApplication*>(lParam);
    DWORD processID = 0;
    GetWindowThreadProcessId(wnd, &processID);
    if (processID != find->ProcessID)
        return TRUE;
    wchar_t className[14];
    int length = GetClassNameW(wnd, className, 14);
    if (length > 0 && std::wcscmp(className, L"TApplication") == 0) {
        find->Found = wnd;
        return FALSE;
    }
    return TRUE;
}

struct TThreadNotification {
    UINT Message;
    WPARAM WParam;
    LPARAM LParam;
};

BOOL CALLBACK NotifyWindowProc(HWND wnd, LPARAM lParam) noexcept
{
    auto* note = reinterpret_cast<const TThreadNotification*>(lParam);
    SendNotifyMessageW(wnd, note->Message, note->WParam, note->LParam);
    return TRUE;
}
}  // namespace

HWND GetApplicationWnd(DWORD processID)
{
    TFindApplication find{processID, nullptr};
    EnumWindows(&FindApplicationProc, reinterpret_cast<LPARAM>(&find));
    return find.Found;
}

bool BringAppWindowToFront(HWND wnd)
{
    if (IsIconic(wnd))
        SendMessageW(wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    return SetForegroundWindow98(wnd);
}

bool SetForegroundWindow98(HWND wnd)
{
    HWND foreground = GetForegroundWindow();
    if (foreground == wnd)
        return true;
    DWORD foregroundThread = GetWindowThreadProcessId(foreground, nullptr);
    DWORD wndThread = GetWindowThreadProcessId(wnd, nullptr);
    if (foregroundThread == wndThread)
        return SetForegroundWindow(wnd) != FALSE;
    AttachThreadInput(foregroundThread, wndThread, TRUE);
    bool ok = SetForegroundWindow(wnd) != FALSE;
    AttachThreadInput(foregroundThread, wndThread, FALSE);
    if (ok)
        ok = SetForegroundWindow(wnd) != FALSE;
    return ok;
}

void NotifyWindowThread(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const DWORD threadID = GetWindowThreadProcessId(wnd, nullptr);
    if (threadID == 0)
        return;
    // A full queue is waited out; a thread that has gone, or whose queue this process may not
    // post to, is passed over, since retrying could never succeed.
    while (!PostThreadMessageW(threadID, message, wParam, lParam)) {
        const DWORD error = GetLastError();
        if (error == ERROR_INVALID_THREAD_ID || error == ERROR_ACCESS_DENIED)
            break;
        Sleep(1);
    }
    TThreadNotification note{message, wParam, lParam};
    EnumThreadWindows(threadID, &NotifyWindowProc, reinterpret_cast<LPARAM>(&note));
}
