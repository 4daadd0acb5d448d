// A simulated Service Control Manager for tests: services kept in memory behind the same
// interface as advapi32's, with the real contract (packed enumeration and configuration buffers
// with their strings inside, ERROR_INSUFFICIENT_BUFFER / ERROR_MORE_DATA with the size needed,
// a working resume handle, access masks checked per handle, dependants in stop order, ANSI and
// wide descriptions, the delayed-start level) plus what a test needs to steer it: statuses set
// step by step, errors on demand for any call and service, call counters and the handles still
// open. Safe to call from several threads (monitors poll it). Its clock is simulated: waits on
// it take no real seconds, and a test schedules changes on it.
//
// Usage:
//   TSimServiceControlManager sim;
//   sim.AddService({.Name = L"Db", .DisplayName = L"Database", .Dependencies = {L"Net", L"+Grp"}});
//   sim.SetStatus(L"Db", SERVICE_START_PENDING, /*checkPoint*/ 1, /*waitHint*/ 3000);
//   sim.Fail(TSimCall::OpenService, ERROR_ACCESS_DENIED, L"Db");      // every OpenServiceW of Db
//   sim.Fail(TSimCall::EnumServicesStatus, 5, L"", /*skip*/ 2);       // the third page fails
//   TSCManager manager(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", sim);
//   EXPECT_EQ(sim.OpenHandleCount(), 1);                              // the catalogue's own
//   sim.After(1500, [&] { sim.SetStatus(L"Db", SERVICE_RUNNING); });  // 1.5 s on its clock
//   manager.GetService(0)->WaitFor(ssRunning, INFINITE);                // passes them at once
#pragma once

#include "services/scm_api.h"
#include "tests/sim_scm/sim_accounts.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// Every call of the interface, for faults and counters.
enum class TSimCall {
    OpenSCManager,
    OpenService,
    CloseServiceHandle,
    EnumServicesStatus,
    EnumDependentServices,
    QueryServiceStatus,
    QueryServiceConfig,
    QueryServiceConfig2W,
    StartService,
    ControlService,
    DeleteService,
    ChangeServiceConfig,
    ChangeServiceConfig2,
    CreateService,
    LockServiceDatabase,
    UnlockServiceDatabase,
    QueryServiceLockStatus,
};

struct TSimService {
    std::wstring Name;
    std::wstring DisplayName;
    std::optional<std::wstring> Description;  // none: the SCM gives a null description
    std::wstring BinaryPath = L"C:\\Program Files\\Sim\\service.exe";
    DWORD ServiceType = SERVICE_WIN32_OWN_PROCESS;
    DWORD StartType = SERVICE_DEMAND_START;
    DWORD ErrorControl = SERVICE_ERROR_NORMAL;
    std::wstring LoadOrderGroup;
    std::vector<std::wstring> Dependencies;  // in configured order; "+Name" is a group
    std::wstring StartName = L"LocalSystem";
    std::wstring Password;  // as the last change or creation gave it
    bool DelayedAutoStart = false;

    DWORD State = SERVICE_STOPPED;
    DWORD CheckPoint = 0;
    DWORD WaitHint = 0;
    DWORD ControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
    DWORD Win32ExitCode = 0;
    DWORD ServiceSpecificExitCode = 0;  // read when Win32ExitCode is ERROR_SERVICE_SPECIFIC_ERROR

    // Where a request leaves the service (a pending state lets the test move it on). A start
    // that leaves it stopped keeps the exit codes above, as a run that ended at once.
    DWORD StateAfterStart = SERVICE_RUNNING;
    DWORD StateAfterStop = SERVICE_STOPPED;
    DWORD StateAfterPause = SERVICE_PAUSED;
    DWORD StateAfterContinue = SERVICE_RUNNING;
    // Nonzero: StartServiceW fails with it and the service stays stopped (1053: its process did
    // not report in time; 2: its executable is missing).
    DWORD StartFailure = 0;

    // The rights the service's permissions grant; an open asking for more is refused with
    // ERROR_ACCESS_DENIED, as a service's security descriptor makes Windows do.
    DWORD GrantedAccess = SERVICE_ALL_ACCESS;

    // Entries EnumDependentServicesW adds after the real dependants (group entries, strays).
    std::vector<std::wstring> ExtraDependents;

    // Filled in by the simulator.
    std::vector<std::wstring> LastStartArgs;
    bool MarkedForDelete = false;
};

// A stopped service of its own process that needs the dependencies; its display name is the
// name followed by " display".
TSimService SimService(const std::wstring& name, std::vector<std::wstring> dependencies = {});
// A service as a list shows it: its display name and state given.
TSimService ListedSimService(const std::wstring& name, const std::wstring& display, DWORD state = SERVICE_STOPPED,
                             std::vector<std::wstring> dependencies = {});

