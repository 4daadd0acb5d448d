#include "ui/base/application.h"

#include "common/errors.h"
#include "ui/base/message_box.h"
#include "ui/base/window.h"

#include <algorithm>
#include <exception>

namespace {
// Message sent to the application window by Synchronize; lParam points at a SyncCall.
constexpr UINT WM_SYNCHRONIZE = WM_APP + 0x100;
// Posted to the application window when it is activated: the hidden window hands the activation
// on to the window the user works with (a second start of the program brings the running copy
// to the front through this window).
constexpr UINT WM_ACTIVATEFORMS = WM_APP + 0x101;

// Restores the main form when it is minimised.
void RestoreMainForm(HWND main)
{
    if (main && IsIconic(main))
        ShowWindow(main, SW_RESTORE);
}

// The main form, restored when minimised, and then the window of the application that was
// active last (a modal dialog while one is open) are brought to the front.
void ActivateForms(HWND appWnd)
{
    HWND main = Application().MainFormHandle();
    if (!main || !IsWindowVisible(main))
        return;
    RestoreMainForm(main);
    HWND target = GetLastActivePopup(appWnd);
    if (!target || target == appWnd || !IsWindowVisible(target) || !IsWindowEnabled(target))
        target = main;
    SetForegroundWindow(target);
}

struct SyncCall {
    const std::function<void()>* Call;
    std::exception_ptr Error;
};
}  // namespace

TApplication& Application()
{
    static TApplication* app = new TApplication;
    return *app;
}

TApplication::TApplication()
    : FGuiThread(GetCurrentThreadId()),
      FGuiThreadLink([this](const std::function<void()>& call) { return Synchronize(call); },
                     [this] { HandleException(); })
{
    TWindow::SetHost({[this] { return Handle(); }, [this] { HandleMessage(); }, [this] { return Terminated(); },
                      [this] { Terminate(); }, [this] { HandleException(); }});
}

TApplication::~TApplication() = default;

void TApplication::Initialize()
{
    if (FHandle)
        return;
    FGuiThread = GetCurrentThreadId();
    RegisterWindowClass(ClassName, &TApplication::AppWndProc);
    // A visible-style but zero-sized pop-up, never shown: it owns the program's windows and
    // carries the title, as the running copy's window that a second start looks for.
    FHandle.reset(CreateWindowExW(0, ClassName, FTitle.c_str(),
                                  WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                                  GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr));
    if (!FHandle)
        RaiseLastOSError();
}

void TApplication::SetTitle(const std::wstring& title)
{
    FTitle = title;
    if (FHandle)
        SetWindowTextW(FHandle.get(), FTitle.c_str());
}

TWindow* TApplication::MainForm() const { return TWindow::MainForm(); }

HWND TApplication::MainFormHandle() const { return TWindow::MainFormHandle(); }

void TApplication::Run()
{
    while (!FTerminated)
        HandleMessage();
}

void TApplication::HandleMessage()
{
    MSG msg;
    if (!ProcessMessage(msg)) {
        Idle();
        if (!FTerminated)
            WaitMessage();
    }
}

void TApplication::ProcessMessages()
{
    MSG msg;
    while (ProcessMessage(msg)) {
    }
}

bool TApplication::ProcessMessage(MSG& msg)
{
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    if (!PreTranslate(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

bool TApplication::PreTranslate(MSG& msg)
{
    if (!msg.hwnd)
        return false;
    TWindow* form = TWindow::FromHandle(GetAncestor(msg.hwnd, GA_ROOT));
    return form && form->PreTranslateMessage(msg);
}

void TApplication::Terminate()
{
    if (!FTerminated)
        PostQuitMessage(0);
    FTerminated = true;
}

void TApplication::ClearTerminated()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    FTerminated = false;
}

bool TApplication::IsActive() const { return ProcessIsForeground(); }

int TApplication::AddIdleHandler(std::function<void()> handler)
{
    FIdleHandlers.push_back({FNextIdleId, std::move(handler)});
    return FNextIdleId++;
}

void TApplication::RemoveIdleHandler(int id)
{
    FIdleHandlers.erase(std::remove_if(FIdleHandlers.begin(), FIdleHandlers.end(),
                                       [id](const IdleEntry& e) { return e.Id == id; }),
                        FIdleHandlers.end());
}

void TApplication::Idle()
{
    // A handler may add or remove handlers; run over a copy.
    auto handlers = FIdleHandlers;
    for (auto& entry : handlers)
        GuardedCall(entry.Handler);
}

bool TApplication::Synchronize(const std::function<void()>& call)
{
    if (IsGuiThread()) {
        call();
        return true;
    }
    SyncCall sync{&call, nullptr};
    DWORD_PTR result = 0;
    if (!FHandle || !SendMessageTimeoutW(FHandle.get(), WM_SYNCHRONIZE, 0, reinterpret_cast<LPARAM>(&sync), SMTO_BLOCK, INFINITE,
                                         &result) ||
        result != 1)
        return false;
    if (sync.Error)
        std::rethrow_exception(sync.Error);
    return true;
}

LRESULT CALLBACK TApplication::AppWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (msg) {
    case WM_SYNCHRONIZE: {
        auto* sync = reinterpret_cast<SyncCall*>(lParam);
        try {
            (*sync->Call)();
        } catch (...) {
            sync->Error = std::current_exception();
        }
        return 1;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            PostMessageW(wnd, WM_ACTIVATEFORMS, 0, 0);
        return 0;
    case WM_ACTIVATEFORMS:
        ActivateForms(wnd);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_RESTORE) {
            RestoreMainForm(Application().MainFormHandle());
            return 0;
        }
        return DefWindowProcW(wnd, msg, wParam, lParam);
    case WM_CLOSE:
        // The hidden window is closed only through the main form.
        GuardedCall([] {
            if (TWindow* main = Application().MainForm())
                main->Close();
            else
                Application().Terminate();
        });
        return 0;
    default:
        return DefWindowProcW(wnd, msg, wParam, lParam);
    }
}

std::wstring ExceptionReportText(const std::wstring& message)
{
    if (!message.empty() && message.back() > L'.')
        return message + L".";
    return message;
}

void TApplication::ShowException(const std::wstring& message)
{
    AppMessageBox(ExceptionReportText(message), FTitle, MB_OK | MB_ICONERROR);
}

void TApplication::HandleException() noexcept
{
    try {
        ShowException(CurrentExceptionMessage());
    } catch (...) {
        // The report itself failed (no memory, no window station): nothing is left to tell.
    }
}
