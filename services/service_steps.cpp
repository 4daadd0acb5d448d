#include "services/service_steps.h"

#include "common/errors.h"
#include "services/failure_text.h"
#include "services/sc_buffer.h"

#include <algorithm>

namespace {
constexpr DWORD MinPollMs = 100;
constexpr DWORD MaxPollMs = 1000;
constexpr DWORD MinStallMs = 1000;
constexpr DWORD DependantsBufferSize = 4096;

bool IsPending(DWORD state)
{
    return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING || state == SERVICE_CONTINUE_PENDING ||
           state == SERVICE_PAUSE_PENDING;
}

UniqueScHandleOf OpenService(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name, DWORD access)
{
    UniqueScHandleOf service(scm, scm.OpenServiceW(manager, name.c_str(), access));
    if (!service)
        RaiseLastOSError();
    return service;
}

SERVICE_STATUS StatusOf(IServiceControlManager& scm, SC_HANDLE service)
{
    SERVICE_STATUS status{};
    Win32Check(scm.QueryServiceStatus(service, &status));
    return status;
}

// StartServiceW; a missing executable's failure names the path the service is configured with.
void StartService(IServiceControlManager& scm, SC_HANDLE manager, SC_HANDLE service, const std::wstring& name)
{
    if (scm.StartServiceW(service, 0, nullptr))
        return;
    const DWORD error = GetLastError();
    std::wstring path;
    if (IsMissingExecutable(error)) {
        const TServiceRecordData data = ReadServiceRecord(scm, manager, name, false, false);
        if (data.Config)
            path = data.Config->FileName;
    }
    throw EOSError(error, ExecutablePathAddition(error, path));
}

// A service that starts, resumes or pauses is waited for until it settles.
bool Settling(DWORD state)
{
    return state == SERVICE_START_PENDING || state == SERVICE_CONTINUE_PENDING || state == SERVICE_PAUSE_PENDING;
}
}  // namespace

DWORD PollInterval(DWORD waitHint) { return std::clamp<DWORD>(waitHint / 10, MinPollMs, MaxPollMs); }

DWORD StallLimit(DWORD waitHint) { return std::max(waitHint, MinStallMs); }

TStepOutcome FollowPending(IServiceControlManager& scm, SC_HANDLE service, SERVICE_STATUS status,
                           const TAbandoned& abandoned)
{
    DWORD lastState = status.dwCurrentState;
    DWORD lastCheckPoint = status.dwCheckPoint;
    DWORD still = scm.TickCount();
    while (IsPending(status.dwCurrentState) && !(abandoned && abandoned())) {
        scm.Delay(PollInterval(status.dwWaitHint));
        status = StatusOf(scm, service);
        const DWORD now = scm.TickCount();
        if (status.dwCurrentState != lastState || status.dwCheckPoint != lastCheckPoint) {
            lastState = status.dwCurrentState;
            lastCheckPoint = status.dwCheckPoint;
            still = now;
        } else if (IsPending(status.dwCurrentState) && now - still > StallLimit(status.dwWaitHint)) {
            return {status, true};
        }
    }
    return {status, false};
}

std::vector<TServiceEntry> DependantsOf(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name)
{
    UniqueScHandleOf service = OpenService(scm, manager, name, SERVICE_ENUMERATE_DEPENDENTS);
    DWORD returned = 0;
    std::vector<BYTE> buffer = QueryGrowing(DependantsBufferSize, ERROR_MORE_DATA, [&](BYTE* buf, DWORD size, DWORD* needed) {
        return scm.EnumDependentServicesW(service.get(), SERVICE_STATE_ALL, reinterpret_cast<LPENUM_SERVICE_STATUSW>(buf),
                                          size, needed, &returned);
    });
    std::vector<TServiceEntry> dependants;
    const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        const ENUM_SERVICE_STATUSW& entry = entries[i];
        // Group entries ("+name") and nameless ones are no services to stop.
        if (entry.lpServiceName && entry.lpServiceName[0] && entry.lpServiceName[0] != SC_GROUP_IDENTIFIERW)
            dependants.push_back(
                {entry.lpServiceName, entry.lpDisplayName ? entry.lpDisplayName : entry.lpServiceName, entry.ServiceStatus});
    }
    Win32Check(service.Close());
    return dependants;
}

