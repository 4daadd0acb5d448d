#include "services/catalogue_worker.h"

#include "common/errors.h"
#include "services/sc_buffer.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr DWORD DependentsBufferSize = 40960;
// Drivers, Win32 services and interactive ones: what the catalogue enumerates.
constexpr DWORD EnumeratedServiceTypes = 0x13F;
constexpr size_t FirstEnumBufferSize = 256 * 1024;
// How often records filled in are announced to the GUI thread at most.
constexpr DWORD FillNotifyMs = 50;

bool SameStatus(const SERVICE_STATUS& a, const SERVICE_STATUS& b)
{
    return a.dwServiceType == b.dwServiceType && a.dwCurrentState == b.dwCurrentState &&
           a.dwControlsAccepted == b.dwControlsAccepted && a.dwWin32ExitCode == b.dwWin32ExitCode;
}

}  // namespace

TCatalogueWorker::TCatalogueWorker(IServiceControlManager& scm, const std::wstring& machineName,
                                   const std::wstring& databaseName)
    : FScm(scm), FMachineName(machineName), FDatabaseName(databaseName),
      FDoneEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
    if (!FDoneEvent)
        RaiseLastOSError();
    FEnumBuffer.resize(FirstEnumBufferSize);
    FThread = std::thread(&TCatalogueWorker::Run, this);
    try {
        FFiller = std::thread(&TCatalogueWorker::RunFiller, this);
    } catch (...) {
        // Without it the worker's thread fills in alone.
    }
}

TCatalogueWorker::~TCatalogueWorker()
{
    {
        std::lock_guard lock(FMutex);
        FStop = true;
        FNotify = nullptr;
    }
    FWake.notify_all();
    if (FThread.joinable())
        FThread.join();
    if (FFiller.joinable())
        FFiller.join();
}

void TCatalogueWorker::SetNotify(std::function<void()> notify)
{
    std::lock_guard lock(FMutex);
    FNotify = std::move(notify);
}

unsigned TCatalogueWorker::NewTicket(int parts)
{
    const unsigned ticket = ++FLastTicket;
    if (parts > 0)
        FPending[ticket] = parts;
    return ticket;
}

void TCatalogueWorker::Queue(std::wstring name, unsigned ticket, bool urgent)
{
    // A read to fill in brings no state of its own: one that is asked for urgently meanwhile
    // is read again after it.
    for (TEntry& running : FInFlight)
        if (TAsciiFoldedEqual()(running.Name, name) && (running.Urgent || !urgent)) {
            running.Tickets.push_back(ticket);
            return;
        }
    if (auto queued = FQueued.find(name); queued != FQueued.end()) {
        TEntry& entry = *queued->second;
        entry.Tickets.push_back(ticket);
        if (urgent && !entry.Urgent) {
            entry.Urgent = true;
            FUrgent.splice(FUrgent.end(), FFill, queued->second);
        }
        return;
    }
    std::list<TEntry>& into = urgent ? FUrgent : FFill;
    into.push_back({std::move(name), {ticket}, urgent});
    FQueued.emplace(into.back().Name, std::prev(into.end()));
}

unsigned TCatalogueWorker::Read(std::vector<std::wstring> names, bool urgent)
{
    unsigned ticket = 0;
    {
        std::lock_guard lock(FMutex);
        ticket = NewTicket(static_cast<int>(names.size()));
        for (std::wstring& name : names)
            Queue(std::move(name), ticket, urgent);
    }
    if (names.empty())
        SetEvent(FDoneEvent.get());
    FWake.notify_all();
    return ticket;
}

unsigned TCatalogueWorker::Dependants(const std::wstring& name)
{
    unsigned ticket = 0;
    {
        std::lock_guard lock(FMutex);
        ticket = NewTicket(1);
        FDependantsJobs.push_back({ticket, name});
    }
    FWake.notify_all();
    return ticket;
}

