#include "tests/sim_scm/sim_scm.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace {

size_t WideBytes(const std::wstring& s) { return (s.size() + 1) * sizeof(wchar_t); }

size_t MultiBytes(const std::vector<std::wstring>& list)
{
    size_t n = sizeof(wchar_t);  // the closing empty entry
    for (const auto& s : list)
        n += WideBytes(s);
    return n;
}

// Writes strings one after another into a buffer, handing out their addresses.
class Packer {
public:
    explicit Packer(BYTE* at) : FAt(at) {}
    LPWSTR Put(const std::wstring& s)
    {
        auto* dest = reinterpret_cast<LPWSTR>(FAt);
        std::memcpy(FAt, s.c_str(), WideBytes(s));
        FAt += WideBytes(s);
        return dest;
    }
    LPWSTR PutList(const std::vector<std::wstring>& list)
    {
        auto* dest = reinterpret_cast<LPWSTR>(FAt);
        for (const auto& s : list)
            Put(s);
        *reinterpret_cast<wchar_t*>(FAt) = L'\0';
        FAt += sizeof(wchar_t);
        return dest;
    }

private:
    BYTE* FAt;
};

bool StateMatches(DWORD state, DWORD filter)
{
    bool active = state != SERVICE_STOPPED;
    return ((filter & SERVICE_ACTIVE) && active) || ((filter & SERVICE_INACTIVE) && !active);
}

size_t EnumEntryBytes(const std::wstring& name, const std::wstring& display)
{
    return sizeof(ENUM_SERVICE_STATUSW) + WideBytes(name) + WideBytes(display);
}

SERVICE_STATUS StatusOf(const TSimService& s)
{
    SERVICE_STATUS st{};
    st.dwServiceType = s.ServiceType;
    st.dwCurrentState = s.State;
    st.dwControlsAccepted = s.ControlsAccepted;
    st.dwWin32ExitCode = s.Win32ExitCode;
    st.dwServiceSpecificExitCode = s.ServiceSpecificExitCode;
    st.dwCheckPoint = s.CheckPoint;
    st.dwWaitHint = s.WaitHint;
    return st;
}

struct EnumEntry {
    std::wstring Name, Display;
    SERVICE_STATUS Status;
};

// Packs entries [first, first + count) with their strings after the fixed part.
void PackEntries(const std::vector<EnumEntry>& entries, size_t first, size_t count, LPENUM_SERVICE_STATUSW out)
{
    Packer strings(reinterpret_cast<BYTE*>(out + count));
    for (size_t i = 0; i < count; ++i) {
        const EnumEntry& e = entries[first + i];
        out[i].lpServiceName = strings.Put(e.Name);
        out[i].lpDisplayName = strings.Put(e.Display);
        out[i].ServiceStatus = e.Status;
    }
}

BOOL Failed(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// The strings of a list that ends with an empty one; none for a null list.
std::vector<std::wstring> MultiStrings(LPCWSTR list)
{
    std::vector<std::wstring> strings;
    for (LPCWSTR p = list; p && *p; p += wcslen(p) + 1)
        strings.emplace_back(p);
    return strings;
}

// SERVICE_DESCRIPTIONW with the text after it: the pointer is null when there is no text.
BOOL PackDescription(const std::optional<std::wstring>& text, LPBYTE buffer, DWORD bufSize, LPDWORD bytesNeeded)
{
    size_t needed = sizeof(SERVICE_DESCRIPTIONW) + (text ? WideBytes(*text) : 0);
    *bytesNeeded = static_cast<DWORD>(needed);
    if (needed > bufSize || !buffer)
        return Failed(ERROR_INSUFFICIENT_BUFFER);
    auto* info = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer);
    info->lpDescription = text ? Packer(buffer + sizeof(*info)).Put(*text) : nullptr;
    return TRUE;
}

// The levels other than the description: the delayed start flag
// where the platform knows it.
BOOL PackOtherConfig2(const TSimService& s, DWORD infoLevel, bool delayedStartSupported, LPBYTE buffer, DWORD bufSize,
                      LPDWORD bytesNeeded)
{
    if (infoLevel != SERVICE_CONFIG_DELAYED_AUTO_START_INFO || !delayedStartSupported)
        return Failed(ERROR_INVALID_LEVEL);
    *bytesNeeded = sizeof(SERVICE_DELAYED_AUTO_START_INFO);
    if (bufSize < sizeof(SERVICE_DELAYED_AUTO_START_INFO) || !buffer)
        return Failed(ERROR_INSUFFICIENT_BUFFER);
    reinterpret_cast<SERVICE_DELAYED_AUTO_START_INFO*>(buffer)->fDelayedAutostart = s.DelayedAutoStart;
    return TRUE;
}

}  // namespace

