// Drives the real program from outside, as a user would: starts it, finds its windows, closes
// it, and ends it whatever happens to the test.
#pragma once

#include "tests/support/wait_until.h"

#include "common/handle.h"
#include "ui/base/window.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The copy of the program that tests start (asInvoker manifest).
std::wstring TestProgramPath();

// One started copy of the program. Ends it when it goes: WM_CLOSE to its main window, then
// TerminateProcess when it has not ended within a few seconds.
class TProgramUnderTest {
public:
    explicit TProgramUnderTest(const std::wstring& program = TestProgramPath(), const std::wstring& arguments = {});
    ~TProgramUnderTest();
    TProgramUnderTest(const TProgramUnderTest&) = delete;
    TProgramUnderTest& operator=(const TProgramUnderTest&) = delete;

    DWORD ProcessID() const { return FProcessID; }

    // The first visible top-level window of the process with this class, waiting up to timeoutMs
    // and then for the process to be idle; null on time-out or when the process has ended.
    HWND WaitForWindow(const wchar_t* className, DWORD timeoutMs = 10000) const;
    // The process's top-level window of this class (only a visible one when visibleOnly), or null.
    HWND FindWindowOfClass(const wchar_t* className, bool visibleOnly = false) const;

    // Waits for the process to end, keeping this thread's messages flowing; the exit code, or
    // STILL_ACTIVE after the time-out.
    DWORD WaitForExit(DWORD timeoutMs = 10000) const;
    bool Running() const;
    // Closes the main window as the user would and waits for the end; the exit code.
    DWORD Close(DWORD timeoutMs = 10000) const;

private:
    UniqueKernelHandle FProcess;
    DWORD FProcessID = 0;
};

// The first top-level window, in z-order, of the process with this class (of any class when
// className is null), only a visible one when visibleOnly; null when there is none.
HWND FindProcessWindow(DWORD processID, const wchar_t* className, bool visibleOnly);

// The text of a window: the program's own WindowText (ui/base/window.h).
std::wstring WindowClass(HWND wnd);

// The texts of a window's direct children of a class ("Static", "Button"), in z-order.
std::vector<std::wstring> ChildTexts(HWND parent, const wchar_t* className);
// Presses a dialog's button with this id (IDYES, IDNO, IDOK, ...) as a click would.
void PressButton(HWND dialog, int id);
