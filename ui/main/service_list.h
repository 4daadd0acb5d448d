// The service list of the main window: a virtual list view (owner data) over the list's model
// (list_model.h). The control holds no row of its own: it asks for each cell as it draws it, and
// the cell is read from the row's record then; disabled services are drawn grey, a row's tip
// shows its service's name, executable and account, and the selection stays with its service
// when the rows are sorted or rebuilt.
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

#include "services/sc_manager.h"
#include "ui/controls/list_view.h"
#include "ui/main/list_model.h"
#include "ui/main/service_control.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

class TServiceList {
public:
    // machineName: the computer whose services the list shows; empty for this one.
    TServiceList(IServiceControlManager& scm, bool showAllServices, const std::wstring& machineName = {});
    ~TServiceList();
    TServiceList(const TServiceList&) = delete;
    TServiceList& operator=(const TServiceList&) = delete;

    // Takes the window's list control (made with LVS_OWNERDATA): its columns, styles and the
    // shared state images; scale turns a designed width into pixels at the window's dpi.
    void Attach(HWND listView, HIMAGELIST images, const std::function<int(int)>& scale);
    // The window ends: monitors no longer reach the list, the rows go.
    void Detach();

    TServiceListModel& Model() { return FModel; }
    TSCManager& Manager() { return FModel.Manager(); }
    TListView& View() { return FView; }
    TItemData* ItemData(int index) const { return FModel.Row(index); }
    TItemData* SelectedData() const { return Attached() ? FModel.Row(FView.Selected()) : nullptr; }
    int FindItemByService(const TNtService* service) const { return FModel.RowOf(service); }
    bool Reading() const { return FModel.Reading(); }

    // The message the worker's results are announced with, posted to the list's parent.
    static constexpr UINT ResultsMessage = WM_APP + 0x51;

    // The model's, under the busy cursor (TServiceListModel::Rebuild, Connect).
    void Rebuild(bool refreshAll);
    bool Connect(const std::wstring& machineName);
    void ReadAhead() noexcept { FModel.ReadAhead(); }
    void Update() { FModel.Update(); }
    void TakeResults() { FModel.TakeResults(); }
    bool ReadRecords(const std::vector<TNtService*>& services, bool fresh) { return FModel.ReadRecords(services, fresh); }
    bool ReadDependants(TNtService* service) { return FModel.ReadDependants(service); }
    void PaintService(const TNtService* service) { FModel.PaintService(service); }
    void StartMonitor(TItemData* data, TServiceControl operation) { FModel.StartMonitor(data, operation); }
    void StopFollowing(const std::wstring& serviceName) { FModel.StopFollowing(serviceName); }
    int RowsPainted() const { return FModel.RowsPainted(); }
    // Re-reads a record; a failure leaves it as it was.
    static void RefreshService(TNtService* service) { TServiceListModel::RefreshQuietly(service); }
    // A monitor's failure message (the window shows it).
    std::function<void(const std::wstring& message)> OnMonitorFailure;
    // The message of a connection to another computer found lost by the timer (once).
    std::function<void(const std::wstring& message)> OnConnectionLost;
    bool NoteConnectionLost() { return FModel.NoteConnectionLost(); }

    // The list control's notices; true when handled, with the result.
    bool Notify(NMHDR* header, LRESULT& result);

private:
    // What the model tells the view (TServiceListModel::TViewLink).
    void KeepSelection();
    void ShowMovedRows();
    void RedrawRow(int row) const;
    std::pair<int, int> VisibleRows() const;

    bool Attached() const { return FView.Handle() && IsWindow(FView.Handle()); }
    void LVGetDispInfo(NMLVDISPINFOW* info) const;
    int LVFindItem(const NMLVFINDITEMW* find) const;
    void LVInfoTip(NMLVGETINFOTIPW* tip);
    LRESULT LVCustomDrawItem(NMLVCUSTOMDRAW* draw) const;

    TServiceListModel FModel;
    TListView FView;
    // The selected row's service while the rows move (empty: none), and whether it had the focus.
    std::wstring FSelectedName;
    // A tip's record is read in a loop of its own (the list view asks for the tip's text as it
    // shows it): a second tip asked for meanwhile is not shown.
    bool FTipReading = false;
};
