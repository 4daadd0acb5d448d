// The base of the program's dialogs: OK is the default button (Enter presses it), OK and Cancel
// end the modal loop, activation gives the focus back to the control that had it, and an
// owner-drawn static can show a picture drawn by the given painter.
#pragma once

#include "ui/base/gui_layer.h"
#include "ui/base/window.h"

#include <windows.h>

// Draws a picture with its top-left corner at the given point.
using TPicturePainter = void (*)(HDC dc, int left, int top);

class TDialogWindow : public TWindow {
protected:
    // pictureId: the owner-drawn static that shows the picture painter draws, 0 for none.
    explicit TDialogWindow(int pictureId = 0, TPicturePainter painter = nullptr)
        : FPictureId(pictureId), FPainter(painter)
    {
    }

    // OK's click; it closes the dialog with mrOk.
    virtual void BtnOkClick() { SetModalResult(mrOk); }

    // A dialog's own messages go first; what it leaves comes here.
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The control that gets the focus when the dialog is activated; set on the first showing
    // and remembered each time the dialog loses the activation.
    HWND FFocused = nullptr;

private:
    int FPictureId;
    TPicturePainter FPainter;
};
