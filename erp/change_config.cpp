#include "erp/change_config.h"

#include "common/format.h"

namespace {
// The character's code as four hexadecimal digits.
std::wstring HexCode(wchar_t c)
{
    wchar_t digits[5] = L"";
    for (int i = 3; i >= 0; --i) {
        digits[i] = L"0123456789ABCDEF"[c & 0xF];
        c = static_cast<wchar_t>(c >> 4);
    }
    return digits;
}

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
    std::wstring refusal = Fmt(L"User name \"%s\" is not a valid account name.", {name});
    // A control character does not show in the name: it is named by its code.
    for (wchar_t c : name)
        if (c < L' ' || c == 0x7F) {
            refusal += Fmt(L" It contains the control character U+%s.", {HexCode(c)});
            break;
        }
    return refusal;
}

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
    const std::wstring account = AccountOf(edited.DefaultAccount, edited.UserName);
    const std::wstring loadedAccount = AccountOf(loaded.DefaultAccount, loaded.UserName);
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
