// Writing the properties dialog's settings to an installed service: start type, delayed
// automatic start, interaction with the desktop, one dependency, and the account with its
// password. Everything else (display name, command line, load-order group, error control) is
// passed back unchanged. The configuration is read afresh at the moment of the change.
#pragma once

#include "services/scm_api.h"
#include "ui/props/install_command.h"

#include <functional>
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
    bool DefaultAccount = false;
    std::wstring UserName;
    std::wstring OldUserName;  // the User name box as the dialog filled it
};

// Asks for the new account's password; false when the user cancelled.
using TPasswordPrompt = std::function<bool(std::wstring& password)>;

// One ChangeServiceConfigW with the choice, then (only when the Delayed start box is enabled)
// ChangeServiceConfig2W with the delayed-start level. A changed, non-empty user name asks for
// its password first: true when the change was made, false when that prompt was cancelled
// (nothing changed). Boot and system start types pass as unchanged, and drivers keep their
// account, password and type. Failures raise the system's error; the handle must be open.
bool ChangeConfig(IServiceControlManager& scm, SC_HANDLE service, const TConfigChoice& choice,
                  const TPasswordPrompt& askPassword);

// The account rule's test for "no user name": empty once blanks and control characters are
// stripped from both ends.
bool IsBlankUserName(const std::wstring& userName);