unsigned TCatalogueWorker::Tick(std::vector<std::wstring> reread, int maxRecords, DWORD budgetMs)
{
    unsigned ticket = 0;
    {
        std::lock_guard lock(FMutex);
        ticket = NewTicket(1);
        if (FTickJob)  // a tick not started yet is taken over by this one
            Complete({FTickJob->Ticket});
        FTickJob = TTickJob{ticket, std::move(reread), maxRecords, budgetMs};
    }
    FWake.notify_all();
    return ticket;
}

void TCatalogueWorker::Prefer(const std::vector<std::wstring>& names)
{
    std::lock_guard lock(FMutex);
    // In reverse, so that the first named ends first in the queue.
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        if (auto queued = FQueued.find(*name); queued != FQueued.end() && !queued->second->Urgent)
            FFill.splice(FFill.begin(), FFill, queued->second);
}

void TCatalogueWorker::Restart()
{
    std::lock_guard lock(FMutex);
    for (TEntry& entry : FFill) {
        FQueued.erase(entry.Name);
        Complete(entry.Tickets);
    }
    FFill.clear();
    FStatusesRestarted = true;
}

bool TCatalogueWorker::Filling() const
{
    std::lock_guard lock(FMutex);
    return !FFill.empty();
}

bool TCatalogueWorker::Done(unsigned ticket) const
{
    std::lock_guard lock(FMutex);
    return ticket <= FLastTicket && !FPending.contains(ticket);
}

std::vector<TWorkerResult> TCatalogueWorker::Take()
{
    std::lock_guard lock(FMutex);
    return std::exchange(FResults, {});
}

void TCatalogueWorker::Push(TWorkerResult result, bool soon)
{
    const bool wasEmpty = FResults.empty();
    FResults.push_back(std::move(result));
    if (!wasEmpty)
        return;  // announced already, not yet taken
    // Records filled in are announced in batches: the GUI thread wakes a few times a second
    // for them, not once a record.
    if (soon || GetTickCount() - FLastNotify >= FillNotifyMs)
        Notify();
    else
        FNotifyDue = true;
}

void TCatalogueWorker::Notify()
{
    FNotifyDue = false;
    FLastNotify = GetTickCount();
    if (FNotify)
        FNotify();
}

void TCatalogueWorker::Complete(const std::vector<unsigned>& tickets)
{
    bool any = false;
    for (unsigned ticket : tickets) {
        auto pending = FPending.find(ticket);
        if (pending != FPending.end() && --pending->second <= 0) {
            FPending.erase(pending);
            any = true;
        }
    }
    if (any)
        SetEvent(FDoneEvent.get());
}

