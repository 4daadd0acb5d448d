// The windows of a running copy of the program: finding its application window, bringing it to
// the front, and sending it the instance notifications.
#pragma once

#include <windows.h>

// The application window of a process: the first top-level window, in the system's order,
// that belongs to the process and has the class name "TApplication"; 0 without one.
HWND GetApplicationWnd(DWORD processID);

// Restores the window when it is minimised, then makes it the foreground window.
bool BringAppWindowToFront(HWND wnd);

// Makes the window the foreground window, attaching to the foreground window's input for the
// time of the call when that belongs to another thread.
bool SetForegroundWindow98(HWND wnd);

// Posts the message to the thread that owns wnd (again every millisecond while the thread's
// queue refuses it), then sends it to every window of that thread.
void NotifyWindowThread(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
