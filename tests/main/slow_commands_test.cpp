// The commands against another computer that answers slowly (50 ms a call) or hangs in the
// middle of a call: every call of a command is made off the GUI thread, which answers and shows
// the step meanwhile; a second command or F5 is refused while one waits; quitting ends the
// program's window at once; connecting elsewhere replaces the hung computer at once; a computer
// lost during a command is reported as a lost connection, and the next command connects anew.
#include "tests/main/main_window_fixture.h"
#include "tests/main/probe_timer.h"

#include "common/format.h"
#include "services/catalogue_worker.h"
#include "tests/sim_scm/sim_computers.h"
#include "tests/support/workers_ended.h"

#include <atomic>

namespace {
constexpr const wchar_t* Far = L"erp-far";

class SlowComputerTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Net.Local().AddService(ListedSimService(L"SQLANYs_here", L"Database here", SERVICE_RUNNING));
        TSimServiceControlManager& remote = Net.Computer(Far);
        remote.AddService(ListedSimService(L"SQLANYs_db", L"Database far", SERVICE_RUNNING));
        remote.AddService(ListedSimService(L"App1", L"Talvora ERP App 1", SERVICE_RUNNING, {L"SQLANYs_db"}));
        remote.AddService(ListedSimService(L"App2", L"Talvora ERP App 2", SERVICE_RUNNING, {L"SQLANYs_db"}));
        remote.AddService(ListedSimService(L"AppStopped", L"Talvora ERP App stopped", SERVICE_STOPPED, {L"SQLANYs_db"}));
        remote.AddService(ListedSimService(L"AppPaused", L"Talvora ERP App paused", SERVICE_PAUSED));
        NewWindow();
    }
    void TearDown() override
    {
        // Nothing may stay hung on the network once the test ends.
        Net.Release(Far);
        Net.Computer(Far).OnCall = nullptr;
        MainWindowTest::TearDown();
    }
    void NewWindow()
    {
        Form.reset();
        Application().ClearTerminated();
        Form = std::make_unique<TFormMain>(Net, false, false, Far);
        Window().Show();
    }
    std::wstring StepPanel()
    {
        wchar_t text[300] = L"";
        SendMessageW(Window().StatusBar(), SB_GETTEXTW, 2, reinterpret_cast<LPARAM>(text));
        return text;
    }
    // Counts the calls on the far computer made by the GUI thread from now on.
    void WatchGuiCalls()
    {
        GuiCalls = 0;
        Net.Computer(Far).OnCall = [this, gui = GetCurrentThreadId()](TSimCall, const std::wstring&) {
            GuiCalls += GetCurrentThreadId() == gui ? 1 : 0;
        };
    }
    TSimComputers Net;
    std::atomic<int> GuiCalls{0};
};

struct CommandCase {
    const wchar_t* Row;
    int Action;
    std::vector<int> Answers;
    const wchar_t* Step;  // what the status bar shows at some point meanwhile
    const wchar_t* Service;
    DWORD Final;
};

TEST_F(SlowComputerTest, EveryCommandCallsOffTheGuiThreadAndShowsItsSteps)
{
    Net.SetDelay(Far, 50);
    const CommandCase cases[] = {
        {L"Talvora ERP App stopped", TFormMain::ActStart, {}, L"Starting Talvora ERP App stopped...", L"AppStopped",
         SERVICE_RUNNING},
        {L"Talvora ERP App 1", TFormMain::ActPause, {}, L"Pausing Talvora ERP App 1...", L"App1", SERVICE_PAUSED},
        {L"Talvora ERP App 1", TFormMain::ActStart, {}, L"Resuming Talvora ERP App 1...", L"App1", SERVICE_RUNNING},
        {L"Database far", TFormMain::ActRestart, {IDYES, IDYES}, L"Stopping Talvora ERP App 2...", L"SQLANYs_db",
         SERVICE_RUNNING},
        {L"Database far", TFormMain::ActStop, {IDYES, IDYES}, L"Stopping Talvora ERP App 1...", L"SQLANYs_db",
         SERVICE_STOPPED},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Step));
        Select(c.Row);
        for (int answer : c.Answers)
            Boxes.Answer(answer);
        std::vector<std::wstring> steps;
        int ticks = 0;
        ProbeUntil(20, [&] {
            ++ticks;
            if (steps.empty() || steps.back() != StepPanel())
                steps.push_back(StepPanel());
            return !Window().CommandRunning();
        });
        WatchGuiCalls();
        EXPECT_TRUE(Run(c.Action));
        Net.Computer(Far).OnCall = nullptr;
        EXPECT_EQ(GuiCalls, 0);
        EXPECT_GT(ticks, 1) << "the window did not answer meanwhile";
        EXPECT_NE(std::find(steps.begin(), steps.end(), c.Step), steps.end());
        EXPECT_EQ(StepPanel(), L"");
        // The monitor that follows the last request sees it end.
        EXPECT_TRUE(WaitUntil([&] { return Net.Computer(Far).Service(c.Service).State == c.Final; }));
        EXPECT_TRUE(WaitUntil([&] { return TThread::RunningCount() == 0; }));
    }
    EXPECT_TRUE(Boxes.Asked.size() == 4u) << Boxes.Asked.size();
}