// One ChangeServiceConfigW as it arrived; a null pointer argument is an empty optional.
struct TSimChangeConfig {
    std::wstring Service;
    DWORD ServiceType, StartType, ErrorControl;
    std::optional<std::wstring> BinaryPath, LoadOrderGroup, Dependencies, StartName, Password, DisplayName;
    bool TagGiven;
};

class TSimServiceControlManager final : public IServiceControlManager {
public:
    TSimServiceControlManager();
    ~TSimServiceControlManager() override;

    // ---- Steering -------------------------------------------------------------------------
    void AddService(const TSimService& service);
    void RemoveService(const std::wstring& name);
    bool Exists(const std::wstring& name) const;
    TSimService Service(const std::wstring& name) const;  // a copy
    template <typename F>
    void Update(const std::wstring& name, F&& change)
    {
        std::lock_guard lock(FMutex);
        change(Find(name));
    }
    void SetStatus(const std::wstring& name, DWORD state, DWORD checkPoint = 0, DWORD waitHint = 0);

    // The call fails with `error` for the service named (empty: any), after `skip` calls that
    // match went through, `times` times (-1: for good).
    void Fail(TSimCall call, DWORD error, const std::wstring& service = L"", int skip = 0, int times = -1);
    void ClearFaults();

    // Calls made, for one service or (empty) all.
    int CallCount(TSimCall call, const std::wstring& service = L"") const;
    int OpenHandleCount() const;
    std::vector<TSimChangeConfig> ChangeConfigCalls() const;

    // The most bytes one EnumServicesStatusW returns, whatever the buffer (0: no limit).
    void SetEnumPageLimit(DWORD bytes) { FEnumPageLimit = bytes; }
    // On, EnumServicesStatusW pages as Wine's does: every call starts at the first service
    // whatever the resume handle says, leaves the handle at 0, and asks for the whole list's room.
    void SetEnumIgnoresResume(bool ignores) { FEnumIgnoresResume = ignores; }
    void SetQueryServiceConfig2WAvailable(bool available) { FHasConfig2W = available; }
    // Off, the delayed-start level fails with ERROR_INVALID_LEVEL as on Wine.
    void SetDelayedStartSupported(bool supported) { FDelayedStartSupported = supported; }
    void SetLockOwner(const std::wstring& owner) { FLockOwner = owner; }
    // The rights the manager grants this caller; an OpenSCManagerW asking for more is refused.
    void SetManagerGrantedAccess(DWORD access) { FManagerGrantedAccess = access; }
    // An account that ChangeServiceConfigW and CreateServiceW accept besides the built-in and
    // virtual ones (Accounts().Add with no password and no log-on right); ".\name" is the same
    // as "name". Any other account is refused with ERROR_INVALID_SERVICE_ACCOUNT.
    void AddAccount(const std::wstring& name);
    // The computer's accounts with their passwords and log-on rights, which a start checks
    // (tests/sim_scm/sim_accounts.h).
    TSimAccounts& Accounts() { return FAccountBook; }
    // Runs at the start of every call, before faults apply, with the manager locked (a slow
    // manager, a look at the caller's state at that moment). Set it while no call runs.
    std::function<void(TSimCall call, const std::wstring& serviceKey)> OnCall;
    // Runs at the start of every StartServiceW before the manager is locked: a start request
    // that blocks (a service whose process never reports) while other calls go on.
    std::function<void()> BeforeStart;

    // ---- Time -----------------------------------------------------------------------------
    // The clock starts at 0 and moves on only when a wait passes time on it (Delay), which
    // takes no more than a real moment, to let other threads run. A change scheduled with
    // After runs, in time order, on the thread whose wait passes its moment.
    void After(DWORD milliseconds, std::function<void()> change);
    DWORD TickCount() override;
    void Delay(DWORD milliseconds) override;

    // ---- The interface --------------------------------------------------------------------
    SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD desiredAccess) override;
    SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess) override;
    BOOL CloseServiceHandle(SC_HANDLE handle) override;
    BOOL EnumServicesStatusW(SC_HANDLE manager, DWORD serviceType, DWORD serviceState, LPENUM_SERVICE_STATUSW services,
                             DWORD bufSize, LPDWORD bytesNeeded, LPDWORD servicesReturned,
                             LPDWORD resumeHandle) override;
    BOOL EnumDependentServicesW(SC_HANDLE service, DWORD serviceState, LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                                LPDWORD bytesNeeded, LPDWORD servicesReturned) override;
    BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) override;
    BOOL QueryServiceConfigW(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config, DWORD bufSize,
                             LPDWORD bytesNeeded) override;
    bool HasQueryServiceConfig2W() override { return FHasConfig2W; }
    BOOL QueryServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPBYTE buffer, DWORD bufSize,
                              LPDWORD bytesNeeded) override;
    BOOL StartServiceW(SC_HANDLE service, DWORD numArgs, LPCWSTR* args) override;
    BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) override;
    BOOL DeleteService(SC_HANDLE service) override;
    BOOL ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                              LPCWSTR binaryPathName, LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies,
                              LPCWSTR serviceStartName, LPCWSTR password, LPCWSTR displayName) override;
    BOOL ChangeServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPVOID info) override;
    SC_HANDLE CreateServiceW(SC_HANDLE manager, LPCWSTR serviceName, LPCWSTR displayName, DWORD desiredAccess,
                             DWORD serviceType, DWORD startType, DWORD errorControl, LPCWSTR binaryPathName,
                             LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies, LPCWSTR serviceStartName,
                             LPCWSTR password) override;
    SC_LOCK LockServiceDatabase(SC_HANDLE manager) override;
    BOOL UnlockServiceDatabase(SC_LOCK lock) override;
    BOOL QueryServiceLockStatusW(SC_HANDLE manager, LPQUERY_SERVICE_LOCK_STATUSW lockStatus, DWORD bufSize,
                                 LPDWORD bytesNeeded) override;

