#include "services/wine_scm.h"

#include "common/computer_name.h"
#include "common/registry.h"
#include "services/forwarding_scm.h"
#include "services/sc_buffer.h"

#include <cstring>
#include <cwchar>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

constexpr const wchar_t* ServicesKey = L"SYSTEM\\CurrentControlSet\\Services\\";
constexpr DWORD FirstConfigSize = 4096;
// A manager that keeps answering "too small" is given up on after this many tries.
constexpr int GrowAttempts = 8;

BOOL Failed(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool Names(const std::vector<std::wstring>& list, const std::wstring& name)
{
    for (const std::wstring& entry : list)
        if (SameName(entry, name))
            return true;
    return false;
}

// What a service's key holds of its dependencies, and its own load-order group.
struct TStoredDependencies {
    std::vector<std::wstring> Services;  // "DependOnService"
    std::vector<std::wstring> Groups;    // "DependOnGroup", without the "+"
    std::wstring Group;                  // "Group"
};

// A value, read at once into a buffer that fits the usual ones (every call is a round trip to
// Wine's server); a larger one is read again at its size.
LSTATUS ReadSmallValue(HKEY key, const wchar_t* name, TRegValue& value)
{
    value.Data.resize(512);
    DWORD size = static_cast<DWORD>(value.Data.size());
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &value.Type, value.Data.data(), &size);
    if (status == ERROR_SUCCESS)
        value.Data.resize(size);
    return status == ERROR_MORE_DATA ? ReadRegValue(key, name, value) : status;
}

// A stored list: text kinds only, whole characters, up to the first empty entry (or the end of
// data stored without one).
std::vector<std::wstring> StoredList(HKEY key, const wchar_t* name)
{
    TRegValue value;
    if (ReadSmallValue(key, name, value) != ERROR_SUCCESS)
        return {};
    if (value.Type != REG_MULTI_SZ && value.Type != REG_SZ && value.Type != REG_EXPAND_SZ)
        return {};
    const auto* text = reinterpret_cast<const wchar_t*>(value.Data.data());
    return SplitNulList(text, text + value.Data.size() / sizeof(wchar_t));
}

