#include "erp/change_config.h"

bool IsBlankUserName(const std::wstring& userName)
{
    for (wchar_t c : userName)
        if (c > L' ')
            return false;
    return true;
}

TServiceReconfiguration ReconfigurationOf(const TConfigChoice& choice)
{
    TServiceReconfiguration change;
    if (choice.Start)
        change.StartType = StartChoiceRow(*choice.Start).StartType;
    if (choice.DelayedStartEnabled)
        change.DelayedStart = choice.DelayedStart;
    change.Interact = choice.Interact;
    if (choice.DependChanged) {
        change.Dependencies.emplace();
        if (choice.DependIndex > 0 && !choice.DependText.empty())
            change.Dependencies->push_back(choice.DependText);
    }
    if (choice.DefaultAccount || IsBlankUserName(choice.UserName)) {
        change.Account = TAccountChange::LocalSystem;
    } else if (choice.UserName != choice.OldUserName) {
        change.Account = TAccountChange::NewAccount;
        change.UserName = choice.UserName;
    }
    return change;
}
