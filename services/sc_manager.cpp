#include "services/sc_manager.h"

#include "common/computer_name.h"
#include "common/errors.h"
#include "common/registry.h"
#include "common/text.h"
#include "services/sc_buffer.h"

#include <climits>

namespace {
// Drivers, Win32 services and interactive ones.
constexpr DWORD EnumeratedServiceTypes = 0x13F;
constexpr size_t FirstEnumBufferSize = 256 * 1024;
}  // namespace

TSCManager::TSCManager(const std::wstring& AMachineName, DWORD ADesiredAccess, const std::wstring& ADatabaseName,
                       IServiceControlManager& scm)
    : FScm(&scm), FMachineName(AMachineName), FDatabaseName(ADatabaseName), FDesiredAccess(ADesiredAccess)
{
    SM_ASSERT((ADesiredAccess & ~static_cast<DWORD>(SC_MANAGER_ALL_ACCESS)) == 0);
}

TSCManager::~TSCManager()
{
    FGroups.clear();
    FServiceIndex.clear();
    FServices.clear();
    // Then the manager handle is closed (its owner drops a failure).
}

void TSCManager::Active(bool Value)
{
    if (Value == Active())
        return;
    if (Value) {
        SC_HANDLE h = FScm->OpenSCManagerW(FMachineName.empty() ? nullptr : FMachineName.c_str(),
                                           FDatabaseName.empty() ? nullptr : FDatabaseName.c_str(), FDesiredAccess);
        if (!h)
            RaiseLastOSError();
        FHandle = UniqueScHandleOf(*FScm, h);
    } else {
        Win32Check(FHandle.Close());
    }
}

void TSCManager::Clear()
{
    FGroups.clear();
    FServiceIndex.clear();
    FServices.clear();
}

void TSCManager::AddService(std::unique_ptr<TNtService> service)
{
    FServiceIndex.try_emplace(AsciiLower(service->ServiceName()), service.get());
    FServices.push_back(std::move(service));
}

TServiceGroup* TSCManager::AddGroup(const std::wstring& name, int order)
{
    FGroups.push_back(std::unique_ptr<TServiceGroup>(new TServiceGroup(this, name, order)));
    return FGroups.back().get();
}

void TSCManager::RebuildIndex()
{
    FServiceIndex.clear();
    for (auto& service : FServices)
        FServiceIndex.try_emplace(AsciiLower(service->ServiceName()), service.get());
}

void TSCManager::Refresh(bool RefreshAll)
{
    Active(true);
    if (!RefreshAll) {
        for (auto& service : FServices)
            RefreshRecordQuietly(service.get());
        return;
    }
    Clear();
    ReadGroupOrder();
    // Dependencies are linked also when the enumeration fails part way: the records read
    // so far find each other.
    auto link = [this] {
        for (auto& service : FServices)
            service->LinkDeferredDependencies();
    };
    try {
        EnumerateServices();
    } catch (...) {
        link();
        throw;
    }
    link();
}

void TSCManager::TakeRecords(TSCManager& source)
{
    // The old records stay until the new ones have taken what they need of them.
    std::vector<std::unique_ptr<TServiceGroup>> oldGroups = std::move(FGroups);
    std::vector<std::unique_ptr<TNtService>> oldServices = std::move(FServices);
    std::unordered_map<std::wstring, TNtService*> oldIndex = std::move(FServiceIndex);
    Clear();
    FServices = std::move(source.FServices);
    FGroups = std::move(source.FGroups);
    source.Clear();
    for (auto& service : FServices) {
        service->FSCManager = this;
        service->FCatalogue = this;
    }
    for (auto& group : FGroups)
        group->FSCManager = this;
    RebuildIndex();
    for (auto& service : FServices) {
        if (service->RecordRead())
            continue;
        auto old = oldIndex.find(AsciiLower(service->ServiceName()));
        if (old != oldIndex.end() && old->second->RecordRead())
            service->TakeValuesOf(*old->second);
    }
    oldGroups.clear();
    oldServices.clear();
}

void TSCManager::ReadGroupOrder()
{
    if (!FMachineName.empty() && !IsThisComputerName(FMachineName)) {
        // Another computer's order is in its own registry. One that refuses its registry
        // still lists its services: the groups then take their order as they are met.
        HKEY remote = nullptr;
        if (RegConnectRegistryW(FMachineName.c_str(), HKEY_LOCAL_MACHINE, &remote) != ERROR_SUCCESS)
            return;
        UniqueRegKey root(remote);
        TGroupOrderLocation location = FGroupOrderLocation;
        location.Root = root.get();
        std::vector<std::wstring> names;
        try {
            names = ::ReadGroupOrder(location);
        } catch (const Exception&) {
            return;
        }
        for (const std::wstring& name : names)
            AddGroup(name, GroupCount());
        return;
    }
    std::vector<std::wstring> names = ::ReadGroupOrder(FGroupOrderLocation);
    for (const std::wstring& name : names)
        AddGroup(name, GroupCount());
}

