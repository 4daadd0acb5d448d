// The commands on the selected service: the actions, their enabling rules, and starting,
// stopping, pausing, resuming and removing services with their dependencies and dependants.
#include "ui/main/form_main.h"

#include "common/application.h"
#include "common/busy.h"
#include "common/delay.h"
#include "common/errors.h"
#include "common/finally.h"
#include "common/format.h"
#include "common/message_box.h"
#include "common/text.h"
#include "services/start_request.h"
#include "ui/about/form_about.h"
#include "ui/props/service_properties.h"


namespace {
constexpr UINT QuestionFlags = MB_YESNOCANCEL | MB_ICONQUESTION;  // 35
constexpr UINT WarningFlags = MB_YESNOCANCEL | MB_ICONWARNING;    // 51

// Only Yes goes ahead; No, Cancel and closing the box end the command without a change.
bool Confirmed(const std::wstring& question, const wchar_t* caption, UINT flags = QuestionFlags)
{
    return AppMessageBox(question, caption, flags) == IDYES;
}
}  // namespace

// Keeps the count of running commands for the scope of one command. When the outermost one
// has unwound, a close asked for meanwhile goes ahead.
class TFormMain::TCommandScope {
public:
    explicit TCommandScope(TFormMain& form) : FForm(form) { ++FForm.FCommandDepth; }
    ~TCommandScope()
    {
        --FForm.FCommandDepth;
        FForm.CloseIfRequested();
    }
    TCommandScope(const TCommandScope&) = delete;
    TCommandScope& operator=(const TCommandScope&) = delete;

private:
    TFormMain& FForm;
};

void TFormMain::CreateActions()
{
    struct TActionRow {
        int Id;
        const wchar_t* Name;
        const wchar_t* Caption;
        const wchar_t* Hint;
        std::vector<TShortCut> ShortCuts;
        int Image;
        bool Enabled;
        void (TFormMain::*OnExecute)();
    };
    static const TActionRow Rows[] = {
        {ActStart, L"ActStart", L"Start/Resume", L"Start/resume service", {}, imgStart, false,
         &TFormMain::ActStartExecute},
        {ActStop, L"ActStop", L"Stop", L"Stop service", {}, imgStop, false, &TFormMain::ActStopExecute},
        {ActPause, L"ActPause", L"Pause", L"Pause service", {}, imgPause, false, &TFormMain::ActPauseExecute},
        {ActRebuild, L"ActRebuild", L"Refresh", L"Rebuild service list", {{VK_F5}}, imgRefresh, true,
         &TFormMain::ActRebuildExecute},
        {ActUninstall, L"ActUninstall", L"Remove", L"Uninstall service", {{VK_DELETE}}, -1, false,
         &TFormMain::ActUninstallExecute},
        {ActInstall, L"ActInstall", L"Add...", L"Install new service", {{VK_INSERT}}, -1, true,
         &TFormMain::ActInstallExecute},
        {ActQuit, L"ActQuit", L"Quit", L"Quit application", {{VK_F4, true}, {'X', true}}, imgQuit, true,
         &TFormMain::ActQuitExecute},
        {ActProps, L"ActProps", L"Properties...", L"Service properties", {{VK_RETURN}}, imgProperties, false,
         &TFormMain::ActPropsExecute},
        {ActAbout, L"ActAbout", L"About...", L"", {}, -1, true, &TFormMain::ActAboutExecute},
    };
    for (const TActionRow& row : Rows) {
        FActions.Add({row.Id, row.Name, row.Caption, row.Hint, row.ShortCuts, row.Image, row.Enabled,
                      [this, handler = row.OnExecute] { (this->*handler)(); }});
    }
    FActions.OnUpdate = [this] { ActionsUpdate(); };
}

void TFormMain::ActionsUpdate()
{
    TItemData* data = SelectedData();
    const bool row = data != nullptr && data->Service != nullptr;
    const bool free = row && data->Monitor == nullptr;
    const TServiceState state = row ? data->Service->ServiceState() : ssUnknown;
    // A waiting command still uses the catalogue's records: nothing that acts on them or
    // rebuilds them runs meanwhile.
    const bool idle = FCommandDepth == 0;

    auto set = [this](int id, bool enabled) {
        if (TAction* a = FActions.Find(id))
            a->Enabled = enabled;
    };
    set(ActStart, idle && free && (state == ssStopped || state == ssPaused));
    set(ActStop, idle && free && (state == ssRunning || state == ssPaused));
    set(ActPause, idle && free && state == ssRunning && data->Service->ControlsAccepted().Contains(caPauseContinue));
    set(ActUninstall, idle && row && state == ssStopped);
    set(ActProps, idle && row);
    set(ActRebuild, idle);
    set(ActInstall, idle);
    set(ActQuit, true);
    set(ActAbout, true);
}

void TFormMain::ExecuteControl(TNtService* service, TServiceControl operation, bool wait, TItemData* data)
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
        SetTimerOn(false);
        TFinally timerBack([this] { SetTimerOn(true); });
        TApplication& app = Application();
        for (;;) {
            service->Refresh();
            // Its own row first: the list's refresh keeps to its time budget.
            FServiceList.PaintService(service);
            UpdateItems();
            app.ProcessMessages();
            DelayWithMessages(100);
            const TServiceState state = service->ServiceState();
            if (state != info.FinalState && !IsPendingState(state))
                throw Exception(Fmt(L"%s: %s failed.", {service->ServiceName(), info.Operation}));
            if (state == info.FinalState || app.Terminated())
                break;
        }
    } else if (data && !data->Monitor) {
        FServiceList.StartMonitor(data, operation);
    }
}

