// The service list of the main window: one row for every listed record of the catalogue (the
// ERP's services, or every service with the "all" switch), sorted by caption, with the columns
// of a table; the timed refresh of the rows; the following of pending states by monitors and
// their hand-over to a rebuild's new rows.
//
// Rows point at the catalogue's records through their TItemData. A full rebuild reads a new
// catalogue on a worker thread (TCatalogueReader) while the window goes on answering with its
// old rows; the hand-over then deletes the rows, lets the catalogue take the new records and
// builds the rows from them, so that no row outlives its record.
//
// Usage (the main window's way):
//   TServiceList list(scm, showAll);
//   list.Attach(listViewHandle, images, scale); // once the window has made its list control
//   list.Rebuild(true);                       // waits, processing messages, for the read
//   list.Update();                            // every second: states of every row, whole
//                                             // records as far as the time budget reaches
//   list.Notify(header, result);              // the list control's WM_NOTIFY
//   list.Detach();                            // the window ends: monitors cut off, rows gone
#pragma once

#include "services/sc_manager.h"
#include "services/service_monitor.h"
#include "ui/controls/list_view.h"
#include "ui/main/service_control.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
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
    // The timer's refresh: every row's state from one enumeration, changed rows shown at once,
    // then whole records re-read for at most about 200 ms, going on with the row after the
    // last one the previous call re-read. Returns the number of records re-read.
    int Update();
    // Re-reads the record and shows it in its row.
    void UpdateService(TNtService* service);
    // Shows the record's current values in its row, without reading the service again.
    void PaintService(const TNtService* service);
    // Re-reads a record; a failure leaves it as it was.
    static void RefreshService(TNtService* service);
    int FindItemByService(const TNtService* service) const;

    // Follows the row's service with a monitor until the operation settles.
    void StartMonitor(TItemData* data, TServiceControl operation);
    // A monitor's failure message (the window shows it).
    std::function<void(const std::wstring& message)> OnMonitorFailure;

    // The list control's notices; true when handled, with the result.
    bool Notify(NMHDR* header, LRESULT& result);

private:
    void BuildRows();
    void DeleteRows();
    void UpdateRow(int index);
    void PaintRow(int index);
    void PaintStates();
    void SortItems();
    template <typename Match>
    int FindItem(Match match) const;
    int FindItemByMonitor(const TServiceMonitor* monitor) const;
    void LVDeletion(int index, LPARAM data);
    void LVInfoTip(NMLVGETINFOTIPW* tip);
    LRESULT LVCustomDrawItem(NMLVCUSTOMDRAW* draw);

    // Pending-state follow-up (follow_up.cpp).
    TServiceMonitor* RunningMonitorOf(const std::wstring& serviceName) const;
    void MonitorNotify(const std::wstring& serviceName, const std::wstring& message);
    void MonitorTerminated(TServiceMonitor* sender);

    std::unique_ptr<TSCManager> FManager;
    bool FShowAllServices;
    TListView FView;
    bool FItemsBuilding = false;
    bool FReading = false;
    bool FDeletingRows = false;
    // Where the next re-read of whole records goes on (it stops after its time budget).
    int FNextUpdateRow = 0;
    std::shared_ptr<TMonitorSink> FMonitorSink;
    // The monitors this list started that have not ended: a rebuild hands each to its
    // service's new row, so that one monitor at most follows a service.
    std::vector<TServiceMonitor*> FMonitors;
};
