// TServiceMonitor: a thread that follows one service through a pending state until it settles,
// then tells the GUI thread and frees itself. It works from the service name alone, with SCM
// handles of its own, and never touches the catalogue.
//
// Usage (from the GUI thread):
//   auto* m = new TServiceMonitor(L"MySvc", L"Starting", ssRunning,
//       [this](const std::wstring& ErrMsg) { ... },            // twice: at the start with "",
//                                                               // at the end with "" or the error
//       [this](TServiceMonitor* Sender) { forget(Sender); },   // then this; then the object is gone
//       manager.Scm(),                                          // the catalogue's manager
//       Application());                                         // the GUI thread
// The pointer may be kept only until the terminate handler has run. Both handlers run on the GUI
// thread (through its Synchronize), which must keep processing messages meanwhile.
//
// A window that goes away while its monitors still run must cut their way back to it: either
// its handlers reach it through something the window clears when it ends (the main window's
// TMonitorSink), or it calls DropHandlers() on every monitor it still holds (on the GUI thread,
// before the terminate handler ran, so the pointer is valid); the monitor then runs to its end
// and frees itself without calling anything.
#pragma once

#include "services/scm_api.h"
#include "services/service_types.h"
#include "services/thread.h"

#include <functional>
#include <string>

using TServiceNotification = std::function<void(const std::wstring& ErrMsg)>;

// "<service>: <operation> failed.": the service settled in another state than the operation's
// end (the monitor's failure, and that of a command that waits for the state itself).
std::wstring OperationFailedText(const std::wstring& SvcName, const std::wstring& Operation);

class TServiceMonitor;
using TServiceMonitorTerminate = std::function<void(TServiceMonitor* Sender)>;

class TServiceMonitor final : public TThread {
public:
    // Starts at once and frees itself after TerminateFunc has run.
    TServiceMonitor(const std::wstring& SvcName, const std::wstring& Operation, TServiceState FinalState,
                    TServiceNotification Callback, TServiceMonitorTerminate TerminateFunc,
                    IServiceControlManager& scm, IGuiThread& gui, const std::wstring& MachineName = {});

    // The failure that ended the run, or empty; valid inside the handlers.
    const std::wstring& ErrorMessage() const { return FErrorMessage; }
    const std::wstring& SvcName() const { return FSvcName; }
    const std::wstring& Operation() const { return FOperation; }
    TServiceState FinalState() const { return FFinalState; }

    // GUI thread only: neither the callback nor the terminate handler will be called any more.
    void DropHandlers();

    // The state of a service seen with handles of its own; a pending state is followed while its
    // check point moves within a second. ssUnknown when the manager or the service cannot be
    // opened (the reason in GetLastError()).
    // MachineName: the computer whose manager is asked; empty for this one. last: where the
    // last status read goes (its exit codes), when given.
    static TServiceState QueryState(IServiceControlManager& scm, const std::wstring& SvcName,
                                    const std::wstring& MachineName = {}, SERVICE_STATUS* last = nullptr);

protected:
    void Execute() override;

private:
    ~TServiceMonitor() override = default;
    // Whether the error says that the connection to the other computer followed was lost: the
    // run then ends without a failure of its own (the list reports the loss once, and shows the
    // service's state once the computer answers again).
    bool ConnectionLost(DWORD error) const;

    IServiceControlManager& FScm;
    TServiceNotification FCallback;
    std::wstring FErrorMessage;
    TServiceState FFinalState;
    std::wstring FOperation;
    std::wstring FSvcName;
    std::wstring FMachineName;
};
