// Several computers, each with a simulated Service Control Manager of its own, behind one
// interface: OpenSCManagerW picks the computer by its machine name (none, or one of this
// computer's names, is this computer), and every handle goes back to the manager it came from.
// A computer can be made unreachable, refusing, slow or lost (reachable at first, then every
// call on it fails as a dropped connection does). A name that no test declared (through
// Computer, SetMode or SetDelay) is unknown: OpenSCManagerW fails with 1722, as on Windows.
// Remote handles are RPC context handles: those open when the computer is lost stay dead for
// good, also once it answers again (ERROR_INVALID_HANDLE then, or the error a test chooses);
// only handles opened anew reach it. Its calls can also hang until the test releases them
// (a host that stops answering in the middle of a call).
//
// Usage:
//   TSimComputers net;
//   net.Computer(L"erp-app1").AddService({.Name = L"SQLANYs_db", .DisplayName = L"Remote db"});
//   net.SetMode(L"offline", TSimComputerMode::Unreachable);   // OpenSCManagerW fails with 1722
//   net.SetDelay(L"erp-app1", 300);                           // each call on it takes 300 ms
//   net.Hang(L"erp-app1");                                    // its calls wait from now on...
//   WaitUntil([&] { return net.HungCalls(L"erp-app1") > 0; });
//   net.Release(L"erp-app1");                                 // ...until released
//   TSCManager manager(L"erp-app1", SC_MANAGER_ALL_ACCESS, L"ServicesActive", net);
#pragma once

#include "tests/sim_scm/sim_scm.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

enum class TSimComputerMode {
    Reachable,
    Unreachable,  // no such computer, or it does not answer: RPC_S_SERVER_UNAVAILABLE (1722)
    Refusing,     // it answers and refuses the connection: ERROR_ACCESS_DENIED (5)
    Lost,         // every call, also on handles already open, fails with RPC_S_SERVER_UNAVAILABLE; the
                  // handles open then stay dead when it is reachable again
};

class TSimComputers final : public IServiceControlManager {
public:
    TSimComputers();
    ~TSimComputers() override;

    // The computer's manager, made on first use; names compare without regard to case, and
    // this computer's own names all give Local().
    TSimServiceControlManager& Computer(const std::wstring& name);
    TSimServiceControlManager& Local() { return Computer(L""); }
    void SetMode(const std::wstring& name, TSimComputerMode mode);
    // The time every call of the computer takes (real time: the network's, not the clock's).
    void SetDelay(const std::wstring& name, DWORD milliseconds);
    // From Hang on, every call of the computer (closing a handle, and its registry's through
    // EnterRegistry, included) waits until Release; then it goes on as the computer's mode says.
    void Hang(const std::wstring& name);
    void Release(const std::wstring& name);
    // The calls of the computer that wait in a hang now.
    int HungCalls(const std::wstring& name);
    // A call of the computer's registry, for a seam that stands in for RegConnectRegistryW and
    // the calls on its keys: takes the computer's time and hangs as its other calls do; the
    // error a connection to it gets now (0: it answers).
    LONG EnterRegistry(const std::wstring& name);
    // What a dead handle of the computer answers once the computer is reachable again (6, 1722,
    // 1726 or 1727 on Windows; ERROR_INVALID_HANDLE unless a test chooses another).
    void SetDeadHandleError(const std::wstring& name, DWORD error);
    // Handles open on any computer.
    int OpenHandleCount() const;

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
    bool HasQueryServiceConfig2W() override { return true; }
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
    // One clock for every computer: this computer's simulated one.
    DWORD TickCount() override { return Local().TickCount(); }
    void Delay(DWORD milliseconds) override { Local().Delay(milliseconds); }

private:
    struct TComputer {
        std::unique_ptr<TSimServiceControlManager> Sim;
        TSimComputerMode Mode = TSimComputerMode::Reachable;
        DWORD Delay = 0;
        bool Hanging = false;
        int Hung = 0;  // calls waiting in the hang
        DWORD DeadHandleError = ERROR_INVALID_HANDLE;
    };
    struct TRoute {
        TComputer* Computer;
        void* Inner;  // the computer's own handle or lock
        bool Dead = false;  // its connection was lost
    };
    TComputer& Find(const std::wstring& name);
    // A declared computer, or null.
    TComputer* Declared(const std::wstring& name);
    // The handle's computer, after its delay; null with the last error set when the handle is
    // unknown or the computer is lost.
    std::optional<TRoute> Enter(const void* handle);
    void* Wrap(TComputer& computer, void* inner);
    // One call arriving at the computer: waits while it hangs, then takes its delay (unlocked).
    // The computer's mode as the call found it once it was let through.
    TSimComputerMode Arrive(TComputer& computer, std::unique_lock<std::mutex>& lock);

    mutable std::mutex FMutex;
    std::condition_variable FReleased;
    std::map<std::wstring, TComputer> FComputers;  // by lower-case name, "" for this computer
    std::map<uintptr_t, TRoute> FRoutes;
    uintptr_t FNextHandle = 0x7000000;
};