// The service's dependencies, and its own group when withGroup.
TStoredDependencies ReadStoredDependencies(const std::wstring& service, bool withGroup)
{
    TStoredDependencies stored;
    UniqueRegKey key;
    if (OpenRegKey(HKEY_LOCAL_MACHINE, ServicesKey + service, KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return stored;
    stored.Services = StoredList(key.get(), L"DependOnService");
    stored.Groups = StoredList(key.get(), L"DependOnGroup");
    TRegValue group;
    if (withGroup && ReadSmallValue(key.get(), L"Group", group) == ERROR_SUCCESS)
        stored.Group = RegValueText(group).value_or(L"");
    return stored;
}

// A dependency list as the manager gives it: every entry with its NUL, then the closing empty
// entry; the services first, then the groups marked with "+".
std::wstring DependencyList(const TStoredDependencies& stored)
{
    std::wstring list;
    for (const std::wstring& service : stored.Services)
        list.append(service).push_back(L'\0');
    for (const std::wstring& group : stored.Groups)
        list.append(1, SC_GROUP_IDENTIFIERW).append(group).push_back(L'\0');
    list.push_back(L'\0');
    return list;
}

// A list as the manager gave it, up to and with its closing empty entry.
std::wstring ListOf(const wchar_t* list)
{
    const wchar_t* end = list;
    while (*end)
        end += std::wcslen(end) + 1;
    return std::wstring(list, end + 1);
}

size_t TextBytes(const wchar_t* text) { return text ? (std::wcslen(text) + 1) * sizeof(wchar_t) : 0; }

// Lays texts out one after another, handing out where each landed.
class TStringPacker {
public:
    explicit TStringPacker(void* at) : FAt(static_cast<BYTE*>(at)) {}
    LPWSTR Put(const wchar_t* text) { return text ? Put(text, TextBytes(text)) : nullptr; }
    // A text with its NULs (a list) as it is.
    LPWSTR Put(const std::wstring& list) { return Put(list.data(), list.size() * sizeof(wchar_t)); }

private:
    LPWSTR Put(const wchar_t* data, size_t bytes)
    {
        std::memcpy(FAt, data, bytes);
        auto* placed = reinterpret_cast<LPWSTR>(FAt);
        FAt += bytes;
        return placed;
    }

    BYTE* FAt;
};

// One service as the manager lists it, with what its key says of its dependencies.
struct TListedService {
    std::wstring Name;
    std::wstring DisplayName;
    SERVICE_STATUS Status;
    TStoredDependencies Stored;
};

bool StateWanted(DWORD currentState, DWORD filter)
{
    bool active = currentState != SERVICE_STOPPED;
    return (filter & (active ? SERVICE_ACTIVE : SERVICE_INACTIVE)) != 0;
}

// The rights SERVICE_ENUMERATE_DEPENDENTS comes with: the generic read and all, and the most
// the caller may have.
bool MayEnumerateDependents(DWORD access)
{
    return (access & (SERVICE_ENUMERATE_DEPENDENTS | GENERIC_READ | GENERIC_ALL | MAXIMUM_ALLOWED)) != 0;
}

// What the services' keys hold of their dependencies, by lower-case name: read once for a
// connection and kept until it enumerates the services again, changes one, ends, or the index
// is a second old, so that the questions of one read cost one walk over the keys.
using TKeysIndex = std::unordered_map<std::wstring, TStoredDependencies>;
constexpr DWORD IndexLifetimeMs = 1000;

// Every service that depends on `target`, by name or through its group, and those that depend
// on them, each once, a service after all that depend on it.
std::vector<const TListedService*> DependantsInStopOrder(const std::vector<TListedService>& services,
                                                         const std::wstring& target, const std::wstring& targetGroup)
{
    std::vector<const TListedService*> order;
    std::vector<bool> seen(services.size(), false);
    std::function<void(const std::wstring&, const std::wstring&)> visit = [&](const std::wstring& name,
                                                                              const std::wstring& group) {
        for (size_t i = 0; i < services.size(); ++i) {
            const TListedService& s = services[i];
            if (seen[i] || SameName(s.Name, target))
                continue;
            if (!Names(s.Stored.Services, name) && (group.empty() || !Names(s.Stored.Groups, group)))
                continue;
            seen[i] = true;
            visit(s.Name, s.Stored.Group);
            order.push_back(&s);
        }
    };
    visit(target, targetGroup);
    return order;
}

// The two dependency values of a service's key as stored (none: the value is missing).
struct TKeptDependencies {
    std::wstring Service;
    std::optional<TRegValue> OnService;
    std::optional<TRegValue> OnGroup;
};

TKeptDependencies KeepDependencies(const std::wstring& service)
{
    TKeptDependencies kept{service, std::nullopt, std::nullopt};
    UniqueRegKey key;
    if (OpenRegKey(HKEY_LOCAL_MACHINE, ServicesKey + service, KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return kept;
    TRegValue value;
    if (ReadRegValue(key.get(), L"DependOnService", value) == ERROR_SUCCESS)
        kept.OnService = value;
    if (ReadRegValue(key.get(), L"DependOnGroup", value) == ERROR_SUCCESS)
        kept.OnGroup = value;
    return kept;
}

LSTATUS RestoreValue(HKEY key, const wchar_t* name, const std::optional<TRegValue>& value)
{
    if (!value) {
        const LSTATUS status = RegDeleteValueW(key, name);
        return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }
    return RegSetValueExW(key, name, 0, value->Type, value->Data.empty() ? nullptr : value->Data.data(),
                          static_cast<DWORD>(value->Data.size()));
}

// Puts the values back as kept; a key that has gone (the service deleted meanwhile) is left.
LSTATUS RestoreDependencies(const TKeptDependencies& kept)
{
    UniqueRegKey key;
    const LSTATUS opened = OpenRegKey(HKEY_LOCAL_MACHINE, ServicesKey + kept.Service, KEY_QUERY_VALUE | KEY_SET_VALUE, key);
    if (opened != ERROR_SUCCESS)
        return opened == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : opened;
    const LSTATUS service = RestoreValue(key.get(), L"DependOnService", kept.OnService);
    const LSTATUS group = RestoreValue(key.get(), L"DependOnGroup", kept.OnGroup);
    return service != ERROR_SUCCESS ? service : group;
}

// advapi32's manager with the dependency answers completed from the services' keys.
class TWineServiceControlManager final : public TForwardingScm {
public:
    using TForwardingScm::TForwardingScm;

    // Wine's manager ignores the machine name and would answer with this computer's services:
    // another computer's name is refused as an unreachable computer is.
    SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD desiredAccess) override
    {
        if (machineName && *machineName && !IsThisComputerName(machineName)) {
            SetLastError(RPC_S_SERVER_UNAVAILABLE);
            return nullptr;
        }
        SC_HANDLE manager = Inner().OpenSCManagerW(machineName, databaseName, desiredAccess);
        if (manager) {
            DWORD error = GetLastError();
            try {
                std::lock_guard lock(FMutex);
                FManagers.insert(manager);
            } catch (...) {
                // Without memory the connection's questions index the keys each time.
            }
            SetLastError(error);
        }
        return manager;
    }
    SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess) override
    {
        return Remember(Inner().OpenServiceW(manager, serviceName, desiredAccess), serviceName, desiredAccess, manager);
    }
    BOOL CloseServiceHandle(SC_HANDLE handle) override
    {
        // Forgotten first: once closed, the manager may hand the same value out again.
        Forget(handle);
        return Inner().CloseServiceHandle(handle);
    }
    BOOL EnumServicesStatusW(SC_HANDLE manager, DWORD serviceType, DWORD serviceState, LPENUM_SERVICE_STATUSW services,
                             DWORD bufSize, LPDWORD bytesNeeded, LPDWORD servicesReturned,
                             LPDWORD resumeHandle) override
    {
        // The connection reads the services anew: its next question reads the keys anew too.
        DropIndex(manager);
        return Inner().EnumServicesStatusW(manager, serviceType, serviceState, services, bufSize, bytesNeeded,
                                          servicesReturned, resumeHandle);
    }
    BOOL DeleteService(SC_HANDLE service) override
    {
        BOOL ok = Inner().DeleteService(service);
        DropIndexes();
        return ok;
    }
    BOOL EnumDependentServicesW(SC_HANDLE service, DWORD serviceState, LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                                LPDWORD bytesNeeded, LPDWORD servicesReturned) override;
    BOOL QueryServiceConfigW(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config, DWORD bufSize,
                             LPDWORD bytesNeeded) override;
    BOOL ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                              LPCWSTR binaryPathName, LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies,
                              LPCWSTR serviceStartName, LPCWSTR password, LPCWSTR displayName) override;
    SC_HANDLE CreateServiceW(SC_HANDLE manager, LPCWSTR serviceName, LPCWSTR displayName, DWORD desiredAccess,
                             DWORD serviceType, DWORD startType, DWORD errorControl, LPCWSTR binaryPathName,
                             LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies, LPCWSTR serviceStartName,
                             LPCWSTR password) override
    {
        SC_HANDLE created = Remember(Inner().CreateServiceW(manager, serviceName, displayName, desiredAccess,
                                                            serviceType, startType, errorControl, binaryPathName,
                                                            loadOrderGroup, tagId, dependencies, serviceStartName,
                                                            password),
                                     serviceName, desiredAccess, manager);
        DropIndexes();
        return created;
    }

private:
    struct TOpenedService {
        std::wstring Name;
        DWORD Access;
        SC_HANDLE Manager;  // the connection it was opened through
    };
    struct TIndexEntry {
        std::shared_ptr<const TKeysIndex> Keys;
        DWORD Made;
    };

    SC_HANDLE Remember(SC_HANDLE handle, LPCWSTR serviceName, DWORD access, SC_HANDLE manager) noexcept
    {
        if (!handle || !serviceName)
            return handle;
        DWORD error = GetLastError();
        try {
            std::lock_guard lock(FMutex);
            FOpened[handle] = {serviceName, access, manager};
        } catch (...) {
            // Without memory the handle is answered by the manager alone.
        }
        SetLastError(error);
        return handle;
    }
    void Forget(SC_HANDLE handle) noexcept
    {
        std::lock_guard lock(FMutex);
        FOpened.erase(handle);
        FManagers.erase(handle);
        FIndexes.erase(handle);
    }
    void DropIndex(SC_HANDLE manager) noexcept
    {
        std::lock_guard lock(FMutex);
        FIndexes.erase(manager);
    }
    void DropIndexes() noexcept
    {
        DWORD error = GetLastError();
        {
            std::lock_guard lock(FMutex);
            FIndexes.clear();
        }
        SetLastError(error);
    }
    // The connection's index while it is young enough, or an empty one.
    std::shared_ptr<const TKeysIndex> IndexOf(SC_HANDLE manager) const
    {
        std::lock_guard lock(FMutex);
        auto it = FIndexes.find(manager);
        if (it == FIndexes.end() || GetTickCount() - it->second.Made > IndexLifetimeMs)
            return std::make_shared<const TKeysIndex>();
        return it->second.Keys;
    }
    void KeepIndex(SC_HANDLE manager, std::shared_ptr<const TKeysIndex> keys, bool fresh)
    {
        std::lock_guard lock(FMutex);
        if (!FManagers.contains(manager))
            return;  // closed meanwhile, or not ours
        auto it = FIndexes.find(manager);
        const DWORD made = fresh || it == FIndexes.end() ? GetTickCount() : it->second.Made;
        FIndexes[manager] = {std::move(keys), made};
    }
    std::optional<TOpenedService> Opened(SC_HANDLE handle) const
    {
        std::lock_guard lock(FMutex);
        auto it = FOpened.find(handle);
        if (it == FOpened.end())
            return std::nullopt;
        return it->second;
    }

    BOOL CompletedConfig(SC_HANDLE service, const std::wstring& name, LPQUERY_SERVICE_CONFIGW config, DWORD bufSize,
                         LPDWORD bytesNeeded);
    BOOL CompletedDependants(const TOpenedService& opened, DWORD serviceState, LPENUM_SERVICE_STATUSW services,
                             DWORD bufSize, LPDWORD bytesNeeded, LPDWORD servicesReturned);
    // Every service the manager lists, with its key's dependencies from the connection's index
    // (a service the index lacks is read and added); false with the manager's error when it
    // cannot list them.
    bool ListServices(SC_HANDLE connection, std::vector<TListedService>& listed);

    mutable std::mutex FMutex;
    std::unordered_map<SC_HANDLE, TOpenedService> FOpened;
    std::unordered_set<SC_HANDLE> FManagers;
    std::unordered_map<SC_HANDLE, TIndexEntry> FIndexes;
};

BOOL TWineServiceControlManager::QueryServiceConfigW(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config, DWORD bufSize,
                                                     LPDWORD bytesNeeded)
{
    try {
        std::optional<TOpenedService> opened = Opened(service);
        if (!opened)
            return Inner().QueryServiceConfigW(service, config, bufSize, bytesNeeded);
        return CompletedConfig(service, opened->Name, config, bufSize, bytesNeeded);
    } catch (const std::bad_alloc&) {
        return Failed(ERROR_NOT_ENOUGH_MEMORY);
    }
}

BOOL TWineServiceControlManager::CompletedConfig(SC_HANDLE service, const std::wstring& name,
                                                 LPQUERY_SERVICE_CONFIGW config, DWORD bufSize, LPDWORD bytesNeeded)
{
    // The manager's own answer, in a buffer of ours.
    std::vector<BYTE> answer(FirstConfigSize);
    for (int attempt = 0;; ++attempt) {
        DWORD needed = 0;
        if (Inner().QueryServiceConfigW(service, reinterpret_cast<LPQUERY_SERVICE_CONFIGW>(answer.data()),
                                       static_cast<DWORD>(answer.size()), &needed))
            break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= answer.size() || attempt == GrowAttempts)
            return FALSE;
        answer.assign(needed, 0);
    }
    const auto& given = *reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(answer.data());

    // A list the manager gave is kept; an empty one is what the key holds.
    std::wstring dependencies = given.lpDependencies && *given.lpDependencies
                                    ? ListOf(given.lpDependencies)
                                    : DependencyList(ReadStoredDependencies(name, false));

    size_t needed = sizeof(QUERY_SERVICE_CONFIGW) + TextBytes(given.lpBinaryPathName) +
                    TextBytes(given.lpLoadOrderGroup) + dependencies.size() * sizeof(wchar_t) +
                    TextBytes(given.lpServiceStartName) + TextBytes(given.lpDisplayName);
    if (bytesNeeded)
        *bytesNeeded = static_cast<DWORD>(needed);
    if (!config || needed > bufSize)
        return Failed(ERROR_INSUFFICIENT_BUFFER);

    QUERY_SERVICE_CONFIGW packed = given;
    TStringPacker strings(config + 1);
    packed.lpBinaryPathName = strings.Put(given.lpBinaryPathName);
    packed.lpLoadOrderGroup = strings.Put(given.lpLoadOrderGroup);
    packed.lpDependencies = strings.Put(dependencies);
    packed.lpServiceStartName = strings.Put(given.lpServiceStartName);
    packed.lpDisplayName = strings.Put(given.lpDisplayName);
    *config = packed;
    return TRUE;
}

