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
    // True when QueryServiceConfig2A exists on this system; where it does not, the catalogue
    // leaves descriptions alone.
    virtual bool HasQueryServiceConfig2A() = 0;
    virtual BOOL QueryServiceConfig2A(SC_HANDLE service, DWORD infoLevel, LPBYTE buffer, DWORD bufSize,
                                      LPDWORD bytesNeeded) = 0;
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
};

// advapi32's manager.
IServiceControlManager& SystemServiceControlManager();

// An SC_HANDLE closed through the interface it came from.
class UniqueScHandleOf {
public:
    UniqueScHandleOf(IServiceControlManager& scm, SC_HANDLE handle) noexcept : FScm(&scm), FHandle(handle) {}
    ~UniqueScHandleOf() { reset(); }
    UniqueScHandleOf(const UniqueScHandleOf&) = delete;
    UniqueScHandleOf& operator=(const UniqueScHandleOf&) = delete;

    SC_HANDLE get() const noexcept { return FHandle; }
    explicit operator bool() const noexcept { return FHandle != nullptr; }
    SC_HANDLE release() noexcept { return std::exchange(FHandle, nullptr); }
    void reset() noexcept
    {
        if (SC_HANDLE h = release())
            FScm->CloseServiceHandle(h);
    }

private:
    IServiceControlManager* FScm;
    SC_HANDLE FHandle;
};
