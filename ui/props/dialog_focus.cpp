#include "ui/props/dialog_focus.h"

bool DialogActivate(HWND dialog, WPARAM wParam, HWND& focused)
{
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(dialog, focus))
            focused = focus;
        return false;
    }
    if (focused && IsWindow(focused)) {
        SetFocus(focused);
        return true;
    }
    return false;
}