TSimService SimService(const std::wstring& name, std::vector<std::wstring> dependencies)
{
    TSimService s;
    s.Name = name;
    s.DisplayName = name + L" display";
    s.Dependencies = std::move(dependencies);
    return s;
}

TSimService ListedSimService(const std::wstring& name, const std::wstring& display, DWORD state,
                             std::vector<std::wstring> dependencies)
{
    TSimService s = SimService(name, std::move(dependencies));
    s.DisplayName = display;
    s.State = state;
    return s;
}

TSimServiceControlManager::TSimServiceControlManager() = default;
TSimServiceControlManager::~TSimServiceControlManager() = default;

// ---- Time ----------------------------------------------------------------------------------

void TSimServiceControlManager::After(DWORD milliseconds, std::function<void()> change)
{
    std::lock_guard lock(FClockMutex);
    FScheduled.emplace(FNow + milliseconds, std::move(change));
}

DWORD TSimServiceControlManager::TickCount()
{
    std::lock_guard lock(FClockMutex);
    return FNow;
}

void TSimServiceControlManager::Delay(DWORD milliseconds)
{
    std::unique_lock lock(FClockMutex);
    const DWORD until = FNow + milliseconds;
    while (!FScheduled.empty() && FScheduled.begin()->first <= until) {
        auto due = FScheduled.begin();
        FNow = std::max(FNow, due->first);
        std::function<void()> change = std::move(due->second);
        FScheduled.erase(due);
        lock.unlock();
        change();
        lock.lock();
    }
    FNow = std::max(FNow, until);
    lock.unlock();
    Sleep(1);
}

std::wstring TSimServiceControlManager::KeyOf(const std::wstring& name)
{
    std::wstring key = name;
    // The user's upper-case mapping, as CharUpperBuffW applies it, without the window system.
    if (!key.empty())
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, key.data(), static_cast<int>(key.size()), key.data(),
                     static_cast<int>(key.size()));
    return key;
}

TSimService* TSimServiceControlManager::FindByKey(const std::wstring& key)
{
    auto it = FIndex.find(key);
    return it == FIndex.end() ? nullptr : &FServices[it->second];
}

TSimService& TSimServiceControlManager::Find(const std::wstring& name)
{
    TSimService* s = FindByKey(KeyOf(name));
    if (!s)
        throw std::runtime_error("simulated service not found");
    return *s;
}

void TSimServiceControlManager::RebuildIndex()
{
    FIndex.clear();
    for (size_t i = 0; i < FServices.size(); ++i)
        FIndex[KeyOf(FServices[i].Name)] = i;
}

void TSimServiceControlManager::AddService(const TSimService& service)
{
    std::lock_guard lock(FMutex);
    FServices.push_back(service);
    FIndex[KeyOf(service.Name)] = FServices.size() - 1;
}

void TSimServiceControlManager::RemoveService(const std::wstring& name)
{
    std::lock_guard lock(FMutex);
    std::wstring key = KeyOf(name);
    FServices.erase(std::remove_if(FServices.begin(), FServices.end(),
                                   [&](const TSimService& s) { return KeyOf(s.Name) == key; }),
                    FServices.end());
    RebuildIndex();
}

bool TSimServiceControlManager::Exists(const std::wstring& name) const
{
    std::lock_guard lock(FMutex);
    return FIndex.count(KeyOf(name)) != 0;
}

TSimService TSimServiceControlManager::Service(const std::wstring& name) const
{
    std::lock_guard lock(FMutex);
    return const_cast<TSimServiceControlManager*>(this)->Find(name);
}

void TSimServiceControlManager::SetStatus(const std::wstring& name, DWORD state, DWORD checkPoint, DWORD waitHint)
{
    Update(name, [&](TSimService& s) {
        s.State = state;
        s.CheckPoint = checkPoint;
        s.WaitHint = waitHint;
    });
}

