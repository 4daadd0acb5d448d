#include "ui/base/message_box.h"

#include "ui/base/window.h"

namespace {
MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

// The owner of the message box this thread shows, and how often the box was looked after.
thread_local HWND BoxOwner = nullptr;
thread_local int BoxChecks = 0;

// For a moment after the box appears, the activation it loses to a late focus change (the window
// system may tell of an ended installer's focus only now) is given back to it.
void CALLBACK KeepBoxInFront(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (++BoxChecks > 20) {
        KillTimer(nullptr, timer);
        return;
    }
    struct TFind {
        HWND Owner, Box;
    } find{BoxOwner, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND wnd, LPARAM param) -> BOOL {
            auto* f = reinterpret_cast<TFind*>(param);
            wchar_t name[8] = L"";
            if (GetWindow(wnd, GW_OWNER) == f->Owner && GetClassNameW(wnd, name, 8) &&
                CompareStringOrdinal(name, -1, L"#32770", -1, FALSE) == CSTR_EQUAL) {
                f->Box = wnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    if (find.Box && GetForegroundWindow() != find.Box && NoOtherProgramInFront())
        SetForegroundWindow(find.Box);
}
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

int AppMessageBox(const std::wstring& text, const std::wstring& caption, UINT flags)
{
    // The main window has the task-bar button; the hidden application window has none.
    HWND button = TWindow::MainFormHandle() ? TWindow::MainFormHandle() : TWindow::HostWindow();
    if (!ProcessIsForeground() && button) {
        FLASHWINFO flash{sizeof(flash), button, FLASHW_TRAY, 1, 0};
        FlashWindowEx(&flash);
    }
    if (Hook())
        return Hook()(text, caption, flags);
    // Owned by the window the user works in: the active one, or (when another program, such as
    // an installer, took the activation) the main window's last active pop-up, the dialog on
    // top. When no other program's window is in front, the box is brought to the front and kept
    // there, so that Enter, Space and Escape reach it; otherwise the flash above tells of it.
    HWND owner = GetActiveWindow();
    if (!owner && TWindow::MainFormHandle()) {
        owner = GetLastActivePopup(TWindow::MainFormHandle());
        if (!IsWindowVisible(owner) || !IsWindowEnabled(owner))
            owner = TWindow::MainFormHandle();
    }
    if (owner && GetForegroundWindow() != owner && NoOtherProgramInFront())
        SetForegroundWindow(owner);
    const HWND outerOwner = BoxOwner;
    const int outerChecks = BoxChecks;
    BoxOwner = owner;
    BoxChecks = 0;
    const UINT_PTR keeper = owner ? SetTimer(nullptr, 0, 50, &KeepBoxInFront) : 0;
    const int answer = MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
    if (keeper)
        KillTimer(nullptr, keeper);
    // The keyboard goes back to the window the box was shown over.
    ReactivateAfterModal(owner);
    BoxOwner = outerOwner;
    BoxChecks = outerChecks;
    return answer;
}
