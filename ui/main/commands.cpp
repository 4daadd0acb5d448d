// The commands on the selected service: the actions, their enabling rules, and starting,
// stopping, pausing, resuming and removing services with their dependencies and dependants, as
// steps whose calls the commands' worker makes.
#include "ui/main/commands.h"

#include "ui/main/connection.h"
#include "ui/main/form_computers.h"
#include "ui/main/installation_computers.h"
#include "ui/main/images.h"

#include "common/computer_name.h"
#include "common/errors.h"
#include "common/finally.h"
#include "common/format.h"
#include "common/text.h"
#include "erp/exe_type.h"
#include "services/failure_text.h"
#include "ui/about/form_about.h"
#include "ui/base/application.h"
#include "ui/base/busy.h"
#include "ui/base/message_box.h"
#include "ui/props/service_properties.h"

#include <algorithm>

namespace {
constexpr UINT QuestionFlags = MB_YESNOCANCEL | MB_ICONQUESTION;
constexpr UINT WarningFlags = MB_YESNOCANCEL | MB_ICONWARNING;
// What the manager is given a moment for after a service was removed, before the list is read
// anew.
constexpr DWORD RemovedSettleMs = 1000;

// Only Yes goes ahead; No, Cancel and closing the box end the command without a change.
bool Confirmed(const std::wstring& question, const wchar_t* caption, UINT flags = QuestionFlags)
{
    return AppMessageBox(question, caption, flags) == IDYES;
}

// The names, in double quotes and one a line.
std::wstring QuotedLines(const std::vector<std::wstring>& names)
{
    std::wstring text;
    for (const std::wstring& name : names) {
        if (!text.empty())
            text += L"\r\n";
        text += L"\"" + name + L"\"";
    }
    return text;
}

}  // namespace

// Keeps the count of commands running in loops of their own (the list's read, a dialog) for
// the scope of one. When the outermost one has unwound, a close asked for meanwhile goes ahead.
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
    // A computer's new records wait while a command uses its old ones.
    FList.Installation().InUse = [this](const std::wstring& machine) {
        return (FStep.has_value() || FEnded.has_value() || FHoldsTarget) && SameComputer(machine, FTargetMachine);
    };
}

TServiceCommands::~TServiceCommands()
{
    FList.Installation().InUse = nullptr;
    if (FRunner)
        FRunner->Abandon();
    FStep.reset();
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
        // The installers run on this computer, whatever row is selected.
        {.Id = ActInstall, .Name = L"ActInstall", .Caption = L"Add...", .Hint = L"Install new service",
         .ShortCuts = {{VK_INSERT}}, .OnExecute = &TServiceCommands::ActInstallExecute,
         .Enabled = [](const S& s) { return s.Idle && !s.Remote; },
         .RemoteHint = L"Install new service|Installs on this computer only: add this computer to the installation first",
         .Menu = mnService, .MenuGroup = 2, .PopupGroup = 3},
        {.Id = ActUninstall, .Name = L"ActUninstall", .Caption = L"Remove", .Hint = L"Uninstall service",
         .ShortCuts = {{VK_DELETE}}, .OnExecute = &TServiceCommands::ActUninstallExecute,
         .Enabled = [](const S& s) { return s.Idle && s.Row && s.State == ssStopped; },
         .Menu = mnService, .MenuGroup = 2, .PopupGroup = 3},
        {.Id = ActProps, .Name = L"ActProps", .Caption = L"Properties...", .Hint = L"Service properties",
         .ShortCuts = {{VK_RETURN}}, .Image = imgProperties, .OnExecute = &TServiceCommands::ActPropsExecute,
         .Enabled = [](const S& s) { return s.Idle && s.Row; }, .ToolBarGroup = 2, .Menu = mnService, .MenuGroup = 3,
         .PopupGroup = 4},
        {.Id = ActComputers, .Name = L"ActComputers", .Caption = L"Computers of the installation...",
         .Hint = L"Computers|Choose the computers whose services the list shows",
         .OnExecute = &TServiceCommands::ActComputersExecute, .Enabled = [](const S& s) { return s.Idle; },
         .Menu = mnProgram, .MenuGroup = 1},
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
    state.Idle = !Running();
    // A computer's own row (it does not answer) offers no command on a service.
    const TItemData* data = FList.SelectedData();
    if (data && data->Service) {
        state.Row = true;
        state.Free = data->Monitor == nullptr;
        state.State = data->Service->ServiceState();
        state.Controls = data->Service->ControlsAccepted();
    }
    state.Remote = FList.Installation().FindComputer(std::wstring()) == nullptr;
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
        RaiseIfConnectionLost(FList.Manager().MachineName());
        throw;
    }
}