void TSimServiceControlManager::Fail(TSimCall call, DWORD error, const std::wstring& service, int skip, int times)
{
    std::lock_guard lock(FMutex);
    FFaults.push_back({call, KeyOf(service), error, skip, times});
}

void TSimServiceControlManager::ClearFaults()
{
    std::lock_guard lock(FMutex);
    FFaults.clear();
}

int TSimServiceControlManager::CallCount(TSimCall call, const std::wstring& service) const
{
    std::lock_guard lock(FMutex);
    auto it = FCalls.find({call, KeyOf(service)});
    return it == FCalls.end() ? 0 : it->second;
}

int TSimServiceControlManager::OpenHandleCount() const
{
    std::lock_guard lock(FMutex);
    return static_cast<int>(FHandles.size());
}

std::vector<TSimChangeConfig> TSimServiceControlManager::ChangeConfigCalls() const
{
    std::lock_guard lock(FMutex);
    return FChangeConfigCalls;
}

bool TSimServiceControlManager::Enter(TSimCall call, const std::wstring& key)
{
    if (OnCall)
        OnCall(call, key);
    ++FCalls[{call, std::wstring()}];
    if (!key.empty())
        ++FCalls[{call, key}];
    for (Fault& f : FFaults) {
        if (f.Call != call || (!f.Key.empty() && f.Key != key) || f.Times == 0)
            continue;
        if (f.Skip > 0) {
            --f.Skip;
            continue;
        }
        if (f.Times > 0)
            --f.Times;
        SetLastError(f.Error);
        return false;
    }
    return true;
}

SC_HANDLE TSimServiceControlManager::NewHandle(bool isManager, DWORD access, const std::wstring& key)
{
    uintptr_t value = FNextHandle;
    FNextHandle += 0x10;
    FHandles[value] = {isManager, access, key};
    return reinterpret_cast<SC_HANDLE>(value);
}

TSimServiceControlManager::HandleEntry* TSimServiceControlManager::Check(SC_HANDLE handle, bool manager, DWORD access)
{
    auto it = FHandles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == FHandles.end() || it->second.IsManager != manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((it->second.Access & access) != access) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return &it->second;
}

// The service behind a service handle: the handle checked, the call counted and faults applied.
TSimService* TSimServiceControlManager::ServiceOf(SC_HANDLE handle, TSimCall call, DWORD access)
{
    auto it = FHandles.find(reinterpret_cast<uintptr_t>(handle));
    std::wstring key = it != FHandles.end() ? it->second.Key : std::wstring();
    if (!Enter(call, key))
        return nullptr;
    if (!Check(handle, false, access))
        return nullptr;
    TSimService* s = FindByKey(key);
    if (!s)
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return s;
}

void TSimServiceControlManager::RemoveIfUnused(const std::wstring& key)
{
    TSimService* s = FindByKey(key);
    if (!s || !s->MarkedForDelete || s->State != SERVICE_STOPPED)
        return;
    for (const auto& [value, entry] : FHandles)
        if (!entry.IsManager && entry.Key == key)
            return;
    FServices.erase(FServices.begin() + static_cast<ptrdiff_t>(FIndex[key]));
    RebuildIndex();
}

// ---- Handles -------------------------------------------------------------------------------

SC_HANDLE TSimServiceControlManager::OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD desiredAccess)
{
    std::lock_guard lock(FMutex);
    if (!Enter(TSimCall::OpenSCManager, L""))
        return nullptr;
    if (machineName && *machineName) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return nullptr;
    }
    if (databaseName && _wcsicmp(databaseName, SERVICES_ACTIVE_DATABASEW) != 0) {
        SetLastError(ERROR_DATABASE_DOES_NOT_EXIST);
        return nullptr;
    }
    const DWORD access = MappedManagerAccess(desiredAccess | SC_MANAGER_CONNECT, FManagerGrantedAccess);
    if ((access & ~FManagerGrantedAccess) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return NewHandle(true, access, L"");
}

SC_HANDLE TSimServiceControlManager::OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess)
{
    std::lock_guard lock(FMutex);
    std::wstring key = serviceName ? KeyOf(serviceName) : std::wstring();
    if (!Enter(TSimCall::OpenService, key))
        return nullptr;
    if (!Check(manager, true, SC_MANAGER_CONNECT))
        return nullptr;
    if (!serviceName) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return nullptr;
    }
    const TSimService* s = FindByKey(key);
    if (!s) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    const DWORD access = MappedServiceAccess(desiredAccess, s->GrantedAccess);
    if ((access & ~s->GrantedAccess) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return NewHandle(false, access, key);
}

