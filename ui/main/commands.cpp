// The commands on the selected service: the actions, their enabling rules, and starting,
// stopping, pausing, resuming and removing services with their dependencies and dependants.
#include "ui/main/commands.h"

#include "ui/main/connection.h"
#include "ui/main/form_connect.h"
#include "ui/main/images.h"

#include "common/computer_name.h"
#include "common/errors.h"
#include "common/finally.h"
#include "common/format.h"
#include "common/text.h"
#include "services/failure_text.h"
#include "services/service_monitor.h"
#include "services/start_request.h"
#include "ui/about/form_about.h"
#include "ui/base/application.h"
#include "ui/base/busy.h"
#include "ui/base/delay.h"
#include "ui/base/message_box.h"
#include "ui/props/service_properties.h"

#include <algorithm>


namespace {
constexpr UINT QuestionFlags = MB_YESNOCANCEL | MB_ICONQUESTION;
constexpr UINT WarningFlags = MB_YESNOCANCEL | MB_ICONWARNING;
// A pending service whose check point stands still longer than its wait hint, and never less
// than this, counts as hung.
constexpr DWORD MinWaitHint = 1000;

// Only Yes goes ahead; No, Cancel and closing the box end the command without a change.
bool Confirmed(const std::wstring& question, const wchar_t* caption, UINT flags = QuestionFlags)
{
    return AppMessageBox(question, caption, flags) == IDYES;
}
}  // namespace

// Keeps the count of running commands for the scope of one command. When the outermost one
// has unwound, a close asked for meanwhile goes ahead.
class TServiceCommands::TCommandScope {
public:
    explicit TCommandScope(TServiceCommands& commands) : FCommands(commands) { ++FCommands.FCommandDepth; }
    ~TCommandScope()
    {
        --FCommands.FCommandDepth;
        FCommands.CloseIfRequested();
    }
    TCommandScope(const TCommandScope&) = delete;
    TCommandScope& operator=(const TCommandScope&) = delete;

private:
    TServiceCommands& FCommands;
};

TServiceCommands::TServiceCommands(TServiceList& list, TActionList& actions, THost host)
    : FList(list), FActions(actions), FHost(std::move(host))
{
    for (const TActionRow& row : ActionTable()) {
        // Enabled at start as with no row selected.
        FActions.Add({row.Id, row.Name, row.Caption, row.Hint, row.ShortCuts, row.Image, row.Enabled(TCommandState{}),
                      [this, handler = row.OnExecute] { RunHandler(handler); }});
    }
    FActions.OnUpdate = [this] { ActionsUpdate(); };
}

void TServiceCommands::CloseWhenDone()
{
    // The waiting command's loop ends as the application terminates; the window closes once
    // the command has unwound, so that its close handler runs.
    FCloseRequested = true;
    Application().Terminate();
}

void TServiceCommands::CloseIfRequested()
{
    if (FCloseRequested && FCommandDepth == 0) {
        FCloseRequested = false;
        FHost.OnQuit();
    }
}

