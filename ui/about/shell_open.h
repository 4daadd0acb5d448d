// Opening a document, mail address or web address with the program the system has for it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// The shell's ShellExecuteW, or whatever replaces it.
using TShellExecute = std::function<HINSTANCE(HWND parent, const wchar_t* verb, const wchar_t* file,
                                              const wchar_t* parameters, const wchar_t* directory, int show)>;

// Replaces the shell call (tests); an empty function puts ShellExecuteW back. Returns the one
// that was in place before.
TShellExecute SetShellExecuteHook(TShellExecute hook);

// The shell's default action on target (no verb, no parameters, no directory, shown
// normally). Its result is not looked at: when nothing is registered for the target, nothing
// happens.
void ShellOpen(HWND parent, const std::wstring& target);