bool TCatalogueWorker::Connected(TReader& reader)
{
    if (reader.Manager)
        return true;
    SC_HANDLE h = FScm.OpenSCManagerW(FMachineName.empty() ? nullptr : FMachineName.c_str(),
                                      FDatabaseName.empty() ? nullptr : FDatabaseName.c_str(),
                                      SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
    if (!h)
        return false;
    reader.Manager = UniqueScHandleOf(FScm, h);
    reader.WithDescription = FScm.HasQueryServiceConfig2W();
    return true;
}

void TCatalogueWorker::DropIfLost(TReader& reader, const std::exception_ptr& error)
{
    if (!error || FMachineName.empty())
        return;
    try {
        std::rethrow_exception(error);
    } catch (const EOSError& os) {
        if (IsLostConnectionError(os.ErrorCode()))
            reader.Manager.reset();
    } catch (...) {
    }
}

std::list<TCatalogueWorker::TEntry>::iterator TCatalogueWorker::ReadyUrgent()
{
    return std::find_if(FUrgent.begin(), FUrgent.end(), [this](const TEntry& entry) {
        return std::none_of(FInFlight.begin(), FInFlight.end(),
                            [&](const TEntry& running) { return TAsciiFoldedEqual()(running.Name, entry.Name); });
    });
}

bool TCatalogueWorker::ReadNext(std::unique_lock<std::mutex>& lock, TReader& reader, TTake take)
{
    std::list<TEntry>* from = nullptr;
    std::list<TEntry>::iterator next;
    if (take != TTake::FillOnly && (next = ReadyUrgent()) != FUrgent.end()) {
        from = &FUrgent;
    }
    else if (take != TTake::UrgentOnly && !FFill.empty()) {
        from = &FFill;
        next = FFill.begin();
    }
    if (!from)
        return false;
    FInFlight.splice(FInFlight.end(), *from, next);
    const auto running = std::prev(FInFlight.end());
    FQueued.erase(running->Name);
    const std::wstring name = running->Name;
    // A record filled in keeps the state its row has from the enumeration, which every tick
    // renews; what the user waits for comes with a state of its own.
    const bool urgent = running->Urgent;
    lock.unlock();
    TWorkerResult result;
    result.Kind = TWorkerResult::wrRecord;
    if (Connected(reader)) {
        result.Record = ReadServiceRecord(FScm, reader.Manager.get(), name, reader.WithDescription, urgent);
        DropIfLost(reader, result.Record.Error);
    } else {
        result.Record.ServiceName = name;
        result.Record.Error = std::make_exception_ptr(EOSError(GetLastError()));
    }
    lock.lock();
    Push(std::move(result), urgent);
    std::vector<unsigned> tickets = std::move(running->Tickets);
    FInFlight.erase(running);
    Complete(tickets);
    // An urgent read of the same service may wait for this one.
    FWake.notify_all();
    return true;
}

void TCatalogueWorker::RunTick(std::unique_lock<std::mutex>& lock, TTickJob job)
{
    const DWORD start = GetTickCount();
    const bool restarted = std::exchange(FStatusesRestarted, false);
    lock.unlock();
    TWorkerResult statuses;
    statuses.Kind = TWorkerResult::wrStatuses;
    std::exception_ptr error;
    try {
        if (!Connected(FReader))
            RaiseLastOSError();
        // Every service the manager lists, into a buffer kept from the last time (one call a
        // tick while the services fit in it); only what changed is passed on.
        ForEachListedService(FScm, FReader.Manager.get(), EnumeratedServiceTypes, FEnumBuffer,
                             [&](const ENUM_SERVICE_STATUSW& entry) {
                                 if (!entry.lpServiceName)
                                     return true;
                                 const wchar_t* display = entry.lpDisplayName ? entry.lpDisplayName : L"";
                                 TLastStatus& last = FLastStatuses[TAsciiFoldedHash()(entry.lpServiceName)];
                                 if (!restarted && last.DisplayName == display &&
                                     SameStatus(last.Status, entry.ServiceStatus))
                                     return true;
                                 last = {display, entry.ServiceStatus};
                                 statuses.Statuses.push_back({entry.lpServiceName, display, entry.ServiceStatus});
                                 return true;
                             });
    } catch (...) {
        error = std::current_exception();
        // The connection may be what failed: the next tick opens a new one.
        FReader.Manager.reset();
    }
    lock.lock();
    if (!statuses.Statuses.empty())
        Push(std::move(statuses));
    int reread = 0;
    if (!error) {
        for (const std::wstring& name : job.Reread) {
            if (FStop || reread >= job.MaxRecords || (reread > 0 && GetTickCount() - start >= job.BudgetMs))
                break;
            // What the user waits for goes first.
            while (ReadNext(lock, FReader, TTake::UrgentOnly)) {
            }
            lock.unlock();
            TWorkerResult result;
            result.Kind = TWorkerResult::wrRecord;
            // The status came with the enumeration.
            result.Record = ReadServiceRecord(FScm, FReader.Manager.get(), name, FReader.WithDescription, false);
            lock.lock();
            Push(std::move(result));
            ++reread;
        }
    }
    TWorkerResult done;
    done.Kind = TWorkerResult::wrTickDone;
    done.Ticket = job.Ticket;
    done.Reread = reread;
    done.Error = error;
    Push(std::move(done));
    Complete({job.Ticket});
}

void TCatalogueWorker::RunDependants(std::unique_lock<std::mutex>& lock, const TDependantsJob& job)
{
    lock.unlock();
    TWorkerResult found;
    found.Kind = TWorkerResult::wrDependants;
    found.Ticket = job.Ticket;
    found.ServiceName = job.Name;
    try {
        if (!Connected(FReader))
            RaiseLastOSError();
        UniqueScHandleOf service(FScm, FScm.OpenServiceW(FReader.Manager.get(), job.Name.c_str(), SERVICE_ENUMERATE_DEPENDENTS));
        if (!service)
            RaiseLastOSError();
        DWORD returned = 0;
        std::vector<BYTE> buffer =
            QueryGrowing(DependentsBufferSize, ERROR_MORE_DATA, [&](BYTE* buf, DWORD size, DWORD* needed) {
                return FScm.EnumDependentServicesW(service.get(), SERVICE_STATE_ALL,
                                                   reinterpret_cast<LPENUM_SERVICE_STATUSW>(buf), size, needed, &returned);
            });
        const auto* records = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i)
            if (records[i].lpServiceName && records[i].lpServiceName[0] && records[i].lpServiceName[0] != SC_GROUP_IDENTIFIERW)
                found.Names.push_back(records[i].lpServiceName);
        Win32Check(service.Close());
    } catch (...) {
        found.Error = std::current_exception();
        DropIfLost(FReader, found.Error);
    }
    lock.lock();
    // Their records come before the answer is complete: whoever asks decides from them.
    std::vector<std::wstring> names = found.Names;
    Push(std::move(found));
    if (!names.empty()) {
        FPending[job.Ticket] += static_cast<int>(names.size());
        for (const std::wstring& name : names)
            Queue(name, job.Ticket, true);
    }
    Complete({job.Ticket});
}