bool TFormMain::RequestStart(const TNtService& service)
{
    TSCManager& manager = Manager();
    TStartRequest request(manager.Scm(), manager.MachineName(), manager.DatabaseName(), service.ServiceName());
    if (!WaitWithMessages(request.DoneEvent()))
        return false;
    request.Result();
    return true;
}

std::vector<TNtService*> TFormMain::DependenciesOf(TNtService* service)
{
    std::vector<TNtService*> list;
    for (int i = 0; i < service->DependentServiceCount(); ++i)
        list.push_back(service->GetDependentService(i));
    return list;
}

std::vector<TNtService*> TFormMain::DependantsOf(TNtService* service)
{
    std::vector<TNtService*> list;
    for (int i = 0; i < service->DependentByServiceCount(); ++i)
        list.push_back(service->GetDependentByService(i));
    return list;
}

// The display names, in double quotes and one a line, of the services found in state; only
// direct dependencies or dependants count.
std::wstring TFormMain::CollectNames(const std::vector<TNtService*>& services, TServiceState state)
{
    std::wstring text;
    for (TNtService* other : services) {
        RefreshService(other);
        if (other->ServiceState() == state) {
            if (!text.empty())
                text += L"\r\n";
            text += L"\"" + other->DisplayName() + L"\"";
        }
    }
    return text;
}

std::wstring TFormMain::CollectDependencies(TNtService* service, TServiceState state)
{
    return CollectNames(DependenciesOf(service), state);
}

std::wstring TFormMain::CollectDependants(TNtService* service, TServiceState state)
{
    return CollectNames(DependantsOf(service), state);
}

// Applies operation to every service not already settled, one after the other, each waited for.
void TFormMain::ControlAllBut(const std::vector<TNtService*>& services, TServiceState settled, TServiceControl operation)
{
    TBusyCursor busy;
    for (TNtService* other : services) {
        if (Application().Terminated())
            break;
        if (other->ServiceState() != settled) {
            int row = FServiceList.FindItemByService(other);
            ExecuteControl(other, operation, true, row >= 0 ? ItemData(row) : nullptr);
        }
    }
}

void TFormMain::StartDependencies(TNtService* service) { ControlAllBut(DependenciesOf(service), ssRunning, scStart); }

void TFormMain::StopDependants(TNtService* service) { ControlAllBut(DependantsOf(service), ssStopped, scStop); }

void TFormMain::ActStartExecute()
{
    TItemData* data = SelectedData();
    if (!data)
        return;
    TCommandScope command(*this);
    TNtService* service = data->Service;
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

void TFormMain::ActStopExecute()
{
    TItemData* data = SelectedData();
    if (!data)
        return;
    TCommandScope command(*this);
    TNtService* service = data->Service;
    if (IsDatabaseService(service->ServiceName()) &&
        !Confirmed(L"You are about to stop the database server. Really continue?", L"Stop service"))
        return;
    std::wstring dependants = CollectDependants(service, ssRunning);
    if (!dependants.empty()) {
        if (!Confirmed(Fmt(L"These services are dependent and must also be stopped. Continue?\r\n\r\n%s", {dependants}),
                       L"Stop service"))
            return;
        StopDependants(service);
        if (Application().Terminated())
            return;
    }
    ExecuteControl(service, scStop, false, data);
}

void TFormMain::ActPauseExecute()
{
    if (TItemData* data = SelectedData())
        ExecuteControl(data->Service, scPause, false, data);
}

void TFormMain::RebuildItems(bool refreshAll)
{
    // While the list is read anew the old records stay in use: no command or second rebuild
    // runs meanwhile, and a close waits until the read has unwound.
    TCommandScope command(*this);
    FActions.Update();
    FServiceList.Rebuild(refreshAll);
}

void TFormMain::ActRebuildExecute()
{
    // After a first show that an error cut short, the rows would otherwise never be refreshed.
    if (FShowCompleted)
        RebuildItems(true);
    else
        CompleteShow();
}

void TFormMain::ActUninstallExecute()
{
    TItemData* data = SelectedData();
    if (!data)
        return;
    TNtService* service = data->Service;
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
    if (!Application().Terminated())
        RebuildItems(true);
}

void TFormMain::ActQuitExecute() { Close(); }

void TFormMain::ActInstallExecute()
{
    bool installed = false;
    {
        // The dialog offers the catalogue's records as dependencies: no rebuild meanwhile.
        TCommandScope command(*this);
        installed = ShowServiceProperties(Manager(), nullptr);
    }
    if (installed && !Application().Terminated())
        RebuildItems(true);
}

void TFormMain::ActPropsExecute()
{
    TItemData* data = SelectedData();
    if (!data)
        return;
    TCommandScope command(*this);
    TNtService* service = data->Service;
    if (!ShowServiceProperties(Manager(), service))
        return;
    try {
        service->Refresh();
    } catch (const Exception&) {
        // The timer shows the service's state on its next tick.
    }
    FServiceList.PaintService(service);
}

void TFormMain::ActAboutExecute() { ShowAboutBox(); }

void TFormMain::LVDblClick()
{
    if (TAction* props = FActions.Find(ActProps)) {
        FActions.Update();
        if (props->Enabled)
            FActions.Execute(ActProps);
    }
}
