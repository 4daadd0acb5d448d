// The service list without a window: its rows (one for every listed record of the catalogue: the
// ERP's services, or every service with the "all" switch, narrowed by the filter's text), their
// order (by a column, either way; at first by caption: list_columns.h), which records
// are read and which are still to be filled in, the generations of rows, the monitors that follow
// pending states, and the list's worker with its results. Whatever shows the rows (the main
// window's list view, service_list.h) draws each row from its record on demand and hears of
// changes through TServiceListModel::TViewLink; the record in the catalogue is the one place a
// service's state lives on the GUI side.
//
// A full rebuild reads a new catalogue on a worker thread (TCatalogueReader) while the window
// goes on answering with its old rows: one enumeration, and the records of the services the ERP
// view lists (with "all", none: the rows are there at once). The hand-over then drops the rows,
// lets the catalogue take the new records and builds the rows from them, so that no row outlives
// its record. Each hand-over starts a new generation: a wait that spans one finds its records gone.
//
// Everything else the list needs of the Service Control Manager runs on the list's worker
// (TCatalogueWorker), whose results are announced by the notify callback and applied here, on
// the GUI thread: the records a rebuild left unread (rows in view first), the timer's enumeration
// of every state and its round-robin re-reads, the records and dependants a command, a tip or a
// dialog needs (ReadRecords, ReadDependants: they wait without freezing).
//
// A row is a record of one computer's catalogue: the list is one computer's part of the
// installation (installation.h), the one Manager() talks to.
//
// Usage:
//   TServiceListModel model(scm, showAll, machineName, Application());
//   model.SetView({.BeforeMove = ..., .AfterMove = ..., .RowChanged = ..., .RowsInView = ...});
//   model.Start([] { /* post a message: TakeResults() is due */ });
//   model.Rebuild(true);                      // waits, processing messages, for the read
//   model.Update();                           // every second: the worker's tick is asked for
//   model.TakeResults();                      // when the notify callback said so
//   model.Stop();                             // monitors cut off, worker and rows gone
#pragma once

#include "services/catalogue_reader.h"
#include "services/catalogue_worker.h"
#include "services/sc_manager.h"
#include "services/service_monitor.h"
#include "ui/main/list_columns.h"
#include "ui/main/service_control.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

class TServiceListModel;

// A row of the service list: the record it shows, the monitor that follows it, and the list of
// the record's computer. A computer that does not answer has one row without a record.
struct TItemData {
    TNtService* Service = nullptr;      // not owned; none: the row of a computer that does not answer
    TServiceMonitor* Monitor = nullptr;  // not owned: the thread frees itself
    TServiceListModel* List = nullptr;   // not owned
};

// The monitors' way back to the list: their handlers hold the sink, and the list clears it
// when it stops, so a monitor that outlives it reaches nothing.
struct TMonitorSink {
    TServiceListModel* List = nullptr;
};

class TServiceListModel {
public:
    // What shows the rows hears through these of what changed (each may be left empty). Rows
    // are told by index, valid until the next BeforeMove.
    struct TViewLink {
        // The rows are about to be replaced or reordered: the rows and their records are still
        // those the view knows (a selection to keep is taken now).
        std::function<void()> BeforeMove;
        // The rows were replaced or reordered.
        std::function<void()> AfterMove;
        // A row shows something else now.
        std::function<void(int row)> RowChanged;
        // The rows the user sees, as first and count: their records are filled in first.
        std::function<std::pair<int, int>()> RowsInView;
    };

    // The columns (list_columns.h): the first is the row's caption, by which the rows are sorted
    // at first.
    static constexpr int ColumnCount = ListColumnTotal;
    static const wchar_t* ColumnCaption(int column);
    // The column's width at 96 dpi.
    static int ColumnWidth(int column);
    static std::wstring CellText(const TNtService& service, int column);
    // The picture of the service's state (images.h).
    static int ImageOf(const TNtService& service);

    // machineName: the computer whose services the list shows; empty for this one. gui: where
    // the monitors run their reports.
    TServiceListModel(IServiceControlManager& scm, bool showAllServices, const std::wstring& machineName,
                      IGuiThread& gui);
    ~TServiceListModel();
    TServiceListModel(const TServiceListModel&) = delete;
    TServiceListModel& operator=(const TServiceListModel&) = delete;

    void SetView(TViewLink view) { FView = std::move(view); }
    // Starts the list's worker; notify (called on the worker's thread) says that results wait
    // for TakeResults.
    void Start(std::function<void()> notify);
    // Monitors no longer reach the list, the worker ends, the rows go.
    void Stop();

