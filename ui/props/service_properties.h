// Adding and changing services: the entry of the main window's Add... and Properties....
#pragma once

#include "services/sc_manager.h"
#include "erp/exe_type.h"

// Opens the properties dialog for service, or (service null) asks for the kind of a new one
// first and opens it for that kind. catalogue is the main window's, whose services the Depends
// on list offers. True when the dialog ended with OK, after a successful install or change.
// Raises when the service cannot be read (the dialog is then not shown) or the kind cannot be
// remembered.
bool ShowServiceProperties(TSCManager& catalogue, TNtService* service);

// The kind chosen the last time a service was added ("ServiceType" of the user's settings):
// etUnknown when it is missing, unreadable or not a DWORD; a number that is no kind's code
// gives the last offered kind.
TExeType ReadRememberedKind();
// Stores the kind as "ServiceType" (REG_DWORD), creating the key; raises on failure.
void WriteRememberedKind(TExeType kind);
