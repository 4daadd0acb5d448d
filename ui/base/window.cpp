#include "ui/base/window.h"

#include "common/errors.h"
#include "common/finally.h"
#include "ui/base/busy.h"
#include "ui/base/gui_handle.h"

#include <algorithm>

namespace {
constexpr const wchar_t* ThisProp = L"TWindow.this";

TFormHost& Host()
{
    static TFormHost host;
    return host;
}
}  // namespace

void TWindow::SetHost(TFormHost host) { Host() = std::move(host); }

HWND TWindow::HostWindow() { return Host().Owner ? Host().Owner() : nullptr; }

void TWindow::Register(TWindow* form)
{
    if (!FMainForm)
        FMainForm = form;
}

void TWindow::Unregister(TWindow* form)
{
    if (FMainForm != form)
        return;
    FMainForm = nullptr;
    if (Host().MainFormEnded)
        Host().MainFormEnded();
}

HFONT DefaultFont()
{
    // Kept for the process's life, as the windows that use it may be.
    static UniqueFont* font = new UniqueFont;
    if (!*font)
        *font = CreateDefaultFont();
    return font->get();
}

bool ProcessIsForeground()
{
    HWND fg = GetForegroundWindow();
    DWORD pid = 0;
    if (fg)
        GetWindowThreadProcessId(fg, &pid);
    return fg && pid == GetCurrentProcessId();
}

bool NoOtherProgramInFront()
{
    HWND front = GetForegroundWindow();
    if (front == GetDesktopWindow() || front == GetShellWindow())
        return true;
    DWORD process = 0;
    if (front)
        GetWindowThreadProcessId(front, &process);
    return !front || process == GetCurrentProcessId();
}

void ReactivateAfterModal(HWND window)
{
    if (!window || !IsWindow(window) || !IsWindowVisible(window) || !IsWindowEnabled(window))
        return;
    if (GetForegroundWindow() == window || !NoOtherProgramInFront())
        return;
    // Another window of this program in front keeps it (a dialog opened meanwhile).
    HWND front = GetForegroundWindow();
    if (front && front != window && IsWindowVisible(front) && IsWindowEnabled(front) && front != GetDesktopWindow() &&
        front != GetShellWindow())
        return;
    SetForegroundWindow(window);
}

TWindow::~TWindow()
{
    if (FHandle) {
        HWND wnd = FHandle;
        RemovePropW(wnd, ThisProp);
        SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        FHandle = nullptr;
        Unregister(this);
        DestroyWindow(wnd);
    }
}

TWindow* TWindow::FromHandle(HWND wnd)
{
    if (!wnd)
        return nullptr;
    return static_cast<TWindow*>(GetPropW(wnd, ThisProp));
}

std::wstring TWindow::Caption() const { return FHandle ? WindowText(FHandle) : std::wstring(); }

std::wstring WindowText(HWND wnd)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(wnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(wnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void RegisterWindowClass(const wchar_t* className, WNDPROC proc, UINT style, HBRUSH background)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, className, &existing))
        return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    // The program's icon (resource 1) at the system's large and small icon sizes, which follow
    // the dpi; shared images, owned by the system. A program without it shows the generic one.
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_SHARED));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (!wc.hIcon)
        wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        RaiseLastOSError();
}

