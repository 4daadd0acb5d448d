#include "common/errors.h"

#include "common/format.h"
#include "common/handle.h"

#include <new>

Exception::Exception(std::wstring message) : FMessage(std::move(message)), FNarrow(ToUtf8(FMessage)) {}

namespace {
std::wstring OSErrorText(DWORD errorCode, const std::wstring& addition)
{
    if (errorCode == 0)
        return L"A call to an OS function failed";
    return Fmt(L"System Error.  Code: %d.\r\n%s%s", {static_cast<int>(errorCode), SysErrorMessage(errorCode), addition});
}
}  // namespace

EOSError::EOSError(DWORD errorCode, const std::wstring& addition)
    : Exception(OSErrorText(errorCode, addition)), FErrorCode(errorCode)
{
}

EWin32Error::EWin32Error(DWORD errorCode, const std::wstring& operation)
    : Exception(Fmt(L"Win32 error: %s (%u)%s%s", {SysErrorMessage(errorCode), errorCode, L"\r\n", operation})),
      FErrorCode(errorCode)
{
}

EAssertionFailed::EAssertionFailed(const std::wstring& file, int line)
    : Exception(Fmt(L"%s (%s, line %d)", {L"Assertion failure", file, line}))
{
}

std::wstring SysErrorMessage(DWORD errorCode)
{
    wchar_t* buffer = nullptr;
    DWORD len = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                   FORMAT_MESSAGE_ARGUMENT_ARRAY,
                               nullptr, errorCode, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    UniqueLocal owner(buffer);
    std::wstring text(buffer ? buffer : L"", buffer ? len : 0);
    while (!text.empty() && (text.back() <= L' ' || text.back() == L'.'))
        text.pop_back();
    return text;
}

bool IsConnectionError(DWORD error)
{
    switch (error) {
    case ERROR_BAD_NETPATH:           // 53
    case ERROR_UNEXP_NET_ERR:         // 59
    case ERROR_NETNAME_DELETED:       // 64
    case ERROR_INVALID_COMPUTERNAME:  // 1210
    case RPC_S_INVALID_NET_ADDR:      // 1707
    case RPC_S_SERVER_UNAVAILABLE:    // 1722
    case RPC_S_SERVER_TOO_BUSY:       // 1723
    case RPC_S_CALL_FAILED:           // 1726
    case RPC_S_CALL_FAILED_DNE:       // 1727
    case EPT_S_NOT_REGISTERED:        // 1753
        return true;
    default:
        return false;
    }
}

bool IsLostConnectionError(DWORD error) { return error == ERROR_INVALID_HANDLE || IsConnectionError(error); }

void RaiseOSError(DWORD errorCode) { throw EOSError(errorCode); }

void RaiseLastOSError() { RaiseOSError(GetLastError()); }

BOOL Win32Check(BOOL ok)
{
    if (!ok)
        RaiseLastOSError();
    return ok;
}

void RaiseSystemText(DWORD errorCode) { throw Exception(SysErrorMessage(errorCode)); }

void SystemTextCheck(BOOL ok)
{
    if (!ok)
        RaiseSystemText(GetLastError());
}

void ExpectTooSmall(BOOL ok)
{
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER)
        RaiseSystemText(error);
}

void AssertionFailed(const char* file, int line)
{
    std::wstring name = FromUtf8(file);
    size_t slash = name.find_last_of(L"/\\");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    throw EAssertionFailed(name, line);
}

std::wstring CurrentExceptionMessage()
{
    try {
        throw;
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::bad_alloc&) {
        return L"Out of memory";
    } catch (const std::exception& e) {
        return FromUtf8(e.what());
    } catch (...) {
        return L"Unknown error";
    }
}
