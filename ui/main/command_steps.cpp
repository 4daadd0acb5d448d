// The commands' steps: the worker that makes their calls, starting and ending a command, and
// the steps the commands share (records read, requests, waited operations), each applying
// what the worker found to the catalogue's record and its row.
#include "ui/main/commands.h"

#include "common/errors.h"
#include "common/format.h"
#include "common/text.h"
#include "services/failure_text.h"
#include "services/service_monitor.h"
#include "ui/base/application.h"
#include "ui/main/connection.h"
#include "ui/main/installation_computers.h"

namespace {
DWORD ControlCode(TServiceControl operation)
{
    switch (operation) {
    case scStop:
        return SERVICE_CONTROL_STOP;
    case scPause:
        return SERVICE_CONTROL_PAUSE;
    case scContinue:
        return SERVICE_CONTROL_CONTINUE;
    default:
        return 0;
    }
}

std::wstring StalledText(const std::wstring& name, TServiceControl operation)
{
    return Fmt(L"%s: %s did not end within the time the service asked for.", {name, ControlInfo(operation).Operation});
}

// The outcome of a waited operation: raises when it stalled or the service settled elsewhere.
void CheckOutcome(const std::wstring& name, TServiceControl operation, const TStepOutcome& outcome)
{
    if (outcome.Stalled)
        throw Exception(StalledText(name, operation));
    const TControlInfo info = ControlInfo(operation);
    if (StateOf(outcome.Status.dwCurrentState) != info.FinalState)
        throw Exception(WithExitCode(OperationFailedText(name, info.Operation), outcome.Status.dwWin32ExitCode,
                                     outcome.Status.dwServiceSpecificExitCode));
}
}  // namespace

// ---- Running a command --------------------------------------------------------------------

TCommandRunner& TServiceCommands::Runner()
{
    // One connection to the command's computer: a command on another computer gets a runner of
    // its own, and the old one ends alone (its host may hang).
    const std::wstring& machine = FTargetMachine;
    if (!FRunner || FRunner->Abandoned() || !SameTextAscii(FRunner->MachineName(), machine)) {
        if (FRunner)
            FRunner->Abandon();
        FRunner = std::make_unique<TCommandRunner>(
            FList.Manager().Scm(), machine,
            [window = GetParent(FList.View().Handle())] { PostMessageW(window, ResultsMessage, 0, 0); });
    }
    return *FRunner;
}

void TServiceCommands::Launch(TStep<> command)
{
    if (FStep)
        return;  // one command at a time
    FStep.emplace(std::move(command));
    FActions.Update();
    FInStep = true;
    FStep->Start([this](std::exception_ptr error) { CommandEnded(error); });
    FInStep = false;
    FinishEnded();
    CloseIfRequested();
}

void TServiceCommands::TakeResults()
{
    if (!FRunner)
        return;
    const bool outer = !FInStep;
    FInStep = true;
    FRunner->TakeResults();
    if (outer) {
        FInStep = false;
        FinishEnded();
    }
    CloseIfRequested();
}

void TServiceCommands::CommandEnded(std::exception_ptr error)
{
    // The command's frame is suspended at its end: it goes once its last step has returned
    // (FinishEnded), never from inside it.
    FEnded.emplace(std::move(*FStep));
    FStep.reset();
    FEndedError = error;
}

void TServiceCommands::FinishEnded()
{
    if (!FEnded)
        return;
    // The frame goes first (its busy cursor with it); the error is shown after.
    FEnded.reset();
    ShowStep(L"");
    if (std::exception_ptr error = std::exchange(FEndedError, nullptr))
        ReportError(error);
    // The records of the command's computer are free again: a read of it that ended meanwhile
    // is taken over.
    FList.TakeResults();
}

void TServiceCommands::ReportError(std::exception_ptr error)
{
    try {
        try {
            std::rethrow_exception(error);
        } catch (const EOSError&) {
            RaiseIfConnectionLost(FTargetMachine);
            throw;
        }
    } catch (...) {
        Application().HandleException();
    }
}

bool TServiceCommands::EndForClose()
{
    if (!Running() || (FStep && !FInStep && FCommandDepth == 0)) {
        // A command that waits for its worker ends here; the worker ends alone once its call
        // has returned, and closes its connection.
        FStep.reset();
        if (FRunner)
            FRunner->Abandon();
        if (!FInStep)
            FRunner.reset();  // not while its results are being taken
        ShowStep(L"");
        return true;
    }
    // A nested loop ends as the application terminates; the window closes once the command
    // has unwound, so that its close handler runs.
    FCloseRequested = true;
    Application().Terminate();
    return false;
}

void TServiceCommands::CloseIfRequested()
{
    if (!FCloseRequested || FInStep || FCommandDepth > 0)
        return;
    // A command that waits for its worker when its nested loop ended goes with the window.
    if (FStep) {
        if (FRunner)
            FRunner->Abandon();
        FStep.reset();
    }
    FCloseRequested = false;
    FHost.OnQuit();
}