void TServiceCommands::RaiseIfConnectionLost(const std::wstring& machine) const
{
    try {
        throw;
    } catch (const EOSError& error) {
        if (!machine.empty() && IsLostConnectionError(error.ErrorCode())) {
            // The catalogue's next use connects anew; with several computers its row says it.
            const std::wstring message = ConnectionLostText(machine, error.Message());
            FList.Installation().NoteConnectionLost(machine, message);
            throw Exception(message);
        }
    } catch (...) {
    }
}

const TNtService* TServiceCommands::SelectTarget()
{
    const TItemData* data = FList.SelectedData();
    if (FStep || !data || !data->Service)
        return nullptr;  // one command at a time; a computer's own row has no service
    FTargetMachine = data->List->Manager().MachineName();
    return data->Service;
}

// ---- The commands ----------------------------------------------------------------------------

void TServiceCommands::ActStartExecute()
{
    if (const TNtService* service = SelectTarget())
        Launch(StartCommand(service->ServiceName()));
}

// The services it depends on that are stopped are named in a question and, on Yes, started
// first, each waited for; then the service itself is started (or resumed) and followed.
TStep<> TServiceCommands::StartCommand(std::wstring name)
{
    TBusyCursor busy;
    const TServiceRecordData self = co_await ReadRecord(name);
    std::vector<std::wstring> dependencies;
    if (self.Config)
        for (const std::wstring& entry : self.Config->Dependencies)
            if (!entry.empty() && entry[0] != SC_GROUP_IDENTIFIERW)
                dependencies.push_back(entry);
    std::vector<std::wstring> stopped;
    const std::vector<TServiceRecordData> read = co_await ReadRecords(dependencies);
    for (const TServiceRecordData& dependency : read)
        if (dependency.Status && dependency.Status->dwCurrentState == SERVICE_STOPPED)
            stopped.push_back(DisplayNameOf(dependency.ServiceName));
    if (!stopped.empty()) {
        if (!Confirmed(Fmt(L"These services are dependent and must also be started. Continue?\r\n\r\n%s",
                           {QuotedLines(stopped)}),
                       L"Start service"))
            co_return;
        for (const std::wstring& dependency : dependencies)
            co_await ControlAndWait(dependency, scStart);
    }
    const DWORD state = self.Status ? self.Status->dwCurrentState : 0;
    if (state == SERVICE_STOPPED)
        co_await RequestAndFollow(name, scStart);
    else if (state == SERVICE_PAUSED)
        co_await RequestAndFollow(name, scContinue);
}

