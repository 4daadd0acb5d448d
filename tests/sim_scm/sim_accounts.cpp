#include "tests/sim_scm/sim_accounts.h"

#include "common/errors.h"
#include "services/account_names.h"
#include "tests/sim_scm/sim_scm.h"

#include <utility>

namespace {
// The user's upper-case mapping, without the window system.
std::wstring Upper(std::wstring text)
{
    if (!text.empty())
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()), text.data(),
                     static_cast<int>(text.size()));
    return text;
}
}  // namespace

std::wstring TSimAccounts::Key(const std::wstring& name)
{
    return Upper(name.rfind(L".\\", 0) == 0 ? name.substr(2) : name);
}

const TSimAccounts::TAccount* TSimAccounts::Find(const std::wstring& name) const
{
    const auto found = FAccounts.find(Key(name));
    return found == FAccounts.end() ? nullptr : &found->second;
}

void TSimAccounts::Add(const std::wstring& name, const std::wstring& password, bool logonRight)
{
    std::lock_guard lock(FMutex);
    FAccounts[Key(name)] = {password, logonRight};
}

bool TSimAccounts::Exists(const std::wstring& name) const
{
    if (AccountKindOf(name) != TAccountKind::User && AccountKindOf(name) != TAccountKind::Managed)
        return true;
    std::lock_guard lock(FMutex);
    return Find(name) != nullptr;
}

bool TSimAccounts::HoldsLogonRight(const std::wstring& name) const
{
    std::lock_guard lock(FMutex);
    const TAccount* account = Find(name);
    return account && account->LogonRight;
}

bool TSimAccounts::GrantLogonRight(const std::wstring& name)
{
    std::lock_guard lock(FMutex);
    const auto found = FAccounts.find(Key(name));
    if (found == FAccounts.end())
        RaiseOSError(ERROR_NONE_MAPPED);
    return !std::exchange(found->second.LogonRight, true);
}

DWORD TSimAccounts::StartRefusal(DWORD serviceType, const std::wstring& startName, const std::wstring& password) const
{
    if ((serviceType & (SERVICE_DRIVER | SERVICE_ADAPTER)) != 0 || startName.empty())
        return 0;  // a driver's "account" names its driver object; no name is LocalSystem
    const TAccountKind kind = AccountKindOf(startName);
    if (kind != TAccountKind::User && kind != TAccountKind::Managed)
        return 0;
    std::lock_guard lock(FMutex);
    const TAccount* account = Find(startName);
    const bool passwordRight = kind == TAccountKind::Managed || (account && account->Password == password);
    return account && passwordRight && account->LogonRight ? 0 : ERROR_SERVICE_LOGON_FAILED;
}

TSimAccountRights::TSimAccountRights(TSimServiceControlManager& computer)
    : FComputers([&computer](const std::wstring&) { return &computer.Accounts(); })
{
}

TSimAccountRights::TSimAccountRights(std::function<TSimAccounts*(const std::wstring& computer)> computers)
    : FComputers(std::move(computers))
{
}

TSimAccounts& TSimAccountRights::Computer(const std::wstring& computer)
{
    FAsked.push_back(computer);
    if (FError)
        RaiseOSError(FError);
    TSimAccounts* accounts = FComputers(computer);
    if (!accounts)
        RaiseOSError(RPC_S_SERVER_UNAVAILABLE);
    return *accounts;
}

bool TSimAccountRights::AccountExists(const std::wstring& computer, const std::wstring& account)
{
    return Computer(computer).Exists(account);
}

bool TSimAccountRights::GrantServiceLogonRight(const std::wstring& computer, const std::wstring& account)
{
    return Computer(computer).GrantLogonRight(account);
}
