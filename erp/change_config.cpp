#include "erp/change_config.h"

#include "common/format.h"

namespace {
// The account the controls name: empty for LocalSystem.
std::wstring AccountOf(bool defaultAccount, const std::wstring& userName)
{
    if (defaultAccount || IsBlankUserName(userName))
        return {};
    std::wstring name = TrimmedUserName(userName);
    return IsLocalSystemAccount(name) ? std::wstring() : name;
}
}  // namespace

std::wstring TrimmedUserName(const std::wstring& userName)
{
    size_t first = 0, last = userName.size();
    while (first < last && userName[first] <= L' ')
        ++first;
    while (last > first && userName[last - 1] <= L' ')
        --last;
    return userName.substr(first, last - first);
}

bool IsBlankUserName(const std::wstring& userName) { return TrimmedUserName(userName).empty(); }

std::wstring AccountNameRefusal(const std::wstring& userName)
{
    const std::wstring name = TrimmedUserName(userName);
    if (name.empty() || IsPossibleAccountName(name))
        return {};
    return Fmt(L"User name \"%s\" is not a valid account name.", {name});
}

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
    const std::wstring account = AccountOf(choice.DefaultAccount, choice.UserName);
    const std::wstring loaded = AccountOf(choice.LoadedDefaultAccount, choice.OldUserName);
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
