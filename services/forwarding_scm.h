// A manager that passes every call on to another one, unchanged. An adapter derives from it and
// overrides only the calls it changes; Passing() is told of every call passed on here (a
// counting wrapper counts them), before the call.
//
// Usage:
//   class TLoggingScm final : public TForwardingScm {
//   public:
//       using TForwardingScm::TForwardingScm;
//       BOOL DeleteService(SC_HANDLE service) override { Log(); return Inner().DeleteService(service); }
//   };
#pragma once

#include "services/scm_api.h"

class TForwardingScm : public IServiceControlManager {
public:
    explicit TForwardingScm(IServiceControlManager& inner) : FInner(inner) {}

    SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD desiredAccess) override
    {
        Passing();
        return FInner.OpenSCManagerW(machineName, databaseName, desiredAccess);
    }
    SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess) override
    {
        Passing();
        return FInner.OpenServiceW(manager, serviceName, desiredAccess);
    }
    BOOL CloseServiceHandle(SC_HANDLE handle) override
    {
        Passing();
        return FInner.CloseServiceHandle(handle);
    }

    BOOL EnumServicesStatusW(SC_HANDLE manager, DWORD serviceType, DWORD serviceState, LPENUM_SERVICE_STATUSW services,
                             DWORD bufSize, LPDWORD bytesNeeded, LPDWORD servicesReturned,
                             LPDWORD resumeHandle) override
    {
        Passing();
        return FInner.EnumServicesStatusW(manager, serviceType, serviceState, services, bufSize, bytesNeeded,
                                          servicesReturned, resumeHandle);
    }
    BOOL EnumDependentServicesW(SC_HANDLE service, DWORD serviceState, LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                                LPDWORD bytesNeeded, LPDWORD servicesReturned) override
    {
        Passing();
        return FInner.EnumDependentServicesW(service, serviceState, services, bufSize, bytesNeeded, servicesReturned);
    }

    BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) override
    {
        Passing();
        return FInner.QueryServiceStatus(service, status);
    }
    BOOL QueryServiceConfigW(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config, DWORD bufSize,
                             LPDWORD bytesNeeded) override
    {
        Passing();
        return FInner.QueryServiceConfigW(service, config, bufSize, bytesNeeded);
    }
    // A question about the system, not a call to the manager.
    bool HasQueryServiceConfig2W() override { return FInner.HasQueryServiceConfig2W(); }
    BOOL QueryServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPBYTE buffer, DWORD bufSize,
                              LPDWORD bytesNeeded) override
    {
        Passing();
        return FInner.QueryServiceConfig2W(service, infoLevel, buffer, bufSize, bytesNeeded);
    }

    BOOL StartServiceW(SC_HANDLE service, DWORD numArgs, LPCWSTR* args) override
    {
        Passing();
        return FInner.StartServiceW(service, numArgs, args);
    }
    BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) override
    {
        Passing();
        return FInner.ControlService(service, control, status);
    }
    BOOL DeleteService(SC_HANDLE service) override
    {
        Passing();
        return FInner.DeleteService(service);
    }

    BOOL ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                              LPCWSTR binaryPathName, LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies,
                              LPCWSTR serviceStartName, LPCWSTR password, LPCWSTR displayName) override
    {
        Passing();
        return FInner.ChangeServiceConfigW(service, serviceType, startType, errorControl, binaryPathName,
                                           loadOrderGroup, tagId, dependencies, serviceStartName, password,
                                           displayName);
    }
    BOOL ChangeServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPVOID info) override
    {
        Passing();
        return FInner.ChangeServiceConfig2W(service, infoLevel, info);
    }

    SC_HANDLE CreateServiceW(SC_HANDLE manager, LPCWSTR serviceName, LPCWSTR displayName, DWORD desiredAccess,
                             DWORD serviceType, DWORD startType, DWORD errorControl, LPCWSTR binaryPathName,
                             LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies, LPCWSTR serviceStartName,
                             LPCWSTR password) override
    {
        Passing();
        return FInner.CreateServiceW(manager, serviceName, displayName, desiredAccess, serviceType, startType,
                                     errorControl, binaryPathName, loadOrderGroup, tagId, dependencies,
                                     serviceStartName, password);
    }

    SC_LOCK LockServiceDatabase(SC_HANDLE manager) override
    {
        Passing();
        return FInner.LockServiceDatabase(manager);
    }
    BOOL UnlockServiceDatabase(SC_LOCK lock) override
    {
        Passing();
        return FInner.UnlockServiceDatabase(lock);
    }
    BOOL QueryServiceLockStatusW(SC_HANDLE manager, LPQUERY_SERVICE_LOCK_STATUSW lockStatus, DWORD bufSize,
                                 LPDWORD bytesNeeded) override
    {
        Passing();
        return FInner.QueryServiceLockStatusW(manager, lockStatus, bufSize, bytesNeeded);
    }

    // The inner manager's clock; reading it is no call to the manager, so Passing() is not told.
    DWORD TickCount() override { return FInner.TickCount(); }
    void Delay(DWORD milliseconds) override { FInner.Delay(milliseconds); }

protected:
    IServiceControlManager& Inner() const { return FInner; }
    // Called before every call passed on here. It must not change the last error.
    virtual void Passing() {}

private:
    IServiceControlManager& FInner;
};
