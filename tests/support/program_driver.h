// Drives the real program from outside, as a user would: starts it, finds its windows, closes
// it, and ends it whatever happens to the test.
#pragma once

#include "common/handle.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The copy of the program that tests start.
std::wstring TestProgramPath();

class TProgramUnderTest {
public:
    // Starts program (TestProgramPath() when empty) with the given arguments.
    explicit TProgramUnderTest(const std::wstring& arguments = {}, const std::wstring& program = {});
    ~TProgramUnderTest();  // ends the process if it still runs
    TProgramUnderTest(const TProgramUnderTest&) = delete;
    TProgramUnderTest& operator=(const TProgramUnderTest&) = delete;

    DWORD ProcessId() const { return FProcessId; }
    HANDLE Process() const { return FProcess.get(); }

    // The first visible top-level window of the process with this class, waiting up to timeoutMs.
    HWND WaitForWindow(const wchar_t* className, DWORD timeoutMs = 10000) const;
    // The process's top-level window of this class, visible or not, or null.
    HWND FindWindowOfClass(const wchar_t* className) const;

    // Waits for the process to end; the exit code, or STILL_ACTIVE after the time-out.
    DWORD WaitForExit(DWORD timeoutMs = 10000) const;
    bool Running() const;

private:
    UniqueKernelHandle FProcess;
    DWORD FProcessId = 0;
};

// The text of a window.
std::wstring WindowText(HWND wnd);
std::wstring WindowClass(HWND wnd);

// The texts of a window's direct children of a class ("Static", "Button"), in z-order.
std::vector<std::wstring> ChildTexts(HWND parent, const wchar_t* className);
// Presses a dialog's button with this id (IDYES, IDNO, IDOK, ...) as a click would.
void PressButton(HWND dialog, int id);

// Polls until done() holds or timeoutMs pass; returns done().
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD stepMs = 25);