private:
    struct HandleEntry {
        bool IsManager;
        DWORD Access;
        std::wstring Key;  // the service's key, for service handles
    };
    struct Fault {
        TSimCall Call;
        std::wstring Key;
        DWORD Error;
        int Skip;
        int Times;
    };

    static std::wstring KeyOf(const std::wstring& name);
    static std::wstring AccountKey(std::wstring name);
    TSimService& Find(const std::wstring& name);
    TSimService* FindByKey(const std::wstring& key);
    void RebuildIndex();
    // Counts the call; false (with the last error set) when a fault hits it.
    bool Enter(TSimCall call, const std::wstring& key);
    SC_HANDLE NewHandle(bool isManager, DWORD access, const std::wstring& key);
    // The entry of a handle of the given kind holding `access`; null with the last error set.
    HandleEntry* Check(SC_HANDLE handle, bool manager, DWORD access);
    TSimService* ServiceOf(SC_HANDLE handle, TSimCall call, DWORD access);
    void RemoveIfUnused(const std::wstring& key);
    std::vector<const TSimService*> DependantsOf(const TSimService& service);

    // Windows' own refusals (sim_rules.cpp). Each gives the error, or zero when Windows goes on.
    // A control in the service's present state: 1062 stopped, 1061 while stopping and, but for
    // STOP, while starting; 1052 a control the service does not accept.
    static DWORD ControlRefusal(const TSimService& service, DWORD control);
    // A dependency list that would make the service need itself, through services or groups
    // (1059); the service's own group as it would be after the change.
    DWORD CircleRefusal(const std::wstring& key, const std::vector<std::wstring>& dependencies,
                        const std::wstring& group);
    // A display name that another service has as its name or display name (1078).
    DWORD DisplayNameRefusal(const std::wstring& key, const std::wstring& displayName);
    // Starts what the service needs that is stopped, as Windows' manager does before the service
    // itself: 1075 a dependency missing or marked for deletion, 1068 one that fails to start or
    // a group none of whose members runs.
    DWORD StartDependencies(TSimService& service, std::vector<std::wstring>& starting);
    // Moves a stopped service into its state after a start, or fails as its start would.
    DWORD StartOne(TSimService& service, std::vector<std::wstring>& starting);
    // The services of a load-order group.
    std::vector<TSimService*> GroupMembers(const std::wstring& group);
    // What Windows refuses of a configuration: an unknown account (1057), the interactive flag
    // with an account other than LocalSystem (87). Zero when it is accepted.
    DWORD AccountRefusal(DWORD serviceType, const std::wstring& startName, bool nameGiven) const;
    // Generic rights mapped to the specific ones of a service or of the manager.
    static DWORD MappedServiceAccess(DWORD access, DWORD granted);
    static DWORD MappedManagerAccess(DWORD access, DWORD granted);

    mutable std::recursive_mutex FMutex;
    std::vector<TSimService> FServices;  // enumeration order
    std::unordered_map<std::wstring, size_t> FIndex;
    std::map<uintptr_t, HandleEntry> FHandles;
    uintptr_t FNextHandle = 0x10000;
    std::vector<Fault> FFaults;
    std::map<std::pair<TSimCall, std::wstring>, int> FCalls;
    std::vector<TSimChangeConfig> FChangeConfigCalls;
    DWORD FEnumPageLimit = 0;
    bool FEnumIgnoresResume = false;
    bool FHasConfig2W = true;
    bool FDelayedStartSupported = true;
    bool FLocked = false;
    DWORD FLockTick = 0;
    std::wstring FLockOwner = L"SimAdmin";
    DWORD FManagerGrantedAccess = SC_MANAGER_ALL_ACCESS;
    TSimAccounts FAccountBook;

    std::mutex FClockMutex;  // apart from FMutex: scheduled changes steer the services
    DWORD FNow = 0;
    std::multimap<DWORD, std::function<void()>> FScheduled;
};