BOOL TWineServiceControlManager::ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType,
                                                      DWORD errorControl, LPCWSTR binaryPathName,
                                                      LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies,
                                                      LPCWSTR serviceStartName, LPCWSTR password, LPCWSTR displayName)
{
    // Wine takes a missing list, which means "unchanged", as an empty one and erases the stored
    // dependencies: the two values are put back afterwards exactly as they were, type and bytes.
    std::optional<TKeptDependencies> kept;
    try {
        std::optional<TOpenedService> opened = Opened(service);
        if (!dependencies && opened)
            kept = KeepDependencies(opened->Name);
    } catch (const std::bad_alloc&) {
        return Failed(ERROR_NOT_ENOUGH_MEMORY);
    }
    const BOOL ok = Inner().ChangeServiceConfigW(service, serviceType, startType, errorControl, binaryPathName,
                                                loadOrderGroup, tagId, dependencies, serviceStartName, password,
                                                displayName);
    if (kept) {
        const DWORD error = GetLastError();
        const LSTATUS restored = RestoreDependencies(*kept);
        if (ok && restored != ERROR_SUCCESS)
            return Failed(static_cast<DWORD>(restored));
        SetLastError(error);
    }
    return ok;
}

BOOL TWineServiceControlManager::EnumDependentServicesW(SC_HANDLE service, DWORD serviceState,
                                                        LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                                                        LPDWORD bytesNeeded, LPDWORD servicesReturned)
{
    try {
        std::optional<TOpenedService> opened = Opened(service);
        if (!opened)
            return Inner().EnumDependentServicesW(service, serviceState, services, bufSize, bytesNeeded,
                                                 servicesReturned);
        if (!bytesNeeded || !servicesReturned || serviceState == 0 || (serviceState & ~SERVICE_STATE_ALL) != 0)
            return Failed(ERROR_INVALID_PARAMETER);
        if (!MayEnumerateDependents(opened->Access))
            return Failed(ERROR_ACCESS_DENIED);
        if (!Inner().EnumDependentServicesW(service, serviceState, services, bufSize, bytesNeeded, servicesReturned))
            return FALSE;
        if (*servicesReturned > 0)
            return TRUE;
        return CompletedDependants(*opened, serviceState, services, bufSize, bytesNeeded, servicesReturned);
    } catch (const std::bad_alloc&) {
        return Failed(ERROR_NOT_ENOUGH_MEMORY);
    }
}

