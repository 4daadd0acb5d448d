// The service catalogue: TSCManager holds a connection to the Service Control Manager, one
// TNtService record for every service it lists and the TServiceGroup records of the load-order
// groups. Everything here runs on the GUI thread.
//
// Usage (the main window's way):
//   TSCManager manager(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive");   // opens nothing yet
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
// through `Handle()` until `Active(false)` (an operation on the record meanwhile closes it).
// The catalogue talks to the SCM through the IServiceControlManager it was given (the
// program's instance by default), so tests pass the simulated manager.
#pragma once

#include "services/group_order.h"
#include "services/scm_api.h"
#include "services/service_types.h"

#include <windows.h>
#include <winsvc.h>

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class TSCManager;
class TNtService;

class TServiceGroup {
public:
    TServiceGroup(const TServiceGroup&) = delete;
    TServiceGroup& operator=(const TServiceGroup&) = delete;

    TSCManager* SCManager() const { return FSCManager; }
    const std::wstring& Name() const { return FName; }
    // Registry order first, then groups met later; 2147483647 for the group with the empty name.
    int Order() const { return FOrder; }
    int ServiceCount() const { return static_cast<int>(FServices.size()); }
    TNtService* GetService(int Idx) const { return FServices.at(static_cast<size_t>(Idx)); }

private:
    friend class TSCManager;
    friend class TNtService;
    TServiceGroup(TSCManager* ASCManager, const std::wstring& AName, int AOrder);

    TSCManager* FSCManager;
    std::wstring FName;
    int FOrder;
    std::vector<TNtService*> FServices;  // members, not owned
};

class TNtService {
public:
    // Creates a record from one enumeration entry (only the two names are taken); the catalogue
    // takes it over and appends it to its list.
    static TNtService* Create(TSCManager* ASCManager, const ENUM_SERVICE_STATUSW& SvcStatus);
    ~TNtService();
    TNtService(const TNtService&) = delete;
    TNtService& operator=(const TNtService&) = delete;

    // Re-reads description, status, configuration, group and dependencies.
    void Refresh();

    TSCManager* SCManager() const { return FSCManager; }
    SC_HANDLE Handle() const { return FHandle; }
    bool Active() const { return FHandle != nullptr; }
    void Active(bool Value);
    DWORD DesiredAccess() const { return FDesiredAccess; }
    const std::wstring& ServiceName() const { return FServiceName; }
    const std::wstring& DisplayName() const { return FDisplayName; }
    const std::wstring& Description() const { return FDescription; }
    const std::wstring& FileName() const { return FFileName; }
    const std::wstring& ServiceStartName() const { return FServiceStartName; }
    TServiceTypes ServiceTypes() const { return FServiceTypes; }
    TServiceState ServiceState() const { return FServiceState; }
    TServiceStartType StartType() const { return FStartType; }
    // Writing a different value marks the record for Commit.
    void StartType(TServiceStartType Value);
    TServiceErrorControlType ErrorControlType() const { return FErrorControlType; }
    DWORD Win32ExitCode() const { return FWin32ExitCode; }
    TServiceGroup* Group() const { return FGroup; }
    TServiceControlAccepteds ControlsAccepted() const { return FControlsAccepted; }
    bool CommitNeeded() const { return FCommitNeeded; }

    // The services and groups this one depends on, as the last refresh found them.
    int DependentServiceCount() const { return static_cast<int>(FDependentServices.size()); }
    TNtService* GetDependentService(int Idx) const { return FDependentServices.at(static_cast<size_t>(Idx)); }
    int DependentGroupCount() const { return static_cast<int>(FDependentGroups.size()); }
    TServiceGroup* GetDependentGroup(int Idx) const { return FDependentGroups.at(static_cast<size_t>(Idx)); }

    // The services that depend on this one, in the SCM's order; enumerated on the first request
    // and kept for the record's lifetime.
    int DependentByServiceCount();
    TNtService* GetDependentByService(int Idx);

    // Operations. With Sync they wait (without limit) for the target state.
    void Start(bool Sync);
    void Start(const std::vector<std::wstring>& Args, bool Sync);
    void Stop(bool Sync);
    void Pause(bool Sync);
    void Continue(bool Sync);
    SERVICE_STATUS Controls(DWORD ControlType, DWORD ADesiredAccess);
    // TimeOut in milliseconds or INFINITE; true when the service reached State.
    bool WaitFor(TServiceState State, DWORD TimeOut);
    void Delete();
    // Writes a changed start type (with the error control) back to the SCM.
    void Commit();

private:
    friend class TSCManager;
    TNtService(TSCManager* ASCManager, const ENUM_SERVICE_STATUSW& SvcStatus);

    IServiceControlManager& Scm() const;
    void AcquireHandle(DWORD ADesiredAccess);
    void ReleaseHandle();
    // Runs body between AcquireHandle(mask) and ReleaseHandle, releasing also after a failure.
    template <typename F>
    void WithHandle(DWORD mask, F&& body);
    SERVICE_STATUS QueryStatus();
    std::vector<BYTE> QueryConfig();
    void RefreshDescription();
    void LinkGroup(const std::wstring& groupName);
    // The list runs at most to end (the configuration buffer's end).
    void ReadDependencies(const wchar_t* list, const wchar_t* end);
    void BuildDependentBy();