TStep<bool> TServiceCommands::ConfirmStopAndStopDependants(std::wstring name, std::vector<TServiceEntry>& dependants)
{
    if (IsDatabaseService(name) &&
        !Confirmed(L"You are about to stop the database server. Really continue?", L"Stop service"))
        co_return false;
    auto readDependants = [name](TRunnerConnection& c) { return DependantsOf(c.Scm(), c.Manager(), name); };
    dependants = co_await RunnerCall<std::vector<TServiceEntry>>(Runner(), std::move(readDependants));
    std::vector<std::wstring> running;
    for (const TServiceEntry& dependant : dependants) {
        ApplyStatus(dependant.Name, dependant.Status);
        if (dependant.Status.dwCurrentState == SERVICE_RUNNING)
            running.push_back(dependant.DisplayName);
    }
    if (!running.empty() &&
        !Confirmed(Fmt(L"These services are dependent and must also be stopped. Continue?\r\n\r\n%s",
                       {QuotedLines(running)}),
                   L"Stop service"))
        co_return false;
    // In the manager's order: each before the services it depends on. One that is stopping
    // already is waited for, one that is starting is waited for and then stopped.
    for (const TServiceEntry& dependant : dependants)
        if (dependant.Status.dwCurrentState != SERVICE_STOPPED)
            co_await ControlAndWait(dependant.Name, scStop);
    co_return true;
}

void TServiceCommands::ActStopExecute()
{
    if (const TNtService* service = SelectTarget())
        Launch(StopCommand(service->ServiceName()));
}

TStep<> TServiceCommands::StopCommand(std::wstring name)
{
    TBusyCursor busy;
    std::vector<TServiceEntry> dependants;
    if (co_await ConfirmStopAndStopDependants(name, dependants))
        co_await RequestAndFollow(name, scStop);
}

void TServiceCommands::ActRestartExecute()
{
    if (const TNtService* service = SelectTarget())
        Launch(RestartCommand(service->ServiceName()));
}

// Stop with Stop's questions, waited for within the service's own time limits; then the service
// started again, and every dependant brought back to the state it had (running, or paused),
// each after the services it depends on. Without such dependants the start is followed as
// Start follows it.
TStep<> TServiceCommands::RestartCommand(std::wstring name)
{
    TBusyCursor busy;
    std::vector<TServiceEntry> dependants;
    if (!co_await ConfirmStopAndStopDependants(name, dependants))
        co_return;
    co_await ControlAndWait(name, scStop);
    std::erase_if(dependants, [](const TServiceEntry& dependant) {
        return dependant.Status.dwCurrentState != SERVICE_RUNNING && dependant.Status.dwCurrentState != SERVICE_PAUSED;
    });
    if (dependants.empty()) {
        co_await RequestAndFollow(name, scStart);
        co_return;
    }
    co_await ControlAndWait(name, scStart);
    // The stop order backwards: each after the services it depends on.
    for (auto dependant = dependants.rbegin(); dependant != dependants.rend(); ++dependant) {
        co_await ControlAndWait(dependant->Name, scStart);
        if (dependant->Status.dwCurrentState == SERVICE_PAUSED)
            co_await ControlAndWait(dependant->Name, scPause);
    }
}

void TServiceCommands::ActPauseExecute()
{
    if (const TNtService* service = SelectTarget())
        Launch(PauseCommand(service->ServiceName()));
}

TStep<> TServiceCommands::PauseCommand(std::wstring name)
{
    TBusyCursor busy;
    co_await RequestAndFollow(name, scPause);
}

void TServiceCommands::ActUninstallExecute()
{
    if (const TNtService* service = SelectTarget())
        Launch(RemoveCommand(service->ServiceName()));
}

TStep<> TServiceCommands::RemoveCommand(std::wstring name)
{
    {
        TBusyCursor busy;
        co_await ReadRecord(name);
    }
    if (!Confirmed(Fmt(L"Really unregister selected service (%s)?", {DisplayNameOf(name)}), L"Uninstall service",
                   WarningFlags))
        co_return;
    TBusyCursor busy;
    ShowStep(Fmt(L"Removing %s...", {StepTarget(name)}));
    auto remove = [name](TRunnerConnection& c) {
        IServiceControlManager& scm = c.Scm();
        UniqueScHandleOf service(scm, scm.OpenServiceW(c.Manager(), name.c_str(), DELETE));
        if (!service)
            RaiseLastOSError();
        Win32Check(scm.DeleteService(service.get()));
        Win32Check(service.Close());
        scm.Delay(RemovedSettleMs);
        return true;
    };
    co_await RunnerCall<bool>(Runner(), std::move(remove));
    // The command's own last step: nothing uses the old records after it.
    FList.SelectAfterRebuild(TServiceList::TRebuildSelection::NextOfRemoved);
    RebuildComputer(FTargetMachine);
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
        RaiseIfConnectionLost(machine);
        throw;
    }
}

