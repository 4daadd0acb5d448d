#include "erp/change_config.h"

namespace {
// The account the controls name: empty for LocalSystem, which a service stored without an
// account name runs as too.
std::wstring AccountOf(bool defaultAccount, const std::wstring& userName)
{
    if (defaultAccount || IsBlankUserName(userName))
        return {};
    std::wstring name = TrimmedUserName(userName);
    return IsLocalSystemAccount(name) ? std::wstring() : name;
}
}  // namespace

TServiceReconfiguration ReconfigurationOf(const TServiceSettings& loaded, const TServiceSettings& edited)
{
    TServiceReconfiguration change;
    if (edited.Start && edited.Start != loaded.Start)
        change.StartType = StartChoiceRow(*edited.Start).StartType;
    if (edited.DelayedStartEditable && edited.DelayedStart != loaded.DelayedStart)
        change.DelayedStart = edited.DelayedStart;
    if (DependencyChanged(loaded, edited)) {
        change.Dependencies.emplace();
        if (edited.Dependency && !edited.Dependency->empty())
            change.Dependencies->push_back(*edited.Dependency);
    }

    // The loaded account compares as the box showed it: a change of letter case is a change.
    const std::wstring loadedAccount = AccountOf(loaded.DefaultAccount, loaded.UserName);
    // A blank user name without Default names no account: the account stays (OK refuses it).
    const bool noAccount = !edited.DefaultAccount && IsBlankUserName(edited.UserName);
    const std::wstring account = noAccount ? loadedAccount : AccountOf(edited.DefaultAccount, edited.UserName);
    if (account != loadedAccount) {
        change.Account = account.empty() ? TAccountChange::LocalSystem : TAccountChange::NewAccount;
        change.UserName = account;
    }
    // Only LocalSystem may interact with the desktop.
    const bool interact = account.empty() && edited.Interact;
    const bool loadedInteract = loadedAccount.empty() && loaded.Interact;
    if (interact != loadedInteract || change.Account != TAccountChange::Unchanged)
        change.Interact = interact;
    return change;
}
