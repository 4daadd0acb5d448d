#include "ui/base/message_box.h"

#include "ui/base/application.h"

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
    TApplication& app = Application();
    // The main window has the task-bar button; the hidden application window has none.
    HWND button = app.MainFormHandle() ? app.MainFormHandle() : app.Handle();
    if (!app.IsActive() && button) {
        FLASHWINFO flash{sizeof(flash), button, FLASHW_TRAY, 1, 0};
        FlashWindowEx(&flash);
    }
    if (Hook())
        return Hook()(text, caption, flags);
    HWND owner = GetActiveWindow();
    if (!owner)
        owner = app.MainFormHandle();
    return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}