TEST_F(SlowComputerTest, WhileACallHangsTheWindowAnswersRefusesOtherCommandsAndQuitsAtOnce)
{
    Select(L"Database far");
    Boxes.Answer(IDYES);
    Boxes.Answer(IDYES);
    // The dependant's stop is sent, and the wait for it hangs.
    Net.Computer(Far).OnCall = [this](TSimCall call, const std::wstring&) {
        if (call == TSimCall::ControlService)
            Net.Hang(Far);
    };
    bool refused = false;
    std::wstring step;
    bool closed = false;
    ProbeUntil(20, [&] {
        if (Net.HungCalls(Far) == 0)
            return false;
        refused = !Window().Actions().Execute(TFormMain::ActRebuild) && !Window().Actions().Execute(TFormMain::ActStart) &&
                  !Window().Actions().Execute(TFormMain::ActComputers) && Window().CommandRunning() && BusyCount() > 0;
        step = StepPanel();
        Window().Close();
        closed = Window().Handle() == nullptr;
        return true;
    });
    EXPECT_TRUE(Window().Actions().Execute(TFormMain::ActStop));
    EXPECT_TRUE(WaitUntil([&] { return closed; }));
    EXPECT_TRUE(refused);
    EXPECT_EQ(step, L"Stopping Talvora ERP App 1...");
    EXPECT_TRUE(Application().Terminated());
    EXPECT_FALSE(Window().CommandRunning());
    EXPECT_EQ(BusyCount(), 0);
    EXPECT_GT(Net.HungCalls(Far), 0);
    EXPECT_EQ(Net.Computer(Far).CallCount(TSimCall::ControlService, L"SQLANYs_db"), 0);
}

// A hang at the first call of each command: quitting ends the window at once every time.
TEST_F(SlowComputerTest, QuittingWhileAnyCommandsCallHangs)
{
    const std::pair<const wchar_t*, int> cases[] = {
        {L"Talvora ERP App stopped", TFormMain::ActStart}, {L"Talvora ERP App 1", TFormMain::ActStop},
        {L"Talvora ERP App 1", TFormMain::ActRestart},     {L"Talvora ERP App 1", TFormMain::ActPause},
        {L"Talvora ERP App paused", TFormMain::ActStart},  {L"Talvora ERP App stopped", TFormMain::ActUninstall},
        {L"Talvora ERP App 1", TFormMain::ActProps},
    };
    for (const auto& [row, action] : cases) {
        SCOPED_TRACE(testing::Message() << ToUtf8(row) << " " << action);
        NewWindow();
        Select(row);
        Net.Hang(Far);
        ProbeUntil(20, [&] {
            if (Net.HungCalls(Far) == 0 || !Window().CommandRunning())
                return false;
            Window().Close();
            return true;
        });
        EXPECT_TRUE(Window().Actions().Execute(action));
        EXPECT_TRUE(WaitUntil([&] { return Window().Handle() == nullptr; }));
        EXPECT_FALSE(Window().CommandRunning());
        Net.Release(Far);
        Form.reset();
        EXPECT_TRUE(WaitUntil(WorkersEnded));
    }
    EXPECT_TRUE(Boxes.Asked.empty());
    EXPECT_EQ(Net.Computer(Far).CallCount(TSimCall::DeleteService), 0);
}

TEST_F(SlowComputerTest, ConnectingElsewhereWhileTheComputerHangsReplacesItAtOnce)
{
    Net.Hang(Far);
    // The timer's next read hangs on the far computer.
    EXPECT_TRUE(WaitUntil([&] { return Net.HungCalls(Far) > 0; }));
    Window().Connect(L"");
    EXPECT_GE(Row(L"Database here"), 0);
    EXPECT_EQ(Row(L"Database far"), -1);
    EXPECT_TRUE(Boxes.Asked.empty());
    // A command here works beside the hung computer.
    Select(L"Database here");
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Run(TFormMain::ActStop));
    EXPECT_EQ(Net.Local().Service(L"SQLANYs_here").State, static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(SlowComputerTest, AComputerLostDuringACommandIsReportedAndTheNextCommandConnectsAnew)
{
    Net.Computer(Far).Update(L"App1", [](TSimService& s) {
        s.StateAfterStop = SERVICE_STOP_PENDING;
        s.WaitHint = 5000;
    });
    // Lost in the middle of the wait for the dependant.
    Net.Local().After(2000, [this] { Net.SetMode(Far, TSimComputerMode::Lost); });
    Select(L"Database far");
    Boxes.Answer(IDYES);
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Run(TFormMain::ActStop));
    ASSERT_EQ(Boxes.Asked.size(), 3u);
    EXPECT_EQ(Boxes.Asked[2].Text.rfind(L"The connection to the computer \"erp-far\" was lost.", 0), 0u)
        << ToUtf8(Boxes.Asked[2].Text);
    EXPECT_EQ(Net.Computer(Far).CallCount(TSimCall::ControlService, L"SQLANYs_db"), 0);
    // Back: the next command opens a new connection (the old handles stay dead).
    Net.SetMode(Far, TSimComputerMode::Reachable);
    Net.Computer(Far).SetStatus(L"App1", SERVICE_RUNNING);
    Select(L"Talvora ERP App 1");
    EXPECT_TRUE(Run(TFormMain::ActPause));
    EXPECT_EQ(Boxes.Asked.size(), 3u);
    EXPECT_EQ(Net.Computer(Far).CallCount(TSimCall::ControlService, L"App1"), 2);
}
}  // namespace