void TServiceCommands::RebuildComputer(const std::wstring& machineName)
{
    TCommandScope command(*this);
    FActions.Update();
    try {
        FList.RebuildComputer(machineName);
    } catch (const EOSError&) {
        RaiseIfConnectionLost(machineName);
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

void TServiceCommands::ActComputersExecute()
{
    std::vector<std::wstring> computers = FList.Installation().Computers();
    {
        // Nothing else runs while the dialog is open: the computers it removes take their records.
        TCommandScope dialog(*this);
        if (!AskInstallationComputers(computers))
            return;
    }
    SetComputers(computers);
}

void TServiceCommands::SetComputers(const std::vector<std::wstring>& computers)
{
    TCommandScope command(*this);
    FList.SetComputers(computers);
    if (FHost.OnComputersSet)
        FHost.OnComputersSet(computers);
}

void TServiceCommands::ActRebuildExecute() { FHost.OnRefresh(); }

void TServiceCommands::ActQuitExecute() { FHost.OnQuit(); }

void TServiceCommands::ActInstallExecute()
{
    // The installers run on this computer: the service goes there, whatever row is selected.
    TServiceListModel* here = FList.Installation().FindComputer(std::wstring());
    if (!here || Running())
        return;
    bool installed = false;
    {
        // The dialog offers this computer's records as dependencies: no new records meanwhile.
        TCommandScope command(*this);
        FTargetMachine.clear();
        FHoldsTarget = true;
        TFinally released([this] { FHoldsTarget = false; });
        installed = ShowServiceProperties(here->Manager(), nullptr);
    }
    if (installed && !Application().Terminated()) {
        FList.SelectAfterRebuild(TServiceList::TRebuildSelection::NewService);
        RebuildComputer(std::wstring());
    }
}

void TServiceCommands::ActPropsExecute()
{
    if (const TNtService* service = SelectTarget())
        Launch(PropsCommand(service->ServiceName()));
}

// The record read afresh on the worker, the dialog on it, and after OK the record read again.
TStep<> TServiceCommands::PropsCommand(std::wstring name)
{
    {
        TBusyCursor busy;
        co_await ReadRecord(name);
    }
    // The dialog offers the services of the service's own computer only.
    TNtService* service = nullptr;
    if (!Target().Manager().FindService(name, service))
        co_return;
    // Its dependants too: the dialog offers none of the services that depend on this one.
    if (!Target().ReadDependants(service) || !Target().Manager().FindService(name, service))
        co_return;
    bool changed = false;
    {
        TCommandScope dialog(*this);
        changed = ShowServiceProperties(Target().Manager(), service);
    }
    if (!changed || FCloseRequested)
        co_return;
    // A failed read leaves the row as it was: the timer shows the service on its next tick. A
    // connection lost while the dialog was open is reported (once).
    std::vector<std::wstring> names(1, name);
    const std::vector<TServiceRecordData> read = co_await ReadRecords(std::move(names));
    if (read.front().Error)
        try {
            std::rethrow_exception(read.front().Error);
        } catch (const EOSError& error) {
            const std::wstring& machine = FTargetMachine;
            const std::wstring message = ConnectionLostText(machine, error.Message());
            if (!machine.empty() && IsLostConnectionError(error.ErrorCode()) &&
                FList.Installation().NoteConnectionLost(machine, message))
                throw Exception(message);
        } catch (...) {
        }
}

void TServiceCommands::ActAboutExecute() { ShowAboutBox(); }
