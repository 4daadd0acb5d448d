// What a failure of a service's start or control says beyond the operation's own text: the exit
// code the service reported when it stopped, and the executable's path when its file was not
// found. Each keeps the text it is given as it is and adds one line.
//
// Usage:
//   throw Exception(WithExitCode(OperationFailedText(name, L"Starting"), status.dwWin32ExitCode,
//                                status.dwServiceSpecificExitCode));
//   throw EOSError(error, ExecutablePathAddition(error, config.FileName));
#pragma once

#include <windows.h>

#include <string>

// The text, then the exit code the service reported, with the system's text for it ("Exit code
// of the service: 1067 (The process terminated unexpectedly)."), or its service-specific code
// when it reported ERROR_SERVICE_SPECIFIC_ERROR ("Service-specific exit code: 42 (0x2A).").
// The text alone when the exit code is 0.
std::wstring WithExitCode(const std::wstring& text, DWORD win32ExitCode, DWORD serviceSpecificExitCode);

// Whether a start request's error says that the executable was not found (2, or 3 for its
// folder).
bool IsMissingExecutable(DWORD error);
// What follows a start request's system error when the executable was not found: a line break and the path the service is configured with (in quotation marks
// unless it has its own); empty for any other error or an unknown path. An EOSError's addition.
std::wstring ExecutablePathAddition(DWORD error, const std::wstring& binaryPath);
