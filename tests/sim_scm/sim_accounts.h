// The accounts of a simulated computer, as its local security authority keeps them: each with
// its password and whether it holds the right to log on as a service. A simulated manager starts
// a service only when its account could log on, as Windows does (ERROR_SERVICE_LOGON_FAILED,
// 1069, otherwise); TSimAccountRights is the program's account seam over them.
//
// Usage:
//   TSimServiceControlManager sim;
//   sim.Accounts().Add(L".\\erpuser", L"secret");                 // no log-on right yet
//   TSimAccountRights rights(sim);                                 // every computer name is sim
//   rights.GrantServiceLogonRight(L"", L".\\erpuser");             // true: granted now
//   sim.Accounts().HoldsLogonRight(L"erpuser");                    // true
#pragma once

#include "services/account_rights.h"

#include <windows.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class TSimServiceControlManager;

class TSimAccounts {
public:
    // An account of the computer; ".\name" is "name", and letter case does not count.
    void Add(const std::wstring& name, const std::wstring& password = L"", bool logonRight = false);
    // Whether the computer knows the account: one added, a built-in one (LocalSystem and the
    // NT AUTHORITY service accounts in each of their forms) or a virtual one (NT SERVICE\...).
    bool Exists(const std::wstring& name) const;
    bool HoldsLogonRight(const std::wstring& name) const;
    // True when granted now, false when held already; ERROR_NONE_MAPPED for an unknown account.
    bool GrantLogonRight(const std::wstring& name);

    // What the manager answers a start of a service of that type running as that account with
    // the password it was given: 0 when the account can log on as a service (drivers, the
    // built-in and virtual accounts always can; a managed account needs no password), else
    // ERROR_SERVICE_LOGON_FAILED: an unknown account, a wrong password, no log-on right.
    DWORD StartRefusal(DWORD serviceType, const std::wstring& startName, const std::wstring& password) const;

private:
    struct TAccount {
        std::wstring Password;
        bool LogonRight = false;
    };
    static std::wstring Key(const std::wstring& name);
    const TAccount* Find(const std::wstring& name) const;

    mutable std::mutex FMutex;
    std::map<std::wstring, TAccount> FAccounts;  // by Key
};

// The account seam over simulated computers' accounts, with the names of the computers asked.
class TSimAccountRights final : public IAccountRights {
public:
    // Every computer name reaches the one simulated computer.
    explicit TSimAccountRights(TSimServiceControlManager& computer);
    // The accounts of the computer of that name; null for a computer that cannot be reached
    // (RPC_S_SERVER_UNAVAILABLE, 1722).
    explicit TSimAccountRights(std::function<TSimAccounts*(const std::wstring& computer)> computers);

    // Every later call fails with that error (0: none).
    void Fail(DWORD error) { FError = error; }
    // The computer names every call was given, in order.
    const std::vector<std::wstring>& Asked() const { return FAsked; }

    bool AccountExists(const std::wstring& computer, const std::wstring& account) override;
    bool GrantServiceLogonRight(const std::wstring& computer, const std::wstring& account) override;

private:
    TSimAccounts& Computer(const std::wstring& computer);

    std::function<TSimAccounts*(const std::wstring&)> FComputers;
    DWORD FError = 0;
    std::vector<std::wstring> FAsked;
};