    TSCManager& Manager() { return *FManager; }
    const TSCManager& Manager() const { return *FManager; }
    bool ShowsAllServices() const { return FShowAllServices; }
    int Count() const { return static_cast<int>(FRows.size()); }
    // The row at index; nullptr when there is none.
    TItemData* Row(int index) const;
    int RowOf(const TNtService* service) const;
    // The row of the service of this name (letter case ignored); -1 when none shows it.
    int RowOfName(const std::wstring& serviceName) const;
    // The order of the rows (at first by caption, ascending): the rows are sorted again at once,
    // and again whenever what a row shows in the sorted column changes.
    void SetSort(const TListSort& sort);
    const TListSort& Sort() const { return FSort; }
    // Only the rows whose display name or service name holds the text are rows (letter case
    // ignored; the empty text shows all). The others keep their data and monitors, hidden, until
    // the text lets them show again or the rows are rebuilt.
    void SetFilter(const std::wstring& text);
    const std::wstring& Filter() const { return FFilter; }

    // A full read of the catalogue is under way.
    bool Reading() const { return FReading; }
    // Counts the hand-overs of rows.
    unsigned Generation() const { return FGeneration; }

    // With refreshAll the catalogue is read anew on a worker thread while messages are
    // processed (the application terminating ends the wait and drops the read); its error is
    // raised with the old rows kept. Otherwise the rows are listed anew from the records as
    // they are, with no call to the manager.
    void Rebuild(bool refreshAll);
    // Connects the list to another computer's manager (empty: this computer). The new catalogue
    // is connected and read on a worker thread while messages are processed; then the rows show
    // its services, and monitors that follow the old computer's services no longer reach the
    // list. On failure (raised) the old catalogue and rows stay. False when the application
    // terminated meanwhile (nothing changed). In connection.cpp.
    bool Connect(const std::wstring& machineName);
    // Starts the read of the next full rebuild now, so that it runs while the window is made.
    // A failure to start it leaves the rebuild to start its own read.
    void ReadAhead() noexcept;
    // Starts the next full rebuild's read without waiting for it, its connection made on the
    // reader's thread too; done is called on that thread once it has ended. Rebuild(true) takes
    // it over (at once when BackgroundReadDone). Raises when it cannot be started.
    void ReadInBackground(std::function<void()> done);
    // A read started ahead is under way or waits to be taken over; it has ended.
    bool BackgroundRead() const { return FReadAhead != nullptr; }
    bool BackgroundReadDone() const { return FReadAhead && FReadAhead->Done(); }
    // The list goes for good while a read of its computer may still be held by a host that does
    // not answer: the list stops, and the read goes on alone with the catalogue it connects,
    // both freed on a thread of their own once it has returned (LetGoAlone), never waited for.
    void Abandon() noexcept;

    // The timer's refresh, asked of the worker (nothing when its last tick has not ended): every
    // service's state and display name from one enumeration, changed rows shown when the answer
    // arrives, then whole records re-read round robin, about one SCM call a row, for at most
    // about 200 ms, going on with the row after the last one the previous tick re-read.
    void Update();
    // The tick asked of the worker and not answered yet, if any; the records the last answered
    // tick re-read whole.
    std::optional<unsigned> PendingTick() const;
    int LastReread() const { return FLastReread; }
    // Applies the worker's results to the catalogue and the rows.
    void TakeResults();
    // Waits without freezing for a request of the worker, then applies what it found. False
    // when the application terminated meanwhile or the list stopped.
    bool WaitForWorker(unsigned ticket);
    // Reads on the worker the records not read yet (fresh: all of them, with their status) and
    // waits for them without freezing. False when the application terminated meanwhile.
    bool ReadRecords(const std::vector<TNtService*>& services, bool fresh);
    // Enumerates the service's dependants on the worker and reads their records, waiting
    // without freezing; raises the enumeration's error. False when the application terminated.
    bool ReadDependants(TNtService* service);
    // The record changed on the GUI thread: its row shows it (and moves if its caption did).
    void PaintService(const TNtService* service);
    // Re-reads a record; a failure leaves it as it was.
    static void RefreshQuietly(TNtService* service);
    // Rows whose texts or picture changed since the list was made.
    int RowsPainted() const { return FRowsPainted; }

