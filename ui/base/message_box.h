// The program's own checks and questions: AppMessageBox flashes the task-bar button once
// when the application is not the active one, then shows a standard message box, owned by the
// window the user works in and brought to the front, so that it answers the keyboard.
#pragma once

#include "ui/base/gui_layer.h"

#include <windows.h>

#include <functional>
#include <string>

int AppMessageBox(const std::wstring& text, const std::wstring& caption, UINT flags);

// Tests answer message boxes through a hook; it receives what would have been shown and
// returns the button chosen. An empty hook shows real message boxes.
using MessageBoxHook = std::function<int(const std::wstring& text, const std::wstring& caption, UINT flags)>;
void SetMessageBoxHook(MessageBoxHook hook);