// One row a command, with its handler; the rows' order is the order of the entries in the tool
// bar and the menus. Entries of one group stand together, with a separator between groups.
std::span<const TServiceCommands::TActionRow> TServiceCommands::ActionTable()
{
    using S = TCommandState;
    static const TActionRow Rows[] = {
        {.Id = ActStart, .Name = L"ActStart", .Caption = L"Start/Resume", .Hint = L"Start/resume service",
         .Image = imgStart, .OnExecute = &TServiceCommands::ActStartExecute,
         .Enabled = [](const S& s) { return s.Idle && s.Free && (s.State == ssStopped || s.State == ssPaused); },
         .ToolBarGroup = 1, .Menu = mnService, .MenuGroup = 1, .PopupGroup = 1},
        {.Id = ActStop, .Name = L"ActStop", .Caption = L"Stop", .Hint = L"Stop service", .Image = imgStop,
         .OnExecute = &TServiceCommands::ActStopExecute,
         .Enabled = [](const S& s) { return s.Idle && s.Free && (s.State == ssRunning || s.State == ssPaused); },
         .ToolBarGroup = 1, .Menu = mnService, .MenuGroup = 1, .PopupGroup = 1},
        {.Id = ActRestart, .Name = L"ActRestart", .Caption = L"Restart", .Hint = L"Restart|Stop and start the service again",
         .ShortCuts = {{.Key = 'R', .Ctrl = true}}, .Image = imgRestart, .OnExecute = &TServiceCommands::ActRestartExecute,
         .Enabled = [](const S& s) { return s.Idle && s.Free && s.State == ssRunning && s.Controls.Contains(caStop); },
         .ToolBarGroup = 1, .Menu = mnService, .MenuGroup = 1, .PopupGroup = 1},
        {.Id = ActPause, .Name = L"ActPause", .Caption = L"Pause", .Hint = L"Pause service", .Image = imgPause,
         .OnExecute = &TServiceCommands::ActPauseExecute,
         .Enabled = [](const S& s) { return s.Idle && s.Free && s.State == ssRunning && s.Controls.Contains(caPauseContinue); },
         .ToolBarGroup = 1, .Menu = mnService, .MenuGroup = 1, .PopupGroup = 1},
        {.Id = ActRebuild, .Name = L"ActRebuild", .Caption = L"Refresh", .Hint = L"Rebuild service list",
         .ShortCuts = {{VK_F5}}, .Image = imgRefresh, .OnExecute = &TServiceCommands::ActRebuildExecute,
         .Enabled = [](const S& s) { return s.Idle; }, .ToolBarGroup = 2, .Menu = mnView, .MenuGroup = 1, .PopupGroup = 2},
        // The installers run on this computer.
        {.Id = ActInstall, .Name = L"ActInstall", .Caption = L"Add...", .Hint = L"Install new service",
         .ShortCuts = {{VK_INSERT}}, .OnExecute = &TServiceCommands::ActInstallExecute,
         .Enabled = [](const S& s) { return s.Idle && !s.Remote; },
         .RemoteHint = L"Install new service|Installs on this computer only: connect to the local computer first",
         .Menu = mnService, .MenuGroup = 2, .PopupGroup = 3},
        {.Id = ActUninstall, .Name = L"ActUninstall", .Caption = L"Remove", .Hint = L"Uninstall service",
         .ShortCuts = {{VK_DELETE}}, .OnExecute = &TServiceCommands::ActUninstallExecute,
         .Enabled = [](const S& s) { return s.Idle && s.Row && s.State == ssStopped; },
         .Menu = mnService, .MenuGroup = 2, .PopupGroup = 3},
        {.Id = ActProps, .Name = L"ActProps", .Caption = L"Properties...", .Hint = L"Service properties",
         .ShortCuts = {{VK_RETURN}}, .Image = imgProperties, .OnExecute = &TServiceCommands::ActPropsExecute,
         .Enabled = [](const S& s) { return s.Idle && s.Row; }, .ToolBarGroup = 2, .Menu = mnService, .MenuGroup = 3,
         .PopupGroup = 4},
        {.Id = ActConnect, .Name = L"ActConnect", .Caption = L"Connect to another computer...",
         .Hint = L"Connect|Show and manage the services of another computer", .OnExecute = &TServiceCommands::ActConnectExecute,
         .Enabled = [](const S& s) { return s.Idle; }, .Menu = mnProgram, .MenuGroup = 1},
        {.Id = ActQuit, .Name = L"ActQuit", .Caption = L"Quit", .Hint = L"Quit application",
         .ShortCuts = {{VK_F4, true}, {'X', true}}, .Image = imgQuit, .OnExecute = &TServiceCommands::ActQuitExecute,
         .ToolBarGroup = 3, .Menu = mnProgram, .MenuGroup = 2},
        {.Id = ActAbout, .Name = L"ActAbout", .Caption = L"About...", .Hint = L"",
         .OnExecute = &TServiceCommands::ActAboutExecute, .Menu = mnHelp, .MenuGroup = 1},
    };
    return Rows;
}

std::vector<int> TServiceCommands::ActionEntries(int TActionRow::*group, TMainMenu menu)
{
    std::vector<int> entries;
    int last = 0;
    for (const TActionRow& row : ActionTable()) {
        if (row.*group == 0 || (menu != mnNone && row.Menu != menu))
            continue;
        if (last != 0 && row.*group != last)
            entries.push_back(Separator);
        last = row.*group;
        entries.push_back(row.Id);
    }
    return entries;
}

TServiceCommands::TCommandState TServiceCommands::CommandState() const
{
    TCommandState state;
    // A waiting command still uses the catalogue's records: nothing that acts on them or
    // rebuilds them runs meanwhile.
    state.Idle = FCommandDepth == 0;
    const TItemData* data = FList.SelectedData();
    if (data && data->Service) {
        state.Row = true;
        state.Free = data->Monitor == nullptr;
        state.State = data->Service->ServiceState();
        state.Controls = data->Service->ControlsAccepted();
    }
    state.Remote = !FList.Manager().MachineName().empty();
    return state;
}

