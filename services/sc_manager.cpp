#include "services/sc_manager.h"

#include "common/computer_name.h"
#include "common/errors.h"
#include "common/registry.h"
#include "common/text.h"
#include "services/sc_buffer.h"

namespace {
// Drivers, Win32 services and interactive ones.
constexpr DWORD EnumeratedServiceTypes = 0x13F;
// The room of a read's first enumeration. Under Wine every call lists the whole list whatever
// room it is given (up to 100 ms for 2000 services), so a first room too small for the list costs
// a second listing before the rows can be there: this computer's list gets room for several
// thousand services. Another computer's answer crosses the network in the whole room asked for,
// so its first room stays smaller and grows when the list needs it.
constexpr size_t FirstEnumBufferSize = 256 * 1024;
constexpr size_t FirstLocalEnumBufferSize = 1024 * 1024;
}  // namespace

TSCManager::TSCManager(const std::wstring& AMachineName, DWORD ADesiredAccess, const std::wstring& ADatabaseName,
                       IServiceControlManager& scm)
    : FScm(&scm), FMachineName(AMachineName), FDatabaseName(ADatabaseName), FDesiredAccess(ADesiredAccess),
      FLookups(this, scm)
{
    SM_ASSERT((ADesiredAccess & ~static_cast<DWORD>(SC_MANAGER_ALL_ACCESS)) == 0);
}

TSCManager::~TSCManager()
{
    FLookups.ClearGroups();
    FLookups.ClearIndex();
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
        FLookups.ManagerHandle() = UniqueScHandleOf(*FScm, h);
    } else {
        Win32Check(FLookups.ManagerHandle().Close());
    }
}

void TSCManager::Clear()
{
    FLookups.ClearGroups();
    FLookups.ClearIndex();
    FServices.clear();
}

void TSCManager::AddService(std::unique_ptr<TNtService> service)
{
    FLookups.AddToIndex(service->ServiceName(), service.get());
    FServices.push_back(std::move(service));
}

void TSCManager::RebuildIndex()
{
    FLookups.ClearIndex();
    for (auto& service : FServices)
        FLookups.AddToIndex(service->ServiceName(), service.get());
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
    std::vector<std::unique_ptr<TServiceGroup>> oldGroups = FLookups.ReleaseGroups();
    std::vector<std::unique_ptr<TNtService>> oldServices = std::move(FServices);
    // The old records by folded name, the first in list order winning, as the index had them.
    std::unordered_map<std::wstring, TNtService*> oldIndex;
    for (auto& service : oldServices)
        oldIndex.try_emplace(AsciiLower(service->ServiceName()), service.get());
    Clear();
    FServices = std::move(source.FServices);
    FLookups.TakeGroups(source.FLookups);
    source.Clear();
    for (auto& service : FServices) {
        service->FSCManager = this;
        service->FCatalogue = &FLookups;
    }
    RebuildIndex();
    for (auto& service : FServices) {
        if (service->RecordRead())
            continue;
        auto old = oldIndex.find(AsciiLower(service->ServiceName()));
        if (old != oldIndex.end() && old->second->ValuesKnown())
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
            FLookups.AddGroup(name, GroupCount());
        return;
    }
    std::vector<std::wstring> names = ::ReadGroupOrder(FGroupOrderLocation);
    for (const std::wstring& name : names)
        FLookups.AddGroup(name, GroupCount());
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
    // Room for thousands of services at once: each call walks every service (under Wine, a
    // round trip through the manager's process), and asking for the size first doubles that.
    const bool local = FMachineName.empty() || IsThisComputerName(FMachineName);
    std::vector<BYTE> buffer(local ? FirstLocalEnumBufferSize : FirstEnumBufferSize);
    ForEachListedService(*FScm, Handle(), EnumeratedServiceTypes, buffer, each);
}

void TSCManager::EnumerateServices()
{
    ForEachEnumerated([this](const ENUM_SERVICE_STATUSW& entry) {
        if (FStop && FStop->load())
            return false;
        TNtService* service = new TNtService(this, FLookups, entry);
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

bool TSCManager::ServiceExists(const std::wstring& SvcName)
{
    Active(true);
    SC_HANDLE opened = FScm->OpenServiceW(Handle(), SvcName.c_str(), SERVICE_QUERY_STATUS);
    const DWORD error = opened ? ERROR_SUCCESS : GetLastError();
    UniqueScHandleOf service(*FScm, opened);
    return service || error != ERROR_SERVICE_DOES_NOT_EXIST;
}

std::vector<std::wstring> TSCManager::ServiceNamesNow()
{
    Active(true);
    std::vector<std::wstring> names;
    ForEachEnumerated([&names](const ENUM_SERVICE_STATUSW& entry) {
        names.emplace_back(entry.lpServiceName ? entry.lpServiceName : L"");
        return true;
    });
    return names;
}
