// What a command does to a service, one step at a time, made on a worker thread through a
// connection of its own (TCommandRunner): read records, enumerate dependants, send a request,
// and follow a pending state until it settles. Each step works from service names and returns
// plain data for the GUI thread to apply; none touches the catalogue.
//
// A pending state is followed by its check point and wait hint: the status is asked for every
// tenth of the wait hint (no sooner than 100 ms: a local service reports in a few ms, and each
// question to another computer is a round trip; no later than 1 s: progress shows each second,
// and the stall is seen within a second of its limit), and the wait ends, stalled, when the
// check point stands still longer than max(wait hint, 1 s).
//
// Usage (on the runner's thread):
//   TStepOutcome stopped = StopAndWait(scm, manager, L"App", [&] { return abandoned; });
//   if (stopped.Stalled) ...;                     // the check point stood still too long
//   else if (stopped.Status.dwCurrentState != SERVICE_STOPPED) ...;   // it settled elsewhere
#pragma once

#include "services/record_read.h"
#include "services/scm_api.h"

#include <windows.h>
#include <winsvc.h>

#include <functional>
#include <string>
#include <vector>

// How often a pending state is asked for, and how long its check point may stand still.
DWORD PollInterval(DWORD waitHint);
DWORD StallLimit(DWORD waitHint);

// Whether the command gave up meanwhile (the program quits): a wait ends early then.
using TAbandoned = std::function<bool()>;

struct TStepOutcome {
    SERVICE_STATUS Status{};  // as last read
    bool Stalled = false;     // the check point stood still beyond the stall limit
};

// A service as the dependants' enumeration gives it.
struct TServiceEntry {
    std::wstring Name;
    std::wstring DisplayName;
    SERVICE_STATUS Status{};
};

// Follows the pending state status reports (read through service, which may query its status)
// until the service settles, the check point stalls, or abandoned() holds.
TStepOutcome FollowPending(IServiceControlManager& scm, SC_HANDLE service, SERVICE_STATUS status,
                           const TAbandoned& abandoned);

// Every service that depends on the service, directly or through others, in the order they are
// to be stopped (the manager's: each before the services it depends on). Raises on failure.
std::vector<TServiceEntry> DependantsOf(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name);

// The request alone: StartServiceW (which returns once the service's process has reported),
// or the control (SERVICE_CONTROL_STOP, _PAUSE, _CONTINUE). The status right after it. Raises
// the manager's refusal.
SERVICE_STATUS Request(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name, DWORD control,
                       bool start);

// Brings the service to Stopped and waits for it: a service already stopping is not sent STOP
// again (the manager would refuse it, 1061), one that is starting, resuming or pausing is
// first waited for, then stopped; a stopped one is left alone. Raises the manager's refusal.
TStepOutcome StopAndWait(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name,
                         const TAbandoned& abandoned);
// Brings a stopped service to Running and waits for it; one that is stopping is waited for
// first, one that is starting is only waited for, a running or paused one is left alone.
TStepOutcome StartAndWait(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name,
                          const TAbandoned& abandoned);
// Pauses a running service and waits until it is paused.
TStepOutcome PauseAndWait(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name,
                          const TAbandoned& abandoned);

// The records of the services, read afresh with their status; a failed read is in its Error.
std::vector<TServiceRecordData> ReadRecords(IServiceControlManager& scm, SC_HANDLE manager,
                                            const std::vector<std::wstring>& names);