void TServiceCommands::ActionsUpdate()
{
    const TCommandState state = CommandState();
    for (const TActionRow& row : ActionTable())
        if (TAction* a = FActions.Find(row.Id)) {
            a->Enabled = row.Enabled(state);
            if (row.RemoteHint)
                a->Hint = state.Remote ? row.RemoteHint : row.Hint;
        }
}

void TServiceCommands::RunHandler(void (TServiceCommands::*handler)())
{
    try {
        (this->*handler)();
    } catch (const EOSError&) {
        RaiseIfConnectionLost();
        throw;
    }
}

void TServiceCommands::RaiseIfConnectionLost() const
{
    const std::wstring& machine = FList.Manager().MachineName();
    try {
        throw;
    } catch (const EOSError& error) {
        if (!machine.empty() && IsLostConnectionError(error.ErrorCode())) {
            // The catalogue's next use connects anew.
            FList.NoteConnectionLost();
            throw Exception(ConnectionLostText(machine, error.Message()));
        }
    } catch (...) {
    }
}

void TServiceCommands::ExecuteControl(TNtService* service, TServiceControl operation, bool wait, TItemData* data,
                                      bool timeLimited)
{
    TBusyCursor busy;
    TCommandScope command(*this);
    const TControlInfo info = ControlInfo(operation);
    switch (operation) {
    case scStart:
        if (!RequestStart(*service))
            return;  // the application is terminating
        break;
    case scStop:
        service->Stop(false);
        break;
    case scPause:
        service->Pause(false);
        break;
    case scContinue:
        service->Continue(false);
        break;
    }
    DelayWithMessages(100);
    if (wait) {
        // The wait loop refreshes the list itself; the timer comes back on every path.
        FHost.OnWaiting(true);
        TFinally timerBack([this] { FHost.OnWaiting(false); });
        TApplication& app = Application();
        // The manager's measure of progress: the check point should grow within the wait hint.
        DWORD lastCheckPoint = 0;
        DWORD lastProgress = GetTickCount();
        for (;;) {
            service->Refresh();
            // Its own row first: the list's refresh keeps to its time budget.
            FList.PaintService(service);
            FList.Update();
            app.ProcessMessages();
            DelayWithMessages(100);
            const TServiceState state = service->ServiceState();
            if (state != info.FinalState && !IsPendingState(state))
                throw Exception(WithExitCode(OperationFailedText(service->ServiceName(), info.Operation),
                                             service->Win32ExitCode(), service->ServiceSpecificExitCode()));
            if (state == info.FinalState || app.Terminated())
                break;
            if (service->CheckPoint() != lastCheckPoint) {
                lastCheckPoint = service->CheckPoint();
                lastProgress = GetTickCount();
            } else if (timeLimited && GetTickCount() - lastProgress > std::max<DWORD>(service->WaitHint(), MinWaitHint)) {
                throw Exception(Fmt(L"%s: %s did not end within the time the service asked for.",
                                    {service->ServiceName(), info.Operation}));
            }
        }
    } else if (data && !data->Monitor) {
        FList.StartMonitor(data, operation);
    }
}

bool TServiceCommands::RequestStart(const TNtService& service)
{
    TSCManager& manager = FList.Manager();
    TStartRequest request(manager.Scm(), manager.MachineName(), manager.DatabaseName(), service.ServiceName());
    if (!WaitWithMessages(request.DoneEvent()))
        return false;
    request.Result();
    return true;
}

std::vector<TNtService*> TServiceCommands::DependenciesOf(TNtService* service)
{
    std::vector<TNtService*> list;
    for (int i = 0; i < service->DependentServiceCount(); ++i)
        list.push_back(service->GetDependentService(i));
    return list;
}

std::vector<TNtService*> TServiceCommands::DependantsOf(TNtService* service)
{
    std::vector<TNtService*> list;
    for (int i = 0; i < service->DependentByServiceCount(); ++i)
        list.push_back(service->GetDependentByService(i));
    return list;
}

