// Changing an installed service's configuration: start type, delayed automatic start,
// interaction with the desktop, the account with its password, and the dependency list. Only
// what the change names is written: every other field goes to the manager as "no change",
// the display name too (a stored reference such as "@%SystemRoot%\...,-100" stays one); the
// error control is passed back as read at the moment of the change.
// TNtService::Reconfigure runs it on the record's service.
#pragma once

#include "services/account_names.h"
#include "services/scm_api.h"
#include "services/service_types.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class TAccountChange {
    Unchanged,    // account and password stay
    LocalSystem,  // "LocalSystem", no password
    NewAccount,   // UserName, with the password its kind takes (services/account_names.h):
                  // the prompt's for a user account
};

// The change, as the user made it: each part none (or Unchanged) when its control was left.
struct TServiceReconfiguration {
    std::optional<TServiceStartType> StartType;  // none: unchanged
    std::optional<bool> DelayedStart;            // none: the setting is not touched
    // The interactive flag; none keeps it as stored. Whatever is asked, the flag is never sent
    // with an account other than LocalSystem (the manager refuses that), so a new account
    // clears it.
    std::optional<bool> Interact;
    TAccountChange Account = TAccountChange::Unchanged;
    std::wstring UserName;  // NewAccount's name, already checked and trimmed
    // None: the dependency list is passed as unchanged (a null list). A list (empty removes
    // every dependency) replaces it.
    std::optional<std::vector<std::wstring>> Dependencies;

    // True when the change writes nothing through ChangeServiceConfigW.
    bool ConfigurationUnchanged() const
    {
        return !StartType && !Interact && Account == TAccountChange::Unchanged && !Dependencies;
    }
    bool Empty() const { return ConfigurationUnchanged() && !DelayedStart; }
};

// What a change has written so far; read after a failure to tell what is in force.
struct TReconfigurationProgress {
    bool ConfigurationWritten = false;
    bool DelayedStartWritten = false;
};

// Asks for the new account's password; false when the user cancelled.
using TPasswordPrompt = std::function<bool(std::wstring& password)>;

// One ChangeServiceConfigW through the open handle (none when the change leaves the whole
// configuration as it is), then (only when DelayedStart is given) ChangeServiceConfig2W with
// the delayed-start level. A new user account asks for its password first (see TAccountKind):
// false when that prompt was cancelled (nothing changed), true when the change was made. A
// built-in account is passed by its own name (BuiltInAccountName).
// Drivers of every kind keep their type, account and password (their account field names a
// driver object). Failures raise the system's error, with progress telling what was written
// before; a missing handle is an assertion failure.
bool ChangeServiceConfiguration(IServiceControlManager& scm, SC_HANDLE service,
                                const TServiceReconfiguration& change, const TPasswordPrompt& askPassword,
                                TReconfigurationProgress* progress = nullptr);

// The delayed automatic start setting read through the open handle; none when the platform
// lacks that level (ERROR_INVALID_LEVEL). Any other failure raises the system's error.
std::optional<bool> QueryDelayedAutoStart(IServiceControlManager& scm, SC_HANDLE service);
