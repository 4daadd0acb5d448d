// The main window's commands on the selected service: the action table (one row a command:
// caption, hint, shortcuts, picture, handler, enabling rule, and where it appears), and
// starting, stopping, restarting, pausing, resuming, removing, adding and showing services,
// with their dependencies and dependants, and choosing the installation's computers. A command
// on a service acts on the computer of the service's row.
//
// A new command: its id in command_ids.h, its row in ActionTable and its handler here; a new
// picture: its index in command_ids.h and its drawing in the picture table of images.cpp.
//
// Start, Stop, Restart, Pause, Remove and Properties... run as steps (command_step.h): every
// call they make of the manager runs on the commands' worker (TCommandRunner, a connection of
// its own to the command's computer), and the GUI thread asks the questions, shows each step in
// the status bar and applies what the worker found, between the steps. While a command runs
// (or the list is read anew) the commands and the rebuild that would free the catalogue's
// records are refused. Closing the window ends a command that waits for its worker at once
// (the worker's call goes on alone); one inside a nested loop (a message box, the list's read,
// the properties dialog) ends its wait, and the window closes once it has unwound.
//
// Usage (the main window's way):
//   TServiceCommands commands(serviceList, actions, {.OnStep = ..., .OnQuit = ..., .OnRefresh = ..., .OnConnected = ...});
//   actions.FillToolBar(toolBar, TServiceCommands::ToolBarEntries());
//   commands.TakeResults();                    // on TServiceCommands::ResultsMessage
//   if (!commands.EndForClose()) return false; // the window's close query
#pragma once

#include "ui/base/actions.h"
#include "services/command_runner.h"
#include "services/service_steps.h"
#include "ui/main/command_ids.h"
#include "ui/main/command_step.h"
#include "ui/main/service_control.h"
#include "ui/main/service_list.h"

#include <exception>
#include <functional>
#include <memory>
#include <optional>
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
        // The step a command is at (empty: none), for the status bar.
        std::function<void(const std::wstring& step)> OnStep;
        std::function<void()> OnQuit;       // Quit, or a close put off until a command unwound
        std::function<void()> OnRefresh;    // the Refresh command (the window's first show may be due)
        std::function<void()> OnConnected;  // the list was connected to another computer
        // The installation's computers were chosen anew (to be kept, when the window keeps them).
        std::function<void(const std::vector<std::wstring>& computers)> OnComputersSet;
    };

    // The message the commands' worker announces the end of a call with, posted to the list's
    // parent, which hands it to TakeResults.
    static constexpr UINT ResultsMessage = WM_APP + 0x52;

    // Adds the actions to the list, with the enabling rules as its update handler.
    TServiceCommands(TServiceList& list, TActionList& actions, THost host);
    // A command still waiting is ended; its worker's call goes on alone.
    ~TServiceCommands();
    TServiceCommands(const TServiceCommands&) = delete;
    TServiceCommands& operator=(const TServiceCommands&) = delete;

    // The entries of the tool bar, a main menu and the pop-up menu, separators between groups.
    static std::vector<int> ToolBarEntries() { return ActionEntries(&TActionRow::ToolBarGroup); }
    static std::vector<int> MenuEntries(TMainMenu menu) { return ActionEntries(&TActionRow::MenuGroup, menu); }
    static std::vector<int> PopupEntries() { return ActionEntries(&TActionRow::PopupGroup); }

    // Whether a command (or a rebuild) runs.
    bool Running() const { return FCommandDepth > 0 || FStep.has_value(); }
    // The window is to close: true when nothing runs any more (a command waiting for its
    // worker is ended at once); false when a command is inside a nested loop, which ends its
    // wait: the window closes once it has unwound (OnQuit).
    bool EndForClose();
    // Goes on with the commands whose worker calls have ended (on ResultsMessage).
    void TakeResults();
    // Rebuilds the list as a command: nothing else runs meanwhile.
    void Rebuild(bool refreshAll);
    // Shows the computer alone (empty: this one), for this run, as a command: nothing else runs
    // meanwhile. A failure raises a message that says what went wrong, and the list keeps its
    // rows.
    void Connect(const std::wstring& machineName);
    // The installation's computers from now on, as a command (Computers of the installation...
    // asks for them, then does this).
    void SetComputers(const std::vector<std::wstring>& computers);
    // One computer's list read anew, as a command, after a command changed its services.
    void RebuildComputer(const std::wstring& machineName);

