// The main window: the frame around the service list (service_list.h), with the tool bar, the
// menus and the status bar, the actions and the commands on the selected service.
//
// While a command waits or the list is read anew (FCommandDepth > 0) the commands and the
// rebuild that would free the catalogue's records are refused, and closing the window is put
// off until the command or the read has unwound.
#pragma once

#include "common/actions.h"
#include "common/window.h"
#include "services/sc_manager.h"
#include "ui/controls/status_bar.h"
#include "ui/controls/tool_bar.h"
#include "ui/main/images.h"
#include "ui/main/service_control.h"
#include "ui/main/service_list.h"

#include <string>
#include <vector>

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
    TServiceList& ServiceList() { return FServiceList; }
    TSCManager& Manager() { return FServiceList.Manager(); }
    TListView& List() { return FServiceList.View(); }
    TActionList& Actions() { return FActions; }
    HWND StatusBar() const { return FStatusBar.Handle(); }

    // Rebuilds the list (TServiceList::Rebuild) as a command: nothing else runs meanwhile.
    void RebuildItems(bool refreshAll);
    // The timer's refresh of the rows (TServiceList::Update).
    int UpdateItems() { return FServiceList.Update(); }
    void RefreshService(TNtService* service) { TServiceList::RefreshService(service); }
    TItemData* ItemData(int index) const { return FServiceList.ItemData(index); }

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
    TItemData* SelectedData() const { return FServiceList.SelectedData(); }

    // Commands.
    void ActionsUpdate();
    void ExecuteControl(TNtService* service, TServiceControl operation, bool wait, TItemData* data);
    // The start request waits until the service's process reports: it is made on a worker
    // thread while the window goes on answering. False when the application terminated
    // meanwhile (the request goes on alone); raises the request's error.
    bool RequestStart(const TNtService& service);
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

    void CreateComponents();
    void CreateActions();
    void CreateMenus();
    void LVDblClick();
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
    // Closes the window when it was asked to close while a command waited.
    void CloseIfRequested();
    class TCommandScope;

    TServiceList FServiceList;
    int FCommandDepth = 0;
    bool FCloseRequested = false;  // closing waits until the running command has unwound
    bool FShownOnce = false;
    bool FShowCompleted = false;  // the show handler's steps all ran (the timer is on)
    TToolBar FToolBar;
    TStatusBar FStatusBar;
    UniqueImageList FImages;
    UniqueImageList FDisabledImages;
    TActionList FActions;
    HMENU FMainMenu = nullptr;   // owned by the window
    UniqueMenu FPopupMenu;
    int FIdleHandler = 0;
};
