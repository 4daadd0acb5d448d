// What OK in the properties dialog asks of an installed service: the reconfiguration that the
// settings as edited describe beside the settings as loaded (both snapshots, service_settings.h),
// which the service's record then carries out (see services/service_config.h).
#pragma once

#include "erp/service_settings.h"
#include "services/service_config.h"

#include <string>

// The reconfiguration from loaded to edited; each part is "no change" unless it differs.
// Start type from the checked button (none checked: unchanged); delayed start only while it may
// be written; dependencies unchanged while the choice is the loaded one, else the one service
// chosen or (for "<none>" or no choice) none; the account: LocalSystem when Default is checked
// or the user name is blank (or names LocalSystem), else the trimmed user name, written only
// when it differs from the loaded account; the interaction, which only LocalSystem may have,
// written when it changes or the account does.
TServiceReconfiguration ReconfigurationOf(const TServiceSettings& loaded, const TServiceSettings& edited);

// The account rule's test for "no user name": empty once blanks and control characters are
// stripped from both ends.
bool IsBlankUserName(const std::wstring& userName);
// The user name with blanks and control characters stripped from both ends.
std::wstring TrimmedUserName(const std::wstring& userName);
// The refusal of a user name that cannot be an account, naming it (and a control character in
// it by its code, "U+0009"); empty when the name is blank or may be an account.
std::wstring AccountNameRefusal(const std::wstring& userName);
