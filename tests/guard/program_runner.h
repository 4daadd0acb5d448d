// Starting the real program from a test as a user would, finding its windows, and making sure it
// has ended when the test is over.
#pragma once

#include "common/handle.h"

#include <windows.h>

#include <functional>
#include <string>

// The program copy that tests start (asInvoker manifest).
std::wstring TestProgramPath();

// A folder of its own under the temporary folder, with copies of the program; removed with
// everything in it at the end.
class TScratchFolder {
public:
    explicit TScratchFolder(const std::wstring& tag);
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    const std::wstring& Path() const { return FPath; }
    // Copies the program into the subfolder (made when missing) and returns the copy's full path.
    std::wstring AddProgramCopy(const std::wstring& subfolder);

private:
    std::wstring FPath;
};

// Waits until the condition holds, keeping this thread's messages flowing; false on time-out.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

// One started copy of the program. Ends it when it goes: WM_CLOSE to its main window, then
// TerminateProcess when it has not ended within a few seconds.
class TProgram {
public:
    TProgram(const std::wstring& exePath, const std::wstring& arguments = {});
    ~TProgram();
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    DWORD ProcessID() const { return FProcessID; }
    HANDLE Process() const { return FProcess.get(); }
    bool Running() const;
    // The exit code once the process has ended within the time-out; STILL_ACTIVE otherwise.
    DWORD WaitForExit(DWORD timeoutMs = 10000);

    // The visible main window (class "TFormMain") of the process, or 0.
    HWND MainForm() const;
    // Waits for the main window to be shown; 0 on time-out.
    HWND WaitForMainForm(DWORD timeoutMs = 10000);
    // The application window (class "TApplication") of the process, or 0.
    HWND AppWindow() const;
    // Closes the main window as the user would and waits for the end; the exit code.
    DWORD Close(DWORD timeoutMs = 10000);

private:
    UniqueKernelHandle FProcess;
    UniqueKernelHandle FThread;
    DWORD FProcessID = 0;
};

// Whether a visible top-level window belongs to the process.
bool HasVisibleWindow(DWORD processID);

// The number of ids in the program's all table, read under its lock without registering;
// 0 when no copy of the program holds the table.
unsigned RegisteredCount(const std::wstring& exePath);
