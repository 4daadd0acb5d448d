// The commands' worker: a thread with a connection of its own to one computer's Service Control
// Manager, which runs the calls a command makes (service_steps.h) one job after the other, so
// that a round trip to another computer, or a host that hangs, never holds the GUI thread. A
// job's end is announced through the notify function (the window posts itself a message); the
// GUI thread then runs its done handler from TakeResults, with the job's error if it raised one.
//
// The runner is never waited for: Abandon (or its end) drops the jobs queued and the done
// handlers, and lets the thread end alone once the call it makes has returned, however long a
// hung host keeps it. The thread holds only what it shares with the runner, and the interface to
// the manager, which outlives it (the program's lives until the process ends; a test waits for
// RunningCount() to fall to 0 before its simulated manager goes).
//
// Usage (the commands' way):
//   TCommandRunner runner(scm, L"erp-app1", [hwnd] { PostMessageW(hwnd, WM_APP + 1, 0, 0); });
//   runner.Run([](TRunnerConnection& c) { ... c.Manager() ... }, [](std::exception_ptr error) { ... });
//   runner.TakeResults();                     // on the message, on the GUI thread
#pragma once

#include "services/scm_api.h"

#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>

// What a job is given: the runner's connection, opened on first use and opened anew after a
// call found the computer gone, and whether the runner was abandoned meanwhile.
class TRunnerConnection {
public:
    virtual IServiceControlManager& Scm() = 0;
    // The manager's handle (connect and enumerate rights); raises when it cannot be opened.
    virtual SC_HANDLE Manager() = 0;
    virtual bool Abandoned() const = 0;

protected:
    ~TRunnerConnection() = default;
};

class TCommandRunner {
public:
    using TJob = std::function<void(TRunnerConnection& connection)>;
    using TDone = std::function<void(std::exception_ptr error)>;

    // machineName: the computer (empty: this one). notify is called on the runner's thread
    // whenever a job has ended, until the runner is abandoned.
    TCommandRunner(IServiceControlManager& scm, const std::wstring& machineName, std::function<void()> notify);
    ~TCommandRunner();
    TCommandRunner(const TCommandRunner&) = delete;
    TCommandRunner& operator=(const TCommandRunner&) = delete;

    const std::wstring& MachineName() const { return FMachineName; }
    // Queues job; done runs on the GUI thread from TakeResults once it has ended.
    void Run(TJob job, TDone done);
    // Runs the done handlers of the jobs that ended, in their order.
    void TakeResults();
    // Drops the queued jobs and the done handlers; the thread ends once its call returns.
    void Abandon();
    bool Abandoned() const { return FAbandoned; }

    // Runner threads that have not ended, abandoned ones included.
    static int RunningCount() { return FRunningCount; }

private:
    struct TShared;
    static void Serve(std::shared_ptr<TShared> shared) noexcept;

    std::wstring FMachineName;
    std::shared_ptr<TShared> FShared;
    std::map<unsigned, TDone> FDone;
    unsigned FLastTicket = 0;
    bool FAbandoned = false;
    static inline std::atomic<int> FRunningCount{0};
};
