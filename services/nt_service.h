// TNtService: the catalogue's record of one service (see sc_manager.h for the catalogue and
// how long a record lives): what the last refresh read, and the operations on the service.
#pragma once

#include "services/catalogue_lookups.h"
#include "services/record_read.h"
#include "services/scm_api.h"
#include "services/service_config.h"
#include "services/service_types.h"

#include <windows.h>
#include <winsvc.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TSCManager;
class TServiceGroup;

class TNtService {
public:
    ~TNtService();
    TNtService(const TNtService&) = delete;
    TNtService& operator=(const TNtService&) = delete;

    // Re-reads description, status, configuration, group and dependencies.
    void Refresh();
    // False until a read of the configuration has landed: a record that a full refresh did not
    // read has its names and its status from the enumeration only, and nothing is to be decided
    // from the rest.
    bool RecordRead() const { return FRecordRead; }
    // Whether the record shows the values of a read: its own, or those a full refresh carried
    // over from the record it replaced (which stays unread until it is read itself).
    bool ValuesKnown() const { return FRecordRead || FValuesCarried; }
    // Takes what a read made elsewhere (another thread, another connection) found: the parts
    // that were read, the group and the dependencies linked in this record's catalogue.
    void ApplyRecord(const TServiceRecordData& data);
    // Takes an enumeration's names and status; true when the display name, the state or the
    // accepted controls changed.
    bool ApplyListed(const std::wstring& displayName, const SERVICE_STATUS& status);

    TSCManager* SCManager() const { return FSCManager; }
    SC_HANDLE Handle() const { return FHandle.get(); }
    bool Active() const { return static_cast<bool>(FHandle); }
    // Opens (SERVICE_ALL_ACCESS) or closes the handle for a caller's own calls through Handle();
    // the program's own such calls are the two below, which hold it through THandleScope.
    void Active(bool Value);
    DWORD DesiredAccess() const { return FDesiredAccess; }
    const std::wstring& ServiceName() const { return FServiceName; }
    const std::wstring& DisplayName() const { return FDisplayName; }
    const std::wstring& Description() const { return FDescription; }
    const std::wstring& FileName() const { return FFileName; }
    const std::wstring& ServiceStartName() const { return *FServiceStartName; }
    TServiceTypes ServiceTypes() const { return FServiceTypes; }
    // The service type as the configuration last read gives it, which a change of the
    // configuration sets at once (the status's type may follow later, or never under Wine).
    TServiceTypes ConfiguredTypes() const { return FConfiguredTypes; }
    TServiceState ServiceState() const { return FServiceState; }
    TServiceStartType StartType() const { return FStartType; }
    // Whether an automatic start is delayed, as the last read found it (false where the platform
    // lacks the setting).
    bool DelayedAutoStart() const { return FDelayedAutoStart; }
    TServiceErrorControlType ErrorControlType() const { return FErrorControlType; }
    DWORD Win32ExitCode() const { return FWin32ExitCode; }
    DWORD ServiceSpecificExitCode() const { return FServiceSpecificExitCode; }
    // The progress of a pending state as the last status read gave it: the check point grows
    // while the service works, and the wait hint is how long (ms) the next step may take.
    DWORD CheckPoint() const { return FCheckPoint; }
    DWORD WaitHint() const { return FWaitHint; }
    TServiceGroup* Group() const { return FGroup; }
    TServiceControlAccepteds ControlsAccepted() const { return FControlsAccepted; }

    // The services and groups this one depends on, as the last refresh found them.
    int DependentServiceCount() const { return static_cast<int>(Dependencies().Services.size()); }
    TNtService* GetDependentService(int Idx) const { return Dependencies().Services.at(static_cast<size_t>(Idx)); }
    // The dependency list as last read: service names (also of services that do not exist) and
    // "+" before a group's name, in the stored order.
    const std::vector<std::wstring>& DependencyList() const { return Dependencies().List; }
    int DependentGroupCount() const { return static_cast<int>(Dependencies().Groups.size()); }
    TServiceGroup* GetDependentGroup(int Idx) const { return Dependencies().Groups.at(static_cast<size_t>(Idx)); }

    // The services that depend on this one, in the SCM's order; enumerated on the first request
    // and kept for the record's lifetime.
    int DependentByServiceCount();
    TNtService* GetDependentByService(int Idx);
    // Whether the dependants were enumerated; they can be given from an enumeration made
    // elsewhere (services of this catalogue, in the SCM's order).
    bool DependentByKnown() const { return FDependentByServices != nullptr; }
    void SetDependentBy(std::vector<TNtService*> services)
    {
        FDependentByServices = std::make_unique<std::vector<TNtService*>>(std::move(services));
    }

    // Operations. With Sync they wait (without limit) for the target state.
    void Start(bool Sync);
    void Stop(bool Sync);
    void Pause(bool Sync);
    void Continue(bool Sync);
    SERVICE_STATUS Controls(DWORD ControlType, DWORD ADesiredAccess);
    // TimeOut in milliseconds or INFINITE; true when the service reached State.
    bool WaitFor(TServiceState State, DWORD TimeOut);
    void Delete();