BOOL TWineServiceControlManager::CompletedDependants(const TOpenedService& opened, DWORD serviceState,
                                                     LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                                                     LPDWORD bytesNeeded, LPDWORD servicesReturned)
{
    std::vector<TListedService> listed;
    if (!ListServices(opened.Manager, listed))
        return FALSE;
    std::wstring group;
    bool found = false;
    for (const TListedService& s : listed)
        if (SameName(s.Name, opened.Name)) {
            group = s.Stored.Group;
            found = true;
            break;
        }
    if (!found)
        group = ReadStoredDependencies(opened.Name, true).Group;
    std::vector<const TListedService*> wanted;
    for (const TListedService* s : DependantsInStopOrder(listed, opened.Name, group))
        if (StateWanted(s->Status.dwCurrentState, serviceState))
            wanted.push_back(s);

    size_t needed = 0;
    for (const TListedService* s : wanted)
        needed += sizeof(ENUM_SERVICE_STATUSW) + TextBytes(s->Name.c_str()) + TextBytes(s->DisplayName.c_str());
    *bytesNeeded = static_cast<DWORD>(needed);
    *servicesReturned = 0;
    if (needed > bufSize || (!services && needed > 0))
        return Failed(ERROR_MORE_DATA);

    TStringPacker strings(services + wanted.size());
    for (size_t i = 0; i < wanted.size(); ++i) {
        services[i].lpServiceName = strings.Put(wanted[i]->Name.c_str());
        services[i].lpDisplayName = strings.Put(wanted[i]->DisplayName.c_str());
        services[i].ServiceStatus = wanted[i]->Status;
    }
    *servicesReturned = static_cast<DWORD>(wanted.size());
    return TRUE;
}

