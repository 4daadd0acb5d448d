// A thin, non-owning wrapper of a tool bar: one method a message.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <vector>

class TToolBar {
public:
    explicit TToolBar(HWND wnd = nullptr) : FWnd(wnd) {}
    HWND Handle() const { return FWnd; }

    // The images of the buttons, and of disabled buttons; the tool bar does not own them.
    void SetImageList(HIMAGELIST images) const
    {
        SendMessageW(FWnd, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    }
    void SetDisabledImageList(HIMAGELIST images) const
    {
        SendMessageW(FWnd, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    }

    void AddButtons(const std::vector<TBBUTTON>& buttons) const
    {
        SendMessageW(FWnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        SendMessageW(FWnd, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    }
    // Whether the command's button is enabled; nothing when the bar has no such button.
    std::optional<bool> ButtonEnabled(int command) const
    {
        const LRESULT state = SendMessageW(FWnd, TB_GETSTATE, static_cast<WPARAM>(command), 0);
        if (state == -1)
            return std::nullopt;
        return (state & TBSTATE_ENABLED) != 0;
    }
    void EnableButton(int command, bool enabled) const
    {
        SendMessageW(FWnd, TB_ENABLEBUTTON, static_cast<WPARAM>(command), MAKELPARAM(enabled ? TRUE : FALSE, 0));
    }

private:
    HWND FWnd;
};
