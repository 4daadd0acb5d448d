// The main window: the list of the ERP's services (or every service with the "all" switch)
// with state and description refreshed every second, the commands on the selected service,
// and the following of pending states by monitor threads.
//
// Rows point at the catalogue's records through their TItemData; every rebuild deletes the
// rows before it refreshes the catalogue, so no row outlives its record. While a command
// waits (FCommandDepth > 0) the commands and the rebuild that would free its records are
// refused, and closing the window is put off until the command has unwound.
#pragma once

#include "services/sc_manager.h"
#include "services/service_monitor.h"
#include "ui/base/actions.h"
#include "ui/base/window.h"
#include "ui/controls/list_view.h"
#include "ui/controls/status_bar.h"
#include "ui/controls/tool_bar.h"
#include "ui/main/images.h"
#include "ui/main/service_control.h"

#include <memory>
#include <string>
#include <vector>

// The record behind each row of the service list.
struct TItemData {
    TNtService* Service = nullptr;      // not owned
    TServiceMonitor* Monitor = nullptr;  // not owned: the thread frees itself
    // What the row shows, so that a refresh touches the control only where something changed.
    std::wstring Caption;
    std::wstring StateText;
    std::wstring Description;
    int Image = -1;
};


class TFormMain;

// The monitors' way back to the main window: their handlers hold the sink, and the window
// clears Form when it ends, so a monitor that outlives it reaches nothing.
struct TMonitorSink {
    TFormMain* Form = nullptr;
};

class TFormMain : public TWindow {
public:
    static constexpr const wchar_t* ClassName = L"TFormMain";
    static constexpr int DesignClientWidth = 581;
    static constexpr int DesignClientHeight = 254;

    // Control and command ids.
    enum : int {
        idToolBar = 100,
        idList = 101,
        idStatusBar = 102,
        ActStart = 1001,
        ActStop,
        ActPause,
        ActRebuild,
        ActUninstall,
        ActInstall,
        ActQuit,
        ActProps,
        ActAbout,
    };
    static constexpr UINT_PTR TimerUpdate = 1;

    // The catalogue talks to the SCM through scm; showAllServices lists every service instead
    // of the ERP's.
    TFormMain(IServiceControlManager& scm, bool showAllServices);
    ~TFormMain() override;

    // The service list (also read by the properties dialog, by tests and the benchmark).
    TSCManager& Manager() { return *FManager; }
    TListView& List() { return FList; }
    TActionList& Actions() { return FActions; }
    HWND StatusBar() const { return FStatusBar.Handle(); }

    void RebuildItems(bool refreshAll);
    // Refreshes the rows for at most about 200 ms, going on with the row after the last one the
    // previous call refreshed; every row when a whole pass fits in that time. Returns the number
    // of rows refreshed.
    int UpdateItems();
    void RefreshService(TNtService* service);
    TItemData* ItemData(int index) const;

    // The start command (tests run it as the action would), and whether a command waits.
    void ActStartExecute();
    bool CommandRunning() const { return FCommandDepth > 0; }

    bool PreTranslateMessage(MSG& msg) override;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void FormShow() override;
    bool FormCloseQuery() override;
    void FormClose() override;
    void FormDestroy() override;

private:
    void UpdateItem(TNtService* service);
    int FindItemByService(const TNtService* service) const;
    int FindItemByMonitor(const TServiceMonitor* monitor) const;
    static std::wstring GetStateText(const TNtService* service);
    static int GetStateImage(const TNtService* service);
    TItemData* SelectedData() const;

    // Commands.
    void ActionsUpdate();
    void ExecuteControl(TNtService* service, TServiceControl operation, bool wait, TItemData* data);
    std::wstring CollectDependencies(TNtService* service, TServiceState state);
    std::wstring CollectDependants(TNtService* service, TServiceState state);
    void StartDependencies(TNtService* service);
    void StopDependants(TNtService* service);
    void ActStopExecute();
    void ActPauseExecute();
    void ActRebuildExecute();
    void ActUninstallExecute();
    void ActQuitExecute();
    void ActInstallExecute();
    void ActPropsExecute();
    void ActAboutExecute();

    // Pending-state follow-up.
    void MonitorNotify(const std::wstring& serviceName, const std::wstring& message);
    void MonitorTerminated(TServiceMonitor* sender);

    void CreateComponents();
    // The status bar takes the height its font needs; the list ends above it.
    void FitListAboveStatusBar();
    // The status bar's panels at the window's dpi, the list above the bar.
    void DpiChanged() override;
    void CreateActions();
    void CreateMenus();
    LRESULT ListNotify(NMHDR* header);
    // Deletes every row (each deletion frees the row's TItemData).
    void DeleteRows();
    void LVDeletion(int index, LPARAM data);
    void LVInfoTip(NMLVGETINFOTIPW* tip);
    LRESULT LVCustomDrawItem(NMLVCUSTOMDRAW* draw);
    void LVDblClick();
    void UpdateRow(int index);
    // Shows the record's current values in its row, without reading the service again.
    void PaintRow(int index);
    void PaintItem(const TNtService* service);
    void SortItems();
    void StartMonitor(TItemData* data, TServiceControl operation);
    template <typename Match>
    int FindItem(Match match) const;
    // The services a service depends on, or that depend on it, in their lists' order.
    static std::vector<TNtService*> DependenciesOf(TNtService* service);
    static std::vector<TNtService*> DependantsOf(TNtService* service);
    std::wstring CollectNames(const std::vector<TNtService*>& services, TServiceState state);
    void ControlAllBut(const std::vector<TNtService*>& services, TServiceState settled, TServiceControl operation);
    void SetTimerOn(bool on);
    // The show handler's steps once the window is on screen: the list, the status bar, the timer.
    void CompleteShow();
    // The window's size and the list's column widths, kept between runs.
    void LoadLayout();
    void SaveLayout();
    // The monitor this window started for the service and that still runs, or null.
    TServiceMonitor* RunningMonitorOf(const std::wstring& serviceName) const;
    // Closes the window when it was asked to close while a command waited.
    void CloseIfRequested();
    class TCommandScope;

    std::unique_ptr<TSCManager> FManager;
    bool FShowAllServices;
    bool FItemsBuilding = false;
    bool FDeletingRows = false;
    int FCommandDepth = 0;
    bool FCloseRequested = false;  // closing waits until the running command has unwound
    bool FShownOnce = false;
    bool FShowCompleted = false;  // the show handler's steps all ran (the timer is on)
    TToolBar FToolBar;
    TStatusBar FStatusBar;
    TListView FList;
    UniqueImageList FImages;
    UniqueImageList FDisabledImages;
    TActionList FActions;
    HMENU FMainMenu = nullptr;   // owned by the window
    UniqueMenu FPopupMenu;
    int FIdleHandler = 0;
    // The monitors' way back to this window; cut when the window ends.
    std::shared_ptr<TMonitorSink> FMonitorSink;
    // The monitors this window started that have not ended: a rebuild hands each to its
    // service's new row, so that one monitor at most follows a service.
    std::vector<TServiceMonitor*> FMonitors;
    // Where the next refresh of the rows goes on (a refresh stops after its time budget).
    int FNextUpdateRow = 0;
};