    // Follows the row's service with a monitor until the operation settles.
    void StartMonitor(TItemData* data, TServiceControl operation);
    // A command waits for the service itself from now on: the monitor that follows it, if
    // any, says nothing more (the command reports the outcome) and leaves its row.
    void StopFollowing(const std::wstring& serviceName);
    // A monitor's failure message (the window shows it).
    std::function<void(const std::wstring& message)> OnMonitorFailure;
    // The message of a connection to another computer found lost by the timer's refresh, once
    // until the connection works again (the window shows it).
    std::function<void(const std::wstring& message)> OnConnectionLost;
    // The connection to another computer was found lost (by the timer, a read or a command):
    // the catalogue lets its handle go, and its next use connects anew. True the first time
    // since the connection last worked. In connection.cpp.
    bool NoteConnectionLost();

private:
    // What a timer's refresh that ended says of the connection (in connection.cpp).
    void TickEnded(const std::exception_ptr& error);
    // What a row shows, to tell whether a change of its record changed it, and what it is
    // sorted by.
    struct TLook {
        std::wstring Caption;
        std::wstring Description;
        TServiceState State = ssUnknown;
        bool Disabled = false;
        std::wstring StartupType;
        std::wstring Account;
        std::wstring SortKey;
        bool operator==(const TLook&) const = default;
    };
    TLook LookOf(const TNtService& service) const;

    TSCManager::TReadFilter ReadFilter() const;
    bool IsListed(const TNtService& service) const;
    bool RowBeforeRow(const TItemData& a, const TItemData& b) const;
    // The rows taken apart by the filter anew (sorted), the unread records of the rows that show
    // now filled in.
    void Refilter();
    // The records of a read catalogue that the read left unread.
    static std::unordered_set<const TNtService*> UnreadRecords(const TSCManager& read);
    // The hand-over: the rows go, manager takes the records of read (or keeps its own), the rows
    // are built from them and the unread records are asked of the worker.
    void HandOver(TSCManager* read);
    void BuildRows();
    void DropRows();
    // The rows' services among unread, rows in view first, asked of the worker.
    void FillIn(const std::unordered_set<const TNtService*>& unread);
    void ApplyResult(TWorkerResult& result);
    // Shows what changed in the record's row; true when what it is sorted by changed (rows to
    // sort).
    bool RowShows(const TNtService* service, const TLook& before);
    void SortRows();
    void BeforeMove();
    void AfterMove();
    std::pair<int, int> RowsInView() const;

    // Pending-state follow-up.
    TServiceMonitor* RunningMonitorOf(const std::wstring& serviceName) const;
    void MonitorNotify(const std::wstring& serviceName, const std::wstring& message);
    void MonitorTerminated(TServiceMonitor* sender);
    // The monitor no longer follows any row (shown or hidden by the filter).
    void ForgetMonitor(TServiceMonitor* monitor);
    // The monitors of the old computer reach the list no more.
    void CutMonitors();

    std::unique_ptr<TSCManager> FManager;
    bool FShowAllServices;
    IGuiThread& FGui;
    TViewLink FView;
    std::function<void()> FNotify;
    std::vector<std::unique_ptr<TItemData>> FRows;
    // Listed rows the filter hides, with their data and monitors, until they show again or the
    // rows are rebuilt (a command may hold a row's data while the filter changes).
    std::vector<std::unique_ptr<TItemData>> FHiddenRows;
    TListSort FSort;
    std::wstring FFilter;
    // Rows by record, rebuilt when the rows were replaced or sorted.
    mutable std::unordered_map<const TNtService*, int> FRowIndex;
    mutable bool FRowIndexValid = false;
    // A full read (rebuild, Connect) waits for its reader in a loop of its own: a monitor that
    // ends meanwhile is noted so that the hand-over does not follow its stale pending state.
    bool FReading = false;
    // A read started ahead of the next full rebuild, which takes it over.
    std::unique_ptr<TCatalogueReader> FReadAhead;
    // The connection to another computer was found lost and has not worked since.
    bool FConnectionLost = false;
    std::unique_ptr<TCatalogueWorker> FWorker;
    // Where the next re-read of whole records goes on (it stops after its time budget).
    int FNextUpdateRow = 0;
    // The tick asked of the worker and not yet answered, the row it started at, the rows'
    // generation then, and the SCM calls the re-reads may still spend.
    bool FTickPending = false;
    unsigned FTickTicket = 0;
    int FTickStartRow = 0;
    int FTickRecords = 0;
    unsigned FTickGeneration = 0;
    int FReadCredit = 0;
    int FLastReread = 0;
    // Counts the rows' replacements: a tick or a tip's read that started before one applies
    // nothing to the new rows.
    unsigned FGeneration = 0;
    std::unordered_map<unsigned, std::exception_ptr> FDependantsErrors;
    // Services whose monitor ended while a full read ran: their pending state in the read is
    // stale, and the hand-over starts no second follow-up for them.
    std::unordered_set<std::wstring> FEndedDuringRead;
    int FRowsPainted = 0;
    std::shared_ptr<TMonitorSink> FMonitorSink;
    // The monitors this list started that have not ended: a rebuild hands each to its
    // service's new row, so that one monitor at most follows a service.
    std::vector<TServiceMonitor*> FMonitors;
};
