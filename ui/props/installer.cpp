#include "ui/props/installer.h"

#include "common/errors.h"
#include "common/format.h"
#include "common/handle.h"
#include "ui/base/delay.h"

#include <windows.h>

bool RunInstaller(const TInstallCommand& command)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into the command line: hand it a copy of its own.
    std::wstring buffer = command.CommandLine;
    if (!CreateProcessW(command.Program.empty() ? nullptr : command.Program.c_str(), buffer.data(), nullptr, nullptr,
                        FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process))
        throw Exception(Fmt(L"Error executing application (%s).", {command.CommandLine}));
    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle(process.hThread).reset();  // the thread is not needed
    if (!WaitWithMessages(processHandle.get()))
        return false;
    DWORD exitCode = 0;
    Win32Check(GetExitCodeProcess(processHandle.get(), &exitCode));
    if (exitCode != 0)
        throw Exception(Fmt(L"Error installing service (exitcode=0x%x).", {exitCode}));
    return true;
}
