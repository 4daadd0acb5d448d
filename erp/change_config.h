// What OK in the properties dialog asks of an installed service: the dialog's controls at that
// moment beside the values they were loaded with, and the reconfiguration they describe (see
// services/service_config.h), which the service's record then carries out.
#pragma once

#include "services/service_config.h"
#include "erp/install_command.h"

#include <optional>
#include <string>

// The dialog's controls at the moment OK is pressed, and as the dialog loaded them.
struct TConfigChoice {
    std::optional<TStartChoice> Start;  // none: no start button checked (boot or system start)
    std::optional<TStartChoice> LoadedStart;
    bool DelayedStartEnabled = false;
    bool DelayedStart = false;
    bool LoadedDelayedStart = false;
    bool Interact = false;
    bool LoadedInteract = false;
    int DependIndex = -1;  // 0 is "<none>", -1 no selection
    std::wstring DependText;
    // False while the Depends on selection is the one the dialog loaded: the stored list is
    // then kept whole (the dialog shows only its first service).
    bool DependChanged = true;
    bool DefaultAccount = false;
    bool LoadedDefaultAccount = false;
    std::wstring UserName;
    std::wstring OldUserName;  // the User name box as the dialog filled it
};

// The reconfiguration the controls describe; each part is "no change" unless its control
// differs from the loaded value. Start type from the checked button (none checked: unchanged);
// delayed start only while its box is enabled; dependencies unchanged while the selection is the
// loaded one, else the one service selected or (for "<none>" or no selection) none; the
// account: LocalSystem when Default is checked (or the user name names LocalSystem), the loaded
// one when the user name is blank, else the trimmed user name, written only when it differs
// from the loaded account; the interaction, which only LocalSystem may have, written when it changes or the
// account does.
TServiceReconfiguration ReconfigurationOf(const TConfigChoice& choice);