void TWindow::CreateForm(const TFormSpec& layout, HWND owner)
{
    RegisterWindowClass(layout.ClassName, &TWindow::StaticWndProc, CS_DBLCLKS,
                        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    FName = layout.Name ? layout.Name : L"";
    FDpi = ScreenDpi();
    FDesignClient = {layout.ClientWidth, layout.ClientHeight};
    FMinSize = {layout.MinWidth, layout.MinHeight};
    RECT rc{0, 0, Scale(layout.ClientWidth), Scale(layout.ClientHeight)};
    AdjustWindowRectEx(&rc, layout.Style, FALSE, layout.ExStyle);
    // The designed size, scaled, never exceeds the work area (a large dpi on a small screen);
    // a size the user stored is restored as it was.
    const SIZE work = PrimaryWorkArea();
    rc.right = rc.left + std::min(rc.right - rc.left, work.cx);
    rc.bottom = rc.top + std::min(rc.bottom - rc.top, work.cy);
    if (!owner)
        owner = HostWindow();
    Register(this);
    HWND wnd = CreateWindowExW(layout.ExStyle, layout.ClassName, layout.Caption, layout.Style, CW_USEDEFAULT, CW_USEDEFAULT,
                               rc.right - rc.left, rc.bottom - rc.top, owner, nullptr, GetModuleHandleW(nullptr), this);
    if (!wnd) {
        DWORD error = GetLastError();
        Unregister(this);
        RaiseOSError(error);
    }
    SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
}

HFONT TWindow::Font() const { return FFont ? FFont.get() : DefaultFont(); }

void TWindow::CreateControls(const TControlSpec* table, size_t count, HWND parent)
{
    if (!parent)
        parent = FHandle;
    HFONT font = Font();
    for (size_t i = 0; i < count; ++i) {
        const TControlSpec& s = table[i];
        HWND ctl = CreateWindowExW(s.ExStyle, s.ClassName, s.Caption ? s.Caption : L"", WS_CHILD | WS_VISIBLE | s.Style,
                                   Scale(s.Left), Scale(s.Top), Scale(s.Width), Scale(s.Height), parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(s.Id)), GetModuleHandleW(nullptr),
                                   nullptr);
        if (!ctl)
            RaiseLastOSError();
        SendMessageW(ctl, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        FControls[s.Id] = ctl;
        // Controls of a child window stay where the child puts them when the dpi changes.
        if (parent == FHandle)
            FLaidOut.push_back({ctl, RECT{s.Left, s.Top, s.Left + s.Width, s.Top + s.Height}, s.Anchors});
    }
}

HWND TWindow::Control(int id) const
{
    auto it = FControls.find(id);
    return it == FControls.end() ? nullptr : it->second;
}

void TWindow::ApplyAnchors()
{
    RECT client{};
    GetClientRect(FHandle, &client);
    const int dx = client.right - Scale(FDesignClient.cx);
    const int dy = client.bottom - Scale(FDesignClient.cy);
    for (const Anchored& a : FLaidOut) {
        if (a.Anchors == akTopLeft)
            continue;
        RECT r{Scale(a.Start.left), Scale(a.Start.top), Scale(a.Start.right), Scale(a.Start.bottom)};
        if (a.Anchors & akRight) {
            if (!(a.Anchors & akLeft))
                r.left += dx;
            r.right += dx;
        }
        if (a.Anchors & akBottom) {
            if (!(a.Anchors & akTop))
                r.top += dy;
            r.bottom += dy;
        }
        // A window made smaller than its design leaves the stretched controls empty, never
        // of a negative size.
        SetWindowPos(a.Wnd, nullptr, r.left, r.top, std::max(0L, r.right - r.left), std::max(0L, r.bottom - r.top),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TWindow::Show()
{
    FormShow();
    ShowWindow(FHandle, SW_SHOW);
    SetForegroundWindow(FHandle);
}

void TWindow::Hide() { ShowWindow(FHandle, SW_HIDE); }

int TWindow::ShowModal()
{
    // The window the user worked in gets the activation back afterwards.
    const HWND before = GetActiveWindow();
    std::vector<HWND> disabled;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND wnd, LPARAM list) noexcept -> BOOL {
            if (IsWindowVisible(wnd) && IsWindowEnabled(wnd)) {
                // Only a window that will be enabled again is disabled; with no room to note
                // it, it stays enabled.
                try {
                    reinterpret_cast<std::vector<HWND>*>(list)->push_back(wnd);
                } catch (...) {
                    return TRUE;
                }
                EnableWindow(wnd, FALSE);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&disabled));
    FModal = true;
    FModalResult = mrNone;
    TFinally restore([&] {
        FModal = false;
        // Owners come back before the dialog hides, so activation returns to them.
        for (HWND wnd : disabled)
            EnableWindow(wnd, TRUE);
        if (FHandle)
            Hide();
        if (before != FHandle)
            ReactivateAfterModal(before);
    });
    const TFormHost& host = Host();
    Show();
    while (FModalResult == mrNone) {
        if (host.NextMessage) {
            host.NextMessage();
        } else {
            MSG msg;
            if (GetMessageW(&msg, nullptr, 0, 0) <= 0)
                FModalResult = mrCancel;
            else if (!PreTranslateMessage(msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (host.LoopEnding && host.LoopEnding() && FModalResult == mrNone)
            FModalResult = mrCancel;
    }
    // However the loop ended (a button's result, Escape, the close button), the close
    // handler runs once, while the window is still shown.
    FormClose();
    return FModalResult;
}

void TWindow::SetModalResult(int result)
{
    FModalResult = result;
    if (FModal && FHandle)
        PostMessageW(FHandle, WM_NULL, 0, 0);
}

void TWindow::Close()
{
    if (FHandle)
        SendMessageW(FHandle, WM_CLOSE, 0, 0);
}

bool TWindow::PreTranslateMessage(MSG& msg) { return IsDialogMessageW(FHandle, &msg) != FALSE; }

LRESULT TWindow::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) { return DefWindowProcW(FHandle, msg, wParam, lParam); }

LRESULT TWindow::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SETCURSOR:
        if (BusyCount() > 0) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            ApplyAnchors();
        break;
    case WM_GETMINMAXINFO:
        if (FMinSize.cx > 0 || FMinSize.cy > 0) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {std::max<LONG>(info->ptMinTrackSize.x, Scale(FMinSize.cx)),
                                    std::max<LONG>(info->ptMinTrackSize.y, Scale(FMinSize.cy))};
            return 0;
        }
        break;
    case 0x02E0:  // WM_DPICHANGED: the window went to a screen of another dpi
        ChangeDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        if (!FormCloseQuery())
            return 0;
        if (FModal) {
            // ShowModal runs the close handler once its loop has ended.
            if (FModalResult == mrNone)
                FModalResult = mrCancel;
            return 0;
        }
        FormClose();
        DestroyWindow(FHandle);
        return 0;
    case WM_DESTROY:
        FormDestroy();
        Unregister(this);
        break;
    default:
        break;
    }
    return DefaultProc(msg, wParam, lParam);
}

LRESULT CALLBACK TWindow::StaticWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    TWindow* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->FHandle = wnd;
        SetPropW(wnd, ThisProp, self);
        // The window's own copy for its messages: the property serves FromHandle for any window,
        // but reading it costs a round trip to Wine's server on every message.
        SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<TWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    }
    if (!self)
        return DefWindowProcW(wnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        RemovePropW(wnd, ThisProp);
        SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        self->FHandle = nullptr;
        return DefWindowProcW(wnd, msg, wParam, lParam);
    }
    LRESULT result = 0;
    bool handled = false;
    try {
        result = self->WndProc(msg, wParam, lParam);
        handled = true;
    } catch (...) {
        if (Host().ReportError)
            Host().ReportError();
    }
    return handled ? result : DefWindowProcW(wnd, msg, wParam, lParam);
}

