// The list's worker thread: everything the service list needs of the Service Control Manager
// that the GUI thread does not wait for itself, made through a connection of the worker's own.
// The timer's work (one enumeration for every service's names and state, then whole records
// re-read within a time budget), the records a rebuild left to read (rows in view first), the
// records and dependants a command, a tip or a dialog needs first. The results are plain data
// (record reads, changed states, dependants' names) handed to the GUI thread, which applies
// them to the catalogue it alone owns; the worker never touches a record.
//
// The worker's thread takes, in this order: urgent record reads, dependants, the tick, then the
// reads left to fill in. A second thread, with a connection of its own, takes only reads left to
// fill in: each read is a few round trips to the manager (to another computer, over the
// network), and two at once fill a long list in about half the time. A service is never read
// twice at once: asking for a record whose read is queued or running waits for that read (an
// urgent request moves a queued one forward; a running read to fill in, which keeps the
// enumeration's state, is followed by an urgent one once it has ended).
//
// Usage (the list's way):
//   TCatalogueWorker worker(scm, L"", L"ServicesActive");
//   worker.SetNotify([hwnd] { PostMessageW(hwnd, WM_APP, 0, 0); });  // results wait in Take()
//   unsigned ticket = worker.Read({L"Db"}, true);
//   while (!worker.Done(ticket)) WaitWithMessages(worker.DoneEvent());
//   for (TWorkerResult& r : worker.Take()) ...apply...
#pragma once

#include "common/handle.h"
#include "services/record_read.h"
#include "services/sc_buffer.h"
#include "services/scm_api.h"

#include <windows.h>

#include <condition_variable>
#include <exception>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

// A service as an enumeration lists it.
struct TListedStatus {
    std::wstring Name;
    std::wstring DisplayName;
    SERVICE_STATUS Status{};
};

struct TWorkerResult {
    enum TKind {
        wrRecord,      // Record: one record read
        wrStatuses,    // Statuses: the services whose names or status changed since the last tick
        wrDependants,  // ServiceName's dependants, Names in the SCM's order (Error: the enumeration failed)
        wrTickDone,    // a tick ended, Reread records re-read (Error: its enumeration failed)
    };
    TKind Kind = wrRecord;
    unsigned Ticket = 0;
    TServiceRecordData Record;
    std::vector<TListedStatus> Statuses;
    std::wstring ServiceName;
    std::vector<std::wstring> Names;
    int Reread = 0;
    std::exception_ptr Error;
};

class TCatalogueWorker {
public:
    TCatalogueWorker(IServiceControlManager& scm, const std::wstring& machineName, const std::wstring& databaseName);
    // Stops after the read under way and waits for the thread.
    ~TCatalogueWorker();
    TCatalogueWorker(const TCatalogueWorker&) = delete;
    TCatalogueWorker& operator=(const TCatalogueWorker&) = delete;

    // Called on the worker thread when results start waiting in Take(); null: never.
    void SetNotify(std::function<void()> notify);

    // Reads the records; urgent ones before anything else and with their status (the others
    // keep the state the enumeration gave their rows). Returns the request's ticket.
    unsigned Read(std::vector<std::wstring> names, bool urgent);
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

private:
    struct TEntry {
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

    void Run() noexcept;
    void RunFiller() noexcept;
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
    void Queue(std::wstring name, unsigned ticket, bool urgent);

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
    // The queued entries by their names (ASCII letters' case ignored), the keys the entries' own.
    std::unordered_map<std::wstring_view, std::list<TEntry>::iterator, TAsciiFoldedHash, TAsciiFoldedEqual> FQueued;
    std::list<TEntry> FInFlight;  // the reads running
    std::list<TDependantsJob> FDependantsJobs;
    std::optional<TTickJob> FTickJob;
    // The display name and status last given of each service, by a hash of its name: two names
    // of one hash share an entry and are passed on at every tick, which changes nothing.
    struct TLastStatus {
        std::wstring DisplayName;
        SERVICE_STATUS Status{};
    };
    std::unordered_map<size_t, TLastStatus> FLastStatuses;
    bool FStatusesRestarted = true;
    unsigned FLastTicket = 0;
    std::unordered_map<unsigned, int> FPending;  // parts not yet done, by ticket
    std::vector<TWorkerResult> FResults;
    UniqueKernelHandle FDoneEvent;
    std::thread FThread;
    std::thread FFiller;
};
