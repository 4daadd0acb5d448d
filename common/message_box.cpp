#include "common/message_box.h"

#include "common/application.h"

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
    if (!app.IsActive() && app.Handle()) {
        FLASHWINFO flash{sizeof(flash), app.Handle(), FLASHW_TRAY, 1, 0};
        FlashWindowEx(&flash);
    }
    if (Hook())
        return Hook()(text, caption, flags);
    HWND owner = GetActiveWindow();
    if (!owner)
        owner = app.MainFormHandle();
    return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}