private:
    // What the enabling rules look at.
    struct TCommandState {
        bool Idle = true;   // no command waits and no read runs
        bool Row = false;   // a row is selected
        bool Free = false;  // a row, and no monitor follows it
        TServiceState State = ssUnknown;
        TServiceControlAccepteds Controls{};
        bool Remote = false;  // this computer is not in the installation
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

    // Steps. The commands keep service names across their waits, never records: a record is
    // looked up afresh when something is applied to it.
    TCommandRunner& Runner();
    // Runs the command's steps; its error is reported once it has ended.
    void Launch(TStep<> command);
    void CommandEnded(std::exception_ptr error);
    // Frees the command that ended and reports its error, once no step of it runs.
    void FinishEnded();
    void ReportError(std::exception_ptr error);
    // The status bar's text for the step, or none.
    void ShowStep(const std::wstring& step);
    void ShowStep(TServiceControl operation, const std::wstring& name);
    TStep<std::vector<TServiceRecordData>> ReadRecords(std::vector<std::wstring> names);
    // The service's record read afresh and applied; raises when it cannot be read.
    TStep<TServiceRecordData> ReadRecord(std::wstring name);
    // The request, then the service followed by a monitor.
    TStep<> RequestAndFollow(std::wstring name, TServiceControl operation);
    // The operation waited for, within the stall rule; raises when it stalls or the service
    // settles elsewhere.
    TStep<> ControlAndWait(std::wstring name, TServiceControl operation);
    // Stop's questions (the database warning, the running dependants) and, once both are
    // answered Yes, every dependant stopped and waited for; false when the command ends there.
    // dependants receives them as they were before, in stop order.
    TStep<bool> ConfirmStopAndStopDependants(std::wstring name, std::vector<TServiceEntry>& dependants);
    void ApplyRecord(const TServiceRecordData& data);
    void ApplyStatus(const std::wstring& name, const SERVICE_STATUS& status);
    std::wstring DisplayNameOf(const std::wstring& name) const;
    // The service's display name in a step's text, with its computer's name when there are several.
    std::wstring StepTarget(const std::wstring& name) const;
    void FollowWithMonitor(const std::wstring& name, TServiceControl operation);
    void CloseIfRequested();

    TStep<> StartCommand(std::wstring name);
    TStep<> StopCommand(std::wstring name);
    TStep<> RestartCommand(std::wstring name);
    TStep<> PauseCommand(std::wstring name);
    TStep<> RemoveCommand(std::wstring name);
    TStep<> PropsCommand(std::wstring name);

    void ActStartExecute();
    void ActStopExecute();
    void ActRestartExecute();
    void ActPauseExecute();
    void ActRebuildExecute();
    void ActUninstallExecute();
    void ActQuitExecute();
    void ActInstallExecute();
    void ActPropsExecute();
    void ActAboutExecute();
    void ActComputersExecute();
    // Runs a command's handler; with another computer connected, a lost connection is
    // reported as such.
    void RunHandler(void (TServiceCommands::*handler)());
    // Raises the lost connection's message when the error being handled says the computer no
    // longer answers (its row says so too, with several computers); returns otherwise.
    void RaiseIfConnectionLost(const std::wstring& machineName) const;
    // The selected row's service, whose computer the command acts on from now on; none without
    // a service's row, or while a command runs.
    const TNtService* SelectTarget();
    // The list of the command's computer; raises when it left the installation.
    TServiceListModel& Target() const;

    TServiceList& FList;
    // The computer the command acts on (empty: this one), and whether a dialog of Add... holds
    // its records outside of a command's steps.
    std::wstring FTargetMachine;
    bool FHoldsTarget = false;
    TActionList& FActions;
    THost FHost;
    // The rebuild, Connect and the properties dialogs still wait in loops of their own (the
    // list's read, the dialog): counted while they run.
    int FCommandDepth = 0;
    bool FCloseRequested = false;  // closing waits until the running command has unwound
    std::unique_ptr<TCommandRunner> FRunner;
    std::optional<TStep<>> FStep;  // the command running as steps
    std::optional<TStep<>> FEnded;  // the command that ended, until its last step has returned
    std::exception_ptr FEndedError;
    // A step of the command runs now (it is on the stack, maybe in a nested loop): it cannot be
    // ended from outside.
    bool FInStep = false;
};
