// The commands of the main window over the simulated manager: the enabling rules, starting
// with dependencies, stopping with dependants, resuming, pausing and removing.
#include "tests/main/main_window_fixture.h"
#include "tests/main/probe_timer.h"

#include "common/format.h"
#include "common/handle.h"

#include <atomic>

namespace {
class CommandsTest : public MainWindowTest {
protected:
    // A database that depends on a network service whose start stays pending, selected: Start
    // on it waits for the network.
    void SelectDependentOfPendingNetwork(const wchar_t* network, const wchar_t* networkDisplay, const wchar_t* database,
                                         const wchar_t* databaseDisplay)
    {
        AddListed(network, networkDisplay);
        AddListed(database, databaseDisplay, SERVICE_STOPPED, {network});
        // Its start stays pending within a wait hint of an hour: the command still waits when
        // the probe runs (the simulated clock runs far faster than the probe's).
        Sim.Update(network, [](TSimService& s) {
            s.StateAfterStart = SERVICE_START_PENDING;
            s.WaitHint = 3600 * 1000;
        });
        Window().RebuildItems(true);
        Select(databaseDisplay);
    }

    // Start, confirmed, with probe run once after delayMs, inside the wait.
    void StartWithProbe(UINT delayMs, std::function<void()> probe)
    {
        ProbeAfter(delayMs, std::move(probe));
        Boxes.Answer(IDYES);
        Run(TFormMain::ActStart);
    }
};

struct EnablingCase {
    DWORD State;
    bool AcceptsPause;
    bool Monitor;
    bool Start, Stop, Pause, Remove;
};

TEST_F(CommandsTest, EnablingRules)
{
    const EnablingCase cases[] = {
        // state                 pause  monitor  start  stop   pause  remove
        {SERVICE_STOPPED, true, false, true, false, false, true},
        {SERVICE_STOPPED, true, true, false, false, false, true},
        {SERVICE_RUNNING, true, false, false, true, true, false},
        {SERVICE_RUNNING, false, false, false, true, false, false},
        {SERVICE_RUNNING, true, true, false, false, false, false},
        {SERVICE_PAUSED, true, false, true, true, false, false},
        {SERVICE_PAUSED, true, true, false, false, false, false},
        {SERVICE_START_PENDING, true, false, false, false, false, false},
        {SERVICE_STOP_PENDING, true, false, false, false, false, false},
    };
    AddListed(L"SQLANY_e", L"Enabling");
    Window().RebuildItems(true);
    // Nothing selected: only the commands that need no row.
    EXPECT_FALSE(Enabled(TFormMain::ActStart));
    EXPECT_FALSE(Enabled(TFormMain::ActProps));
    EXPECT_FALSE(Enabled(TFormMain::ActUninstall));
    for (int id : {TFormMain::ActRebuild, TFormMain::ActInstall, TFormMain::ActQuit, TFormMain::ActAbout})
        EXPECT_TRUE(Enabled(id)) << id;

    Select(L"Enabling");
    TServiceMonitor* fake = reinterpret_cast<TServiceMonitor*>(1);  // only compared, never used
    for (const auto& c : cases) {
        Sim.Update(L"SQLANY_e", [&](TSimService& s) {
            s.State = c.State;
            s.ControlsAccepted = SERVICE_ACCEPT_STOP | (c.AcceptsPause ? SERVICE_ACCEPT_PAUSE_CONTINUE : 0);
        });
        UpdateItems();
        Data(L"Enabling")->Monitor = c.Monitor ? fake : nullptr;
        SCOPED_TRACE(testing::Message() << "state " << c.State << " pause " << c.AcceptsPause << " monitor " << c.Monitor);
        EXPECT_EQ(Enabled(TFormMain::ActStart), c.Start);
        EXPECT_EQ(Enabled(TFormMain::ActStop), c.Stop);
        EXPECT_EQ(Enabled(TFormMain::ActPause), c.Pause);
        EXPECT_EQ(Enabled(TFormMain::ActUninstall), c.Remove);
        EXPECT_TRUE(Enabled(TFormMain::ActProps));
    }
    Data(L"Enabling")->Monitor = nullptr;
}

class StartWithDependencies : public CommandsTest {
protected:
    void SetUp() override
    {
        CommandsTest::SetUp();
        AddListed(L"NetA", L"Network A");
        AddListed(L"NetB", L"Network B");
        AddListed(L"LogC", L"Logger C", SERVICE_RUNNING);
        AddListed(L"SQLANY_main", L"Main database", SERVICE_STOPPED, {L"NetA", L"LogC", L"NetB"});
        Window().RebuildItems(true);
        Select(L"Main database");
    }
    DWORD State(const wchar_t* name) { return Sim.Service(name).State; }
};

TEST_F(StartWithDependencies, AsksWithTheStoppedDependenciesAndStartsThemFirst)
{
    Boxes.Answer(IDYES);
    Run(TFormMain::ActStart);
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text,
              L"These services are dependent and must also be started. Continue?\r\n\r\n\"Network A\"\r\n\"Network B\"");
    EXPECT_EQ(Boxes.Asked[0].Caption, L"Start service");
    EXPECT_EQ(Boxes.Asked[0].Flags, 35u);
    EXPECT_EQ(State(L"NetA"), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(State(L"NetB"), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"LogC"), 0);
    // The selected service itself is requested and followed by a monitor.
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"SQLANY_main"), 1);
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Main database")->Monitor == nullptr; }));
    EXPECT_TRUE(WaitUntil([&] { return Window().List().Text(Row(L"Main database"), 1) == L"Running"; }));
}

