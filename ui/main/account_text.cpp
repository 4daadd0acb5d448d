#include "ui/main/account_text.h"

#include "common/errors.h"
#include "common/handle.h"

#include <windows.h>

namespace {
// The text of a buffer up to its first null character.
std::wstring UpToNull(const wchar_t* buffer, size_t size)
{
    size_t n = 0;
    while (n < size && buffer[n] != L'\0')
        ++n;
    return std::wstring(buffer, n);
}

std::wstring DomainName()
{
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, token.put()))
        return {};
    alignas(TOKEN_USER) BYTE buffer[1000];
    DWORD needed = 0;
    Win32Check(GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &needed));
    auto* user = reinterpret_cast<TOKEN_USER*>(buffer);
    wchar_t name[257] = {};
    wchar_t domain[257] = {};
    DWORD nameLen = 257;
    DWORD domainLen = 257;
    SID_NAME_USE use;
    // Its result is not examined: a failed lookup leaves the domain empty.
    LookupAccountSidW(nullptr, user->User.Sid, name, &nameLen, domain, &domainLen, &use);
    return UpToNull(domain, 257);
}
}  // namespace

std::wstring ComputerNameText()
{
    wchar_t buffer[260] = {};
    DWORD size = 260;
    if (!GetComputerNameW(buffer, &size))
        return {};
    return UpToNull(buffer, 260);
}

std::wstring AccountText()
{
    wchar_t user[257] = {};
    DWORD size = 257;
    std::wstring userName = GetUserNameW(user, &size) ? UpToNull(user, 257) : std::wstring();
    return DomainName() + L"\\" + userName;
}
