#include "ui/base/message_box.h"

#include "ui/base/window.h"

namespace {
MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
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
    HWND owner = GetActiveWindow();
    if (!owner)
        owner = TWindow::MainFormHandle();
    return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}