TEST_F(StartWithDependencies, NoOrCancelChangesNothing)
{
    for (int answer : {IDNO, IDCANCEL}) {
        Boxes.Answer(answer);
        Run(TFormMain::ActStart);
    }
    EXPECT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService), 0);
}

TEST_F(StartWithDependencies, ADependencyThatFallsBackToStoppedEndsTheCommand)
{
    Sim.Update(L"NetA", [](TSimService& s) { s.StateAfterStart = SERVICE_STOPPED; });
    Boxes.Answer(IDYES);
    Run(TFormMain::ActStart);
    ASSERT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(Boxes.Asked[1].Text, L"NetA: Starting failed.");  // already ends with a full stop
    EXPECT_EQ(Boxes.Asked[1].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"NetB"), 0);
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"SQLANY_main"), 0);
    EXPECT_EQ(BusyCount(), 0);
    EXPECT_FALSE(Window().CommandRunning());
}

TEST_F(CommandsTest, ResumingAPausedServiceSendsContinue)
{
    AddListed(L"SQLANY_p", L"Paused one", SERVICE_PAUSED);
    Sim.Update(L"SQLANY_p", [](TSimService& s) { s.StateAfterContinue = SERVICE_CONTINUE_PENDING; });
    Window().RebuildItems(true);
    Select(L"Paused one");
    Run(TFormMain::ActStart);
    EXPECT_EQ(Sim.CallCount(TSimCall::ControlService, L"SQLANY_p"), 1);
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"SQLANY_p"), 0);
    ASSERT_NE(Data(L"Paused one")->Monitor, nullptr);
    EXPECT_EQ(Data(L"Paused one")->Monitor->Operation(), L"Resuming");
    EXPECT_EQ(Data(L"Paused one")->Monitor->FinalState(), ssRunning);
    EXPECT_FALSE(Enabled(TFormMain::ActStart));
    Sim.SetStatus(L"SQLANY_p", SERVICE_RUNNING);
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Paused one")->Monitor == nullptr; }));
    EXPECT_TRUE(Boxes.Asked.empty());
}

TEST_F(CommandsTest, PauseAsksNothing)
{
    AddListed(L"SQLANY_r", L"Runner", SERVICE_RUNNING);
    Window().RebuildItems(true);
    Select(L"Runner");
    Run(TFormMain::ActPause);
    EXPECT_TRUE(Boxes.Asked.empty());
    EXPECT_EQ(Sim.CallCount(TSimCall::ControlService, L"SQLANY_r"), 1);
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Runner")->Monitor == nullptr; }));
    // The followed service's record lands from the list's worker by message.
    EXPECT_TRUE(WaitUntil([&] { return Window().List().Text(Row(L"Runner"), 1) == L"Paused"; }));
}

class StopDatabaseServer : public CommandsTest {
protected:
    void SetUp() override
    {
        CommandsTest::SetUp();
        AddListed(L"SqlAnyS_Db", L"Database", SERVICE_RUNNING);
        AddListed(L"App1", L"Talvora ERP App 1", SERVICE_RUNNING, {L"SqlAnyS_Db"});
        AddListed(L"App2", L"Talvora ERP App 2", SERVICE_STOPPED, {L"SqlAnyS_Db"});
        Window().RebuildItems(true);
        Select(L"Database");
    }
};

