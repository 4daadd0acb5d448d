#include "tests/support/user_input.h"

#include <cstring>
#include <vector>

namespace {
// The window is in front and its own thread has taken the activation and the keyboard focus, so
// that keys sent now reach it (Wine reports the foreground before the thread has handled it).
bool TakesKeys(HWND wnd)
{
    if (GetForegroundWindow() != wnd)
        return false;
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(wnd, nullptr), &info))
        return false;
    return info.hwndActive == wnd && (info.hwndFocus == wnd || IsChild(wnd, info.hwndFocus));
}
}  // namespace

bool BringToFront(HWND wnd, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    do {
        if (TakesKeys(wnd))
            return true;
        if (GetForegroundWindow() != wnd)
            SetForegroundWindow(wnd);
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return TakesKeys(wnd);
}

bool SetClipboardText(const wchar_t* text)
{
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    if (text) {
        const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
        HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes);
        memcpy(GlobalLock(data), text, bytes);
        GlobalUnlock(data);
        SetClipboardData(CF_UNICODETEXT, data);
    }
    CloseClipboard();
    return true;
}

namespace {
INPUT KeyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    // The keys of the navigation block are extended keys.
    switch (key) {
    case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        break;
    default:
        break;
    }
    return input;
}

void Send(std::vector<INPUT>& inputs)
{
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}
}  // namespace

void PressChord(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs;
    for (WORD key : keys)
        inputs.push_back(KeyInput(key, false));
    for (auto it = keys.end(); it != keys.begin();)
        inputs.push_back(KeyInput(*--it, true));
    Send(inputs);
}

void MoveMouseTo(POINT p)
{
    SetCursorPos(p.x, p.y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute coordinates are in 0..65535 over the primary display.
    input.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    std::vector<INPUT> inputs{input};
    Send(inputs);
}

namespace {
INPUT LeftButton(bool up)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = up ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
    return input;
}

INPUT RightButton(bool up)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = up ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_RIGHTDOWN;
    return input;
}
}  // namespace

void RightClickAt(POINT p)
{
    MoveMouseTo(p);
    Sleep(50);
    std::vector<INPUT> inputs{RightButton(false), RightButton(true)};
    Send(inputs);
}

void ClickAt(POINT p)
{
    MoveMouseTo(p);
    Sleep(50);
    std::vector<INPUT> inputs{LeftButton(false), LeftButton(true)};
    Send(inputs);
}

void DragMouse(POINT from, POINT to)
{
    // Wine's move and size loop starts only after the button press has been handled, and follows
    // the pointer from its own message loop: the pauses leave it the time on a busy machine.
    MoveMouseTo(from);
    Sleep(100);
    std::vector<INPUT> down{LeftButton(false)};
    Send(down);
    Sleep(200);
    constexpr int Steps = 8;
    for (int i = 1; i <= Steps; ++i) {
        MoveMouseTo({from.x + (to.x - from.x) * i / Steps, from.y + (to.y - from.y) * i / Steps});
        Sleep(60);
    }
    Sleep(200);
    std::vector<INPUT> up{LeftButton(true)};
    Send(up);
    Sleep(50);
}

POINT CentreOf(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