void TWindow::ChangeDpi(int dpi, const RECT* suggested)
{
    if (dpi <= 0 || dpi == FDpi)
        return;
    FDpi = dpi;
    FFont.reset();
    if (dpi != ScreenDpi()) {
        FFont = CreateDefaultFont(dpi);
        if (!FFont)
            RaiseLastOSError();
    }
    SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    for (const Anchored& a : FLaidOut) {
        SendMessageW(a.Wnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
        SetWindowPos(a.Wnd, nullptr, Scale(a.Start.left), Scale(a.Start.top), Scale(a.Start.right - a.Start.left),
                     Scale(a.Start.bottom - a.Start.top), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (suggested)
        SetWindowPos(FHandle, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyAnchors();
    DpiChanged();
    RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

TScaledDrawing::TScaledDrawing(HDC dc, int left, int top, int dpi) : FDc(dc), FMode(SetGraphicsMode(dc, GM_ADVANCED))
{
    GetWorldTransform(dc, &FSaved);
    const float scale = static_cast<float>(dpi) / DesignDpi;
    const XFORM transform{scale, 0, 0, scale, static_cast<float>(left), static_cast<float>(top)};
    SetWorldTransform(dc, &transform);
}

TScaledDrawing::~TScaledDrawing()
{
    SetWorldTransform(FDc, &FSaved);
    SetGraphicsMode(FDc, FMode);
}

int ScreenDpi()
{
    UniqueWindowDC screen(nullptr);
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    return dpi > 0 ? dpi : DesignDpi;
}

int FontHeightOfPoints(int points, int dpi) { return -MulDiv(points, dpi > 0 ? dpi : ScreenDpi(), 72); }

UniqueFont CreateDefaultFont(int dpi)
{
    return UniqueFont(CreateFontW(FontHeightOfPoints(8, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  L"Tahoma"));
}

RECT ChildRect(HWND parent, HWND child)
{
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE PrimaryWorkArea()
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor))
        return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return {monitor.rcWork.right - monitor.rcWork.left, monitor.rcWork.bottom - monitor.rcWork.top};
}

void CentreOnScreen(HWND wnd)
{
    RECT r{};
    GetWindowRect(wnd, &r);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    SetWindowPos(wnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}
