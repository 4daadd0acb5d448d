#include "erp/change_config.h"

namespace {
TServiceStartType StartTypeOf(TStartChoice start)
{
    switch (start) {
    case TStartChoice::Manual:
        return sstDemand;
    case TStartChoice::Disabled:
        return sstDisabled;
    case TStartChoice::Automatic:
        break;
    }
    return sstAuto;
}
}  // namespace

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
        change.StartType = StartTypeOf(*choice.Start);
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