TEST_F(StopDatabaseServer, WarnsFirstAndStopsNothingAfterNo)
{
    Boxes.Answer(IDNO);
    Run(TFormMain::ActStop);
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text, L"You are about to stop the database server. Really continue?");
    EXPECT_EQ(Boxes.Asked[0].Caption, L"Stop service");
    EXPECT_EQ(Boxes.Asked[0].Flags, 35u);
    EXPECT_EQ(Sim.CallCount(TSimCall::ControlService), 0);
}

TEST_F(StopDatabaseServer, StopsTheRunningDependantsFirst)
{
    Boxes.Answer(IDYES);
    Boxes.Answer(IDYES);
    Run(TFormMain::ActStop);
    ASSERT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(Boxes.Asked[1].Text,
              L"These services are dependent and must also be stopped. Continue?\r\n\r\n\"Talvora ERP App 1\"");
    EXPECT_EQ(Boxes.Asked[1].Caption, L"Stop service");
    EXPECT_EQ(Sim.Service(L"App1").State, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(Sim.CallCount(TSimCall::ControlService, L"App2"), 0);
    EXPECT_EQ(Sim.CallCount(TSimCall::ControlService, L"SqlAnyS_Db"), 1);
}

TEST_F(CommandsTest, RemoveAsksDeletesAndRebuilds)
{
    AddListed(L"SQLANY_old", L"Old database");
    AddListed(L"SQLANY_keep", L"Kept database");
    Window().RebuildItems(true);
    Select(L"Old database");
    Boxes.Answer(IDNO);
    Run(TFormMain::ActUninstall);
    EXPECT_EQ(Sim.CallCount(TSimCall::DeleteService), 0);

    Boxes.Answer(IDYES);
    Run(TFormMain::ActUninstall);
    ASSERT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(Boxes.Asked[1].Text, L"Really unregister selected service (Old database)?");
    EXPECT_EQ(Boxes.Asked[1].Caption, L"Uninstall service");
    EXPECT_EQ(Boxes.Asked[1].Flags, 51u);
    EXPECT_EQ(Sim.CallCount(TSimCall::DeleteService, L"SQLANY_old"), 1);
    EXPECT_EQ(Row(L"Old database"), -1);
    EXPECT_GE(Row(L"Kept database"), 0);
}

TEST_F(CommandsTest, WhileACommandWaitsTheRebuildIsRefused)
{
    SelectDependentOfPendingNetwork(L"NetSlow", L"Slow network", L"SQLANY_dep", L"Dependent db");
    bool running = false;
    bool rebuildRan = true;
    bool startRan = true;
    StartWithProbe(400, [&] {
        running = Window().CommandRunning();
        rebuildRan = Window().Actions().Execute(TFormMain::ActRebuild);
        startRan = Window().Actions().Execute(TFormMain::ActStart);
        Sim.SetStatus(L"NetSlow", SERVICE_RUNNING);
    });
    EXPECT_TRUE(running);
    EXPECT_FALSE(rebuildRan);
    EXPECT_FALSE(startRan);
    EXPECT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"SQLANY_dep"), 1);
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Dependent db")->Monitor == nullptr; }));
}

TEST_F(CommandsTest, ClosingTheWindowWhileACommandWaitsEndsTheWaitFirst)
{
    SelectDependentOfPendingNetwork(L"NetHang", L"Hanging network", L"SQLANY_h", L"Hanging db");
    StartWithProbe(300, [&] { Window().Close(); });
    // The wait ended because the application is terminating, the selected service was left
    // alone, and once the command had unwound the window closed (its close handler ran).
    EXPECT_TRUE(Application().Terminated());
    EXPECT_FALSE(Window().CommandRunning());
    EXPECT_EQ(Window().Handle(), nullptr);
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"SQLANY_h"), 0);
    Sim.SetStatus(L"NetHang", SERVICE_RUNNING);
}

