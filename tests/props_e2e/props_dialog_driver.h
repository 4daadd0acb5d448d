// The real program's kind dialog, properties dialog and password prompt driven from this
// process. Clicks are posted, as a user's would arrive: a button whose handler opens another
// window does not hold this process up.
#pragma once

#include "tests/main_e2e/main_window_driver.h"

#include <windows.h>

#include <string>

class TPropsDialogDriver {
public:
    explicit TPropsDialogDriver(TMainWindowDriver& window) : FWindow(window) {}

    // Insert in the main window: the kind dialog, or null.
    HWND PressInsert() const;
    // In the kind dialog: the entry of this index chosen and OK pressed; the properties dialog.
    HWND ChooseKind(HWND kindDialog, int index) const;
    // Enter on the row with this caption: the properties dialog, or null.
    HWND OpenProperties(const std::wstring& caption) const;

    // A control of the properties dialog or the prompt, by id.
    static HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }
    // A box's text, asked of the box itself (another process's edit box keeps it there).
    static std::wstring Text(HWND dialog, int id);
    static void SetText(HWND dialog, int id, const std::wstring& text);
    static void Click(HWND dialog, int id);
    static bool Checked(HWND dialog, int id);
    // Selects the entry of the Depends on list with this text; false when there is none.
    static bool SelectDependency(HWND dialog, const std::wstring& name);
    static int DependencyCount(HWND dialog);

    // The program's visible window of this class, waited for; null on time-out.
    HWND WaitFor(const wchar_t* className, DWORD timeoutMs = 15000) const;
    // Waits until the program has no visible window of this class.
    bool WaitGone(const wchar_t* className, DWORD timeoutMs = 15000) const;
    // Waits for a message box, checks nothing, and gives its text; presses OK on it.
    std::wstring AnswerMessageBox(DWORD timeoutMs = 15000) const;

private:
    TMainWindowDriver& FWindow;
};

// Writes a picture of the window to the file (a BMP).
void SaveWindowPicture(HWND wnd, const std::wstring& path);
