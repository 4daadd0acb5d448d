// What tests do with a catalogue beyond the program's own use, through its public interface and
// its manager: install a service, hold and query the database lock, sort the records, write a
// record's start type back, start a service with arguments.
#pragma once

#include "services/sc_manager.h"

#include <windows.h>

#include <string>
#include <vector>

// Creates a service and returns its record, read by a full refresh of the catalogue (records
// held before are gone then). Empty group, account and password pass as null; dependencies are
// service names, "+" before a group's name; a description goes to the service's registry key.
TNtService* InstallService(TSCManager& catalogue, const std::wstring& name, const std::wstring& displayName,
                           const std::wstring& imageName, const std::wstring& description, TServiceTypes types,
                           TServiceStartType startType, TServiceErrorControlType errorControl, DWORD desiredAccess,
                           const std::wstring& loadOrderGroup, const std::vector<std::wstring>& dependencies,
                           const std::wstring& account, const std::wstring& password);

// The database lock of the catalogue's manager, taken at once and released by Unlock or the
// object's end. The catalogue needs SC_MANAGER_LOCK.
class TDatabaseLock {
public:
    explicit TDatabaseLock(TSCManager& catalogue);
    TDatabaseLock(const TDatabaseLock&) = delete;
    TDatabaseLock& operator=(const TDatabaseLock&) = delete;
    void Unlock();

private:
    TSCManager& FCatalogue;
    UniqueScLockOf FLock;
};

// The lock's status as the catalogue's manager reports it (SC_MANAGER_QUERY_LOCK_STATUS).
bool IsLocked(TSCManager& catalogue);
std::wstring LockOwner(TSCManager& catalogue);
DWORD LockDuration(TSCManager& catalogue);

enum TServiceSortOrderType : int {
    sotServiceName,
    sotDisplayName,
    sotDescription,
    sotFileName,
    sotServiceState,
    sotStartType,
    sotErrorControlType,
    sotLoadOrderGroup,
    sotWin32ExitCode
};

// The catalogue's records ordered by the key: texts by the user's locale, the load-order group
// by its order (no group last), the exit code as an unsigned number.
std::vector<TNtService*> SortedRecords(const TSCManager& catalogue, TServiceSortOrderType order, bool ascending);

// Writes a start type differing from the record's to the service, with the error control, type
// and display name it has, and re-reads the record; the same start type writes nothing.
void WriteStartType(TNtService& record, TServiceStartType startType);

// Asks the manager to start the service with these arguments; returns without waiting.
void StartWithArguments(TNtService& record, const std::vector<std::wstring>& arguments);
