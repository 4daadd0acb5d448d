#include "services/nt_service.h"

#include "common/errors.h"
#include "services/sc_buffer.h"
#include "services/service_group.h"

#include <algorithm>
#include <mutex>
#include <set>

namespace {
constexpr DWORD DependentsBufferSize = 40960;
constexpr DWORD RefreshAccess = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS;

SERVICE_STATUS StatusOf(IServiceControlManager& scm, SC_HANDLE handle)
{
    SERVICE_STATUS status{};
    Win32Check(scm.QueryServiceStatus(handle, &status));
    return status;
}

// One shared copy of each account name a record runs as (never freed: there are few, and a
// monitor thread may still read a record's name while the process ends).
const std::wstring* SharedAccountName(const std::wstring& name)
{
    static std::mutex* mutex = new std::mutex;
    static std::set<std::wstring>* names = new std::set<std::wstring>;
    std::lock_guard lock(*mutex);
    return &*names->insert(name).first;
}

}  // namespace

TNtService::TNtService(TSCManager* owner, TCatalogueLookups& catalogue, const ENUM_SERVICE_STATUSW& SvcStatus)
    : FSCManager(owner),
      FCatalogue(&catalogue),
      FServiceName(SvcStatus.lpServiceName ? SvcStatus.lpServiceName : L""),
      FDisplayName(SvcStatus.lpDisplayName ? SvcStatus.lpDisplayName : L""),
      FServiceStartName(SharedAccountName(std::wstring()))
{
}

TNtService::~TNtService() = default;

IServiceControlManager& TNtService::Scm() const { return FCatalogue->Scm(); }

void TNtService::Active(bool Value)
{
    if (Value == Active())
        return;
    if (Value)
        AcquireHandle(SERVICE_ALL_ACCESS);
    else
        ReleaseHandle();
}

void TNtService::AcquireHandle(DWORD ADesiredAccess)
{
    SM_ASSERT((ADesiredAccess & ~static_cast<DWORD>(SERVICE_ALL_ACCESS)) == 0);
    FHandle.reset();
    FDesiredAccess = ADesiredAccess;
    SC_HANDLE h = Scm().OpenServiceW(FCatalogue->ConnectedHandle(), FServiceName.c_str(), ADesiredAccess);
    if (!h)
        RaiseLastOSError();
    FHandle = UniqueScHandleOf(Scm(), h);
}

void TNtService::ReleaseHandle()
{
    SM_ASSERT(FHandle);
    Win32Check(FHandle.Close());
}

SERVICE_STATUS TNtService::QueryStatus()
{
    SM_ASSERT(FHandle && (FDesiredAccess & SERVICE_QUERY_STATUS) != 0);
    return StatusOf(Scm(), FHandle.get());
}

void TNtService::Refresh()
{
    if (!FHandle) {
        WithHandle(RefreshAccess, [&] { ReadState(FHandle.get()); });
        return;
    }
    // The handle is held (Active(true)) for the holder's own calls, which may be waiting in a
    // message loop: read through a handle of our own and leave the held one as it is.
    UniqueScHandleOf own(Scm(), Scm().OpenServiceW(FCatalogue->ConnectedHandle(), FServiceName.c_str(), RefreshAccess));
    if (!own)
        RaiseLastOSError();
    ReadState(own.get());
}

void TNtService::ReadFirst(const SERVICE_STATUS& enumerated)
{
    WithHandle(RefreshAccess, [&] { ReadState(FHandle.get(), &enumerated, true); });
}

void TNtService::ApplyStatus(const SERVICE_STATUS& status)
{
    FServiceTypes = ServiceTypesOf(status.dwServiceType);
    FServiceState = StateOf(status.dwCurrentState);
    FControlsAccepted = ControlsAcceptedOf(status.dwControlsAccepted);
    FWin32ExitCode = status.dwWin32ExitCode;
    FServiceSpecificExitCode = status.dwServiceSpecificExitCode;
    FCheckPoint = status.dwCheckPoint;
    FWaitHint = status.dwWaitHint;
}

void TNtService::ReadState(SC_HANDLE handle, const SERVICE_STATUS* known, bool deferLinks)
{
    TServiceRecordData data;
    try {
        ReadRecordParts(Scm(), handle, FCatalogue->HasDescriptionQuery(), known, true, data);
    } catch (...) {
        // The parts read before the failure land; the rest keep their old values.
        ApplyParts(data, deferLinks);
        throw;
    }
    ApplyParts(data, deferLinks);
}

void TNtService::ApplyRecord(const TServiceRecordData& data) { ApplyParts(data, false); }