BOOL TSimServiceControlManager::CloseServiceHandle(SC_HANDLE handle)
{
    std::lock_guard lock(FMutex);
    auto it = FHandles.find(reinterpret_cast<uintptr_t>(handle));
    std::wstring key = it != FHandles.end() ? it->second.Key : std::wstring();
    if (!Enter(TSimCall::CloseServiceHandle, key))
        return FALSE;
    if (it == FHandles.end())
        return Failed(ERROR_INVALID_HANDLE);
    FHandles.erase(it);
    if (!key.empty())
        RemoveIfUnused(key);
    return TRUE;
}

// ---- Enumerations --------------------------------------------------------------------------

BOOL TSimServiceControlManager::EnumServicesStatusW(SC_HANDLE manager, DWORD serviceType, DWORD serviceState,
                                                    LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                                                    LPDWORD bytesNeeded, LPDWORD servicesReturned,
                                                    LPDWORD resumeHandle)
{
    std::lock_guard lock(FMutex);
    if (!Enter(TSimCall::EnumServicesStatus, L""))
        return FALSE;
    if (!Check(manager, true, SC_MANAGER_ENUMERATE_SERVICE))
        return FALSE;
    if (!bytesNeeded || !servicesReturned || (!services && bufSize))
        return Failed(ERROR_INVALID_ADDRESS);

    std::vector<EnumEntry> entries;
    for (const TSimService& s : FServices)
        if ((s.ServiceType & serviceType) && StateMatches(s.State, serviceState))
            entries.push_back({s.Name, s.DisplayName, StatusOf(s)});

    size_t first = resumeHandle && !FEnumIgnoresResume ? std::min<size_t>(*resumeHandle, entries.size()) : 0;
    size_t capacity = FEnumPageLimit ? std::min<size_t>(bufSize, FEnumPageLimit) : bufSize;
    size_t used = 0, count = 0;
    while (first + count < entries.size()) {
        size_t entryBytes = EnumEntryBytes(entries[first + count].Name, entries[first + count].Display);
        if (used + entryBytes > capacity)
            break;
        used += entryBytes;
        ++count;
    }
    if (count)
        PackEntries(entries, first, count, services);
    *servicesReturned = static_cast<DWORD>(count);

    size_t rest = 0;
    for (size_t i = FEnumIgnoresResume ? 0 : first + count; i < entries.size(); ++i)
        rest += EnumEntryBytes(entries[i].Name, entries[i].Display);
    // Windows gives an estimate, not the exact size: more than the rest takes.
    *bytesNeeded = static_cast<DWORD>(rest == 0 ? 0 : rest + rest / 4 + sizeof(ENUM_SERVICE_STATUSW));
    if (first + count == entries.size()) {
        if (resumeHandle)
            *resumeHandle = 0;
        *bytesNeeded = 0;
        return TRUE;
    }
    if (resumeHandle)
        *resumeHandle = FEnumIgnoresResume ? 0 : static_cast<DWORD>(first + count);
    return Failed(ERROR_MORE_DATA);
}

// Stop order: every service that needs this one, those deeper in the chain first.
std::vector<const TSimService*> TSimServiceControlManager::DependantsOf(const TSimService& service)
{
    std::vector<const TSimService*> result;
    std::vector<std::wstring> seen{KeyOf(service.Name)};
    std::function<void(const TSimService&)> visit = [&](const TSimService& target) {
        std::wstring name = KeyOf(target.Name);
        std::wstring group = target.LoadOrderGroup.empty() ? std::wstring() : KeyOf(L"+" + target.LoadOrderGroup);
        for (const TSimService& s : FServices) {
            std::wstring key = KeyOf(s.Name);
            if (std::find(seen.begin(), seen.end(), key) != seen.end())
                continue;
            bool needs = std::any_of(s.Dependencies.begin(), s.Dependencies.end(), [&](const std::wstring& d) {
                std::wstring dk = KeyOf(d);
                return dk == name || (!group.empty() && dk == group);
            });
            if (!needs)
                continue;
            seen.push_back(key);
            visit(s);
            result.push_back(&s);
        }
    };
    visit(service);
    return result;
}

