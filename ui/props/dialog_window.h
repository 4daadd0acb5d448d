// The base of the service dialogs: OK is the default button (Enter presses it), OK and Cancel
// end the modal loop, activation gives the focus back to the control that had it, and an
// owner-drawn static can show the 32 by 32 server picture.
#pragma once

#include "common/window.h"

class TDialogWindow : public TWindow {
protected:
    // pictureId: the owner-drawn static that shows the server picture, 0 for none.
    explicit TDialogWindow(int pictureId = 0) : FPictureId(pictureId) {}

    // OK's click; it closes the dialog with mrOk.
    virtual void BtnOkClick() { SetModalResult(mrOk); }

    // A dialog's own messages go first; what it leaves comes here.
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The control that gets the focus when the dialog is activated; set on the first showing
    // and remembered each time the dialog loses the activation.
    HWND FFocused = nullptr;

private:
    int FPictureId;
};
