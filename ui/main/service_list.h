// The service list of the main window: one row for every listed record of the catalogue (the
// ERP's services, or every service with the "all" switch), sorted by caption, with the columns
// of a table; the timed refresh of the rows; the following of pending states by monitors and
// their hand-over to a rebuild's new rows.
//
// Rows point at the catalogue's records through their TItemData. A full rebuild reads a new
// catalogue on a worker thread (TCatalogueReader) while the window goes on answering with its
// old rows: one enumeration, and the records of the services the ERP view lists (with "all",
// none: the rows are there at once). The hand-over then deletes the rows, lets the catalogue
// take the new records and builds the rows from them, so that no row outlives its record.
//
// Everything else the list needs of the Service Control Manager runs on the list's worker
// (TCatalogueWorker), whose results arrive by message and are applied here, on the GUI thread:
// the records a rebuild left unread (rows in view first), the timer's enumeration of every
// state and its round-robin re-reads, the records and dependants a command, a tip or a dialog
// needs (ReadRecords, ReadDependants: they wait without freezing). The GUI thread calls the
// manager only for what the user asks (a command's request and its wait).
//
// Usage (the main window's way):
//   TServiceList list(scm, showAll);
//   list.ReadAhead();                         // optional: the first read starts now
//   list.Attach(listViewHandle, images, scale); // once the window has made its list control
//   list.Rebuild(true);                       // waits, processing messages, for the read
//   list.Update();                            // every second: the worker's tick is asked for
//   list.TakeResults();                       // on ResultsMessage, posted to the list's parent
//   list.Notify(header, result);              // the list control's WM_NOTIFY
//   list.Detach();                            // the window ends: monitors cut off, rows gone
#pragma once

#include "services/catalogue_reader.h"
#include "services/catalogue_worker.h"
#include "services/sc_manager.h"
#include "services/service_monitor.h"
#include "ui/controls/list_view.h"
#include "ui/main/service_control.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The record behind each row of the service list.
struct TItemData {
    TNtService* Service = nullptr;      // not owned
    TServiceMonitor* Monitor = nullptr;  // not owned: the thread frees itself
    // What the row shows, by column, and its image: a refresh touches the control only where
    // something changed.
    std::vector<std::wstring> Texts;
    int Image = -1;
};

class TServiceList;

// The monitors' way back to the list: their handlers hold the sink, and the list clears it
// when its window ends, so a monitor that outlives it reaches nothing.
struct TMonitorSink {
    TServiceList* List = nullptr;
};

class TServiceList {
public:
    // machineName: the computer whose services the list shows; empty for this one.
    TServiceList(IServiceControlManager& scm, bool showAllServices, const std::wstring& machineName = {});
    ~TServiceList();
    TServiceList(const TServiceList&) = delete;
    TServiceList& operator=(const TServiceList&) = delete;

    // Takes the window's list control: its columns, styles and the shared state images; scale
    // turns a designed width into pixels at the window's dpi.
    void Attach(HWND listView, HIMAGELIST images, const std::function<int(int)>& scale);
    // The window ends: monitors no longer reach the list, the rows and their data go.
    void Detach();

    TSCManager& Manager() { return *FManager; }
    TListView& View() { return FView; }
    TItemData* ItemData(int index) const;
    TItemData* SelectedData() const;
    // A full read of the catalogue is under way.
    bool Reading() const { return FReading; }

    // The message the worker's results are announced with, posted to the list's parent.
    static constexpr UINT ResultsMessage = WM_APP + 0x51;

    // With refreshAll the catalogue is read anew on a worker thread while messages are
    // processed (the application terminating ends the wait and drops the read); its error is
    // raised with the old rows kept. Otherwise the existing records are re-read.
    void Rebuild(bool refreshAll);
    // Connects the list to another computer's manager (empty: this computer). The new
    // catalogue is connected and read on a worker thread while messages are processed; then the
    // rows show its services, and monitors that follow the old computer's services no longer
    // reach the list. On failure (raised) the old catalogue and rows stay. False when the
    // application terminated meanwhile (nothing changed). In connection.cpp.
    bool Connect(const std::wstring& machineName);
    // The timer's refresh, asked of the worker (nothing when its last tick has not ended): every
    // service's state and display name from one enumeration, changed rows shown when the answer
    // arrives, then whole records re-read round robin, about one SCM call a row, for at most
    // about 200 ms, going on with the row after the last one the previous tick re-read.
    void Update();
    // The same, waited for without freezing; returns the number of records re-read.
    int UpdateNow();
    // Applies the worker's results to the catalogue and the rows.
    void TakeResults();
    // Reads on the worker the records not read yet (fresh: all of them, with their status) and
    // waits for them without freezing. False when the application terminated meanwhile.
    bool ReadRecords(const std::vector<TNtService*>& services, bool fresh);
    // Enumerates the service's dependants on the worker and reads their records, waiting
    // without freezing; raises the enumeration's error. False when the application terminated.
    bool ReadDependants(TNtService* service);
    // Starts the read of the next full rebuild now, so that it runs while the window is made.
    // A failure to start it leaves the rebuild to start its own read.
    void ReadAhead() noexcept;
    // Re-reads the record and shows it in its row.
    void UpdateService(TNtService* service);
    // Shows the record's current values in its row, without reading the service again.
    void PaintService(const TNtService* service);
    // Re-reads a record; a failure leaves it as it was.
    static void RefreshService(TNtService* service);
    int FindItemByService(const TNtService* service) const;
    // Records read on the worker and applied, and rows whose texts or picture changed, since
    // the list was made (what the GUI thread did for the worker's results).
    int RecordsApplied() const { return FRecordsApplied; }
    int RowsPainted() const { return FRowsPainted; }

