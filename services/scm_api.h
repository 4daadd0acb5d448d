// The one way to the Service Control Manager. Every SCM call of the program goes through an
// IServiceControlManager, which has advapi32's own signatures: SC_HANDLE values, buffers the
// caller supplies, BOOL (or null handle) results with the reason in GetLastError().
//
// Usage:
//   IServiceControlManager& scm = SystemServiceControlManager();  // advapi32's
//   UniqueScHandleOf manager(scm, scm.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
//   SC_HANDLE service = scm.OpenServiceW(manager.get(), L"Name", SERVICE_QUERY_STATUS);
//   ...; scm.CloseServiceHandle(service);
//
// The catalogue (TSCManager), the operations on its records and TServiceMonitor take the
// interface they are given, so that tests hand them the simulated manager instead of advapi32's;
// the program's entry passes advapi32's down to the main window.
#pragma once

#include <windows.h>
#include <winsvc.h>

#include <utility>

class IServiceControlManager {
public:
    virtual ~IServiceControlManager() = default;

    virtual SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD desiredAccess) = 0;
    virtual SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess) = 0;
    virtual BOOL CloseServiceHandle(SC_HANDLE handle) = 0;

    virtual BOOL EnumServicesStatusW(SC_HANDLE manager, DWORD serviceType, DWORD serviceState,
                                     LPENUM_SERVICE_STATUSW services, DWORD bufSize, LPDWORD bytesNeeded,
                                     LPDWORD servicesReturned, LPDWORD resumeHandle) = 0;
    virtual BOOL EnumDependentServicesW(SC_HANDLE service, DWORD serviceState, LPENUM_SERVICE_STATUSW services,
                                        DWORD bufSize, LPDWORD bytesNeeded, LPDWORD servicesReturned) = 0;

    virtual BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) = 0;
    virtual BOOL QueryServiceConfigW(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config, DWORD bufSize,
                                     LPDWORD bytesNeeded) = 0;
    // True when QueryServiceConfig2W exists on this system; where it does not, the catalogue
    // leaves descriptions alone.
    virtual bool HasQueryServiceConfig2W() = 0;
    virtual BOOL QueryServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPBYTE buffer, DWORD bufSize,
                                      LPDWORD bytesNeeded) = 0;

    virtual BOOL StartServiceW(SC_HANDLE service, DWORD numArgs, LPCWSTR* args) = 0;
    virtual BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) = 0;
    virtual BOOL DeleteService(SC_HANDLE service) = 0;

    virtual BOOL ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                                      LPCWSTR binaryPathName, LPCWSTR loadOrderGroup, LPDWORD tagId,
                                      LPCWSTR dependencies, LPCWSTR serviceStartName, LPCWSTR password,
                                      LPCWSTR displayName) = 0;
    // Looked up in advapi32 at each call by the program's instance: a missing entry is a failed
    // call whose last error is the lookup's.
    virtual BOOL ChangeServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPVOID info) = 0;

    virtual SC_HANDLE CreateServiceW(SC_HANDLE manager, LPCWSTR serviceName, LPCWSTR displayName, DWORD desiredAccess,
                                     DWORD serviceType, DWORD startType, DWORD errorControl, LPCWSTR binaryPathName,
                                     LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies,
                                     LPCWSTR serviceStartName, LPCWSTR password) = 0;

    virtual SC_LOCK LockServiceDatabase(SC_HANDLE manager) = 0;
    virtual BOOL UnlockServiceDatabase(SC_LOCK lock) = 0;
    virtual BOOL QueryServiceLockStatusW(SC_HANDLE manager, LPQUERY_SERVICE_LOCK_STATUSW lockStatus, DWORD bufSize,
                                         LPDWORD bytesNeeded) = 0;

    // The clock by which a wait for a service's state counts (the record's WaitFor, the
    // monitor's polls): the system's milliseconds and Sleep for a real manager; a simulated
    // one keeps time of its own, so that waiting on it takes no real seconds.
    virtual DWORD TickCount() = 0;
    virtual void Delay(DWORD milliseconds) = 0;
};

// advapi32's manager.
IServiceControlManager& SystemServiceControlManager();

// An SC_HANDLE or SC_LOCK given back through the interface it came from: closed, or the
// database unlocked, when the owner ends or is reset. Copy is disabled, move hands it over.
// Close() gives it back now and returns the call's result, for callers that check it.
template <typename H, BOOL (IServiceControlManager::*Free)(H)>
class UniqueScmObject {
public:
    UniqueScmObject() noexcept = default;
    UniqueScmObject(IServiceControlManager& scm, H handle) noexcept : FScm(&scm), FHandle(handle) {}
    ~UniqueScmObject() { reset(); }
    UniqueScmObject(const UniqueScmObject&) = delete;
    UniqueScmObject& operator=(const UniqueScmObject&) = delete;
    UniqueScmObject(UniqueScmObject&& other) noexcept : FScm(other.FScm), FHandle(other.release()) {}
    UniqueScmObject& operator=(UniqueScmObject&& other) noexcept
    {
        if (this != &other) {
            reset();
            FScm = other.FScm;
            FHandle = other.release();
        }
        return *this;
    }

    H get() const noexcept { return FHandle; }
    explicit operator bool() const noexcept { return FHandle != nullptr; }
    H release() noexcept { return std::exchange(FHandle, nullptr); }
    // A failing give-back is dropped.
    void reset() noexcept { Close(); }
    BOOL Close() noexcept
    {
        H h = release();
        return h ? (FScm->*Free)(h) : TRUE;
    }

private:
    IServiceControlManager* FScm = nullptr;
    H FHandle = nullptr;
};

using UniqueScHandleOf = UniqueScmObject<SC_HANDLE, &IServiceControlManager::CloseServiceHandle>;
using UniqueScLockOf = UniqueScmObject<SC_LOCK, &IServiceControlManager::UnlockServiceDatabase>;
