// Changing an installed service's configuration: start type, delayed automatic start,
// interaction with the desktop, the account with its password, and the dependency list.
// Everything else (display name, command line, load-order group, error control) is passed back
// as read at the moment of the change. TNtService::Reconfigure runs it on the record's service.
#pragma once

#include "services/scm_api.h"
#include "services/service_types.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class TAccountChange {
    Unchanged,    // account and password stay
    LocalSystem,  // "LocalSystem", no password
    NewAccount,   // UserName, with the password the prompt gives
};

// The change, as the user chose it.
struct TServiceReconfiguration {
    std::optional<TServiceStartType> StartType;  // none: unchanged
    std::optional<bool> DelayedStart;            // none: the setting is not touched
    bool Interact = false;                       // the interactive flag (a new account clears it)
    TAccountChange Account = TAccountChange::Unchanged;
    std::wstring UserName;                       // NewAccount's name, passed as typed
    // None: the stored list is passed back whole, every service and "+group" entry in order.
    // A list (empty removes every dependency) replaces it.
    std::optional<std::vector<std::wstring>> Dependencies;
};

// Asks for the new account's password; false when the user cancelled.
using TPasswordPrompt = std::function<bool(std::wstring& password)>;

// One ChangeServiceConfigW through the open handle, then (only when DelayedStart is given)
// ChangeServiceConfig2W with the delayed-start level. A new account asks for its password
// first: false when that prompt was cancelled (nothing changed), true when the change was
// made. Drivers of every kind keep their type, account and password (their account field
// names a driver object). Failures raise the system's error; a missing handle is an assertion
// failure.
bool ChangeServiceConfiguration(IServiceControlManager& scm, SC_HANDLE service,
                                const TServiceReconfiguration& change, const TPasswordPrompt& askPassword);

// The delayed automatic start setting read through the open handle; none when the platform
// lacks that level (ERROR_INVALID_LEVEL). Any other failure raises the system's error.
std::optional<bool> QueryDelayedAutoStart(IServiceControlManager& scm, SC_HANDLE service);
