// Who runs the program and who may open its instance tables: the token user, its account and
// domain names, the session id, and the security attributes each table is created with.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The token's user (a TOKEN_USER in its buffer): the thread's token, or the process's when
// the thread has none.
class TTokenUser {
public:
    TTokenUser();
    PSID Sid() const noexcept { return reinterpret_cast<const TOKEN_USER*>(FBuffer.data())->User.Sid; }

private:
    std::vector<BYTE> FBuffer;
};

// The account and domain names of a SID on the local system.
struct TAccountName {
    std::wstring Account;
    std::wstring Domain;
};
TAccountName AccountNameOf(PSID sid);

// The Terminal Services session of a process; 0 when the system cannot tell. The function is
// looked up at run time; without it "Function not found: kernel32.dll.ProcessIdToSessionId".
DWORD SessionIdOf(DWORD processID);

// Security attributes for one table: owner and primary group the token user, no system ACL,
// and a discretionary ACL with one access-allowed entry (mask 0xF001F) for the given SID.
// Not inheritable. Lives while the table is created.
class TTableSecurity {
public:
    static constexpr DWORD TableAccess = 0xF001F;

    TTableSecurity(PSID owner, PSID allowed);
    TTableSecurity(const TTableSecurity&) = delete;
    TTableSecurity& operator=(const TTableSecurity&) = delete;

    SECURITY_ATTRIBUTES* Attributes() noexcept { return &FAttributes; }

private:
    std::vector<BYTE> FAcl;
    SECURITY_DESCRIPTOR FDescriptor{};
    SECURITY_ATTRIBUTES FAttributes{};
};

// The world SID (Everyone): authority 1, one sub-authority 0.
class TWorldSid {
public:
    TWorldSid();
    PSID Sid() noexcept { return FBuffer.data(); }

private:
    std::vector<BYTE> FBuffer;
};
