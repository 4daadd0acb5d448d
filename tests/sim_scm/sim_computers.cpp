#include "tests/sim_scm/sim_computers.h"

#include "common/computer_name.h"
#include "services/sc_buffer.h"

namespace {
std::wstring KeyOfComputer(const std::wstring& name)
{
    if (name.empty() || IsThisComputerName(name))
        return {};
    return AsciiLower(name.rfind(L"\\\\", 0) == 0 ? name.substr(2) : name);
}

template <typename T>
T Failed(DWORD error)
{
    SetLastError(error);
    return T{};
}
}  // namespace

TSimComputers::TSimComputers() = default;

TSimComputers::~TSimComputers()
{
    // Calls still hanging are let go, and the network waits until they have left the hang (a
    // test still ends every thread that calls it before the network goes).
    std::unique_lock lock(FMutex);
    for (auto& [name, computer] : FComputers)
        computer.Hanging = false;
    FReleased.notify_all();
    FReleased.wait(lock, [this] {
        for (const auto& [name, computer] : FComputers)
            if (computer.Hung > 0)
                return false;
        return true;
    });
}

TSimComputers::TComputer& TSimComputers::Find(const std::wstring& name)
{
    std::lock_guard lock(FMutex);
    TComputer& computer = FComputers[KeyOfComputer(name)];
    if (!computer.Sim)
        computer.Sim = std::make_unique<TSimServiceControlManager>();
    return computer;
}

TSimComputers::TComputer* TSimComputers::Declared(const std::wstring& name)
{
    const std::wstring key = KeyOfComputer(name);
    if (key.empty())
        return &Find(key);  // this computer is always there
    std::lock_guard lock(FMutex);
    auto it = FComputers.find(key);
    return it == FComputers.end() ? nullptr : &it->second;
}

TSimServiceControlManager& TSimComputers::Computer(const std::wstring& name) { return *Find(name).Sim; }

void TSimComputers::SetMode(const std::wstring& name, TSimComputerMode mode)
{
    TComputer& computer = Find(name);
    std::lock_guard lock(FMutex);
    computer.Mode = mode;
    if (mode == TSimComputerMode::Lost)
        for (auto& [handle, route] : FRoutes)
            if (route.Computer == &computer)
                route.Dead = true;
}

void TSimComputers::SetDeadHandleError(const std::wstring& name, DWORD error)
{
    TComputer& computer = Find(name);
    std::lock_guard lock(FMutex);
    computer.DeadHandleError = error;
}

void TSimComputers::SetDelay(const std::wstring& name, DWORD milliseconds)
{
    TComputer& computer = Find(name);
    std::lock_guard lock(FMutex);
    computer.Delay = milliseconds;
}

void TSimComputers::Hang(const std::wstring& name)
{
    TComputer& computer = Find(name);
    std::lock_guard lock(FMutex);
    computer.Hanging = true;
}

void TSimComputers::Release(const std::wstring& name)
{
    TComputer& computer = Find(name);
    std::lock_guard lock(FMutex);
    computer.Hanging = false;
    FReleased.notify_all();
}

int TSimComputers::HungCalls(const std::wstring& name)
{
    TComputer& computer = Find(name);
    std::lock_guard lock(FMutex);
    return computer.Hung;
}

TSimComputerMode TSimComputers::Arrive(TComputer& computer, std::unique_lock<std::mutex>& lock)
{
    if (computer.Hanging) {
        ++computer.Hung;
        FReleased.wait(lock, [&computer] { return !computer.Hanging; });
        --computer.Hung;
        FReleased.notify_all();
    }
    const TSimComputerMode mode = computer.Mode;
    if (const DWORD delay = computer.Delay) {
        lock.unlock();
        Sleep(delay);
        lock.lock();
    }
    return mode;
}

LONG TSimComputers::EnterRegistry(const std::wstring& name)
{
    TComputer& computer = Find(name);
    std::unique_lock lock(FMutex);
    switch (Arrive(computer, lock)) {
    case TSimComputerMode::Reachable:
        return ERROR_SUCCESS;
    case TSimComputerMode::Refusing:
        return ERROR_ACCESS_DENIED;
    default:
        return RPC_S_SERVER_UNAVAILABLE;
    }
}

int TSimComputers::OpenHandleCount() const
{
    std::lock_guard lock(FMutex);
    int count = 0;
    for (const auto& [name, computer] : FComputers)
        count += computer.Sim->OpenHandleCount();
    return count;
}

