// Input as a user gives it, for tests that drive another program: keys and mouse clicks go
// through SendInput to whatever window is in front, so the window is brought to the front first.
#pragma once

#include <windows.h>

#include <initializer_list>

// Brings a top-level window to the front and waits until it is the foreground window and its
// thread has given it the activation and the keyboard focus.
bool BringToFront(HWND wnd, DWORD timeoutMs = 5000);

// Presses the keys in order and releases them in reverse order (a chord such as Alt+X).
void PressChord(std::initializer_list<WORD> keys);
// Presses and releases one key.
inline void PressKey(WORD key) { PressChord({key}); }

// Puts the text on the clipboard as Unicode text; null empties the clipboard. False when the
// clipboard cannot be opened.
bool SetClipboardText(const wchar_t* text);

// A left click at a point of the screen.
void ClickAt(POINT screenPoint);
// A right click at a point of the screen.
void RightClickAt(POINT screenPoint);
// Moves the mouse to a point of the screen.
void MoveMouseTo(POINT screenPoint);
// Presses the left button at one point, moves to the other in a few steps and releases it there
// (dragging a window's frame or a column's divider).
void DragMouse(POINT from, POINT to);
// The centre of a rectangle.
POINT CentreOf(const RECT& r);
