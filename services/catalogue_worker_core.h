// The list's worker inside (catalogue_worker.h): what its threads share with it, everything but
// the threads themselves, so that a thread a hung host holds keeps what it uses after the
// worker has gone. Only catalogue_worker.cpp uses it.
#pragma once

#include "services/catalogue_worker.h"

#include <atomic>

class TCatalogueWorkerCore {
public:
    TCatalogueWorkerCore(IServiceControlManager& scm, const std::wstring& machineName, const std::wstring& databaseName);
    TCatalogueWorkerCore(const TCatalogueWorkerCore&) = delete;
    TCatalogueWorkerCore& operator=(const TCatalogueWorkerCore&) = delete;
    // The threads' bodies; each holds the core while it runs.
    void Run() noexcept;
    void RunFiller() noexcept;
    // Asks the threads to end after the reads under way; announces nothing more.
    void Stop();

    // Called on the worker thread when results start waiting in Take(); null: never.
    void SetNotify(std::function<void()> notify);

    // Reads the records; urgent ones before anything else and with their status (the others
    // keep the state the enumeration gave their rows). Returns the request's ticket.
    unsigned Read(const std::vector<std::wstring>& names, bool urgent);
    // The dependants of a service, then their records.
    unsigned Dependants(const std::wstring& name);
    // The timer's work: one enumeration (what changed since the last one), then the records
    // named re-read in order, at most maxRecords and for at most budgetMs.
    unsigned Tick(std::vector<std::wstring> reread, int maxRecords, DWORD budgetMs);
    // Moves the reads to fill in of these services, if they are queued, before the others
    // (rows the user scrolled into view).
    void Prefer(const std::vector<std::wstring>& names);
    // Drops the reads queued to fill in (a rebuild made new records), and makes the next tick
    // give every service's state.
    void Restart();

    // Whether reads to fill in are still queued.
    bool Filling() const;
    // Whether the request has ended and its results wait in Take() (or were taken).
    bool Done(unsigned ticket) const;
    // Signalled whenever a request ends.
    HANDLE DoneEvent() const { return FDoneEvent.get(); }
    // The results so far, in the order found.
    std::vector<TWorkerResult> Take();

    // The threads of every worker that have not ended.
    static inline std::atomic<int> FRunningCount{0};

private:
    struct TEntry {
        std::wstring Key;
        std::wstring Name;
        std::vector<unsigned> Tickets;
        bool Urgent = false;
    };
    // A thread's own connection to the manager.
    struct TReader {
        UniqueScHandleOf Manager;
        bool WithDescription = true;
    };
    enum class TTake { UrgentOnly, Any, FillOnly };
    struct TTickJob {
        unsigned Ticket;
        std::vector<std::wstring> Reread;
        int MaxRecords;
        DWORD BudgetMs;
    };
    struct TDependantsJob {
        unsigned Ticket;
        std::wstring Name;
    };

    bool Connected(TReader& reader);
    // A request's failure that says the connection to another computer was lost: the thread's
    // connection is let go, and its next request opens a new one (the old handles stay dead).
    void DropIfLost(TReader& reader, const std::exception_ptr& error);
    // The first urgent entry whose service is not being read, if any.
    std::list<TEntry>::iterator ReadyUrgent();
    // Reads the first urgent entry ready, or the first one to fill in, as `take` allows; false
    // when there is none. Called with the lock held; returns with it held.
    bool ReadNext(std::unique_lock<std::mutex>& lock, TReader& reader, TTake take);
    // What waits is announced before a thread sleeps with nothing more to read soon.
    void NotifyBeforeSleep();
    void RunTick(std::unique_lock<std::mutex>& lock, TTickJob job);
    void RunDependants(std::unique_lock<std::mutex>& lock, const TDependantsJob& job);
    // Called with the lock held. soon: announced at once (else with the next batch).
    void Push(TWorkerResult result, bool soon = true);
    void Notify();
    void Complete(const std::vector<unsigned>& tickets);
    unsigned NewTicket(int parts);
    void Queue(const std::wstring& name, unsigned ticket, bool urgent);

    IServiceControlManager& FScm;
    std::wstring FMachineName;
    std::wstring FDatabaseName;
    TReader FReader;        // the worker thread's alone
    TReader FFillerReader;  // the filling thread's alone
    std::vector<BYTE> FEnumBuffer;  // the enumeration's, kept between ticks

    mutable std::mutex FMutex;
    std::condition_variable FWake;
    bool FStop = false;
    std::function<void()> FNotify;
    bool FNotifyDue = false;
    DWORD FLastNotify = 0;
    std::list<TEntry> FUrgent;
    std::list<TEntry> FFill;
    std::unordered_map<std::wstring, std::list<TEntry>::iterator> FQueued;
    std::list<TEntry> FInFlight;  // the reads running
    std::list<TDependantsJob> FDependantsJobs;
    std::optional<TTickJob> FTickJob;
    // The last state given of each service, by folded name.
    std::unordered_map<std::wstring, TListedStatus> FLastStatuses;
    bool FStatusesRestarted = true;
    unsigned FLastTicket = 0;
    std::unordered_map<unsigned, int> FPending;  // parts not yet done, by ticket
    std::vector<TWorkerResult> FResults;
    UniqueKernelHandle FDoneEvent;
};