SERVICE_STATUS Request(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name, DWORD control,
                       bool start)
{
    DWORD access = SERVICE_QUERY_STATUS;
    if (start)
        access |= SERVICE_START;
    else if (control == SERVICE_CONTROL_STOP)
        access |= SERVICE_STOP;
    else
        access |= SERVICE_PAUSE_CONTINUE;
    UniqueScHandleOf service = OpenService(scm, manager, name, access);
    SERVICE_STATUS status{};
    if (start) {
        StartService(scm, manager, service.get(), name);
        status = StatusOf(scm, service.get());
    } else {
        Win32Check(scm.ControlService(service.get(), control, &status));
    }
    Win32Check(service.Close());
    return status;
}

TStepOutcome StopAndWait(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name,
                         const TAbandoned& abandoned)
{
    UniqueScHandleOf service = OpenService(scm, manager, name, SERVICE_STOP | SERVICE_QUERY_STATUS);
    TStepOutcome outcome{StatusOf(scm, service.get()), false};
    if (Settling(outcome.Status.dwCurrentState))
        outcome = FollowPending(scm, service.get(), outcome.Status, abandoned);
    const DWORD state = outcome.Status.dwCurrentState;
    if (!outcome.Stalled && state != SERVICE_STOPPED) {
        if (state != SERVICE_STOP_PENDING)
            Win32Check(scm.ControlService(service.get(), SERVICE_CONTROL_STOP, &outcome.Status));
        outcome = FollowPending(scm, service.get(), outcome.Status, abandoned);
    }
    Win32Check(service.Close());
    return outcome;
}

TStepOutcome StartAndWait(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name,
                          const TAbandoned& abandoned)
{
    UniqueScHandleOf service = OpenService(scm, manager, name, SERVICE_START | SERVICE_QUERY_STATUS);
    TStepOutcome outcome{StatusOf(scm, service.get()), false};
    if (outcome.Status.dwCurrentState == SERVICE_STOP_PENDING)
        outcome = FollowPending(scm, service.get(), outcome.Status, abandoned);
    if (!outcome.Stalled && outcome.Status.dwCurrentState == SERVICE_STOPPED) {
        StartService(scm, manager, service.get(), name);
        outcome.Status = StatusOf(scm, service.get());
    }
    if (!outcome.Stalled)
        outcome = FollowPending(scm, service.get(), outcome.Status, abandoned);
    Win32Check(service.Close());
    return outcome;
}

TStepOutcome PauseAndWait(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name,
                          const TAbandoned& abandoned)
{
    UniqueScHandleOf service = OpenService(scm, manager, name, SERVICE_PAUSE_CONTINUE | SERVICE_QUERY_STATUS);
    TStepOutcome outcome{StatusOf(scm, service.get()), false};
    if (outcome.Status.dwCurrentState == SERVICE_RUNNING)
        Win32Check(scm.ControlService(service.get(), SERVICE_CONTROL_PAUSE, &outcome.Status));
    outcome = FollowPending(scm, service.get(), outcome.Status, abandoned);
    Win32Check(service.Close());
    return outcome;
}

std::vector<TServiceRecordData> ReadRecords(IServiceControlManager& scm, SC_HANDLE manager,
                                            const std::vector<std::wstring>& names)
{
    std::vector<TServiceRecordData> records;
    for (const std::wstring& name : names)
        records.push_back(ReadServiceRecord(scm, manager, name, scm.HasQueryServiceConfig2W(), true));
    return records;
}
