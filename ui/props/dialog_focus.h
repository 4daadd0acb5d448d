// What a dialog does with the focus on activation: it goes back to the control that had it
// when the dialog was last deactivated.
#pragma once

#include <windows.h>

// For WM_ACTIVATE: remembers the focused control on deactivation; on activation gives the
// focus back to focused and returns true (the message is then handled).
bool DialogActivate(HWND dialog, WPARAM wParam, HWND& focused);
