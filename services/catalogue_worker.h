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
#include "services/scm_api.h"

#include <windows.h>

#include <condition_variable>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
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

class TCatalogueWorkerCore;

class TCatalogueWorker {
public:
    TCatalogueWorker(IServiceControlManager& scm, const std::wstring& machineName, const std::wstring& databaseName);
    // Stops after the reads under way, without waiting for them: a call that a hung host holds
    // goes on alone, and its thread ends once it returns (it holds only what it shares with the
    // worker, and the interface to the manager, which must outlive it: the program's lives until
    // the process ends; a test waits for RunningCount() to fall to 0 before its simulated one
    // goes).
    ~TCatalogueWorker();
    TCatalogueWorker(const TCatalogueWorker&) = delete;
    TCatalogueWorker& operator=(const TCatalogueWorker&) = delete;

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
    HANDLE DoneEvent() const;
    // The results so far, in the order found.
    std::vector<TWorkerResult> Take();

    // The workers' threads that have not ended, those of workers already gone included.
    static int RunningCount();

private:
    std::shared_ptr<TCatalogueWorkerCore> FCore;
};
