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

TServiceReconfiguration ReconfigurationOf(const TConfigChoice& choice)
{
    TServiceReconfiguration change;
    if (choice.Start && choice.Start != choice.LoadedStart)
        change.StartType = StartChoiceRow(*choice.Start).StartType;
    if (choice.DelayedStartEnabled && choice.DelayedStart != choice.LoadedDelayedStart)
        change.DelayedStart = choice.DelayedStart;
    if (choice.DependChanged) {
        change.Dependencies.emplace();
        if (choice.DependIndex > 0 && !choice.DependText.empty())
            change.Dependencies->push_back(choice.DependText);
    }

    // The loaded account compares as the box showed it: a change of letter case is a change.
    const std::wstring loaded = AccountOf(choice.LoadedDefaultAccount, choice.OldUserName);
    // A blank user name without Default names no account: the account stays (OK refuses it).
    const bool noAccount = !choice.DefaultAccount && IsBlankUserName(choice.UserName);
    const std::wstring account = noAccount ? loaded : AccountOf(choice.DefaultAccount, choice.UserName);
    if (account != loaded) {
        change.Account = account.empty() ? TAccountChange::LocalSystem : TAccountChange::NewAccount;
        change.UserName = account;
    }
    // Only LocalSystem may interact with the desktop.
    const bool interact = account.empty() && choice.Interact;
    const bool loadedInteract = loaded.empty() && choice.LoadedInteract;
    if (interact != loadedInteract || change.Account != TAccountChange::Unchanged)
        change.Interact = interact;
    return change;
}