void TNtService::ApplyParts(const TServiceRecordData& data, bool deferLinks)
{
    if (data.Description)
        FDescription = *data.Description;
    if (data.Status)
        ApplyStatus(*data.Status);
    if (!data.Config)
        return;
    const TServiceRecordData::TConfig& config = *data.Config;
    FFileName = config.FileName;
    FConfiguredTypes = ServiceTypesOf(config.ServiceType);
    FStartType = static_cast<TServiceStartType>(std::min<DWORD>(config.StartType, sstDisabled));
    FDelayedAutoStart = config.DelayedAutoStart.value_or(false);
    FServiceStartName = SharedAccountName(config.StartName);
    FErrorControlType = static_cast<TServiceErrorControlType>(std::min<DWORD>(config.ErrorControl, ectCritical));
    LinkGroup(config.LoadOrderGroup);
    ReadDependencies(config.Dependencies, deferLinks);
    FRecordRead = true;
}

bool TNtService::ApplyListed(const std::wstring& displayName, const SERVICE_STATUS& status)
{
    const TServiceState state = FServiceState;
    const TServiceControlAccepteds accepted = FControlsAccepted;
    const bool renamed = displayName != FDisplayName;
    FDisplayName = displayName;
    ApplyStatus(status);
    return renamed || FServiceState != state || FControlsAccepted != accepted;
}

void TNtService::TakeValuesOf(const TNtService& old)
{
    FDescription = old.FDescription;
    if (FServiceState == ssUnknown) {
        FServiceTypes = old.FServiceTypes;
        FServiceState = old.FServiceState;
        FControlsAccepted = old.FControlsAccepted;
        FWin32ExitCode = old.FWin32ExitCode;
        FServiceSpecificExitCode = old.FServiceSpecificExitCode;
    }
    FFileName = old.FFileName;
    FConfiguredTypes = old.FConfiguredTypes;
    FStartType = old.FStartType;
    FDelayedAutoStart = old.FDelayedAutoStart;
    FServiceStartName = old.FServiceStartName;
    FErrorControlType = old.FErrorControlType;
    LinkGroup(old.FGroup ? old.FGroup->Name() : std::wstring());
    ReadDependencies(old.DependencyList(), false);
    FValuesCarried = true;
}

void TNtService::LinkGroup(const std::wstring& groupName)
{
    TServiceGroup* group = nullptr;
    FCatalogue->FindGroup(groupName, group, true);
    if (group == FGroup)
        return;
    if (FGroup) {
        auto& members = FGroup->FServices;
        members.erase(std::remove(members.begin(), members.end(), this), members.end());
    }
    FGroup = group;
    FGroup->FServices.push_back(this);
}

const TNtService::TDependencies& TNtService::Dependencies() const
{
    static const TDependencies none;
    return FDependencies ? *FDependencies : none;
}

void TNtService::ReadDependencies(const std::vector<std::wstring>& entries, bool deferLinks)
{
    FDeferredDependencies.reset();
    if (entries.empty()) {
        FDependencies.reset();
        return;
    }
    auto read = std::make_unique<TDependencies>();
    read->List = entries;
    // Groups are found (or made) at once, in the order met: the catalogue's group order
    // depends on it.
    for (const std::wstring& entry : entries) {
        if (entry[0] == SC_GROUP_IDENTIFIERW) {
            TServiceGroup* group = nullptr;
            FCatalogue->FindGroup(entry.substr(1), group, true);
            read->Groups.push_back(group);
        } else if (deferLinks) {
            if (!FDeferredDependencies)
                FDeferredDependencies = std::make_unique<std::vector<std::wstring>>();
            FDeferredDependencies->push_back(entry);
        } else {
            TNtService* service = nullptr;
            if (FCatalogue->FindService(entry, service))
                read->Services.push_back(service);
        }
    }
    FDependencies = std::move(read);
}

void TNtService::LinkDeferredDependencies()
{
    if (!FDeferredDependencies)
        return;
    // Repeated entries count again; names without a record are dropped. The entries came with
    // the list, so the lists are there.
    for (const std::wstring& name : *FDeferredDependencies) {
        TNtService* service = nullptr;
        if (FCatalogue->FindService(name, service))
            FDependencies->Services.push_back(service);
    }
    FDeferredDependencies.reset();
}

// ---- Dependants ----------------------------------------------------------------------------