BOOL TSimServiceControlManager::EnumDependentServicesW(SC_HANDLE service, DWORD serviceState,
                                                       LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                                                       LPDWORD bytesNeeded, LPDWORD servicesReturned)
{
    std::lock_guard lock(FMutex);
    TSimService* s = ServiceOf(service, TSimCall::EnumDependentServices, SERVICE_ENUMERATE_DEPENDENTS);
    if (!s)
        return FALSE;
    std::vector<EnumEntry> entries;
    for (const TSimService* d : DependantsOf(*s))
        if (StateMatches(d->State, serviceState))
            entries.push_back({d->Name, d->DisplayName, StatusOf(*d)});
    for (const std::wstring& extra : s->ExtraDependents)
        entries.push_back({extra, extra, SERVICE_STATUS{SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, 0, 0, 0, 0}});

    size_t total = 0;
    for (const EnumEntry& e : entries)
        total += EnumEntryBytes(e.Name, e.Display);
    *bytesNeeded = static_cast<DWORD>(total);
    *servicesReturned = 0;
    if (total > bufSize || (!services && total))
        return Failed(ERROR_MORE_DATA);
    if (!entries.empty())
        PackEntries(entries, 0, entries.size(), services);
    *servicesReturned = static_cast<DWORD>(entries.size());
    return TRUE;
}

// ---- Status and configuration --------------------------------------------------------------

BOOL TSimServiceControlManager::QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status)
{
    std::lock_guard lock(FMutex);
    TSimService* s = ServiceOf(service, TSimCall::QueryServiceStatus, SERVICE_QUERY_STATUS);
    if (!s)
        return FALSE;
    *status = StatusOf(*s);
    return TRUE;
}

BOOL TSimServiceControlManager::QueryServiceConfigW(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config,
                                                    DWORD bufSize, LPDWORD bytesNeeded)
{
    std::lock_guard lock(FMutex);
    TSimService* s = ServiceOf(service, TSimCall::QueryServiceConfig, SERVICE_QUERY_CONFIG);
    if (!s)
        return FALSE;
    size_t needed = sizeof(QUERY_SERVICE_CONFIGW) + WideBytes(s->BinaryPath) + WideBytes(s->LoadOrderGroup) +
                    MultiBytes(s->Dependencies) + WideBytes(s->StartName) + WideBytes(s->DisplayName);
    *bytesNeeded = static_cast<DWORD>(needed);
    if (needed > bufSize || !config)
        return Failed(ERROR_INSUFFICIENT_BUFFER);
    Packer strings(reinterpret_cast<BYTE*>(config + 1));
    config->dwServiceType = s->ServiceType;
    config->dwStartType = s->StartType;
    config->dwErrorControl = s->ErrorControl;
    config->lpBinaryPathName = strings.Put(s->BinaryPath);
    config->lpLoadOrderGroup = strings.Put(s->LoadOrderGroup);
    config->dwTagId = 0;
    config->lpDependencies = strings.PutList(s->Dependencies);
    config->lpServiceStartName = strings.Put(s->StartName);
    config->lpDisplayName = strings.Put(s->DisplayName);
    return TRUE;
}

BOOL TSimServiceControlManager::QueryServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPBYTE buffer, DWORD bufSize,
                                                     LPDWORD bytesNeeded)
{
    std::lock_guard lock(FMutex);
    TSimService* s = ServiceOf(service, TSimCall::QueryServiceConfig2W, SERVICE_QUERY_CONFIG);
    if (!s)
        return FALSE;
    if (infoLevel == SERVICE_CONFIG_DESCRIPTION)
        return PackDescription(s->Description, buffer, bufSize, bytesNeeded);
    return PackOtherConfig2(*s, infoLevel, FDelayedStartSupported, buffer, bufSize, bytesNeeded);
}

// ---- Requests ------------------------------------------------------------------------------

BOOL TSimServiceControlManager::StartServiceW(SC_HANDLE service, DWORD numArgs, LPCWSTR* args)
{
    if (BeforeStart)
        BeforeStart();
    std::lock_guard lock(FMutex);
    TSimService* s = ServiceOf(service, TSimCall::StartService, SERVICE_START);
    if (!s)
        return FALSE;
    if (s->MarkedForDelete)
        return Failed(ERROR_SERVICE_MARKED_FOR_DELETE);
    if (s->StartType == SERVICE_DISABLED)
        return Failed(ERROR_SERVICE_DISABLED);
    if (s->State != SERVICE_STOPPED)
        return Failed(ERROR_SERVICE_ALREADY_RUNNING);
    std::vector<std::wstring> starting;
    if (DWORD refused = StartOne(*s, starting))
        return Failed(refused);
    s->LastStartArgs.clear();
    for (DWORD i = 0; i < numArgs; ++i)
        s->LastStartArgs.emplace_back(args[i]);
    return TRUE;
}

