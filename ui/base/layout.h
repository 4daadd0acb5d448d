// Window layout kept between runs in the current user's hive: under the settings key, one
// subkey per window named after its component name, with the text values "Size" (the outer
// size, "%d,%d") and, for a window with a list, "Columns" (the column widths joined with ";").
// Positions are not kept: a dialog is cascaded from the window the user was last working in,
// the main window is centred on the screen.
//
// Every load and save opens the key, works and closes it; nothing stays in memory between
// them. Loads take what they can use and ignore the rest (the values may be edited by hand); a
// save that cannot write leaves what was stored before and reports nothing, so a window always
// closes.
//
// Usage, for a dialog: LoadDialogLayout(*this) as the last step of its show handler and
// SaveDialogLayout(*this) as the first step of its close handler.
#pragma once

#include "common/handle.h"
#include "ui/base/gui_layer.h"

#include <windows.h>

#include <string>

class TWindow;

// The settings key of the current user, created when missing, opened with full access (read
// access when full access is refused); null when it cannot be opened at all.
UniqueRegKey OpenLayoutKey();

// Applies the stored outer size, if "Size" holds a usable one, and returns whether it did; then,
// in every case, cascades the window and repaints it at once. A null settings key stores nothing.
bool LoadFormSize(const TWindow& window, HKEY settings);
// Writes the outer size as "Size" (the restored size while the window is minimised).
LSTATUS SaveFormSize(const TWindow& window, HKEY settings);

// Sets the width of each column that has a usable field in "Columns" of the subkey section;
// the other columns keep theirs.
void LoadColumnWidths(HWND listView, HKEY settings, const std::wstring& section);
// Writes the width of every column as "Columns" into the subkey section.
LSTATUS SaveColumnWidths(HWND listView, HKEY settings, const std::wstring& section);

// A text value of a window's subkey (the empty text when the key, the subkey or the value is
// missing or not text), and its writing (a null settings key writes nothing).
std::wstring ReadLayoutValue(HKEY settings, const std::wstring& section, const wchar_t* name);
LSTATUS WriteLayoutValue(HKEY settings, const std::wstring& section, const wchar_t* name, const std::wstring& text);

// Moves a window, without sizing or activating it, beside the window the user was last working
// in (the last active pop-up of the application window, else the active form), inside the work
// area of that window's monitor.
void CascadeWindow(HWND window);

// A dialog's layout: its size only, then the cascade; and its size on close.
void LoadDialogLayout(const TWindow& dialog);
void SaveDialogLayout(const TWindow& dialog);
