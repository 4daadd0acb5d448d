// What OK in the properties dialog asks of an installed service: the dialog's controls at that
// moment, and the reconfiguration they describe (see services/service_config.h), which the
// service's record then carries out.
#pragma once

#include "services/service_config.h"
#include "erp/install_command.h"

#include <optional>
#include <string>

// The dialog's controls at the moment OK is pressed.
struct TConfigChoice {
    std::optional<TStartChoice> Start;  // none: no start button checked (boot or system start)
    bool DelayedStartEnabled = false;
    bool DelayedStart = false;
    bool Interact = false;
    int DependIndex = -1;  // 0 is "<none>", -1 no selection
    std::wstring DependText;
    // False while the Depends on selection is the one the dialog loaded: the stored list is
    // then kept whole (the dialog shows only its first service).
    bool DependChanged = true;
    bool DefaultAccount = false;
    std::wstring UserName;
    std::wstring OldUserName;  // the User name box as the dialog filled it
};

// The reconfiguration the controls describe. Start type from the checked button (none
// checked: unchanged); delayed start only while its box is enabled; dependencies unchanged
// while the selection is the loaded one, else the one service selected or (for "<none>" or no
// selection) none; the account: LocalSystem when Default is checked or the user name is blank,
// a new account when the user name differs from the loaded one, else unchanged.
TServiceReconfiguration ReconfigurationOf(const TConfigChoice& choice);

// The account rule's test for "no user name": empty once blanks and control characters are
// stripped from both ends.
bool IsBlankUserName(const std::wstring& userName);
