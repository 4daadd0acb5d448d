// The Restart command over the simulated manager: when it is offered, Stop's questions, the
// wait for the stop within the service's time limits, and the start of the service and of the
// dependants that ran before.
#include "tests/main/main_window_fixture.h"

#include "common/format.h"

#include <algorithm>

namespace {
class RestartTest : public MainWindowTest {
protected:
    DWORD State(const wchar_t* name) { return Sim.Service(name).State; }
    bool Restart()
    {
        return Run(TFormMain::ActRestart);
    }
};

struct RestartEnabling {
    DWORD State;
    DWORD Controls;
    bool Monitor;
    bool Enabled;
};

TEST_F(RestartTest, OfferedForARunningServiceThatAcceptsStop)
{
    const RestartEnabling cases[] = {
        {SERVICE_RUNNING, SERVICE_ACCEPT_STOP, false, true},
        {SERVICE_RUNNING, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE, false, true},
        {SERVICE_RUNNING, SERVICE_ACCEPT_PAUSE_CONTINUE, false, false},  // cannot stop
        {SERVICE_RUNNING, SERVICE_ACCEPT_STOP, true, false},             // followed by a monitor
        {SERVICE_PAUSED, SERVICE_ACCEPT_STOP, false, false},
        {SERVICE_STOPPED, SERVICE_ACCEPT_STOP, false, false},
        {SERVICE_START_PENDING, SERVICE_ACCEPT_STOP, false, false},
        {SERVICE_STOP_PENDING, SERVICE_ACCEPT_STOP, false, false},
    };
    AddListed(L"SQLANY_e", L"Enabling");
    Window().RebuildItems(true);
    EXPECT_FALSE(Window().Actions().Find(TFormMain::ActRestart)->Enabled) << "enabled at start";
    Select(L"Enabling");
    TServiceMonitor* fake = reinterpret_cast<TServiceMonitor*>(1);  // only compared, never used
    for (const auto& c : cases) {
        Sim.Update(L"SQLANY_e", [&](TSimService& s) {
            s.State = c.State;
            s.ControlsAccepted = c.Controls;
        });
        UpdateItems();
        Data(L"Enabling")->Monitor = c.Monitor ? fake : nullptr;
        SCOPED_TRACE(testing::Message() << "state " << c.State << " controls " << c.Controls << " monitor " << c.Monitor);
        EXPECT_EQ(Enabled(TFormMain::ActRestart), c.Enabled);
    }
    Data(L"Enabling")->Monitor = nullptr;
}

TEST_F(RestartTest, TheActionSitsBesideStopWithItsShortcutAndShortHint)
{
    TAction* restart = Window().Actions().Find(TFormMain::ActRestart);
    ASSERT_NE(restart, nullptr);
    EXPECT_EQ(restart->Caption, L"Restart");
    EXPECT_EQ(std::wstring(Window().Actions().HintOf(TFormMain::ActRestart)), L"Restart");
    ASSERT_FALSE(restart->ShortCuts.empty());
    EXPECT_EQ(ShortCutToText(restart->ShortCuts.front()), L"Ctrl+R");
    for (const std::vector<int>& entries :
         {TServiceCommands::ToolBarEntries(), TServiceCommands::MenuEntries(TServiceCommands::mnService),
          TServiceCommands::PopupEntries()}) {
        auto stop = std::find(entries.begin(), entries.end(), TFormMain::ActStop);
        ASSERT_NE(stop, entries.end());
        ASSERT_NE(stop + 1, entries.end());
        EXPECT_EQ(stop[1], TFormMain::ActRestart);
    }
}

// A database with a running and a stopped application server that depend on it.
class RestartDatabase : public RestartTest {
protected:
    void SetUp() override
    {
        RestartTest::SetUp();
        AddListed(L"SqlAnyS_Db", L"Database", SERVICE_RUNNING);
        AddListed(L"App1", L"Talvora ERP App 1", SERVICE_RUNNING, {L"SqlAnyS_Db"});
        AddListed(L"App2", L"Talvora ERP App 2", SERVICE_STOPPED, {L"SqlAnyS_Db"});
        Window().RebuildItems(true);
        Select(L"Database");
    }
};

TEST_F(RestartDatabase, AsksAsStopDoesThenStartsTheServiceAndTheDependantsThatRan)
{
    Boxes.Answer(IDYES);
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Restart());
    ASSERT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(Boxes.Asked[0].Text, L"You are about to stop the database server. Really continue?");
    EXPECT_EQ(Boxes.Asked[1].Text,
              L"These services are dependent and must also be stopped. Continue?\r\n\r\n\"Talvora ERP App 1\"");
    EXPECT_EQ(Sim.CallCount(TSimCall::ControlService, L"SqlAnyS_Db"), 1);
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"SqlAnyS_Db"), 1);
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"App1"), 1);
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"App2"), 0);
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Talvora ERP App 1")->Monitor == nullptr; }));
    EXPECT_EQ(State(L"SqlAnyS_Db"), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(State(L"App1"), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(State(L"App2"), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(Window().List().Text(Row(L"Talvora ERP App 1"), 1), L"Running");
    EXPECT_FALSE(Window().CommandRunning());
}

TEST_F(RestartDatabase, NoToEitherQuestionChangesNothing)
{
    for (std::vector<int> answers : {std::vector<int>{IDNO}, std::vector<int>{IDYES, IDCANCEL}}) {
        Boxes.Asked.clear();
        for (int a : answers)
            Boxes.Answer(a);
        Restart();
        EXPECT_EQ(Boxes.Asked.size(), answers.size());
    }
    EXPECT_EQ(Sim.CallCount(TSimCall::ControlService), 0);
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService), 0);
}

