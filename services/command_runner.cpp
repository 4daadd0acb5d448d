#include "services/command_runner.h"

#include "common/errors.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

struct TCommandRunner::TShared final : TRunnerConnection {
    TShared(IServiceControlManager& scm, std::wstring machineName, std::function<void()> notify)
        : FScm(scm), FMachineName(std::move(machineName)), Notify(std::move(notify))
    {
    }

    IServiceControlManager& Scm() override { return FScm; }
    SC_HANDLE Manager() override
    {
        if (!FManager) {
            SC_HANDLE h = FScm.OpenSCManagerW(FMachineName.empty() ? nullptr : FMachineName.c_str(), nullptr,
                                              SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
            if (!h)
                RaiseLastOSError();
            FManager = UniqueScHandleOf(FScm, h);
        }
        return FManager.get();
    }
    bool Abandoned() const override
    {
        std::lock_guard lock(Mutex);
        return Stop;
    }
    void DropConnection() { FManager.reset(); }
    bool Connected() const { return static_cast<bool>(FManager); }

    IServiceControlManager& FScm;
    std::wstring FMachineName;
    UniqueScHandleOf FManager;  // the thread's alone

    mutable std::mutex Mutex;
    std::condition_variable Wake;
    bool Stop = false;
    std::function<void()> Notify;
    std::deque<std::pair<unsigned, TJob>> Jobs;
    std::vector<std::pair<unsigned, std::exception_ptr>> Ended;
};

TCommandRunner::TCommandRunner(IServiceControlManager& scm, const std::wstring& machineName, std::function<void()> notify)
    : FMachineName(machineName), FShared(std::make_shared<TShared>(scm, machineName, std::move(notify)))
{
    ++FRunningCount;
    try {
        std::thread(&TCommandRunner::Serve, FShared).detach();
    } catch (...) {
        --FRunningCount;
        throw;
    }
}

TCommandRunner::~TCommandRunner() { Abandon(); }

void TCommandRunner::Run(TJob job, TDone done)
{
    const unsigned ticket = ++FLastTicket;
    FDone[ticket] = std::move(done);
    {
        std::lock_guard lock(FShared->Mutex);
        FShared->Jobs.emplace_back(ticket, std::move(job));
    }
    FShared->Wake.notify_all();
}

void TCommandRunner::TakeResults()
{
    std::vector<std::pair<unsigned, std::exception_ptr>> ended;
    {
        std::lock_guard lock(FShared->Mutex);
        ended.swap(FShared->Ended);
    }
    for (auto& [ticket, error] : ended) {
        // A handler may abandon the runner, or take results itself from a nested loop.
        auto it = FDone.find(ticket);
        if (it == FDone.end())
            continue;
        TDone done = std::move(it->second);
        FDone.erase(it);
        if (done)
            done(error);
    }
}

void TCommandRunner::Abandon()
{
    FAbandoned = true;
    FDone.clear();
    {
        std::lock_guard lock(FShared->Mutex);
        FShared->Stop = true;
        FShared->Notify = nullptr;
        FShared->Jobs.clear();
    }
    FShared->Wake.notify_all();
}

void TCommandRunner::Serve(std::shared_ptr<TShared> shared) noexcept
{
    for (;;) {
        std::pair<unsigned, TJob> job;
        {
            std::unique_lock lock(shared->Mutex);
            shared->Wake.wait(lock, [&] { return shared->Stop || !shared->Jobs.empty(); });
            if (shared->Stop)
                break;
            job = std::move(shared->Jobs.front());
            shared->Jobs.pop_front();
        }
        std::exception_ptr error;
        // A connection made before the job may have died meanwhile (RPC context handles of a
        // computer that went away stay dead for good): the job then runs once more on a new one.
        // Its first call failed on the dead handle, so nothing of it reached the computer.
        for (bool retry = shared->Connected(); ; retry = false) {
            error = nullptr;
            try {
                job.second(*shared);
            } catch (const EOSError& e) {
                if (IsLostConnectionError(e.ErrorCode())) {
                    shared->DropConnection();
                    if (retry && !shared->Abandoned())
                        continue;
                }
                error = std::current_exception();
            } catch (...) {
                error = std::current_exception();
            }
            break;
        }
        std::function<void()> notify;
        {
            std::lock_guard lock(shared->Mutex);
            if (shared->Stop)
                break;
            shared->Ended.emplace_back(job.first, error);
            notify = shared->Notify;
        }
        if (notify)
            notify();
    }
    // The connection closes here, on this thread (a hung host may hold the close too).
    shared->DropConnection();
    // Counted until what it held is let go.
    shared.reset();
    --FRunningCount;
}
