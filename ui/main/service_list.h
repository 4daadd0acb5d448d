// The service list of the main window: a virtual list view (owner data) over the list's model
// (list_model.h). The control holds no row of its own: it asks for each cell as it draws it, and
// the cell is read from the row's record then; disabled services are drawn grey, a row's tip
// shows its service's name, executable and account, and the selection stays with its service
// when the rows are sorted, filtered or rebuilt. A click on a heading sorts by its column (again:
// the other way), the heading's right-click menu shows or hides the columns that may be hidden,
// and the columns' widths, which are shown and the sort are kept with the window's layout.
//
// Usage (the main window's way):
//   TServiceList list(scm, showAll);
//   list.ReadAhead();                         // optional: the first read starts now
//   list.Attach(listViewHandle, images, scale); // once the window has made its list control
//   list.Rebuild(true);                       // waits, processing messages, for the read
//   list.Update();                            // every second: the worker's tick is asked for
//   list.TakeResults();                       // on ResultsMessage, posted to the list's parent
//   list.Notify(header, result);              // the list control's WM_NOTIFY
//   list.ColumnMenu(point);                   // WM_CONTEXTMENU of the list's heading
//   list.SetFilter(text);                     // the window's filter box changed
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
#include <unordered_set>
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

    // The columns' layout from the window's layout subkey (section of settings): which are shown
    // and the sort always, the widths only with withWidths (a stored window size that could not
    // be used ignores them); and back.
    void LoadLayout(HKEY settings, const std::wstring& section, bool withWidths);
    void SaveLayout(HKEY settings, const std::wstring& section);
    // Shows or hides a column (an index of ListColumns()); the caption's column always shows.
    void ShowColumn(int column, bool shown);
    bool ColumnShown(int column) const { return FLayout.Shown[static_cast<size_t>(column)]; }
    // The column of ListColumns() that the list control shows at this index; -1 for none.
    int ColumnAt(int viewColumn) const;
    // Sorts by the column as a click on its heading does.
    void ClickColumn(int column);
    // The heading's menu of the columns that may be hidden, at a point of the screen (-1, -1:
    // below the heading's left end); a choice shows or hides its column.
    void ColumnMenu(POINT screen);
    // Only rows holding the text (TServiceListModel::SetFilter); the selection stays with its
    // service, or when the filter hides it goes to the first row and comes back when the filter
    // shows it again, unless the user chose another row meanwhile.
    void SetFilter(const std::wstring& text);

    // What the next full rebuild selects besides the service selected before it.
    enum class TRebuildSelection {
        Kept,             // the selected service, or nothing when it has gone
        NextOfRemoved,    // when the selected service has gone: the row that took its place, else the last
        NewService,       // a service that was not in the catalogue now (the one Add... installed)
    };
    void SelectAfterRebuild(TRebuildSelection selection);

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
    // The row to select after the rows moved: the selected service's, or as the rebuild asked.
    int RowToSelect(bool handedOver);
    void SelectRow(int row);
    // The list control's columns anew from the layout, with the sort's arrow.
    void ShowColumns();
    void ShowSortArrow() const;
    // The widths of the columns shown, as the user left them, into the layout.
    void TakeWidths();
    void RedrawRow(int row) const;
    std::pair<int, int> VisibleRows() const;

    bool Attached() const { return FView.Handle() && IsWindow(FView.Handle()); }
    void LVGetDispInfo(NMLVDISPINFOW* info) const;
    int LVFindItem(const NMLVFINDITEMW* find) const;
    void LVInfoTip(NMLVGETINFOTIPW* tip);
    LRESULT LVCustomDrawItem(NMLVCUSTOMDRAW* draw) const;

    TServiceListModel FModel;
    TListView FView;
    // The selected row's service while the rows move (empty: none) and its row.
    std::wstring FSelectedName;
    int FSelectedRow = -1;
    unsigned FGenerationBefore = 0;
    // A selection the filter hid, and the row chosen instead of it (both empty: none).
    std::wstring FHiddenSelection;
    std::wstring FStandInSelection;
    TRebuildSelection FRebuildSelection = TRebuildSelection::Kept;
    // The catalogue's services (lower case) when a new service was to be selected.
    std::unordered_set<std::wstring> FKnownServices;
    TColumnLayout FLayout;
    // The column of ListColumns() at each column of the list control.
    std::vector<int> FShown;
    // A tip's record is read in a loop of its own (the list view asks for the tip's text as it
    // shows it): a second tip asked for meanwhile is not shown.
    bool FTipReading = false;
};
