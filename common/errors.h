// The program's exceptions. Every failure carries a message text; the application's default
// report shows it (see application.h).
#pragma once

#include <windows.h>

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::wstring message);
    const std::wstring& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FNarrow.c_str(); }

private:
    std::wstring FMessage;
    std::string FNarrow;
};

// A failing operating-system call: "System Error.  Code: %d.\r\n%s%s", or
// "A call to an OS function failed" for error number 0.
class EOSError : public Exception {
public:
    explicit EOSError(DWORD errorCode, const std::wstring& addition = {});
    DWORD ErrorCode() const noexcept { return FErrorCode; }

private:
    DWORD FErrorCode;
};

// The lower layers' form: "Win32 error: %s (%u)%s%s" with the system's text, the number,
// a line break and the operation's own text.
class EWin32Error : public Exception {
public:
    EWin32Error(DWORD errorCode, const std::wstring& operation);
    DWORD ErrorCode() const noexcept { return FErrorCode; }

private:
    DWORD FErrorCode;
};

// A violated precondition: "Assertion failure (<file>, line <n>)".
class EAssertionFailed : public Exception {
public:
    EAssertionFailed(const std::wstring& file, int line);
};

// Whether the system error says that another computer could not be reached or that the
// connection to it dropped.
bool IsConnectionError(DWORD error);
// The same for a call through a handle of another computer's Service Control Manager: such a
// handle is an RPC context handle, which a dropped connection leaves dead for good, and
// ERROR_INVALID_HANDLE on it says that the connection was lost.
bool IsLostConnectionError(DWORD error);

// The system's text for an error number, without trailing blanks, line breaks and full stops.
std::wstring SysErrorMessage(DWORD errorCode);

[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseOSError(DWORD errorCode);
// Raises the last OS error when ok is false; returns ok otherwise.
BOOL Win32Check(BOOL ok);

// The other form some callers report in: an Exception with the system's text for the error
// alone. SystemTextCheck raises it with GetLastError() when ok is false; ExpectTooSmall takes
// a sizing call made with no buffer, which must fail for lack of room, and raises it otherwise.
[[noreturn]] void RaiseSystemText(DWORD errorCode);
void SystemTextCheck(BOOL ok);
void ExpectTooSmall(BOOL ok);

[[noreturn]] void AssertionFailed(const char* file, int line);

#define SM_ASSERT(condition) ((condition) ? (void)0 : ::AssertionFailed(__FILE__, __LINE__))

// The message of whatever is being handled in the current catch block.
std::wstring CurrentExceptionMessage();