BOOL TSimServiceControlManager::ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status)
{
    std::lock_guard lock(FMutex);
    DWORD access = control == SERVICE_CONTROL_STOP ? SERVICE_STOP
                   : control == SERVICE_CONTROL_PAUSE || control == SERVICE_CONTROL_CONTINUE ? SERVICE_PAUSE_CONTINUE
                                                                                              : SERVICE_INTERROGATE;
    TSimService* s = ServiceOf(service, TSimCall::ControlService, access);
    if (!s)
        return FALSE;
    if (DWORD refused = ControlRefusal(*s, control))
        return Failed(refused);
    switch (control) {
    case SERVICE_CONTROL_STOP: {
        for (const TSimService* d : DependantsOf(*s))
            if (d->State != SERVICE_STOPPED)
                return Failed(ERROR_DEPENDENT_SERVICES_RUNNING);
        s->State = s->StateAfterStop;
        break;
    }
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        s->State = control == SERVICE_CONTROL_PAUSE ? s->StateAfterPause : s->StateAfterContinue;
        break;
    case SERVICE_CONTROL_INTERROGATE:
        break;
    default:
        return Failed(ERROR_INVALID_SERVICE_CONTROL);
    }
    s->CheckPoint = 0;
    *status = StatusOf(*s);
    return TRUE;
}

BOOL TSimServiceControlManager::DeleteService(SC_HANDLE service)
{
    std::lock_guard lock(FMutex);
    TSimService* s = ServiceOf(service, TSimCall::DeleteService, DELETE);
    if (!s)
        return FALSE;
    if (s->MarkedForDelete)
        return Failed(ERROR_SERVICE_MARKED_FOR_DELETE);
    s->MarkedForDelete = true;
    return TRUE;
}

BOOL TSimServiceControlManager::ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType,
                                                     DWORD errorControl, LPCWSTR binaryPathName,
                                                     LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies,
                                                     LPCWSTR serviceStartName, LPCWSTR password, LPCWSTR displayName)
{
    std::lock_guard lock(FMutex);
    TSimService* s = ServiceOf(service, TSimCall::ChangeServiceConfig, SERVICE_CHANGE_CONFIG);
    if (!s)
        return FALSE;
    auto opt = [](LPCWSTR p) { return p ? std::optional<std::wstring>(p) : std::nullopt; };
    std::optional<std::wstring> deps;
    if (dependencies) {
        deps.emplace();
        for (const std::wstring& d : MultiStrings(dependencies))
            deps->append(d).push_back(L'\0');
    }
    FChangeConfigCalls.push_back({s->Name, serviceType, startType, errorControl, opt(binaryPathName),
                                  opt(loadOrderGroup), deps, opt(serviceStartName), opt(password), opt(displayName),
                                  tagId != nullptr});
    if (s->MarkedForDelete)
        return Failed(ERROR_SERVICE_MARKED_FOR_DELETE);
    if (DWORD refused = AccountRefusal(serviceType != SERVICE_NO_CHANGE ? serviceType : s->ServiceType,
                                       serviceStartName ? serviceStartName : s->StartName, serviceStartName != nullptr))
        return Failed(refused);
    const std::wstring key = KeyOf(s->Name);
    DWORD refused = displayName && *displayName ? DisplayNameRefusal(key, displayName) : 0;
    if (!refused && (dependencies || loadOrderGroup))
        refused = CircleRefusal(key, dependencies ? MultiStrings(dependencies) : s->Dependencies,
                                loadOrderGroup ? loadOrderGroup : s->LoadOrderGroup);
    if (refused)
        return Failed(refused);
    if (serviceType != SERVICE_NO_CHANGE)
        s->ServiceType = serviceType;
    if (startType != SERVICE_NO_CHANGE)
        s->StartType = startType;
    if (errorControl != SERVICE_NO_CHANGE)
        s->ErrorControl = errorControl;
    if (binaryPathName)
        s->BinaryPath = binaryPathName;
    if (loadOrderGroup)
        s->LoadOrderGroup = loadOrderGroup;
    if (dependencies)
        s->Dependencies = MultiStrings(dependencies);
    if (serviceStartName)
        s->StartName = serviceStartName;
    if (password)
        s->Password = password;
    if (displayName)
        s->DisplayName = displayName;
    return TRUE;
}