bool TWineServiceControlManager::ListServices(SC_HANDLE connection, std::vector<TListedService>& listed)
{
    UniqueScHandleOf manager(Inner(), Inner().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager)
        return false;
    std::shared_ptr<const TKeysIndex> index = IndexOf(connection);
    const bool fresh = index->empty();
    std::shared_ptr<TKeysIndex> grown;  // the index with the services it lacked
    std::vector<BYTE> buffer;
    try {
        ForEachListedService(Inner(), manager.get(), SERVICE_TYPE_ALL, buffer, [&](const ENUM_SERVICE_STATUSW& entry) {
            if (!entry.lpServiceName)
                return true;
            const std::wstring name = entry.lpServiceName;
            std::wstring key = AsciiLower(name);
            const TKeysIndex& keys = grown ? *grown : *index;
            auto known = keys.find(key);
            if (known == keys.end()) {
                if (!grown)
                    grown = std::make_shared<TKeysIndex>(*index);
                known = grown->emplace(std::move(key), ReadStoredDependencies(name, true)).first;
            }
            listed.push_back({name, entry.lpDisplayName ? entry.lpDisplayName : L"", entry.ServiceStatus, known->second});
            return true;
        });
    } catch (const EOSError& e) {
        SetLastError(e.ErrorCode());
        return false;
    }
    if (grown)
        KeepIndex(connection, std::move(grown), fresh);
    return true;
}

}  // namespace

bool RunsUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

IServiceControlManager& WineServiceControlManager()
{
    // Never destroyed: monitors still running at the process's exit go on using it.
    static TWineServiceControlManager* adapter = new TWineServiceControlManager(SystemServiceControlManager());
    return *adapter;
}
