// The counter program (guard_counter.exe, beside the test programs) started as a copy of the
// program that holds the lock, re-entered, until it is killed.
#pragma once

#include "app/kernel_objects.h"
#include "common/handle.h"

#include <windows.h>

#include <string>

inline std::wstring CounterProgramPath()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L'\\') + 1) + L"guard_counter.exe";
}

class THoldingProcess {
public:
    explicit THoldingProcess(const std::wstring& lockName) : FHeld(nullptr, true, false, lockName + L"_Held")
    {
        const std::wstring program = CounterProgramPath();
        std::wstring commandLine = L"\"" + program + L"\" \"" + lockName + L"\" hold";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started{};
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &started)) {
            FProcess.reset(started.hProcess);
            CloseHandle(started.hThread);
        }
    }
    ~THoldingProcess() { Kill(); }

    bool WaitUntilHeld() const { return FProcess && FHeld.WaitFor(20000) == WAIT_OBJECT_0; }
    void Kill()
    {
        if (FProcess) {
            TerminateProcess(FProcess.get(), 9);
            WaitForSingleObject(FProcess.get(), INFINITE);
        }
    }

private:
    TEvent FHeld;
    UniqueKernelHandle FProcess;
};