BOOL TSimServiceControlManager::ChangeServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPVOID info)
{
    std::lock_guard lock(FMutex);
    TSimService* s = ServiceOf(service, TSimCall::ChangeServiceConfig2, SERVICE_CHANGE_CONFIG);
    if (!s)
        return FALSE;
    if (!info)
        return Failed(ERROR_INVALID_PARAMETER);
    if (infoLevel == SERVICE_CONFIG_DESCRIPTION) {
        LPWSTR text = static_cast<SERVICE_DESCRIPTIONW*>(info)->lpDescription;
        if (text)
            s->Description = *text ? std::optional<std::wstring>(text) : std::nullopt;
        return TRUE;
    }
    if (infoLevel == SERVICE_CONFIG_DELAYED_AUTO_START_INFO && FDelayedStartSupported) {
        s->DelayedAutoStart = static_cast<SERVICE_DELAYED_AUTO_START_INFO*>(info)->fDelayedAutostart != FALSE;
        return TRUE;
    }
    return Failed(ERROR_INVALID_LEVEL);
}

SC_HANDLE TSimServiceControlManager::CreateServiceW(SC_HANDLE manager, LPCWSTR serviceName, LPCWSTR displayName,
                                                    DWORD desiredAccess, DWORD serviceType, DWORD startType,
                                                    DWORD errorControl, LPCWSTR binaryPathName,
                                                    LPCWSTR loadOrderGroup, LPDWORD, LPCWSTR dependencies,
                                                    LPCWSTR serviceStartName, LPCWSTR password)
{
    std::lock_guard lock(FMutex);
    std::wstring key = serviceName ? KeyOf(serviceName) : std::wstring();
    if (!Enter(TSimCall::CreateService, key))
        return nullptr;
    if (!Check(manager, true, SC_MANAGER_CREATE_SERVICE))
        return nullptr;
    if (!serviceName || !*serviceName || !binaryPathName || !*binaryPathName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (const TSimService* existing = FindByKey(key)) {
        SetLastError(existing->MarkedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS);
        return nullptr;
    }
    if (DWORD refused = AccountRefusal(serviceType, serviceStartName ? serviceStartName : L"LocalSystem",
                                       serviceStartName != nullptr)) {
        SetLastError(refused);
        return nullptr;
    }
    const std::wstring group = loadOrderGroup ? loadOrderGroup : L"";
    DWORD refused = DisplayNameRefusal(key, displayName && *displayName ? displayName : serviceName);
    if (!refused)
        refused = CircleRefusal(key, MultiStrings(dependencies), group);
    if (refused) {
        SetLastError(refused);
        return nullptr;
    }
    TSimService s;
    s.Name = serviceName;
    s.DisplayName = displayName && *displayName ? displayName : serviceName;
    s.ServiceType = serviceType;
    s.StartType = startType;
    s.ErrorControl = errorControl;
    s.BinaryPath = binaryPathName;
    s.LoadOrderGroup = group;
    s.Dependencies = MultiStrings(dependencies);
    s.StartName = serviceStartName ? serviceStartName : L"LocalSystem";
    s.Password = password ? password : L"";
    FServices.push_back(s);
    FIndex[key] = FServices.size() - 1;
    return NewHandle(false, desiredAccess, key);
}

// ---- The database lock ---------------------------------------------------------------------

SC_LOCK TSimServiceControlManager::LockServiceDatabase(SC_HANDLE manager)
{
    std::lock_guard lock(FMutex);
    if (!Enter(TSimCall::LockServiceDatabase, L""))
        return nullptr;
    if (!Check(manager, true, SC_MANAGER_LOCK))
        return nullptr;
    if (FLocked) {
        SetLastError(ERROR_SERVICE_DATABASE_LOCKED);
        return nullptr;
    }
    FLocked = true;
    FLockTick = GetTickCount();
    return reinterpret_cast<SC_LOCK>(static_cast<uintptr_t>(0x5C10C));
}

BOOL TSimServiceControlManager::UnlockServiceDatabase(SC_LOCK lockHandle)
{
    std::lock_guard lock(FMutex);
    if (!Enter(TSimCall::UnlockServiceDatabase, L""))
        return FALSE;
    if (!FLocked || reinterpret_cast<uintptr_t>(lockHandle) != 0x5C10C)
        return Failed(ERROR_INVALID_SERVICE_LOCK);
    FLocked = false;
    return TRUE;
}

BOOL TSimServiceControlManager::QueryServiceLockStatusW(SC_HANDLE manager, LPQUERY_SERVICE_LOCK_STATUSW lockStatus,
                                                        DWORD bufSize, LPDWORD bytesNeeded)
{
    std::lock_guard lock(FMutex);
    if (!Enter(TSimCall::QueryServiceLockStatus, L""))
        return FALSE;
    if (!Check(manager, true, SC_MANAGER_QUERY_LOCK_STATUS))
        return FALSE;
    std::wstring owner = FLocked ? FLockOwner : std::wstring();
    size_t needed = sizeof(QUERY_SERVICE_LOCK_STATUSW) + WideBytes(owner);
    *bytesNeeded = static_cast<DWORD>(needed);
    if (needed > bufSize || !lockStatus)
        return Failed(ERROR_INSUFFICIENT_BUFFER);
    lockStatus->fIsLocked = FLocked;
    lockStatus->lpLockOwner = Packer(reinterpret_cast<BYTE*>(lockStatus + 1)).Put(owner);
    lockStatus->dwLockDuration = FLocked ? (GetTickCount() - FLockTick) / 1000 : 0;
    return TRUE;
}

// ---- Accounts and rights -------------------------------------------------------------------

// An account name compared as Windows resolves it: any letter case, ".\name" as "name".
std::wstring TSimServiceControlManager::AccountKey(std::wstring name)
{
    if (name.rfind(L".\\", 0) == 0)
        name.erase(0, 2);
    return KeyOf(name);
}

void TSimServiceControlManager::AddAccount(const std::wstring& name) { FAccountBook.Add(name); }

DWORD TSimServiceControlManager::AccountRefusal(DWORD serviceType, const std::wstring& startName, bool nameGiven) const
{
    if ((serviceType & (SERVICE_DRIVER | SERVICE_ADAPTER)) != 0)
        return 0;  // a driver's "account" names its driver object
    const std::wstring key = AccountKey(startName);
    const bool localSystem = key == L"LOCALSYSTEM";
    if (nameGiven && !localSystem && !FAccountBook.Exists(startName))
        return ERROR_INVALID_SERVICE_ACCOUNT;
    if ((serviceType & SERVICE_INTERACTIVE_PROCESS) != 0 && !localSystem)
        return ERROR_INVALID_PARAMETER;
    return 0;
}

DWORD TSimServiceControlManager::MappedServiceAccess(DWORD access, DWORD granted)
{
    DWORD mapped = access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if (access & GENERIC_READ)
        mapped |= STANDARD_RIGHTS_READ | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
                  SERVICE_ENUMERATE_DEPENDENTS;
    if (access & GENERIC_WRITE)
        mapped |= STANDARD_RIGHTS_WRITE | SERVICE_CHANGE_CONFIG;
    if (access & GENERIC_EXECUTE)
        mapped |= STANDARD_RIGHTS_EXECUTE | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE |
                  SERVICE_USER_DEFINED_CONTROL;
    if (access & GENERIC_ALL)
        mapped |= SERVICE_ALL_ACCESS;
    if (access & MAXIMUM_ALLOWED)
        mapped |= granted;
    return mapped;
}

DWORD TSimServiceControlManager::MappedManagerAccess(DWORD access, DWORD granted)
{
    DWORD mapped = access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if (access & GENERIC_READ)
        mapped |= STANDARD_RIGHTS_READ | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
    if (access & GENERIC_WRITE)
        mapped |= STANDARD_RIGHTS_WRITE | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG;
    if (access & GENERIC_EXECUTE)
        mapped |= STANDARD_RIGHTS_EXECUTE | SC_MANAGER_CONNECT | SC_MANAGER_LOCK;
    if (access & GENERIC_ALL)
        mapped |= SC_MANAGER_ALL_ACCESS;
    if (access & MAXIMUM_ALLOWED)
        mapped |= granted;
    return mapped;
}