TEST_F(CommandsTest, AServiceDeletedOutsideWhileACommandWaitsOnItEndsTheCommandWithItsError)
{
    SelectDependentOfPendingNetwork(L"NetGone", L"Vanishing network", L"SQLANY_g", L"Orphan db");
    StartWithProbe(300, [&] { Sim.RemoveService(L"NetGone"); });
    ASSERT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(Boxes.Asked[1].Text.rfind(L"System Error.  Code: 1060.", 0), 0u) << ToUtf8(Boxes.Asked[1].Text);
    EXPECT_EQ(Boxes.Asked[1].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_FALSE(Window().CommandRunning());
    EXPECT_EQ(BusyCount(), 0);
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"SQLANY_g"), 0);
    // The selected row's own service deleted too: Start reports the manager's error, and the
    // window goes on.
    Sim.RemoveService(L"SQLANY_g");
    UpdateItems();
    EXPECT_TRUE(Run(TFormMain::ActStart));
    ASSERT_EQ(Boxes.Asked.size(), 3u);
    EXPECT_EQ(Boxes.Asked[2].Text.rfind(L"System Error.  Code: 1060.", 0), 0u) << ToUtf8(Boxes.Asked[2].Text);
    EXPECT_EQ(Data(L"Orphan db")->Monitor, nullptr);
    EXPECT_FALSE(Window().CommandRunning());
}
// A start request blocks until the service's process reports (the simulated start call
// blocks until the test releases it): the window answers meanwhile and refuses the commands,
// and quitting ends the wait while the request finishes alone.
class BlockedStartTest : public CommandsTest {
protected:
    void SetUp() override
    {
        CommandsTest::SetUp();
        Release.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        Sim.BeforeStart = [this] {
            Blocked = true;
            WaitForSingleObject(Release.get(), 10000);
        };
        AddListed(L"SQLANY_never", L"Never reports");
        AddListed(L"SQLANY_other", L"Other db");
        Window().RebuildItems(true);
        Select(L"Never reports");
    }
    void TearDown() override
    {
        SetEvent(Release.get());
        // The window goes first: its worker ends once the request has returned.
        CommandsTest::TearDown();
        Sim.BeforeStart = nullptr;
    }
    UniqueKernelHandle Release;
    std::atomic<bool> Blocked{false};
};

TEST_F(BlockedStartTest, TheWindowAnswersWhileTheStartRequestWaitsAndItsResultIsAsBefore)
{
    bool blocked = false, running = false, rebuildRan = true, stopRan = true;
    std::wstring otherState;
    ProbeAfter(200, [&] {
        blocked = Blocked;
        running = Window().CommandRunning();
        rebuildRan = Window().Actions().Execute(TFormMain::ActRebuild);
        stopRan = Window().Actions().Execute(TFormMain::ActStop);
        // The timer's refresh goes on meanwhile.
        Sim.SetStatus(L"SQLANY_other", SERVICE_RUNNING);
        UpdateItems();
        otherState = Window().List().Text(Row(L"Other db"), 1);
        SetEvent(Release.get());
    });
    EXPECT_TRUE(Run(TFormMain::ActStart));
    EXPECT_TRUE(blocked);
    EXPECT_TRUE(running);
    EXPECT_FALSE(rebuildRan);
    EXPECT_FALSE(stopRan);
    EXPECT_EQ(otherState, L"Running");
    EXPECT_TRUE(Boxes.Asked.empty());
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"SQLANY_never"), 1);
    // As before: the service is followed until it runs.
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Never reports")->Monitor == nullptr; }));
    // The followed service's record lands from the list's worker by message.
    EXPECT_TRUE(WaitUntil([&] { return Window().List().Text(Row(L"Never reports"), 1) == L"Running"; }));
    EXPECT_FALSE(Window().CommandRunning());
}

TEST_F(BlockedStartTest, AFailingStartRequestIsReportedAsBefore)
{
    Sim.Fail(TSimCall::StartService, ERROR_SERVICE_DISABLED, L"SQLANY_never");
    SetEvent(Release.get());
    EXPECT_TRUE(Run(TFormMain::ActStart));
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text.rfind(L"System Error.  Code: 1058.", 0), 0u) << ToUtf8(Boxes.Asked[0].Text);
    EXPECT_EQ(Data(L"Never reports")->Monitor, nullptr);
    EXPECT_FALSE(Window().CommandRunning());
    EXPECT_EQ(BusyCount(), 0);
}

TEST_F(BlockedStartTest, QuittingWhileTheStartRequestWaitsClosesTheWindow)
{
    ProbeAfter(200, [&] { Window().Close(); });
    Run(TFormMain::ActStart);
    EXPECT_TRUE(Blocked);
    EXPECT_TRUE(Application().Terminated());
    EXPECT_FALSE(Window().CommandRunning());
    EXPECT_EQ(Window().Handle(), nullptr);
    EXPECT_EQ(TCommandRunner::RunningCount(), 1);  // still blocked; it ends alone once released
    EXPECT_TRUE(Boxes.Asked.empty());
}
}  // namespace
