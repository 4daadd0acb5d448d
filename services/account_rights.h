// The accounts of a computer and their right to log on as a service, as the computer's local
// security authority keeps them. The program asks through this interface: on Windows it is LSA
// (SystemAccountRights), in the tests the simulated computers' accounts.
//
// Usage:
//   IAccountRights& rights = SystemAccountRights();
//   if (!rights.AccountExists(L"erp-app1", L".\\erpuser")) ...          // refuse it
//   if (rights.GrantServiceLogonRight(L"", L".\\erpuser")) ...          // granted just now
#pragma once

#include <string>

// The privilege a service's account needs for the manager to start the service under it.
inline constexpr wchar_t ServiceLogonRight[] = L"SeServiceLogonRight";

class IAccountRights {
public:
    virtual ~IAccountRights() = default;

    // Whether the computer (empty or one of this computer's own names: this one) knows the
    // account; ".\name" names an account of that computer. Raises the system's error when the
    // computer cannot be asked.
    virtual bool AccountExists(const std::wstring& computer, const std::wstring& account) = 0;

    // Grants the account the right to log on as a service on that computer: true when it was
    // granted now, false when the account held it already. Raises the system's error when the
    // account cannot be found or the right cannot be granted.
    virtual bool GrantServiceLogonRight(const std::wstring& computer, const std::wstring& account) = 0;
};

// The local security authority of this computer and of the others, through advapi32
// (LsaOpenPolicy with the computer's name, LookupAccountNameW, LsaEnumerateAccountRights,
// LsaAddAccountRights). Under Wine, whose LSA keeps no rights (adding one succeeds and stores
// nothing, and none is ever listed), every grant reports the right as granted now; its
// service manager does not ask for it.
IAccountRights& SystemAccountRights();
