#include "services/scm_api.h"

#include <atomic>

namespace {

using QueryServiceConfig2WFunc = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPBYTE, DWORD, LPDWORD);
using ChangeServiceConfig2WFunc = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPVOID);

// An entry of a module as void (*)(), the function type that casts to any other without a warning.
using TProc = void (*)();
TProc ProcAddress(HMODULE module, const char* name) { return reinterpret_cast<TProc>(GetProcAddress(module, name)); }

// advapi32's manager: every call forwards to the system.
class TSystemServiceControlManager final : public IServiceControlManager {
public:
    SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD desiredAccess) override
    {
        return ::OpenSCManagerW(machineName, databaseName, desiredAccess);
    }
    SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess) override
    {
        return ::OpenServiceW(manager, serviceName, desiredAccess);
    }
    BOOL CloseServiceHandle(SC_HANDLE handle) override { return ::CloseServiceHandle(handle); }

    BOOL EnumServicesStatusW(SC_HANDLE manager, DWORD serviceType, DWORD serviceState, LPENUM_SERVICE_STATUSW services,
                             DWORD bufSize, LPDWORD bytesNeeded, LPDWORD servicesReturned,
                             LPDWORD resumeHandle) override
    {
        return ::EnumServicesStatusW(manager, serviceType, serviceState, services, bufSize, bytesNeeded,
                                     servicesReturned, resumeHandle);
    }
    BOOL EnumDependentServicesW(SC_HANDLE service, DWORD serviceState, LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                                LPDWORD bytesNeeded, LPDWORD servicesReturned) override
    {
        return ::EnumDependentServicesW(service, serviceState, services, bufSize, bytesNeeded, servicesReturned);
    }

    BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) override
    {
        return ::QueryServiceStatus(service, status);
    }
    BOOL QueryServiceConfigW(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config, DWORD bufSize,
                             LPDWORD bytesNeeded) override
    {
        return ::QueryServiceConfigW(service, config, bufSize, bytesNeeded);
    }
    bool HasQueryServiceConfig2W() override { return QueryConfig2W() != nullptr; }
    BOOL QueryServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPBYTE buffer, DWORD bufSize,
                              LPDWORD bytesNeeded) override
    {
        QueryServiceConfig2WFunc f = QueryConfig2W();
        if (!f) {
            SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
            return FALSE;
        }
        return f(service, infoLevel, buffer, bufSize, bytesNeeded);
    }

    BOOL StartServiceW(SC_HANDLE service, DWORD numArgs, LPCWSTR* args) override
    {
        return ::StartServiceW(service, numArgs, args);
    }
    BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) override
    {
        return ::ControlService(service, control, status);
    }
    BOOL DeleteService(SC_HANDLE service) override { return ::DeleteService(service); }

    BOOL ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                              LPCWSTR binaryPathName, LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies,
                              LPCWSTR serviceStartName, LPCWSTR password, LPCWSTR displayName) override
    {
        return ::ChangeServiceConfigW(service, serviceType, startType, errorControl, binaryPathName, loadOrderGroup,
                                      tagId, dependencies, serviceStartName, password, displayName);
    }
    BOOL ChangeServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPVOID info) override
    {
        // Looked up afresh each time: an advapi32 without the entry makes a failed call.
        HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
        if (!advapi)
            return FALSE;
        auto f = reinterpret_cast<ChangeServiceConfig2WFunc>(ProcAddress(advapi, "ChangeServiceConfig2W"));
        if (!f)
            return FALSE;
        return f(service, infoLevel, info);
    }

    SC_HANDLE CreateServiceW(SC_HANDLE manager, LPCWSTR serviceName, LPCWSTR displayName, DWORD desiredAccess,
                             DWORD serviceType, DWORD startType, DWORD errorControl, LPCWSTR binaryPathName,
                             LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies, LPCWSTR serviceStartName,
                             LPCWSTR password) override
    {
        return ::CreateServiceW(manager, serviceName, displayName, desiredAccess, serviceType, startType, errorControl,
                                binaryPathName, loadOrderGroup, tagId, dependencies, serviceStartName, password);
    }

    SC_LOCK LockServiceDatabase(SC_HANDLE manager) override { return ::LockServiceDatabase(manager); }
    BOOL UnlockServiceDatabase(SC_LOCK lock) override { return ::UnlockServiceDatabase(lock); }
    BOOL QueryServiceLockStatusW(SC_HANDLE manager, LPQUERY_SERVICE_LOCK_STATUSW lockStatus, DWORD bufSize,
                                 LPDWORD bytesNeeded) override
    {
        return ::QueryServiceLockStatusW(manager, lockStatus, bufSize, bytesNeeded);
    }

    DWORD TickCount() override { return GetTickCount(); }
    void Delay(DWORD milliseconds) override { Sleep(milliseconds); }

private:
    // Looked up once in the loaded advapi32 (it exists from Windows 2000 on).
    static QueryServiceConfig2WFunc QueryConfig2W()
    {
        static const QueryServiceConfig2WFunc entry = [] {
            HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
            return advapi ? reinterpret_cast<QueryServiceConfig2WFunc>(ProcAddress(advapi, "QueryServiceConfig2W"))
                          : nullptr;
        }();
        return entry;
    }
};

}  // namespace

IServiceControlManager& SystemServiceControlManager()
{
    // Never destroyed: monitors still running at the process's exit go on using it.
    static TSystemServiceControlManager* system = new TSystemServiceControlManager;
    return *system;
}
