#include "services/service_monitor.h"

#include "common/errors.h"
#include "common/format.h"
#include "services/failure_text.h"

std::wstring OperationFailedText(const std::wstring& SvcName, const std::wstring& Operation)
{
    return Fmt(L"%s: %s failed.", {SvcName, Operation});
}

TServiceMonitor::TServiceMonitor(const std::wstring& SvcName, const std::wstring& Operation, TServiceState FinalState,
                                 TServiceNotification Callback, TServiceMonitorTerminate TerminateFunc,
                                 IServiceControlManager& scm, IGuiThread& gui, const std::wstring& MachineName)
    : TThread(gui), FScm(scm), FCallback(std::move(Callback)), FFinalState(FinalState), FOperation(Operation), FSvcName(SvcName),
      FMachineName(MachineName)
{
    FreeOnTerminate = true;
    if (TerminateFunc)
        OnTerminate = [f = std::move(TerminateFunc)](TThread* sender) { f(static_cast<TServiceMonitor*>(sender)); };
    Start();
}

void TServiceMonitor::DropHandlers()
{
    FCallback = nullptr;
    OnTerminate = nullptr;
}

void TServiceMonitor::Execute()
{
    FErrorMessage.clear();
    ReturnValue = 0;
    try {
        Synchronize([this] {
            if (FCallback)
                FCallback(std::wstring());
        });
        while (!Terminated()) {
            SERVICE_STATUS last{};
            TServiceState s = QueryState(FScm, FSvcName, FMachineName, &last);
            if (s == FFinalState || (s == ssUnknown && ConnectionLost(GetLastError())))
                break;
            if (!IsPendingState(s))
                throw Exception(WithExitCode(OperationFailedText(FSvcName, FOperation), last.dwWin32ExitCode,
                                             last.dwServiceSpecificExitCode));
            FScm.Delay(100);
        }
    } catch (const EOSError& error) {
        if (!ConnectionLost(error.ErrorCode())) {
            ReturnValue = 1;
            FErrorMessage = error.Message();
        }
    } catch (const std::exception&) {
        ReturnValue = 1;
        FErrorMessage = CurrentExceptionMessage();
    }
    Synchronize([this] {
        if (FCallback)
            FCallback(FErrorMessage);
    });
}

bool TServiceMonitor::ConnectionLost(DWORD error) const
{
    return !FMachineName.empty() && IsLostConnectionError(error);
}

TServiceState TServiceMonitor::QueryState(IServiceControlManager& scm, const std::wstring& SvcName,
                                          const std::wstring& MachineName, SERVICE_STATUS* last)
{
    UniqueScHandleOf manager(
        scm, scm.OpenSCManagerW(MachineName.empty() ? nullptr : MachineName.c_str(), nullptr, SC_MANAGER_CONNECT));
    if (!manager)
        return ssUnknown;
    UniqueScHandleOf service(scm, scm.OpenServiceW(manager.get(), SvcName.c_str(), SERVICE_QUERY_STATUS));
    if (!service) {
        const DWORD error = GetLastError();
        manager.reset();
        SetLastError(error);
        return ssUnknown;
    }

    SERVICE_STATUS status{};
    Win32Check(scm.QueryServiceStatus(service.get(), &status));
    TServiceState result = StateOf(status.dwCurrentState);
    while (IsPendingState(result)) {
        DWORD checkPoint = status.dwCheckPoint;
        scm.Delay(1000);
        Win32Check(scm.QueryServiceStatus(service.get(), &status));
        result = StateOf(status.dwCurrentState);
        if (status.dwCheckPoint == checkPoint)
            break;
    }
    if (last)
        *last = status;
    return result;
}
