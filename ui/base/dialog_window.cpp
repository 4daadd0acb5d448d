#include "ui/base/dialog_window.h"

LRESULT TDialogWindow::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            BtnOkClick();
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            SetModalResult(mrCancel);
            return 0;
        }
        break;
    case DM_GETDEFID:
        return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (FPictureId != 0 && FPainter && item->CtlID == static_cast<UINT>(FPictureId)) {
            // The picture is drawn at 96 dpi and scaled with the window's.
            TScaledDrawing scaled(item->hDC, item->rcItem.left, item->rcItem.top, Dpi());
            FPainter(item->hDC, 0, 0);
            return TRUE;
        }
        break;
    }
    case WM_ACTIVATE:
        // As a dialog does: the control focused when the activation was lost gets it back.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(Handle(), focus))
                FFocused = focus;
        } else if (FFocused && IsWindow(FFocused)) {
            SetFocus(FFocused);
            return 0;
        }
        break;
    default:
        break;
    }
    return TWindow::WndProc(msg, wParam, lParam);
}
