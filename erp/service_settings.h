// A snapshot of the settings of an installed service that the properties dialog shows and
// edits. It is read once from the service's record (ReadServiceSettings); the dialog fills its
// controls from it and, when OK is pressed, reads them back into a second one; what differs
// between the two is the reconfiguration (ReconfigurationOf, change_config.h) and the
// "Parameters" write.
#pragma once

#include "erp/start_choice.h"
#include "services/nt_service.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

struct TServiceSettings {
    std::optional<TStartChoice> Start;  // none: no start button checked (boot or system start)
    bool DelayedStart = false;
    // Whether the delayed-start setting may be written: an installed service set to start
    // automatically, on a platform that has the setting (the "Delayed start" box enabled).
    bool DelayedStartEditable = false;
    bool Interact = false;
    bool DefaultAccount = true;  // LocalSystem
    std::wstring UserName;       // the User name box, as typed (empty with the default account)
    // The one service the Depends on list shows: empty for "<none>", none when no entry is
    // selected.
    std::optional<std::wstring> Dependency;
    // The "Parameters" text as the box shows it (CR LF between lines).
    std::wstring Parameters;

    // What was read and is not edited: the dependency list as stored (services, and "+"
    // before a group's name), the "Parameters" value's type (REG_NONE when there is none),
    // whether the platform has the delayed-start setting, and whether the service is a driver
    // (its account field names a driver object).
    std::vector<std::wstring> StoredDependencies;
    DWORD ParametersType = REG_NONE;
    bool DelayedStartSupported = true;
    bool Driver = false;
};

// The settings as the service's record and the manager hold them now: the record's start type,
// account and configured service type, the delayed-start setting and the stored dependencies
// read through the manager, and "Parameters" from the registry of machineName (empty: this
// computer; a registry that cannot be reached gives no parameters). The Depends on entry is
// the first service it depends on that exists, else the first stored name of a service.
// Raises when the service cannot be read.
TServiceSettings ReadServiceSettings(TNtService& service, const std::wstring& machineName);

// Whether the Depends on choice differs from the one loaded (names compare without regard to
// case).
bool DependencyChanged(const TServiceSettings& loaded, const TServiceSettings& edited);
// The stored dependencies that a changed Depends on removes although the dialog did not show
// them: every entry but the one shown and the one chosen (none while the choice is as loaded).
std::vector<std::wstring> UnshownDependenciesDropped(const TServiceSettings& loaded, const TServiceSettings& edited);
