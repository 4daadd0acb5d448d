#include "services/nt_service.h"

#include "services/sc_manager.h"

#include "common/errors.h"
#include "services/sc_buffer.h"

#include <algorithm>

namespace {
constexpr DWORD RefreshAccess = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS;

SERVICE_STATUS StatusOf(IServiceControlManager& scm, SC_HANDLE handle)
{
    SERVICE_STATUS status{};
    Win32Check(scm.QueryServiceStatus(handle, &status));
    return status;
}

}  // namespace

TNtService* TNtService::Create(TSCManager* ASCManager, const ENUM_SERVICE_STATUSW& SvcStatus)
{
    SM_ASSERT(ASCManager != nullptr);
    std::unique_ptr<TNtService> service(new TNtService(ASCManager, SvcStatus));
    TNtService* result = service.get();
    ASCManager->AddService(std::move(service));
    return result;
}

TNtService::TNtService(TSCManager* ASCManager, const ENUM_SERVICE_STATUSW& SvcStatus)
    : FSCManager(ASCManager),
      FServiceName(SvcStatus.lpServiceName ? SvcStatus.lpServiceName : L""),
      FDisplayName(SvcStatus.lpDisplayName ? SvcStatus.lpDisplayName : L"")
{
}

TNtService::~TNtService() = default;

IServiceControlManager& TNtService::Scm() const { return FSCManager->Scm(); }

void TNtService::Active(bool Value)
{
    if (Value == Active())
        return;
    if (Value)
        AcquireHandle(SERVICE_ALL_ACCESS);
    else
        ReleaseHandle();
}

void TNtService::StartType(TServiceStartType Value)
{
    if (Value != FStartType)
        FCommitNeeded = true;
    FStartType = Value;
}

void TNtService::AcquireHandle(DWORD ADesiredAccess)
{
    SM_ASSERT((ADesiredAccess & ~static_cast<DWORD>(SERVICE_ALL_ACCESS)) == 0);
    FHandle.reset();
    FDesiredAccess = ADesiredAccess;
    SC_HANDLE h = Scm().OpenServiceW(FSCManager->Handle(), FServiceName.c_str(), ADesiredAccess);
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

std::vector<BYTE> TNtService::QueryConfig() { return QueryServiceConfigBuffer(Scm(), FHandle.get()); }

void TNtService::Refresh()
{
    if (!FHandle) {
        WithHandle(RefreshAccess, [&] { ReadState(FHandle.get()); });
        return;
    }
    // The handle is held (Active(true)) for the holder's own calls, which may be waiting in a
    // message loop: read through a handle of our own and leave the held one as it is.
    UniqueScHandleOf own(Scm(), Scm().OpenServiceW(FSCManager->Handle(), FServiceName.c_str(), RefreshAccess));
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
    FServiceTypes = TSCManager::ServiceType(status.dwServiceType);
    FServiceState = StateOf(status.dwCurrentState);
    FControlsAccepted = TSCManager::ControlAccepted(status.dwControlsAccepted);
    FWin32ExitCode = status.dwWin32ExitCode;
}

void TNtService::ReadState(SC_HANDLE handle, const SERVICE_STATUS* known, bool deferLinks)
{
    TServiceRecordData data;
    try {
        ReadRecordParts(Scm(), handle, FSCManager->HasDescriptionQuery(), known, true, data);
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
    FStartType = static_cast<TServiceStartType>(std::min<DWORD>(config.StartType, sstDisabled));
    FServiceStartName = config.StartName;
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
    }
    FFileName = old.FFileName;
    FStartType = old.FStartType;
    FServiceStartName = old.FServiceStartName;
    FErrorControlType = old.FErrorControlType;
    LinkGroup(old.FGroup ? old.FGroup->Name() : std::wstring());
    ReadDependencies(old.FDependencyList, false);
    FRecordRead = true;
}

void TNtService::LinkGroup(const std::wstring& groupName)
{
    TServiceGroup* group = nullptr;
    FSCManager->FindGroup(groupName, group, true);
    if (group == FGroup)
        return;
    if (FGroup) {
        auto& members = FGroup->FServices;
        members.erase(std::remove(members.begin(), members.end(), this), members.end());
    }
    FGroup = group;
    FGroup->FServices.push_back(this);
}

void TNtService::ReadDependencies(const std::vector<std::wstring>& entries, bool deferLinks)
{
    FDependencyList = entries;
    FDependentServices.clear();
    FDependentGroups.clear();
    FDeferredDependencies.reset();
    if (deferLinks)
        FDeferredDependencies.emplace();
    // Groups are found (or made) at once, in the order met: the catalogue's group order
    // depends on it.
    for (const std::wstring& entry : entries) {
        if (entry[0] == SC_GROUP_IDENTIFIERW) {
            TServiceGroup* group = nullptr;
            FSCManager->FindGroup(entry.substr(1), group, true);
            FDependentGroups.push_back(group);
        } else if (deferLinks) {
            FDeferredDependencies->push_back(entry);
        } else {
            TNtService* service = nullptr;
            if (FSCManager->FindService(entry, service))
                FDependentServices.push_back(service);
        }
    }
}

void TNtService::LinkDeferredDependencies()
{
    if (!FDeferredDependencies)
        return;
    // Repeated entries count again; names without a record are dropped.
    for (const std::wstring& name : *FDeferredDependencies) {
        TNtService* service = nullptr;
        if (FSCManager->FindService(name, service))
            FDependentServices.push_back(service);
    }
    FDeferredDependencies.reset();
}
