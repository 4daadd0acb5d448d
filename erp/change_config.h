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
// (or the user name names LocalSystem), the loaded one when the user name is blank, else the
// trimmed user name, written only
// when it differs from the loaded account; the interaction, which only LocalSystem may have,
// written when it changes or the account does.
TServiceReconfiguration ReconfigurationOf(const TServiceSettings& loaded, const TServiceSettings& edited);