    TSCManager* FSCManager;
    SC_HANDLE FHandle = nullptr;
    DWORD FDesiredAccess = 0;
    std::wstring FServiceName;
    std::wstring FDisplayName;
    std::wstring FDescription;
    std::wstring FFileName;
    std::wstring FServiceStartName;
    std::vector<TNtService*> FDependentServices;
    std::vector<TServiceGroup*> FDependentGroups;
    std::optional<std::vector<TNtService*>> FDependentByServices;
    TServiceTypes FServiceTypes;
    TServiceState FServiceState = ssUnknown;
    TServiceStartType FStartType = sstBoot;
    TServiceErrorControlType FErrorControlType = ectIgnore;
    DWORD FWin32ExitCode = 0;
    TServiceGroup* FGroup = nullptr;
    TServiceControlAccepteds FControlsAccepted;
    bool FCommitNeeded = false;
};

class TSCManager {
public:
    // Stores the values; opens nothing. An empty machine name is the local computer.
    TSCManager(const std::wstring& AMachineName, DWORD ADesiredAccess, const std::wstring& ADatabaseName,
               IServiceControlManager& scm = ServiceControlManager());
    // Destroys the groups, then the records, then closes the manager handle.
    ~TSCManager();
    TSCManager(const TSCManager&) = delete;
    TSCManager& operator=(const TSCManager&) = delete;

    // RefreshAll: rebuild from the SCM (records refreshed twice, so that dependencies on
    // services listed later are found); otherwise re-read the existing records only.
    void Refresh(bool RefreshAll);
    void Clear();

    int ServiceCount() const { return static_cast<int>(FServices.size()); }
    TNtService* GetService(int Idx) const { return FServices.at(static_cast<size_t>(Idx)).get(); }
    int GroupCount() const { return static_cast<int>(FGroups.size()); }
    TServiceGroup* GetGroup(int Idx) const { return FGroups.at(static_cast<size_t>(Idx)).get(); }

    // Names compare without regard to the case of ASCII letters.
    bool FindService(const std::wstring& SvcName, TNtService*& NtSvc) const;
    // With AutoAdd a missing group is created and returned in SvcGrp; the result is still false.
    bool FindGroup(const std::wstring& GrpName, TServiceGroup*& SvcGrp, bool AutoAdd = true);

    void Sort(TServiceSortOrderType AOrderType, bool AOrderAsc);
    TServiceSortOrderType OrderType() const { return FOrderType; }
    void OrderType(TServiceSortOrderType Value);
    bool OrderAsc() const { return FOrderAsc; }
    void OrderAsc(bool Value);

    const std::wstring& MachineName() const { return FMachineName; }
    const std::wstring& DatabaseName() const { return FDatabaseName; }
    DWORD DesiredAccess() const { return FDesiredAccess; }
    SC_HANDLE Handle() const { return FHandle; }
    bool Active() const { return FHandle != nullptr; }
    void Active(bool Value);
    IServiceControlManager& Scm() const { return *FScm; }

    // Conversions between the SCM's codes and the sets (other bits are dropped).
    static DWORD ServiceType(TServiceTypes Types);
    static TServiceTypes ServiceType(DWORD Code);
    static DWORD ControlAccepted(TServiceControlAccepteds Accepted);
    static TServiceControlAccepteds ControlAccepted(DWORD Code);

    // Creates a service and returns its new, refreshed record. Empty group, account and password
    // pass as null; Dependencies are service names, "+" before a group's name.
    TNtService* Install(const std::wstring& ServiceName, const std::wstring& DisplayName,
                        const std::wstring& ImageName, const std::wstring& Description, TServiceTypes ServiceTypes,
                        TServiceStartType StartType, TServiceErrorControlType ErrorControlType, DWORD DesiredAccess,
                        const std::wstring& LoadOrderGroup, const std::vector<std::wstring>& Dependencies,
                        const std::wstring& Account, const std::wstring& Password);
    void Lock();
    void Unlock();
    bool IsLocked();
    std::wstring LockOwner();
    DWORD LockDuration();

    // Tests point the group order at a scratch key; the program keeps the default.
    void SetGroupOrderLocation(const TGroupOrderLocation& location) { FGroupOrderLocation = location; }

private:
    friend class TNtService;
    void AddService(std::unique_ptr<TNtService> service);
    TServiceGroup* AddGroup(const std::wstring& name, int order);
    void ReadGroupOrder();
    void EnumerateServices();
    void RefreshRecordQuietly(TNtService* service);
    void RebuildIndex();
    bool HasDescriptionQuery();
    QUERY_SERVICE_LOCK_STATUSW QueryLockStatus(std::vector<BYTE>& buffer);

    IServiceControlManager* FScm;
    std::wstring FMachineName;
    std::wstring FDatabaseName;
    DWORD FDesiredAccess;
    SC_HANDLE FHandle = nullptr;
    SC_LOCK FLock = nullptr;
    std::vector<std::unique_ptr<TNtService>> FServices;
    std::vector<std::unique_ptr<TServiceGroup>> FGroups;
    // Whether the SCM offers QueryServiceConfig2A, asked on first need.
    std::optional<bool> FQueryServiceConfig2A;
    TServiceSortOrderType FOrderType = sotServiceName;
    bool FOrderAsc = true;
    TGroupOrderLocation FGroupOrderLocation;
    // Services by ASCII-folded name, the first in list order winning: keeps lookups flat.
    std::unordered_map<std::wstring, TNtService*> FServiceIndex;
};

template <typename F>
void TNtService::WithHandle(DWORD mask, F&& body)
{
    AcquireHandle(mask);
    try {
        body();
    } catch (...) {
        // The operation's own failure is what the caller sees; a failing close is dropped.
        if (FHandle)
            Scm().CloseServiceHandle(std::exchange(FHandle, nullptr));
        throw;
    }
    ReleaseHandle();
}