void* TSimComputers::Wrap(TComputer& computer, void* inner)
{
    if (!inner)
        return nullptr;
    std::lock_guard lock(FMutex);
    const uintptr_t handle = FNextHandle += 4;
    FRoutes[handle] = {&computer, inner};
    return reinterpret_cast<void*>(handle);
}

std::optional<TSimComputers::TRoute> TSimComputers::Enter(const void* handle)
{
    std::unique_lock lock(FMutex);
    auto it = FRoutes.find(reinterpret_cast<uintptr_t>(handle));
    if (it == FRoutes.end())
        return Failed<std::optional<TRoute>>(ERROR_INVALID_HANDLE);
    TComputer& computer = *it->second.Computer;
    if (Arrive(computer, lock) == TSimComputerMode::Lost)
        return Failed<std::optional<TRoute>>(RPC_S_SERVER_UNAVAILABLE);
    // Looked up again: the hang let other calls run (a close among them).
    it = FRoutes.find(reinterpret_cast<uintptr_t>(handle));
    if (it == FRoutes.end())
        return Failed<std::optional<TRoute>>(ERROR_INVALID_HANDLE);
    const TRoute route = it->second;
    if (route.Dead)
        return Failed<std::optional<TRoute>>(computer.DeadHandleError);
    return route;
}

SC_HANDLE TSimComputers::OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD desiredAccess)
{
    TComputer* declared = Declared(machineName ? machineName : L"");
    if (!declared)
        return Failed<SC_HANDLE>(RPC_S_SERVER_UNAVAILABLE);
    TComputer& computer = *declared;
    TSimComputerMode mode;
    {
        std::unique_lock lock(FMutex);
        mode = Arrive(computer, lock);
    }
    if (mode == TSimComputerMode::Unreachable || mode == TSimComputerMode::Lost)
        return Failed<SC_HANDLE>(RPC_S_SERVER_UNAVAILABLE);
    if (mode == TSimComputerMode::Refusing)
        return Failed<SC_HANDLE>(ERROR_ACCESS_DENIED);
    return static_cast<SC_HANDLE>(Wrap(computer, computer.Sim->OpenSCManagerW(nullptr, databaseName, desiredAccess)));
}

SC_HANDLE TSimComputers::OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess)
{
    const std::optional<TRoute> r = Enter(manager);
    if (!r)
        return nullptr;
    return static_cast<SC_HANDLE>(
        Wrap(*r->Computer, r->Computer->Sim->OpenServiceW(static_cast<SC_HANDLE>(r->Inner), serviceName, desiredAccess)));
}

BOOL TSimComputers::CloseServiceHandle(SC_HANDLE handle)
{
    TRoute route{};
    {
        // A handle is closed also on a lost computer: the caller's side lets it go. A hanging
        // computer holds the close as any other call.
        std::unique_lock lock(FMutex);
        auto it = FRoutes.find(reinterpret_cast<uintptr_t>(handle));
        if (it == FRoutes.end())
            return Failed<BOOL>(ERROR_INVALID_HANDLE);
        route = it->second;
        FRoutes.erase(it);
        Arrive(*route.Computer, lock);
    }
    return route.Computer->Sim->CloseServiceHandle(static_cast<SC_HANDLE>(route.Inner));
}

#define SIM_ROUTE(handle, call)                                 \
    const std::optional<TRoute> r = Enter(handle);              \
    if (!r)                                                     \
        return FALSE;                                           \
    return r->Computer->Sim->call

BOOL TSimComputers::EnumServicesStatusW(SC_HANDLE manager, DWORD serviceType, DWORD serviceState,
                                        LPENUM_SERVICE_STATUSW services, DWORD bufSize, LPDWORD bytesNeeded,
                                        LPDWORD servicesReturned, LPDWORD resumeHandle)
{
    SIM_ROUTE(manager, EnumServicesStatusW(static_cast<SC_HANDLE>(r->Inner), serviceType, serviceState, services,
                                           bufSize, bytesNeeded, servicesReturned, resumeHandle));
}

BOOL TSimComputers::EnumDependentServicesW(SC_HANDLE service, DWORD serviceState, LPENUM_SERVICE_STATUSW services,
                                           DWORD bufSize, LPDWORD bytesNeeded, LPDWORD servicesReturned)
{
    SIM_ROUTE(service, EnumDependentServicesW(static_cast<SC_HANDLE>(r->Inner), serviceState, services, bufSize,
                                              bytesNeeded, servicesReturned));
}