// The display names, in double quotes and one a line, of the services found in state (as read
// just before, on the list's worker: LookUp); only direct dependencies or dependants count.
std::wstring TServiceCommands::CollectNames(const std::vector<TNtService*>& services, TServiceState state)
{
    std::wstring text;
    for (TNtService* other : services) {
        if (other->ServiceState() == state) {
            if (!text.empty())
                text += L"\r\n";
            text += L"\"" + other->DisplayName() + L"\"";
        }
    }
    return text;
}

std::wstring TServiceCommands::CollectDependencies(TNtService* service, TServiceState state)
{
    return CollectNames(DependenciesOf(service), state);
}

std::wstring TServiceCommands::CollectDependants(TNtService* service, TServiceState state)
{
    return CollectNames(DependantsOf(service), state);
}

// Applies operation to every service not already settled, one after the other, each waited for.
void TServiceCommands::ControlAllBut(const std::vector<TNtService*>& services, TServiceState settled, TServiceControl operation)
{
    TBusyCursor busy;
    for (TNtService* other : services) {
        if (Application().Terminated())
            break;
        if (other->ServiceState() != settled) {
            int row = FList.FindItemByService(other);
            ExecuteControl(other, operation, true, row >= 0 ? FList.ItemData(row) : nullptr);
        }
    }
}

void TServiceCommands::StartDependencies(TNtService* service) { ControlAllBut(DependenciesOf(service), ssRunning, scStart); }

void TServiceCommands::StopDependants(TNtService* service) { ControlAllBut(DependantsOf(service), ssStopped, scStop); }

bool TServiceCommands::LookUp(TNtService* service, TLookUp what)
{
    // The service's own record first: its dependencies come from its configuration.
    if (!FList.ReadRecords({service}, false))
        return false;
    switch (what) {
    case luRecord:
        return true;
    case luDependencies:
        return FList.ReadRecords(DependenciesOf(service), true);
    case luDependants:
        return FList.ReadDependants(service);
    }
    return true;
}

void TServiceCommands::ActStartExecute()
{
    TItemData* data = FList.SelectedData();
    if (!data)
        return;
    TCommandScope command(*this);
    TNtService* service = data->Service;
    if (!LookUp(service, luDependencies))
        return;  // the application is terminating
    std::wstring dependencies = CollectDependencies(service, ssStopped);
    if (!dependencies.empty()) {
        if (!Confirmed(Fmt(L"These services are dependent and must also be started. Continue?\r\n\r\n%s", {dependencies}),
                       L"Start service"))
            return;
        StartDependencies(service);
        // The window was closed meanwhile: the wait ended early, and nothing more is started.
        if (Application().Terminated())
            return;
    }
    if (service->ServiceState() == ssStopped)
        ExecuteControl(service, scStart, false, data);
    else if (service->ServiceState() == ssPaused)
        ExecuteControl(service, scContinue, false, data);
}

bool TServiceCommands::ConfirmStopAndStopDependants(TNtService* service, std::vector<TNtService*>& running)
{
    if (IsDatabaseService(service->ServiceName()) &&
        !Confirmed(L"You are about to stop the database server. Really continue?", L"Stop service"))
        return false;
    if (!LookUp(service, luDependants))
        return false;
    std::wstring dependants = CollectDependants(service, ssRunning);
    running.clear();
    for (TNtService* other : DependantsOf(service))
        if (other->ServiceState() == ssRunning)
            running.push_back(other);
    if (!dependants.empty()) {
        if (!Confirmed(Fmt(L"These services are dependent and must also be stopped. Continue?\r\n\r\n%s", {dependants}),
                       L"Stop service"))
            return false;
        StopDependants(service);
        if (Application().Terminated())
            return false;
    }
    return true;
}

void TServiceCommands::ActStopExecute()
{
    TItemData* data = FList.SelectedData();
    if (!data)
        return;
    TCommandScope command(*this);
    std::vector<TNtService*> running;
    if (ConfirmStopAndStopDependants(data->Service, running))
        ExecuteControl(data->Service, scStop, false, data);
}

// Stop with Stop's questions, waited for within the service's own time limits; then the service
// started again, and the dependants that ran before once it runs. Without such dependants the
// start is followed as Start follows it.
void TServiceCommands::ActRestartExecute()
{
    TItemData* data = FList.SelectedData();
    if (!data)
        return;
    TCommandScope command(*this);
    TNtService* service = data->Service;
    std::vector<TNtService*> dependants;
    if (!ConfirmStopAndStopDependants(service, dependants))
        return;
    ExecuteControl(service, scStop, true, data, true);
    if (Application().Terminated())
        return;
    if (dependants.empty()) {
        ExecuteControl(service, scStart, false, data);
        return;
    }
    ExecuteControl(service, scStart, true, data);
    for (TNtService* other : dependants) {
        if (Application().Terminated())
            break;
        TServiceList::RefreshService(other);
        if (other->ServiceState() != ssStopped)
            continue;
        const int row = FList.FindItemByService(other);
        ExecuteControl(other, scStart, false, row >= 0 ? FList.ItemData(row) : nullptr);
    }
}