void TCatalogueWorker::NotifyBeforeSleep()
{
    if (FNotifyDue && FUrgent.empty() && FFill.empty() && FInFlight.empty() && FDependantsJobs.empty() && !FTickJob)
        Notify();
}

void TCatalogueWorker::Run() noexcept
{
    std::unique_lock lock(FMutex);
    for (;;) {
        NotifyBeforeSleep();
        FWake.wait(lock, [this] {
            return FStop || ReadyUrgent() != FUrgent.end() || !FDependantsJobs.empty() || FTickJob || !FFill.empty();
        });
        if (FStop)
            break;
        if (FNotifyDue && GetTickCount() - FLastNotify >= FillNotifyMs)
            Notify();
        try {
            if (ReadNext(lock, FReader, TTake::UrgentOnly))
                continue;
            if (!FDependantsJobs.empty()) {
                TDependantsJob job = std::move(FDependantsJobs.front());
                FDependantsJobs.pop_front();
                RunDependants(lock, job);
            } else if (FTickJob) {
                TTickJob job = std::move(*FTickJob);
                FTickJob.reset();
                RunTick(lock, std::move(job));
            } else {
                ReadNext(lock, FReader, TTake::Any);
            }
        } catch (...) {
            // Only memory can fail here; the request stays unanswered and the next one tries on.
            if (!lock.owns_lock())
                lock.lock();
        }
    }
    lock.unlock();
    FReader.Manager.reset();
}

void TCatalogueWorker::RunFiller() noexcept
{
    std::unique_lock lock(FMutex);
    for (;;) {
        NotifyBeforeSleep();
        FWake.wait(lock, [this] { return FStop || !FFill.empty(); });
        if (FStop)
            break;
        try {
            ReadNext(lock, FFillerReader, TTake::FillOnly);
        } catch (...) {
            if (!lock.owns_lock())
                lock.lock();
        }
    }
    lock.unlock();
    FFillerReader.Manager.reset();
}