BOOL TSimComputers::QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status)
{
    SIM_ROUTE(service, QueryServiceStatus(static_cast<SC_HANDLE>(r->Inner), status));
}

BOOL TSimComputers::QueryServiceConfigW(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config, DWORD bufSize,
                                        LPDWORD bytesNeeded)
{
    SIM_ROUTE(service, QueryServiceConfigW(static_cast<SC_HANDLE>(r->Inner), config, bufSize, bytesNeeded));
}

BOOL TSimComputers::QueryServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPBYTE buffer, DWORD bufSize,
                                         LPDWORD bytesNeeded)
{
    SIM_ROUTE(service, QueryServiceConfig2W(static_cast<SC_HANDLE>(r->Inner), infoLevel, buffer, bufSize, bytesNeeded));
}

BOOL TSimComputers::StartServiceW(SC_HANDLE service, DWORD numArgs, LPCWSTR* args)
{
    SIM_ROUTE(service, StartServiceW(static_cast<SC_HANDLE>(r->Inner), numArgs, args));
}

BOOL TSimComputers::ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status)
{
    SIM_ROUTE(service, ControlService(static_cast<SC_HANDLE>(r->Inner), control, status));
}

BOOL TSimComputers::DeleteService(SC_HANDLE service)
{
    SIM_ROUTE(service, DeleteService(static_cast<SC_HANDLE>(r->Inner)));
}

BOOL TSimComputers::ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                                         LPCWSTR binaryPathName, LPCWSTR loadOrderGroup, LPDWORD tagId,
                                         LPCWSTR dependencies, LPCWSTR serviceStartName, LPCWSTR password,
                                         LPCWSTR displayName)
{
    SIM_ROUTE(service, ChangeServiceConfigW(static_cast<SC_HANDLE>(r->Inner), serviceType, startType, errorControl,
                                            binaryPathName, loadOrderGroup, tagId, dependencies, serviceStartName,
                                            password, displayName));
}

BOOL TSimComputers::ChangeServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPVOID info)
{
    SIM_ROUTE(service, ChangeServiceConfig2W(static_cast<SC_HANDLE>(r->Inner), infoLevel, info));
}

SC_HANDLE TSimComputers::CreateServiceW(SC_HANDLE manager, LPCWSTR serviceName, LPCWSTR displayName,
                                        DWORD desiredAccess, DWORD serviceType, DWORD startType, DWORD errorControl,
                                        LPCWSTR binaryPathName, LPCWSTR loadOrderGroup, LPDWORD tagId,
                                        LPCWSTR dependencies, LPCWSTR serviceStartName, LPCWSTR password)
{
    const std::optional<TRoute> r = Enter(manager);
    if (!r)
        return nullptr;
    return static_cast<SC_HANDLE>(Wrap(*r->Computer, r->Computer->Sim->CreateServiceW(
                                                         static_cast<SC_HANDLE>(r->Inner), serviceName, displayName,
                                                         desiredAccess, serviceType, startType, errorControl,
                                                         binaryPathName, loadOrderGroup, tagId, dependencies,
                                                         serviceStartName, password)));
}

SC_LOCK TSimComputers::LockServiceDatabase(SC_HANDLE manager)
{
    const std::optional<TRoute> r = Enter(manager);
    if (!r)
        return nullptr;
    return Wrap(*r->Computer, r->Computer->Sim->LockServiceDatabase(static_cast<SC_HANDLE>(r->Inner)));
}

BOOL TSimComputers::UnlockServiceDatabase(SC_LOCK lock)
{
    TRoute route{};
    {
        std::lock_guard guard(FMutex);
        auto it = FRoutes.find(reinterpret_cast<uintptr_t>(lock));
        if (it == FRoutes.end())
            return Failed<BOOL>(ERROR_INVALID_SERVICE_LOCK);
        route = it->second;
        FRoutes.erase(it);
    }
    return route.Computer->Sim->UnlockServiceDatabase(route.Inner);
}

BOOL TSimComputers::QueryServiceLockStatusW(SC_HANDLE manager, LPQUERY_SERVICE_LOCK_STATUSW lockStatus, DWORD bufSize,
                                            LPDWORD bytesNeeded)
{
    SIM_ROUTE(manager, QueryServiceLockStatusW(static_cast<SC_HANDLE>(r->Inner), lockStatus, bufSize, bytesNeeded));
}
