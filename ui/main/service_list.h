// The service list of the main window: a virtual list view (owner data) over the installation's
// rows (installation.h: a list model, list_model.h, per computer). The control holds no row of
// its own: it asks for each cell as it draws it, and the cell is read from the row's record then;
// disabled services are drawn grey, a row's tip shows its service's name, executable and account
// (a computer that does not answer: why), and the selection stays with its service when the rows
// are sorted, filtered or rebuilt. With more than one computer the "Computer" column is shown
// first. A click on a heading sorts by its column (again: the other way), the heading's
// right-click menu shows or hides the columns that may be hidden, and the columns' widths, which
// are shown and the sort are kept with the window's layout.
//
// Usage (the main window's way):
//   TServiceList list(scm, showAll, {L"", L"erp-app1"});   // the installation's computers
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
#include "ui/main/installation.h"
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
    // computers: the installation's (empty name: this computer), at least one.
    TServiceList(IServiceControlManager& scm, bool showAllServices, const std::vector<std::wstring>& computers = {L""});
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

    TInstallation& Installation() { return FInstallation; }
    const TInstallation& Installation() const { return FInstallation; }
    // The first computer's list (the only one, unless the installation has several).
    TServiceListModel& Model() const { return FInstallation.Computer(0); }
    TSCManager& Manager() { return Model().Manager(); }
    TListView& View() { return FView; }
    TItemData* ItemData(int index) const { return FInstallation.Row(index); }
    // The selected row: a service's, or the own row of a computer that does not answer (no
    // Service).
    TItemData* SelectedData() const { return Attached() ? FInstallation.Row(FView.Selected()) : nullptr; }

    // The message the worker's results are announced with, posted to the list's parent.
    static constexpr UINT ResultsMessage = WM_APP + 0x51;

    // The installation's, under the busy cursor (TInstallation::Rebuild, RebuildComputer,
    // Connect, SetComputers).
    void Rebuild(bool refreshAll);
    void RebuildComputer(const std::wstring& machineName);
    bool Connect(const std::wstring& machineName);
    void SetComputers(const std::vector<std::wstring>& computers);
    void ReadAhead() noexcept { FInstallation.ReadAhead(); }
    void Update() { FInstallation.Update(); }
    void TakeResults() { FInstallation.TakeResults(); }
    int RowsPainted() const { return Model().RowsPainted(); }
    // Re-reads a record; a failure leaves it as it was.
    static void RefreshService(TNtService* service) { TServiceListModel::RefreshQuietly(service); }
    // A monitor's failure message (the window shows it).
    std::function<void(const std::wstring& message)> OnMonitorFailure;
    // The message of a connection to another computer found lost by the timer (once): with one
    // computer for a message box, with several for the status bar (its row shows it).
    std::function<void(const std::wstring& message)> OnConnectionLost;
    std::function<void(const std::wstring& message)> OnComputerLost;
    // The computers' count or reachability changed (the status bar, the Computer column).
    std::function<void()> OnComputersChanged;

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
    // The Computer column, first, while the installation has several computers.
    void ShowComputerColumn();
    void RedrawRow(int row) const;
    std::pair<int, int> VisibleRows() const;

    bool Attached() const { return FView.Handle() && IsWindow(FView.Handle()); }
    void LVGetDispInfo(NMLVDISPINFOW* info) const;
    int LVFindItem(const NMLVFINDITEMW* find) const;
    void LVInfoTip(NMLVGETINFOTIPW* tip);
    LRESULT LVCustomDrawItem(NMLVCUSTOMDRAW* draw) const;

    TInstallation FInstallation;
    TListView FView;
    std::function<int(int)> FScale;
    // The selected row's computer and service while the rows move (FSelected false: none; an
    // empty service: the computer's own row).
    bool FSelected = false;
    std::wstring FSelectedMachine;
    std::wstring FSelectedName;
    int FSelectedRow = -1;
    unsigned FGenerationBefore = 0;
    // A selection the filter hid (its computer and service), and the row chosen instead of it
    // (all empty: none).
    std::wstring FHiddenMachine;
    std::wstring FHiddenSelection;
    std::wstring FStandInSelection;
    TRebuildSelection FRebuildSelection = TRebuildSelection::Kept;
    // This computer's services (lower case) when a new service was to be selected.
    std::unordered_set<std::wstring> FKnownServices;
    TColumnLayout FLayout;
    // The column of ListColumns() at each column of the list control (the Computer column,
    // while it shows, after them).
    std::vector<int> FShown;
    // A tip's record is read in a loop of its own (the list view asks for the tip's text as it
    // shows it): a second tip asked for meanwhile is not shown.
    bool FTipReading = false;
};