void TSCManager::RefreshRecordQuietly(TNtService* service)
{
    try {
        service->Refresh();
    } catch (const std::exception&) {
        // The record keeps its names and whatever the refresh got before it failed.
    }
}

template <typename Each>
void TSCManager::ForEachEnumerated(Each&& each)
{
    SM_ASSERT((FDesiredAccess & SC_MANAGER_ENUMERATE_SERVICE) != 0);
    // Room for a few thousand services at once: each call walks every service (under Wine, a
    // round trip through the manager's process), and asking for the size first doubles that.
    std::vector<BYTE> buffer(FirstEnumBufferSize);
    DWORD resume = 0;
    for (;;) {
        DWORD needed = 0, returned = 0;
        BOOL ok = FScm->EnumServicesStatusW(FHandle.get(), EnumeratedServiceTypes, SERVICE_STATE_ALL,
                                            buffer.empty() ? nullptr
                                                           : reinterpret_cast<LPENUM_SERVICE_STATUSW>(buffer.data()),
                                            static_cast<DWORD>(buffer.size()), &needed, &returned, &resume);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (!ok && error != ERROR_MORE_DATA)
            RaiseOSError(error);
        auto* records = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i)
            if (!each(records[i]))
                return;
        if (ok)
            return;
        // More to come: a buffer of the size reported. An answer that returned nothing and asks
        // for no more room than it had would never end.
        if (returned == 0 && needed <= buffer.size())
            RaiseOSError(error);
        if (needed > buffer.size())
            buffer.assign(needed, 0);
    }
}

void TSCManager::EnumerateServices()
{
    ForEachEnumerated([this](const ENUM_SERVICE_STATUSW& entry) {
        if (FStop && FStop->load())
            return false;
        TNtService* service = new TNtService(this, *this, entry);
        AddService(std::unique_ptr<TNtService>(service));
        if (FReadWhen && !FReadWhen(service->ServiceName(), service->DisplayName())) {
            service->ApplyStatus(entry.ServiceStatus);
            return true;
        }
        try {
            service->ReadFirst(entry.ServiceStatus);
        } catch (const std::exception&) {
            // The record keeps its names and whatever the read got before it failed.
        }
        return true;
    });
}

int TSCManager::RefreshStatuses()
{
    Active(true);
    int changed = 0;
    ForEachEnumerated([this, &changed](const ENUM_SERVICE_STATUSW& entry) {
        TNtService* service = nullptr;
        if (entry.lpServiceName && FindService(entry.lpServiceName, service)) {
            const TServiceState state = service->ServiceState();
            const TServiceControlAccepteds accepted = service->ControlsAccepted();
            service->ApplyStatus(entry.ServiceStatus);
            if (service->ServiceState() != state || service->ControlsAccepted() != accepted)
                ++changed;
        }
        return true;
    });
    return changed;
}

bool TSCManager::FindService(const std::wstring& SvcName, TNtService*& NtSvc) const
{
    auto it = FServiceIndex.find(AsciiLower(SvcName));
    NtSvc = it == FServiceIndex.end() ? nullptr : it->second;
    return NtSvc != nullptr;
}

bool TSCManager::FindGroup(const std::wstring& GrpName, TServiceGroup*& SvcGrp, bool AutoAdd)
{
    for (auto& group : FGroups) {
        if (SameTextAscii(group->Name(), GrpName)) {
            SvcGrp = group.get();
            return true;
        }
    }
    SvcGrp = AutoAdd ? AddGroup(GrpName, GrpName.empty() ? INT_MAX : GroupCount()) : nullptr;
    return false;
}

bool TSCManager::ServiceExists(const std::wstring& SvcName)
{
    Active(true);
    SC_HANDLE opened = FScm->OpenServiceW(FHandle.get(), SvcName.c_str(), SERVICE_QUERY_STATUS);
    const DWORD error = opened ? ERROR_SUCCESS : GetLastError();
    UniqueScHandleOf service(*FScm, opened);
    return service || error != ERROR_SERVICE_DOES_NOT_EXIST;
}

bool TSCManager::HasDescriptionQuery()
{
    if (!FQueryServiceConfig2W)
        FQueryServiceConfig2W = FScm->HasQueryServiceConfig2W();
    return *FQueryServiceConfig2W;
}
