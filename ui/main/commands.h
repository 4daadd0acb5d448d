// The main window's commands on the selected service: the action table (one row a command:
// caption, hint, shortcuts, picture, handler, enabling rule, and where it appears), and
// starting, stopping, restarting, pausing, resuming, removing, adding and showing services,
// with their dependencies and dependants, and connecting the list to another computer.
//
// A new command: its id in command_ids.h, its row in ActionTable and its handler here; a new
// picture: its index in command_ids.h and its drawing in the picture table of images.cpp.
//
// While a command waits or the list is read anew the commands and the rebuild that would free
// the catalogue's records are refused, and closing the window is put off until the command has
// unwound (CloseWhenDone).
//
// Usage (the main window's way):
//   TServiceCommands commands(serviceList, actions, {.OnWaiting = ..., .OnQuit = ..., .OnRefresh = ..., .OnConnected = ...});
//   actions.FillToolBar(toolBar, TServiceCommands::ToolBarEntries());
//   if (commands.Running()) commands.CloseWhenDone();          // a close asked for meanwhile
#pragma once

#include "ui/base/actions.h"
#include "ui/main/command_ids.h"
#include "ui/main/service_control.h"
#include "ui/main/service_list.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

class TServiceCommands {
public:
    // The actions' command ids (command_ids.h).
    using enum TActionId;
    enum TMainMenu { mnNone, mnProgram, mnService, mnView, mnHelp };

    // The commands' events, handled by the window.
    struct THost {
        // A command starts (true) or ends (false) its wait for a service, whose loop refreshes
        // the list itself: the window's timed refresh stays off meanwhile.
        std::function<void(bool waiting)> OnWaiting;
        std::function<void()> OnQuit;       // Quit, or a close put off until a command unwound
        std::function<void()> OnRefresh;    // the Refresh command (the window's first show may be due)
        std::function<void()> OnConnected;  // the list was connected to another computer
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
    // Connects the list to the computer (empty: this one) as a command: nothing else runs
    // meanwhile. A failure raises a message that says what went wrong, and the list keeps its
    // rows. Connect to another computer... asks for the computer, then does this.
    void Connect(const std::wstring& machineName);

private:
    // What the enabling rules look at.
    struct TCommandState {
        bool Idle = true;   // no command waits and no read runs
        bool Row = false;   // a row is selected
        bool Free = false;  // a row, and no monitor follows it
        TServiceState State = ssUnknown;
        TServiceControlAccepteds Controls{};
        bool Remote = false;  // the list shows another computer's services
    };
    using TEnablingRule = bool (*)(const TCommandState&);
    static bool Always(const TCommandState&) { return true; }

    // A command: what it shows, its handler, when it is enabled (also at start, with no row
    // selected), and the group of its entry in the tool bar, its main menu and the pop-up menu
    // (0: not there). A hint "Short|Long" shows its short part as the tool tip.
    struct TActionRow {
        int Id = 0;
        const wchar_t* Name = L"";
        const wchar_t* Caption = L"";
        const wchar_t* Hint = L"";
        std::vector<TShortCut> ShortCuts{};
        int Image = -1;
        void (TServiceCommands::*OnExecute)() = nullptr;
        TEnablingRule Enabled = Always;
        // The hint while another computer is connected, when it differs.
        const wchar_t* RemoteHint = nullptr;
        int ToolBarGroup = 0;
        TMainMenu Menu = mnNone;
        int MenuGroup = 0;
        int PopupGroup = 0;
    };
    static std::span<const TActionRow> ActionTable();
    static std::vector<int> ActionEntries(int TActionRow::*group, TMainMenu menu = mnNone);
    TCommandState CommandState() const;
    class TCommandScope;

    void ActionsUpdate();
    // With wait the command waits, answering messages, until the operation's final state; with
    // timeLimited as well, a check point that stands still beyond the service's wait hint ends
    // the wait with an error.
    void ExecuteControl(TNtService* service, TServiceControl operation, bool wait, TItemData* data,
                        bool timeLimited = false);
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
    // Stop's questions (the database warning, the running dependants) and, once both are
    // answered Yes, the dependants stopped and waited for. False when the command ends there;
    // running receives the dependants that ran before.
    bool ConfirmStopAndStopDependants(TNtService* service, std::vector<TNtService*>& running);

    // The services a service depends on, or that depend on it, in their lists' order.
    static std::vector<TNtService*> DependenciesOf(TNtService* service);
    static std::vector<TNtService*> DependantsOf(TNtService* service);
    std::wstring CollectNames(const std::vector<TNtService*>& services, TServiceState state);
    void ControlAllBut(const std::vector<TNtService*>& services, TServiceState settled, TServiceControl operation);
    void CloseIfRequested();

    void ActStopExecute();
    void ActRestartExecute();
    void ActPauseExecute();
    void ActRebuildExecute();
    void ActUninstallExecute();
    void ActQuitExecute();
    void ActInstallExecute();
    void ActPropsExecute();
    void ActAboutExecute();
    void ActConnectExecute();
    // Runs a command's handler; with another computer connected, a lost connection is
    // reported as such.
    void RunHandler(void (TServiceCommands::*handler)());
    // Raises the lost connection's message when the error being handled says the connected
    // computer no longer answers; returns otherwise.
    void RaiseIfConnectionLost() const;

    TServiceList& FList;
    TActionList& FActions;
    THost FHost;
    int FCommandDepth = 0;
    bool FCloseRequested = false;  // closing waits until the running command has unwound
};