    // Follows the row's service with a monitor until the operation settles.
    void StartMonitor(TItemData* data, TServiceControl operation);
    // A monitor's failure message (the window shows it).
    std::function<void(const std::wstring& message)> OnMonitorFailure;
    // The message of a connection to another computer found lost by the timer's refresh, once
    // until the connection works again (the window shows it).
    std::function<void(const std::wstring& message)> OnConnectionLost;
    // The connection to another computer was found lost (by the timer, a read or a command):
    // the catalogue lets its handle go, and its next use connects anew. True the first time
    // since the connection last worked. In connection.cpp.
    bool NoteConnectionLost();

    // The list control's notices; true when handled, with the result.
    bool Notify(NMHDR* header, LRESULT& result);

private:
    void BuildRows();
    void DeleteRows();
    // Which records a full read reads before the hand-over.
    TSCManager::TReadFilter ReadFilter() const;
    // The rows' services not read by the full read, rows in view first, asked of the worker.
    // The records of a read catalogue that the read left unread.
    static std::unordered_set<const TNtService*> UnreadRecords(const TSCManager& read);
    void FillIn(const std::unordered_set<const TNtService*>& unread);
    void ApplyResult(TWorkerResult& result);
    // What a timer's refresh that ended says of the connection (in connection.cpp).
    void TickEnded(const std::exception_ptr& error);
    // Waits without freezing for a request of the worker, then applies what it found.
    bool WaitForWorker(unsigned ticket);
    // Repaints the record's row; true when its caption changed (the rows want sorting).
    bool RepaintRecord(const TNtService* service, bool disabledBefore);
    int RowOf(const TNtService* service);
    void UpdateRow(int index);
    // Sets what changed in the row; true when its caption changed.
    bool PaintRow(int index);
    void SortItems();
    template <typename Match>
    int FindItem(Match match) const;
    int FindItemByMonitor(const TServiceMonitor* monitor) const;
    void LVDeletion(int index, LPARAM data);
    void LVInfoTip(NMLVGETINFOTIPW* tip);
    LRESULT LVCustomDrawItem(NMLVCUSTOMDRAW* draw);

    // Pending-state follow-up.
    TServiceMonitor* RunningMonitorOf(const std::wstring& serviceName) const;
    void MonitorNotify(const std::wstring& serviceName, const std::wstring& message);
    void MonitorTerminated(TServiceMonitor* sender);

    std::unique_ptr<TSCManager> FManager;
    bool FShowAllServices;
    TListView FView;
    bool FItemsBuilding = false;
    bool FReading = false;
    bool FDeletingRows = false;
    // A read started ahead of the next full rebuild, which takes it over.
    std::unique_ptr<TCatalogueReader> FReadAhead;
    // Where the next re-read of whole records goes on (it stops after its time budget).
    int FNextUpdateRow = 0;
    std::unique_ptr<TCatalogueWorker> FWorker;
    // The tick asked of the worker and not yet answered, the row it started at, the rows'
    // generation then, and the SCM calls the re-reads may still spend.
    bool FTickPending = false;
    unsigned FTickTicket = 0;
    int FTickStartRow = 0;
    int FTickRecords = 0;
    unsigned FTickGeneration = 0;
    int FReadCredit = 0;
    int FLastReread = 0;
    // Counts the hand-overs: a wait that spans one finds its records gone.
    unsigned FGeneration = 0;
    // Rows by record, valid until the rows are built, deleted or sorted again.
    std::unordered_map<const TNtService*, int> FRowIndex;
    bool FRowIndexValid = false;
    std::unordered_map<unsigned, std::exception_ptr> FDependantsErrors;
    bool FTipReading = false;
    // Services whose monitor ended while a full read ran: their pending state in the read is
    // stale, and the hand-over starts no second follow-up for them.
    std::unordered_set<std::wstring> FEndedDuringRead;
    // The connection to another computer was found lost and has not worked since.
    bool FConnectionLost = false;
    int FRecordsApplied = 0;
    int FRowsPainted = 0;
    std::shared_ptr<TMonitorSink> FMonitorSink;
    // The monitors this list started that have not ended: a rebuild hands each to its
    // service's new row, so that one monitor at most follows a service.
    std::vector<TServiceMonitor*> FMonitors;
};