TEST_F(RestartDatabase, ADependantThatFailsToStartAgainIsReportedOnce)
{
    // Its start stays pending within its wait hint, then falls back to stopped.
    Sim.Update(L"App1", [](TSimService& s) {
        s.StateAfterStart = SERVICE_START_PENDING;
        s.WaitHint = 10000;
    });
    Sim.After(5000, [this] { Sim.SetStatus(L"App1", SERVICE_STOPPED); });
    Boxes.Answer(IDYES);
    Boxes.Answer(IDYES);
    Restart();
    DelayWithMessages(300);
    ASSERT_EQ(Boxes.Asked.size(), 3u);
    EXPECT_EQ(Boxes.Asked[2].Text, L"App1: Starting failed.");
    EXPECT_EQ(State(L"SqlAnyS_Db"), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(Window().List().Text(Row(L"Talvora ERP App 1"), 1), L"Stopped");
}

TEST_F(RestartTest, AServiceThatDoesNotStopInTimeIsReportedAndNotStarted)
{
    AddListed(L"SQLANY_hang", L"Hanging stop", SERVICE_RUNNING);
    Sim.Update(L"SQLANY_hang", [](TSimService& s) {
        s.StateAfterStop = SERVICE_STOP_PENDING;
        s.WaitHint = 300;
    });
    Window().RebuildItems(true);
    Select(L"Hanging stop");
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Restart());
    ASSERT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(Boxes.Asked[1].Text, L"SQLANY_hang: Stopping did not end within the time the service asked for.");
    EXPECT_EQ(Boxes.Asked[1].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService), 0);
    EXPECT_FALSE(Window().CommandRunning());
    Sim.SetStatus(L"SQLANY_hang", SERVICE_STOPPED);
}

TEST_F(RestartTest, AStopThatAdvancesItsCheckPointIsWaitedFor)
{
    AddListed(L"SQLANY_slow", L"Slow stop", SERVICE_RUNNING);
    Sim.Update(L"SQLANY_slow", [](TSimService& s) {
        s.StateAfterStop = SERVICE_STOP_PENDING;
        s.WaitHint = 100;
    });
    Window().RebuildItems(true);
    Select(L"Slow stop");
    Boxes.Answer(IDYES);
    // Each step within the stall limit (1 s, above the wait hint), the whole stop well beyond it,
    // on the manager's clock.
    for (DWORD step = 1; step < 8; ++step)
        Sim.After(step * 900, [this, step] { Sim.SetStatus(L"SQLANY_slow", SERVICE_STOP_PENDING, step, 100); });
    Sim.After(8 * 900, [this] { Sim.SetStatus(L"SQLANY_slow", SERVICE_STOPPED); });
    EXPECT_TRUE(Restart());
    EXPECT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService, L"SQLANY_slow"), 1);
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Slow stop")->Monitor == nullptr; }));
    EXPECT_EQ(Window().List().Text(Row(L"Slow stop"), 1), L"Running");
}

TEST_F(RestartTest, AStopTheManagerRefusesIsReportedOnceAndNothingIsStarted)
{
    AddListed(L"SQLANY_deny", L"Refusing stop", SERVICE_RUNNING);
    Window().RebuildItems(true);
    Select(L"Refusing stop");
    Sim.Fail(TSimCall::ControlService, ERROR_ACCESS_DENIED, L"SQLANY_deny");
    Boxes.Answer(IDYES);
    Restart();
    ASSERT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(Boxes.Asked[1].Text.rfind(L"System Error.  Code: 5.", 0), 0u) << ToUtf8(Boxes.Asked[1].Text);
    EXPECT_EQ(Sim.CallCount(TSimCall::StartService), 0);
    EXPECT_EQ(State(L"SQLANY_deny"), static_cast<DWORD>(SERVICE_RUNNING));
}
}  // namespace
