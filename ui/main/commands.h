// The main window's commands on the selected service: the action table (captions, shortcuts,
// pictures, handlers, and where each action appears), the enabling rules, and starting,
// stopping, pausing, resuming, removing, adding and showing services, with their dependencies
// and dependants.
//
// While a command waits or the list is read anew the commands and the rebuild that would free
// the catalogue's records are refused, and closing the window is put off until the command has
// unwound (CloseWhenDone).
//
// Usage (the main window's way):
//   TServiceCommands commands(serviceList, actions, {.SetTimerOn = ..., .Close = ..., .Refresh = ...});
//   actions.FillToolBar(toolBar, TServiceCommands::ToolBarEntries());
//   if (commands.Running()) commands.CloseWhenDone();          // a close asked for meanwhile
#pragma once

#include "ui/base/actions.h"
#include "ui/main/service_control.h"
#include "ui/main/service_list.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

class TServiceCommands {
public:
    // The actions' command ids.
    enum TActionId : int {
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
    enum TMainMenu { mnNone, mnProgram, mnService, mnView, mnHelp };

    // What the window does for the commands.
    struct THost {
        std::function<void(bool on)> SetTimerOn;  // the timed refresh of the rows
        std::function<void()> Close;              // closes the window
        std::function<void()> Refresh;            // the Refresh command (the window's first show may be due)
    };

    // Adds the actions to the list, with the enabling rules as its update handler.
    TServiceCommands(TServiceList& list, TActionList& actions, THost host);
    TServiceCommands(const TServiceCommands&) = delete;
    TServiceCommands& operator=(const TServiceCommands&) = delete;

    // The entries of the tool bar, a main menu and the pop-up menu, separators between groups.
    static std::vector<int> ToolBarEntries() { return ActionEntries(&TActionRow::ToolBarGroup); }
    static std::vector<int> MenuEntries(TMainMenu menu) { return ActionEntries(&TActionRow::MenuGroup, menu); }
    static std::vector<int> PopupEntries() { return ActionEntries(&TActionRow::PopupGroup); }

    // Whether a command (or a rebuild) waits.
    bool Running() const { return FCommandDepth > 0; }
    // Ends the waiting command's wait and closes the window once it has unwound.
    void CloseWhenDone();
    // Rebuilds the list as a command: nothing else runs meanwhile.
    void Rebuild(bool refreshAll);
    // The start command (tests run it as the action would).
    void ActStartExecute();

private:
    // An action's row: what it shows, its handler, and the group of its entry in the tool bar,
    // its main menu and the pop-up menu (0: not there).
    struct TActionRow {
        int Id = 0;
        const wchar_t* Name = L"";
        const wchar_t* Caption = L"";
        const wchar_t* Hint = L"";
        std::vector<TShortCut> ShortCuts{};
        int Image = -1;
        bool Enabled = false;
        void (TServiceCommands::*OnExecute)() = nullptr;
        int ToolBarGroup = 0;
        TMainMenu Menu = mnNone;
        int MenuGroup = 0;
        int PopupGroup = 0;
    };
    static std::span<const TActionRow> ActionTable();
    static std::vector<int> ActionEntries(int TActionRow::*group, TMainMenu menu = mnNone);
    class TCommandScope;

    void ActionsUpdate();
    void ExecuteControl(TNtService* service, TServiceControl operation, bool wait, TItemData* data);
    // The start request waits until the service's process reports: it is made on a worker
    // thread while the window goes on answering. False when the application terminated
    // meanwhile (the request goes on alone); raises the request's error.
    bool RequestStart(const TNtService& service);
    // What a command needs of the manager before it decides, read on the list's worker while
    // the window goes on answering: the service's record, and the records of its dependencies
    // (afresh) or its dependants. False when the application terminated meanwhile.
    enum TLookUp { luRecord, luDependencies, luDependants };
    bool LookUp(TNtService* service, TLookUp what);
    std::wstring CollectDependencies(TNtService* service, TServiceState state);
    std::wstring CollectDependants(TNtService* service, TServiceState state);
    void StartDependencies(TNtService* service);
    void StopDependants(TNtService* service);
    // The services a service depends on, or that depend on it, in their lists' order.
    static std::vector<TNtService*> DependenciesOf(TNtService* service);
    static std::vector<TNtService*> DependantsOf(TNtService* service);
    std::wstring CollectNames(const std::vector<TNtService*>& services, TServiceState state);
    void ControlAllBut(const std::vector<TNtService*>& services, TServiceState settled, TServiceControl operation);
    void CloseIfRequested();

    void ActStopExecute();
    void ActPauseExecute();
    void ActRebuildExecute();
    void ActUninstallExecute();
    void ActQuitExecute();
    void ActInstallExecute();
    void ActPropsExecute();
    void ActAboutExecute();

    TServiceList& FList;
    TActionList& FActions;
    THost FHost;
    int FCommandDepth = 0;
    bool FCloseRequested = false;  // closing waits until the running command has unwound
};
