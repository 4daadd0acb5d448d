// What OK in the properties dialog checks of the account a service is to run as, and what it
// does for it beyond the reconfiguration: the user name refused before its password is asked
// for, an account unknown to the service's computer refused before anything is written, and a
// new account given the right to log on as a service once it is set.
//
// Usage (OK on an installed service):
//   if (auto refusal = AccountEntryRefusal(entered, loaded); !refusal.empty()) ... show, stop
//   if (auto refusal = UnknownAccountRefusal(rights, computer, change); !refusal.empty()) ...
//   ... the reconfiguration ...
//   const TLogonRightGrant grant = GrantLogonRight(rights, computer, change);  // a line, or a warning
#pragma once

#include "services/account_rights.h"
#include "services/service_config.h"

#include <string>

// The Account group's two controls.
struct TAccountEntry {
    bool DefaultAccount = false;
    std::wstring UserName;
};

// The refusal of the account the controls name, before its password is asked for; empty when
// OK may go on. Without Default, a blank user name is refused (a service never becomes
// LocalSystem unless Default says so), unless the dialog loaded it so (a service stored without
// an account name); a name that cannot be an account (IsPossibleAccountName) is refused when it
// differs from the loaded one.
std::wstring AccountEntryRefusal(const TAccountEntry& entered, const TAccountEntry& loaded);

// The refusal of a new account that the service's computer (empty: this one) does not know;
// empty when it knows it, or when the change sets no account to look up (the built-in accounts
// always exist; a virtual account, NT SERVICE\<service>, is checked by the manager). Raises the system's error when the computer
// cannot be asked.
std::wstring UnknownAccountRefusal(IAccountRights& rights, const std::wstring& computer,
                                   const TServiceReconfiguration& change);

// What granting the right to log on as a service came to: the line that tells it was granted
// ("The account .\erpuser was granted the right to log on as a service.") or the warning that
// it could not be (the account is set all the same); both empty when nothing was to be granted.
struct TLogonRightGrant {
    std::wstring Granted;
    std::wstring Failure;
};

// After the change has been written: grants its new account the right to log on as a service
// on the service's computer, as the system's own console does when it sets an account. Nothing
// is granted to the built-in and virtual accounts, nor to an account that holds it already.
TLogonRightGrant GrantLogonRight(IAccountRights& rights, const std::wstring& computer,
                                 const TServiceReconfiguration& change);

// The text with the line added on a line of its own (nothing added when the line is empty).
std::wstring WithLine(const std::wstring& text, const std::wstring& line);
