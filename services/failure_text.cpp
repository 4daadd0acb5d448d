#include "services/failure_text.h"

#include "common/errors.h"
#include "common/format.h"

std::wstring WithExitCode(const std::wstring& text, DWORD win32ExitCode, DWORD serviceSpecificExitCode)
{
    if (win32ExitCode == ERROR_SUCCESS)
        return text;
    if (win32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR)
        return Fmt(L"%s\r\nService-specific exit code: %u (0x%x).", {text, serviceSpecificExitCode, serviceSpecificExitCode});
    const std::wstring system = SysErrorMessage(win32ExitCode);
    if (system.empty())
        return Fmt(L"%s\r\nExit code of the service: %u.", {text, win32ExitCode});
    return Fmt(L"%s\r\nExit code of the service: %u (%s).", {text, win32ExitCode, system});
}

bool IsMissingExecutable(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

std::wstring ExecutablePathAddition(DWORD error, const std::wstring& binaryPath)
{
    if (!IsMissingExecutable(error) || binaryPath.empty())
        return {};
    if (binaryPath.front() == L'"')
        return Fmt(L"\r\nPath to executable: %s", {binaryPath});
    return Fmt(L"\r\nPath to executable: \"%s\"", {binaryPath});
}
