// The main window: the frame around the service list (service_list.h), with the tool bar, the
// menus and the status bar, and the actions of its commands on the selected service
// (commands.h). Closing it while a command waits or the list is read anew is put off until the
// command or the read has unwound.
#pragma once

#include "services/sc_manager.h"
#include "ui/base/actions.h"
#include "ui/base/window.h"
#include "ui/controls/status_bar.h"
#include "ui/controls/tool_bar.h"
#include "ui/main/images.h"
#include "ui/main/commands.h"
#include "ui/main/service_list.h"

#include <span>
#include <string>
#include <vector>

class TFormMain : public TWindow {
public:
    static constexpr const wchar_t* ClassName = L"TFormMain";
    static constexpr int DesignClientWidth = 581;
    static constexpr int DesignClientHeight = 254;

    // Control ids, and the commands' ids (ActStart, ActStop, ...).
    enum : int {
        idToolBar = 100,
        idList = 101,
        idStatusBar = 102,
        idFilter = 103,
    };
    using enum TActionId;
    static constexpr UINT_PTR TimerUpdate = 1;

    // The catalogue talks to the SCM through scm; showAllServices lists every service instead
    // of the ERP's. With readAhead the first read of the list starts at once, on its worker,
    // while the window is made and shown (the program's start); otherwise at the first show.
    // machineName: the computer whose services the window shows first; empty for this one.
    TFormMain(IServiceControlManager& scm, bool showAllServices, bool readAhead = false,
              const std::wstring& machineName = {});
    // computers: the installation's (empty name: this computer), at least one. With
    // keepsInstallation the computers chosen in the window are stored as the installation's.
    TFormMain(IServiceControlManager& scm, bool showAllServices, bool readAhead,
              const std::vector<std::wstring>& computers, bool keepsInstallation);
    ~TFormMain() override;

    // The service list (also read by the properties dialog, by tests and the benchmark).
    TServiceList& ServiceList() { return FServiceList; }
    TSCManager& Manager() { return FServiceList.Manager(); }
    TListView& List() { return FServiceList.View(); }
    // The filter box: the rows whose display name or service name hold its text.
    HWND FilterBox() const { return Control(idFilter); }
    TActionList& Actions() { return FActions; }
    HWND StatusBar() const { return FStatusBar.Handle(); }

    // Rebuilds the list (TServiceList::Rebuild) as a command: nothing else runs meanwhile.
    void RebuildItems(bool refreshAll) { FCommands.Rebuild(refreshAll); }
    TItemData* ItemData(int index) const { return FServiceList.ItemData(index); }

    // Shows the computer alone (empty: this one), for this run.
    void Connect(const std::wstring& machineName) { FCommands.Connect(machineName); }
    // The installation's computers from now on, as Computers of the installation... sets them
    // once it has asked.
    void SetComputers(const std::vector<std::wstring>& computers) { FCommands.SetComputers(computers); }
    // Whether a command runs.
    bool CommandRunning() const { return FCommands.Running(); }

    bool PreTranslateMessage(MSG& msg) override;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void FormShow() override;
    bool FormCloseQuery() override;
    void FormClose() override;
    void FormDestroy() override;

private:
    void CreateComponents();
    // The status bar takes the height its font needs; the list ends above it.
    void FitListAboveStatusBar();
    // The status bar's panels at the window's dpi, the list above the bar.
    void DpiChanged() override;
    // The panels' widths: the first wider with several computers.
    void SetStatusParts();
    void CreateMenus();
    void LVDblClick();
    // Ctrl+F, and the filter box's own keys (Escape clears it; Enter, Down and Tab go to the
    // list); true when the key was handled.
    bool FilterKey(const MSG& msg);
    // The keyboard to the list, with a row selected when there is one.
    void FocusList();
    void SetTimerOn(bool on);
    // The Refresh command: the list rebuilt, or the show handler's steps when an error cut
    // the first show short (the rows would otherwise never be refreshed).
    void Refresh();
    // The show handler's steps once the window is on screen: the list, the status bar, the timer.
    void CompleteShow();
    // Panel 0: the name of the computer the list shows, or how many with several (and how many
    // of them do not answer).
    void ShowComputerName();
    // After a connection: the computer's name, and the show handler's steps if an error cut
    // the first show short.
    void Connected();
    // The window's size and the list's column widths, kept between runs.
    void LoadLayout();
    void SaveLayout();

    TServiceList FServiceList;
    bool FKeepsInstallation = false;
    bool FShownOnce = false;
    bool FShowCompleted = false;  // the show handler's steps all ran (the timer is on)
    TToolBar FToolBar;
    TStatusBar FStatusBar;
    UniqueImageList FImages;
    UniqueImageList FDisabledImages;
    TActionList FActions;
    TServiceCommands FCommands;
    HMENU FMainMenu = nullptr;   // owned by the window
    UniqueMenu FPopupMenu;
    int FIdleHandler = 0;
};
