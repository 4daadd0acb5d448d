// A thin, non-owning wrapper of a tool bar: one method a message.
#pragma once

#include <windows.h>
#include <commctrl.h>

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

private:
    HWND FWnd;
};
