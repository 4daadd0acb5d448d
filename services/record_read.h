// One read of a service's record as plain data, so that it can be made on any thread, through
// any connection, and handed to the catalogue's record afterwards (TNtService::ApplyRecord).
// The parts are read in the record's order (description, status, configuration); a failing
// part ends the read with the parts before it kept.
//
// Usage (a worker thread with a connection of its own):
//   TServiceRecordData data = ReadServiceRecord(scm, manager, L"Name", scm.HasQueryServiceConfig2W(), true);
//   ... handed to the GUI thread ...
//   record->ApplyRecord(data);                // what was read lands; data.Error says why the rest did not
#pragma once

#include "services/scm_api.h"

#include <windows.h>
#include <winsvc.h>

#include <exception>
#include <optional>
#include <string>
#include <vector>

struct TServiceRecordData {
    struct TConfig {
        std::wstring FileName;
        std::wstring StartName;
        std::wstring LoadOrderGroup;
        // The service type as configured (the status's may lag behind a change; Wine's does).
        DWORD ServiceType = 0;
        DWORD StartType = 0;
        DWORD ErrorControl = 0;
        // An automatic start that waits until the other automatic services have started; none
        // when the platform lacks the setting or it could not be read.
        std::optional<bool> DelayedAutoStart;
        // As configured: service names, "+" before a group's name.
        std::vector<std::wstring> Dependencies;
    };

    std::wstring ServiceName;
    std::optional<std::wstring> Description;
    std::optional<SERVICE_STATUS> Status;
    std::optional<TConfig> Config;
    std::exception_ptr Error;  // the failure that ended the read, if one did
};

// Reads through an open service handle into data. withDescription: the platform has the
// description query. known: the status is taken from it (an enumeration's own) instead of
// being queried; null with withStatus false leaves the status out. Raises at the first failing
// part.
void ReadRecordParts(IServiceControlManager& scm, SC_HANDLE service, bool withDescription, const SERVICE_STATUS* known,
                     bool withStatus, TServiceRecordData& data);

// Opens the service through manager (query access), reads it and closes it; never raises: the
// failure is in the result's Error.
TServiceRecordData ReadServiceRecord(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name,
                                     bool withDescription, bool withStatus);