void TServiceCommands::ActPauseExecute()
{
    if (TItemData* data = FList.SelectedData())
        ExecuteControl(data->Service, scPause, false, data);
}

void TServiceCommands::Rebuild(bool refreshAll)
{
    // While the list is read anew the old records stay in use: no command or second rebuild
    // runs meanwhile, and a close waits until the read has unwound.
    TCommandScope command(*this);
    FActions.Update();
    // Before the first connection has been made, a failure to connect says so.
    const bool connected = FList.Manager().Active() || FList.Manager().ConnectionDropped();
    try {
        FList.Rebuild(refreshAll);
    } catch (const EOSError& error) {
        const std::wstring& machine = FList.Manager().MachineName();
        if (!connected && !machine.empty())
            throw Exception(ConnectFailureText(machine, error));
        RaiseIfConnectionLost();
        throw;
    }
}

void TServiceCommands::Connect(const std::wstring& machineName)
{
    // The records of the old catalogue go: nothing that uses them runs meanwhile.
    TCommandScope command(*this);
    FActions.Update();
    bool connected = false;
    try {
        connected = FList.Connect(machineName);
    } catch (const std::exception& error) {
        throw Exception(ConnectFailureText(machineName.empty() ? ThisComputerName() : machineName, error));
    }
    if (connected)
        FHost.OnConnected();
}

void TServiceCommands::ActConnectExecute()
{
    std::wstring machine = FList.Manager().MachineName();
    if (AskComputer(machine))
        Connect(machine);
}

void TServiceCommands::ActRebuildExecute() { FHost.OnRefresh(); }

void TServiceCommands::ActUninstallExecute()
{
    TItemData* data = FList.SelectedData();
    if (!data)
        return;
    TNtService* service = data->Service;
    {
        TCommandScope command(*this);
        if (!LookUp(service, luRecord))
            return;
    }
    if (!Confirmed(Fmt(L"Really unregister selected service (%s)?", {service->DisplayName()}), L"Uninstall service",
                   WarningFlags))
        return;
    TBusyCursor busy;
    {
        TCommandScope command(*this);
        service->Delete();
        DelayWithMessages(1000);
    }
    // The command's own last step: nothing uses the old records after it.
    if (!Application().Terminated()) {
        FList.SelectAfterRebuild(TServiceList::TRebuildSelection::NextOfRemoved);
        Rebuild(true);
    }
}

void TServiceCommands::ActQuitExecute() { FHost.OnQuit(); }

void TServiceCommands::ActInstallExecute()
{
    bool installed = false;
    {
        // The dialog offers the catalogue's records as dependencies: no rebuild meanwhile.
        TCommandScope command(*this);
        installed = ShowServiceProperties(FList.Manager(), nullptr);
    }
    if (installed && !Application().Terminated()) {
        FList.SelectAfterRebuild(TServiceList::TRebuildSelection::NewService);
        Rebuild(true);
    }
}

void TServiceCommands::ActPropsExecute()
{
    TItemData* data = FList.SelectedData();
    if (!data)
        return;
    TCommandScope command(*this);
    TNtService* service = data->Service;
    // Read afresh on the worker: the dialog shows what is in force, and offers none of the
    // services that depend on this one.
    if (!FList.ReadRecords({service}, true) || !FList.ReadDependants(service) ||
        !ShowServiceProperties(FList.Manager(), service))
        return;
    try {
        service->Refresh();
    } catch (const EOSError& error) {
        // A connection lost while the dialog was open is reported (once); the timer shows the
        // service's state on its next tick.
        const std::wstring& machine = FList.Manager().MachineName();
        if (!machine.empty() && IsLostConnectionError(error.ErrorCode()) && FList.NoteConnectionLost())
            throw Exception(ConnectionLostText(machine, error.Message()));
    } catch (const Exception&) {
        // The timer shows the service's state on its next tick.
    }
    FList.PaintService(service);
}

void TServiceCommands::ActAboutExecute() { ShowAboutBox(); }
