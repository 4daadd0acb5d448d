// What the installer stand-ins share. Each one
//  - appends the command line it was given (UTF-16, one line ending with LF) to the file that
//    the environment variable SM_INSTALLER_LOG names, when it is set;
//  - never ends when SM_INSTALLER_MODE is "hang", and ends at once with 0, having installed
//    nothing, when it is "nothing";
//  - ends at once with the exit code of SM_INSTALLER_EXIT when that is set and not 0, having
//    installed nothing;
//  - otherwise creates the service that its command line describes with CreateServiceW, named
//    and titled as the real installer would, and ends with 0, or with the error number when that
//    fails.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TStandInService {
    std::wstring Name;
    std::wstring DisplayName;
    std::wstring BinaryPath;
    DWORD StartType = SERVICE_DEMAND_START;
    bool Interact = false;
    std::wstring Dependency;  // empty for none
};

// Records the command line; returns the exit code chosen by the test (0 when none).
int StandInPrologue();

// The arguments of the command line, split as the C runtime splits them.
std::vector<std::wstring> StandInArguments();

// The raw command line of the process.
std::wstring StandInCommandLine();

// Creates the service; 0 or the error number.
int StandInCreateService(const TStandInService& service);