void TServiceCommands::ShowStep(const std::wstring& step)
{
    if (FHost.OnStep)
        FHost.OnStep(step);
}

void TServiceCommands::ShowStep(TServiceControl operation, const std::wstring& name)
{
    ShowStep(Fmt(L"%s %s...", {ControlInfo(operation).Operation, StepTarget(name)}));
}

std::wstring TServiceCommands::StepTarget(const std::wstring& name) const
{
    // With several computers the step says which one's service it is.
    if (!FList.Installation().Several())
        return DisplayNameOf(name);
    return Fmt(L"%s on %s", {DisplayNameOf(name), ComputerDisplayName(FTargetMachine)});
}

TServiceListModel& TServiceCommands::Target() const
{
    if (TServiceListModel* list = FList.Installation().FindComputer(FTargetMachine))
        return *list;
    throw Exception(Fmt(L"The computer \"%s\" is no longer in the installation.", {ComputerDisplayName(FTargetMachine)}));
}

std::wstring TServiceCommands::DisplayNameOf(const std::wstring& name) const
{
    TNtService* service = nullptr;
    return Target().Manager().FindService(name, service) ? service->DisplayName() : name;
}

void TServiceCommands::ApplyRecord(const TServiceRecordData& data)
{
    TServiceListModel& list = Target();
    TNtService* service = nullptr;
    if (!list.Manager().FindService(data.ServiceName, service))
        return;
    service->ApplyRecord(data);
    list.PaintService(service);
}

void TServiceCommands::ApplyStatus(const std::wstring& name, const SERVICE_STATUS& status)
{
    TServiceListModel& list = Target();
    TNtService* service = nullptr;
    if (!list.Manager().FindService(name, service))
        return;
    service->ApplyListed(service->DisplayName(), status);
    list.PaintService(service);
}

void TServiceCommands::FollowWithMonitor(const std::wstring& name, TServiceControl operation)
{
    TServiceListModel& list = Target();
    TNtService* service = nullptr;
    if (!list.Manager().FindService(name, service))
        return;
    if (TItemData* data = list.Row(list.RowOf(service)); data && !data->Monitor)
        list.StartMonitor(data, operation);
}

TStep<std::vector<TServiceRecordData>> TServiceCommands::ReadRecords(std::vector<std::wstring> names)
{
    auto readRecords = [names](TRunnerConnection& c) {
        std::vector<TServiceRecordData> read = ::ReadRecords(c.Scm(), c.Manager(), names);
        // A lost connection fails the call, so that the worker connects anew.
        for (const TServiceRecordData& record : read)
            if (record.Error)
                try {
                    std::rethrow_exception(record.Error);
                } catch (const EOSError& error) {
                    if (IsLostConnectionError(error.ErrorCode()))
                        throw;
                } catch (...) {
                }
        return read;
    };
    std::vector<TServiceRecordData> records =
        co_await RunnerCall<std::vector<TServiceRecordData>>(Runner(), std::move(readRecords));
    for (const TServiceRecordData& record : records)
        ApplyRecord(record);
    co_return records;
}

TStep<TServiceRecordData> TServiceCommands::ReadRecord(std::wstring name)
{
    std::vector<std::wstring> names(1, name);
    std::vector<TServiceRecordData> records = co_await ReadRecords(std::move(names));
    if (records.front().Error)
        std::rethrow_exception(records.front().Error);
    co_return std::move(records.front());
}

TStep<> TServiceCommands::RequestAndFollow(std::wstring name, TServiceControl operation)
{
    ShowStep(operation, name);
    auto request = [name, operation](TRunnerConnection& c) {
        return Request(c.Scm(), c.Manager(), name, ControlCode(operation), operation == scStart);
    };
    const SERVICE_STATUS status = co_await RunnerCall<SERVICE_STATUS>(Runner(), std::move(request));
    ApplyStatus(name, status);
    FollowWithMonitor(name, operation);
}

TStep<> TServiceCommands::ControlAndWait(std::wstring name, TServiceControl operation)
{
    ShowStep(operation, name);
    // A dependant found starting or stopping was followed by a monitor: its outcome is this
    // wait's now (one that is started and then stopped has not failed to start).
    Target().StopFollowing(name);
    auto controlAndWait = [name, operation](TRunnerConnection& c) {
        auto abandoned = [&c] { return c.Abandoned(); };
        switch (operation) {
        case scStop:
            return StopAndWait(c.Scm(), c.Manager(), name, abandoned);
        case scPause:
            return PauseAndWait(c.Scm(), c.Manager(), name, abandoned);
        default:
            return StartAndWait(c.Scm(), c.Manager(), name, abandoned);
        }
    };
    const TStepOutcome outcome = co_await RunnerCall<TStepOutcome>(Runner(), std::move(controlAndWait));
    ApplyStatus(name, outcome.Status);
    CheckOutcome(name, operation, outcome);
}