void TNtService::BuildDependentBy()
{
    if (FDependentByServices)
        return;
    WithHandle(SERVICE_ENUMERATE_DEPENDENTS, [&] {
        // Created empty first: a failing enumeration leaves it so, and it is not tried again.
        FDependentByServices = std::make_unique<std::vector<TNtService*>>();
        DWORD returned = 0;
        std::vector<BYTE> buffer =
            QueryGrowing(DependentsBufferSize, ERROR_MORE_DATA, [&](BYTE* buf, DWORD size, DWORD* needed) {
                return Scm().EnumDependentServicesW(FHandle.get(), SERVICE_STATE_ALL,
                                                    reinterpret_cast<LPENUM_SERVICE_STATUSW>(buf), size, needed,
                                                    &returned);
            });
        const auto* records = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i) {
            std::wstring name = records[i].lpServiceName ? records[i].lpServiceName : L"";
            TNtService* service = nullptr;
            if (!name.empty() && name[0] != SC_GROUP_IDENTIFIERW && FCatalogue->FindService(name, service))
                FDependentByServices->push_back(service);
        }
    });
}

int TNtService::DependentByServiceCount()
{
    BuildDependentBy();
    return static_cast<int>(FDependentByServices->size());
}

TNtService* TNtService::GetDependentByService(int Idx)
{
    BuildDependentBy();
    return FDependentByServices->at(static_cast<size_t>(Idx));
}

// ---- Start and controls --------------------------------------------------------------------

void TNtService::Start(bool Sync)
{
    WithHandle(SERVICE_START, [&] { Win32Check(Scm().StartServiceW(FHandle.get(), 0, nullptr)); });
    if (Sync)
        WaitFor(ssRunning, INFINITE);
}

SERVICE_STATUS TNtService::Controls(DWORD ControlType, DWORD ADesiredAccess)
{
    SERVICE_STATUS status{};
    WithHandle(ADesiredAccess, [&] { Win32Check(Scm().ControlService(FHandle.get(), ControlType, &status)); });
    return status;
}

void TNtService::Stop(bool Sync)
{
    Controls(SERVICE_CONTROL_STOP, SERVICE_STOP);
    if (Sync)
        WaitFor(ssStopped, INFINITE);
}

void TNtService::Pause(bool Sync)
{
    Controls(SERVICE_CONTROL_PAUSE, SERVICE_PAUSE_CONTINUE);
    if (Sync)
        WaitFor(ssPaused, INFINITE);
}

void TNtService::Continue(bool Sync)
{
    Controls(SERVICE_CONTROL_CONTINUE, SERVICE_PAUSE_CONTINUE);
    if (Sync)
        WaitFor(ssRunning, INFINITE);
}

// ---- Waiting -------------------------------------------------------------------------------

bool TNtService::WaitFor(TServiceState State, DWORD TimeOut)
{
    bool reached = false;
    WithHandle(SERVICE_QUERY_STATUS, [&] {
        DWORD start = Scm().TickCount();
        DWORD lastCheckPoint = 0;
        for (;;) {
            SERVICE_STATUS status = QueryStatus();
            reached = status.dwCurrentState == static_cast<DWORD>(State);
            if (reached)
                return;
            if (status.dwCheckPoint > lastCheckPoint) {
                lastCheckPoint = status.dwCheckPoint;
                start = Scm().TickCount();
            } else if (TimeOut != INFINITE && Scm().TickCount() - start > std::max(TimeOut, status.dwWaitHint)) {
                return;
            }
            Scm().Delay(std::clamp<DWORD>(status.dwWaitHint / 10, 1000, 10000));
        }
    });
    return reached;
}

// ---- Removal and configuration -------------------------------------------------------------

void TNtService::Delete()
{
    WithHandle(DELETE, [&] { Win32Check(Scm().DeleteService(FHandle.get())); });
}

std::optional<bool> TNtService::DelayedStart()
{
    std::optional<bool> delayed;
    WithHandle(SERVICE_QUERY_CONFIG, [&] { delayed = QueryDelayedAutoStart(Scm(), FHandle.get()); });
    return delayed;
}

std::vector<std::wstring> TNtService::StoredDependencies()
{
    std::vector<std::wstring> entries;
    WithHandle(SERVICE_QUERY_CONFIG, [&] {
        std::vector<BYTE> buffer = QueryServiceConfigBuffer(Scm(), FHandle.get());
        const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
        const wchar_t* end = reinterpret_cast<const wchar_t*>(buffer.data()) + buffer.size() / sizeof(wchar_t);
        entries = SplitNulList(config->lpDependencies, end);
    });
    return entries;
}

bool TNtService::Reconfigure(const TServiceReconfiguration& change, const TPasswordPrompt& askPassword,
                             TReconfigurationProgress* progress)
{
    if (progress)
        *progress = {};
    if (change.Empty())
        return true;
    bool changed = false;
    WithHandle(SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG,
               [&] { changed = ChangeServiceConfiguration(Scm(), FHandle.get(), change, askPassword, progress); });
    return changed;
}
