// The service catalogue: TSCManager holds a connection to the Service Control Manager, one
// TNtService record (nt_service.h) for every service it lists and the TServiceGroup records
// (service_group.h) of the load-order groups. A catalogue is used by one thread at a time: the
// main window reads a new one on a worker thread and then takes its records over (TakeRecords)
// on the GUI thread; nothing is shared between the two until then.
//
// Usage (the main window's way):
//   TSCManager manager(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", scm);   // opens nothing yet
//   manager.Refresh(true);                    // rebuild: records and groups are new objects
//   for (int i = 0; i < manager.ServiceCount(); ++i) {
//       TNtService* svc = manager.GetService(i);
//       svc->ServiceName(); svc->DisplayName(); svc->ServiceState(); ...
//   }
//   svc->Refresh();                           // re-read one record (raises on failure)
//   svc->Start(false); svc->Stop(false); svc->Pause(false); svc->Continue(false);
//   svc->Delete();                            // the record stays until the next Refresh(true)
//   for (int i = 0; i < svc->DependentByServiceCount(); ++i) svc->GetDependentByService(i);
//
// Record pointers live until the next Clear/Refresh(true) or the catalogue's end: holders drop
// them before a full refresh. Failures raise EOSError ("System Error.  Code: ..."), registry
// failures of the group order raise Exception, violated preconditions EAssertionFailed.
// Each operation opens the record's service handle with its own access mask and closes it
// again; `Active(true)` keeps one open with SERVICE_ALL_ACCESS for the caller's own SCM calls
// through `Handle()` until `Active(false)` (an operation on the record meanwhile closes it;
// a Refresh meanwhile reads through a handle of its own and leaves the held one alone).
// The catalogue talks to the SCM through the IServiceControlManager it was given (advapi32's in
// the program), so tests pass the simulated manager.
#pragma once

#include "services/catalogue_lookups.h"
#include "services/group_order.h"
#include "services/nt_service.h"
#include "services/scm_api.h"
#include "services/service_group.h"
#include "services/service_types.h"

#include <windows.h>
#include <winsvc.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class TSCManager final {
public:
    // Stores the values; opens nothing. An empty machine name is the local computer.
    TSCManager(const std::wstring& AMachineName, DWORD ADesiredAccess, const std::wstring& ADatabaseName,
               IServiceControlManager& scm);
    // Destroys the groups, then the records, then closes the manager handle.
    ~TSCManager();
    TSCManager(const TSCManager&) = delete;
    TSCManager& operator=(const TSCManager&) = delete;

    // RefreshAll: rebuild from the SCM, every record read once with the status its enumeration
    // gave, and the dependencies linked once every record exists (so that services listed later
    // are found); otherwise re-read the existing records only.
    void Refresh(bool RefreshAll);
    void Clear();
    // Takes every record's status from one enumeration of the SCM; a record the SCM no longer
    // lists keeps what it had. Returns the number of records whose status changed.
    int RefreshStatuses();
    // Replaces the records and groups with source's (read by another catalogue, on another
    // thread), which is left empty. The connection and the settings stay this catalogue's. A
    // new record that was not read takes the values last known of the record of the same
    // service that it replaces (a service deleted during the read keeps what was known of it),
    // and stays unread until it is read itself.
    void TakeRecords(TSCManager& source);
    // A full refresh looks at the flag between records and stops reading when it is set (a
    // read whose result nobody will take); null: never.
    void StopWhen(const std::atomic<bool>* flag) { FStop = flag; }
    // Which records a full refresh reads, by service name and display name (called on the
    // refreshing thread); the others get their names and status from the enumeration and stay
    // unread (TNtService::RecordRead). None: every record is read.
    using TReadFilter = std::function<bool(const std::wstring& serviceName, const std::wstring& displayName)>;
    void ReadWhen(TReadFilter filter) { FReadWhen = std::move(filter); }
    const TGroupOrderLocation& GroupOrderLocation() const { return FGroupOrderLocation; }

    int ServiceCount() const { return static_cast<int>(FServices.size()); }
    TNtService* GetService(int Idx) const { return FServices.at(static_cast<size_t>(Idx)).get(); }
    int GroupCount() const { return FLookups.GroupCount(); }
    TServiceGroup* GetGroup(int Idx) const { return FLookups.GetGroup(Idx); }

    // Names compare without regard to the case of ASCII letters.
    bool FindService(const std::wstring& SvcName, TNtService*& NtSvc) const
    {
        return FLookups.FindService(SvcName, NtSvc);
    }
    // Whether the manager has the service now, whatever the records say (a service that may not
    // be opened exists too).
    bool ServiceExists(const std::wstring& SvcName);
    // With AutoAdd a missing group is created and returned in SvcGrp; the result is still false.
    bool FindGroup(const std::wstring& GrpName, TServiceGroup*& SvcGrp, bool AutoAdd = true)
    {
        return FLookups.FindGroup(GrpName, SvcGrp, AutoAdd);
    }

    const std::wstring& MachineName() const { return FMachineName; }
    const std::wstring& DatabaseName() const { return FDatabaseName; }
    DWORD DesiredAccess() const { return FDesiredAccess; }
    SC_HANDLE Handle() const { return FLookups.Handle(); }
    bool Active() const { return FLookups.Handle() != nullptr; }
    void Active(bool Value);
    // The connection to the manager was found lost: the handle is let go, and the next
    // operation of a record opens a new one (another computer's handles stay dead once the
    // connection has dropped, also when the computer answers again).
    void DropConnection() noexcept { FLookups.DropConnection(); }
    // Whether the connection was let go as lost and not yet opened anew.
    bool ConnectionDropped() const { return FLookups.Dropped(); }
    IServiceControlManager& Scm() const { return *FScm; }

    // Tests point the group order at a scratch key; the program keeps the default.
    void SetGroupOrderLocation(const TGroupOrderLocation& location) { FGroupOrderLocation = location; }

private:
    void AddService(std::unique_ptr<TNtService> service);
    void ReadGroupOrder();
    void EnumerateServices();
    // Calls each(entry) for every service the SCM enumerates, page after page.
    template <typename Each>
    void ForEachEnumerated(Each&& each);
    void RefreshRecordQuietly(TNtService* service);
    void RebuildIndex();

    IServiceControlManager* FScm;
    std::wstring FMachineName;
    std::wstring FDatabaseName;
    DWORD FDesiredAccess;
    // The manager's handle, the service index and the groups, which the records use too.
    TCatalogueLookups FLookups;
    std::vector<std::unique_ptr<TNtService>> FServices;
    TGroupOrderLocation FGroupOrderLocation;
    const std::atomic<bool>* FStop = nullptr;
    TReadFilter FReadWhen;
};
