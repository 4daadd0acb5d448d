#include "app/instance_security.h"

#include "common/errors.h"
#include "common/format.h"
#include "common/handle.h"

namespace {
// These calls fail with the system's text for the error alone.
UniqueKernelHandle OpenQueryToken()
{
    UniqueKernelHandle token;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()))
        return token;
    if (GetLastError() != ERROR_NO_TOKEN)
        RaiseSystemText(GetLastError());
    SystemTextCheck(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()));
    return token;
}
}  // namespace

TTokenUser::TTokenUser()
{
    UniqueKernelHandle token = OpenQueryToken();
    DWORD size = 0;
    ExpectTooSmall(GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size));
    FBuffer.resize(size);
    SystemTextCheck(GetTokenInformation(token.get(), TokenUser, FBuffer.data(), size, &size));
}

TAccountName AccountNameOf(PSID sid)
{
    DWORD accountLength = 0, domainLength = 0;
    SID_NAME_USE use;
    ExpectTooSmall(LookupAccountSidW(nullptr, sid, nullptr, &accountLength, nullptr, &domainLength, &use));
    std::wstring account(accountLength, L'\0'), domain(domainLength, L'\0');
    SystemTextCheck(LookupAccountSidW(nullptr, sid, account.data(), &accountLength, domain.data(), &domainLength, &use));
    // On success the lengths exclude the terminating zero.
    account.resize(accountLength);
    domain.resize(domainLength);
    return {account, domain};
}

DWORD SessionIdOf(DWORD processID)
{
    using TProcessIdToSessionId = BOOL(WINAPI*)(DWORD, DWORD*);
    const wchar_t* moduleName = L"kernel32.dll";
    const char* functionName = "ProcessIdToSessionId";
    FARPROC address = GetProcAddress(GetModuleHandleW(moduleName), functionName);
    if (!address)
        throw Exception(Fmt(L"Function not found: %s.%s", {moduleName, FromUtf8(functionName)}));
    auto processIdToSessionId = reinterpret_cast<TProcessIdToSessionId>(reinterpret_cast<void*>(address));
    DWORD sessionID = 0;
    if (!processIdToSessionId(processID, &sessionID))
        sessionID = 0;
    return sessionID;
}

TTableSecurity::TTableSecurity(PSID owner, PSID allowed)
{
    SystemTextCheck(InitializeSecurityDescriptor(&FDescriptor, SECURITY_DESCRIPTOR_REVISION));
    SystemTextCheck(SetSecurityDescriptorOwner(&FDescriptor, owner, FALSE));
    SystemTextCheck(SetSecurityDescriptorGroup(&FDescriptor, owner, FALSE));
    SystemTextCheck(SetSecurityDescriptorSacl(&FDescriptor, FALSE, nullptr, TRUE));
    FAcl.resize(GetLengthSid(allowed) + 24);
    auto* acl = reinterpret_cast<PACL>(FAcl.data());
    SystemTextCheck(InitializeAcl(acl, static_cast<DWORD>(FAcl.size()), ACL_REVISION));
    SystemTextCheck(AddAccessAllowedAce(acl, ACL_REVISION, TableAccess, allowed));
    SystemTextCheck(SetSecurityDescriptorDacl(&FDescriptor, TRUE, acl, FALSE));
    FAttributes.nLength = sizeof(FAttributes);
    FAttributes.lpSecurityDescriptor = &FDescriptor;
    FAttributes.bInheritHandle = FALSE;
}

TWorldSid::TWorldSid() : FBuffer(GetSidLengthRequired(1))
{
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    SystemTextCheck(InitializeSid(FBuffer.data(), &world, 1));
    *GetSidSubAuthority(FBuffer.data(), 0) = SECURITY_WORLD_RID;
}