    // The delayed automatic start setting, read with the service opened for querying its
    // configuration; none when the platform lacks the setting. Raises when the service cannot
    // be opened or read.
    std::optional<bool> DelayedStart();
    // The dependency list as the manager stores it, services (also those that do not exist)
    // and "+group" entries in order, read afresh with the service opened for querying.
    std::vector<std::wstring> StoredDependencies();
    // Changes the configuration as described (see service_config.h), with the service opened
    // for querying and changing its configuration while the change and its password prompt run;
    // an empty change opens nothing. False when the prompt was cancelled (nothing changed);
    // raises on failure, with progress (when given) telling what was written before. A Refresh
    // meanwhile reads through a handle of its own.
    bool Reconfigure(const TServiceReconfiguration& change, const TPasswordPrompt& askPassword,
                     TReconfigurationProgress* progress = nullptr);

private:
    // The catalogue makes its records, reads them and hands them over to another catalogue; a
    // record reaches its catalogue's lookups (TCatalogueLookups) alone.
    friend class TSCManager;
    // A record of one enumeration entry (only the two names are taken), held by owner.
    TNtService(TSCManager* owner, TCatalogueLookups& catalogue, const ENUM_SERVICE_STATUSW& SvcStatus);

    // The record's handle, opened with a mask for one scope. Close() closes it, raising when
    // that fails; a scope left otherwise (by an error) closes it and drops a failing close.
    class THandleScope {
    public:
        THandleScope(TNtService& service, DWORD mask) : FService(service) { FService.AcquireHandle(mask); }
        ~THandleScope() { FService.FHandle.reset(); }
        THandleScope(const THandleScope&) = delete;
        THandleScope& operator=(const THandleScope&) = delete;
        void Close() { FService.ReleaseHandle(); }

    private:
        TNtService& FService;
    };

    IServiceControlManager& Scm() const;
    void AcquireHandle(DWORD ADesiredAccess);
    void ReleaseHandle();
    // Runs body between AcquireHandle(mask) and ReleaseHandle, releasing also after a failure.
    template <typename F>
    void WithHandle(DWORD mask, F&& body);
    SERVICE_STATUS QueryStatus();
    // Reads description, status and configuration through handle. With a status given (the
    // enumeration's own) the status is not queried again. With deferLinks the dependencies on
    // services are kept by name until LinkDeferredDependencies, so that a full refresh reads
    // each record once and still finds services listed after it.
    void ReadState(SC_HANDLE handle, const SERVICE_STATUS* known = nullptr, bool deferLinks = false);
    void ApplyParts(const TServiceRecordData& data, bool deferLinks);
    // A full refresh's new record whose read failed, or that it left unread, takes the values
    // last known of the record it replaces (a service deleted meanwhile keeps what was known of
    // it); it stays unread, so that whoever decides from it reads it first.
    void TakeValuesOf(const TNtService& old);
    // A full refresh's one read of a new record, with the status the enumeration gave.
    void ReadFirst(const SERVICE_STATUS& enumerated);
    void LinkDeferredDependencies();
    void ApplyStatus(const SERVICE_STATUS& status);
    void LinkGroup(const std::wstring& groupName);
    void ReadDependencies(const std::vector<std::wstring>& entries, bool deferLinks);
    void BuildDependentBy();

    TSCManager* FSCManager;
    TCatalogueLookups* FCatalogue;  // the same catalogue's lookups
    UniqueScHandleOf FHandle;
    DWORD FDesiredAccess = 0;
    std::wstring FServiceName;
    std::wstring FDisplayName;
    std::wstring FDescription;
    std::wstring FFileName;
    // The account is one of few (LocalSystem, a handful of others): the records share one copy
    // of each name.
    const std::wstring* FServiceStartName;
    // What the service depends on: most services depend on nothing, and their records hold
    // no lists.
    struct TDependencies {
        std::vector<TNtService*> Services;
        // The dependency list as last read (service names, "+" before a group's).
        std::vector<std::wstring> List;
        std::vector<TServiceGroup*> Groups;
    };
    const TDependencies& Dependencies() const;
    std::unique_ptr<TDependencies> FDependencies;
    // Rarely there (the dependants asked for, a full refresh under way): held apart.
    std::unique_ptr<std::vector<TNtService*>> FDependentByServices;
    // The service entries of the dependency list read by ReadFirst, not yet linked.
    std::unique_ptr<std::vector<std::wstring>> FDeferredDependencies;
    TServiceTypes FServiceTypes;
    TServiceTypes FConfiguredTypes;
    TServiceState FServiceState = ssUnknown;
    TServiceStartType FStartType = sstBoot;
    bool FDelayedAutoStart = false;
    TServiceErrorControlType FErrorControlType = ectIgnore;
    DWORD FWin32ExitCode = 0;
    DWORD FServiceSpecificExitCode = 0;
    DWORD FCheckPoint = 0;
    DWORD FWaitHint = 0;
    TServiceGroup* FGroup = nullptr;
    TServiceControlAccepteds FControlsAccepted;
    bool FRecordRead = false;
    bool FValuesCarried = false;
};

template <typename F>
void TNtService::WithHandle(DWORD mask, F&& body)
{
    // The operation's own failure is what the caller sees; a failing close is dropped then.
    THandleScope scope(*this, mask);
    body();
    scope.Close();
}
