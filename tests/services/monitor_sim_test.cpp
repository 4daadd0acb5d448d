// The state monitor over the simulated Service Control Manager: the two callbacks and the
// terminate handler on the GUI thread, success and the failure texts, check points that keep it
// polling, callbacks served by a modal loop, and a window cutting its way back.
#include "common/errors.h"
#include "services/service_monitor.h"
#include "tests/services/monitor_report.h"
#include "tests/services/service_test_util.h"
#include "tests/sim_scm/sim_scm.h"
#include "tests/support/message_box_hook.h"
#include "tests/support/wait_until.h"
#include "ui/base/application.h"
#include "ui/base/delay.h"
#include "ui/base/message_box.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Shared by every test: a monitor may still be polling when a test's checks have failed.
TSimServiceControlManager& Sim()
{
    static auto* sim = new TSimServiceControlManager;
    return *sim;
}

// Waits while the monitors poll for this long on the manager's clock.
bool PollFor(DWORD ms)
{
    const DWORD start = Sim().TickCount();
    return WaitUntil([&] { return Sim().TickCount() - start >= ms; }, 10000);
}

void AddService(const std::wstring& name, DWORD state, DWORD checkPoint = 0)
{
    TSimService s;
    s.Name = name;
    s.DisplayName = name;
    s.State = state;
    s.CheckPoint = checkPoint;
    Sim().AddService(s);
}

class MonitorSim : public testing::Test {
protected:
    void SetUp() override { Application().Initialize(); }
};

TEST_F(MonitorSim, ServiceAlreadyInFinalStateEndsAfterTheFirstQuery)
{
    AddService(L"MonReady", SERVICE_RUNNING);
    MonitorReport r(Sim());
    DWORD start = GetTickCount();
    r.Start(L"MonReady", L"Starting", ssRunning);
    ASSERT_TRUE(r.WaitDone());
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ(r.Messages, (std::vector<std::wstring>{L"", L""}));
    EXPECT_EQ(r.ReturnValue, 0);
    EXPECT_TRUE(r.OnGuiThread);
}

struct SettleCase {
    const wchar_t* Name;
    DWORD Pending;
    const wchar_t* Operation;
    TServiceState Final;
    DWORD Settled;
    const wchar_t* Expected;
    DWORD ExitCode = 0;  // the codes the service reports as it settles
    DWORD SpecificExitCode = 0;
};

TEST_F(MonitorSim, SettlingElsewhereFailsWithTheOperationText)
{
    const SettleCase cases[] = {
        {L"MonStartFails", SERVICE_START_PENDING, L"Starting", ssRunning, SERVICE_STOPPED,
         L"MonStartFails: Starting failed."},
        {L"MonStopPauses", SERVICE_STOP_PENDING, L"Stopping", ssStopped, SERVICE_PAUSED,
         L"MonStopPauses: Stopping failed."},
        {L"MonResumes", SERVICE_CONTINUE_PENDING, L"Resuming", ssRunning, SERVICE_RUNNING, L""},
        {L"MonStartExits", SERVICE_START_PENDING, L"Starting", ssRunning, SERVICE_STOPPED,
         L"MonStartExits: Starting failed.\r\nService-specific exit code: 42 (0x2A).", ERROR_SERVICE_SPECIFIC_ERROR, 42},
    };
    std::vector<std::unique_ptr<MonitorReport>> reports;
    for (const auto& c : cases) {
        AddService(c.Name, c.Pending);
        reports.push_back(std::make_unique<MonitorReport>(Sim()));
        reports.back()->Start(c.Name, c.Operation, c.Final);
    }
    // All of them poll a frozen pending state until the services settle.
    ASSERT_TRUE(PollFor(1500));
    for (auto& r : reports)
        EXPECT_FALSE(r->Terminated);
    for (const auto& c : cases)
        Sim().Update(c.Name, [&](TSimService& s) {
            s.State = c.Settled;
            s.Win32ExitCode = c.ExitCode;
            s.ServiceSpecificExitCode = c.SpecificExitCode;
        });
    for (size_t i = 0; i < reports.size(); ++i) {
        MonitorReport& r = *reports[i];
        ASSERT_TRUE(r.WaitDone()) << i;
        EXPECT_EQ(r.Messages, (std::vector<std::wstring>{L"", cases[i].Expected}));
        EXPECT_EQ(r.ErrorInHandler, cases[i].Expected);
        EXPECT_EQ(r.ReturnValue, *cases[i].Expected ? 1 : 0);
    }
}

TEST_F(MonitorSim, UnknownServiceFailsAtOnce)
{
    MonitorReport r(Sim());
    DWORD start = GetTickCount();
    r.Start(L"MonNoSuchService", L"Starting", ssRunning);
    ASSERT_TRUE(r.WaitDone());
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ(r.Messages, (std::vector<std::wstring>{L"", L"MonNoSuchService: Starting failed."}));
    EXPECT_EQ(r.ReturnValue, 1);
}

TEST_F(MonitorSim, FailingStatusQueryEndsWithTheSystemError)
{
    AddService(L"MonQueryFails", SERVICE_START_PENDING);
    Sim().Fail(TSimCall::QueryServiceStatus, ERROR_ACCESS_DENIED, L"MonQueryFails");
    MonitorReport r(Sim());
    r.Start(L"MonQueryFails", L"Starting", ssRunning);
    ASSERT_TRUE(r.WaitDone());
    ASSERT_EQ(r.Messages.size(), 2u);
    EXPECT_TRUE(StartsWith(r.Messages[1], L"System Error.  Code: 5.\r\n")) << ToUtf8(r.Messages[1]);
    // Its handles were closed on the way out.
    EXPECT_TRUE(WaitUntil([] { return Sim().OpenHandleCount() == 0; }, 3000));
}

TEST_F(MonitorSim, AdvancingCheckPointKeepsTheMonitorPolling)
{
    AddService(L"MonProgress", SERVICE_START_PENDING, 1);
    MonitorReport r(Sim());
    for (DWORD cp = 2; cp <= 4; ++cp)
        Sim().After(700 * (cp - 1), [cp] { Sim().SetStatus(L"MonProgress", SERVICE_START_PENDING, cp); });
    r.Start(L"MonProgress", L"Starting", ssRunning);
    ASSERT_TRUE(PollFor(2800));
    EXPECT_EQ(Sim().Service(L"MonProgress").CheckPoint, 4u);
    EXPECT_FALSE(r.Terminated);
    EXPECT_EQ(r.Messages.size(), 1u);
    Sim().SetStatus(L"MonProgress", SERVICE_RUNNING);
    ASSERT_TRUE(r.WaitDone());
    EXPECT_EQ(r.Messages, (std::vector<std::wstring>{L"", L""}));
}

// Closes the message box that the test shows once the monitor has ended.
MonitorReport* GModalReport = nullptr;
void CALLBACK CloseBoxWhenDone(HWND, UINT, UINT_PTR, DWORD)
{
    if (!GModalReport || !GModalReport->Terminated)
        return;
    if (HWND box = FindWindowW(L"#32770", L"MonitorModalTest"))
        PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(MonitorSim, CallbacksRunWhileTheGuiThreadSitsInAModalLoop)
{
    AddService(L"MonModal", SERVICE_START_PENDING);
    MonitorReport r(Sim());
    GModalReport = &r;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseBoxWhenDone);
    Sim().After(500, [] { Sim().SetStatus(L"MonModal", SERVICE_RUNNING); });
    r.Start(L"MonModal", L"Starting", ssRunning);
    MessageBoxW(nullptr, L"Waiting for the monitor", L"MonitorModalTest", MB_OK);
    KillTimer(nullptr, timer);
    GModalReport = nullptr;
    EXPECT_TRUE(r.Terminated);
    EXPECT_EQ(r.Messages, (std::vector<std::wstring>{L"", L""}));
}

// Execute reports its own failures; one that escapes it all the same reaches the default
// report on the GUI thread, and the terminate handler still runs.
TEST_F(MonitorSim, AnErrorThatEscapesAThreadGoesToTheDefaultReport)
{
    class TThrowing final : public TThread {
    public:
        explicit TThrowing(bool& terminated) : TThread(Application())
        {
            FreeOnTerminate = true;
            OnTerminate = [&terminated](TThread*) { terminated = true; };
            Start();
        }

    protected:
        void Execute() override { throw Exception(L"Lost on the way"); }
    };
    Application().SetTitle(L"Monitor test");
    ScriptedMessageBoxes boxes;
    bool terminated = false;
    new TThrowing(terminated);
    ASSERT_TRUE(WaitUntil([&] { return terminated; }, 8000));
    ASSERT_EQ(boxes.Asked.size(), 1u);
    EXPECT_EQ(boxes.Asked[0].Text, L"Lost on the way.");
    EXPECT_EQ(boxes.Asked[0].Caption, L"Monitor test");
}

TEST_F(MonitorSim, DroppedHandlersAreNotCalled)
{
    AddService(L"MonDropped", SERVICE_START_PENDING);
    MonitorReport r(Sim());
    TServiceMonitor* m = r.Start(L"MonDropped", L"Starting", ssRunning);
    ASSERT_TRUE(WaitUntil([&] { return r.Messages.size() == 1; }, 3000));
    m->DropHandlers();  // the window is going away
    int queriesBefore = Sim().CallCount(TSimCall::QueryServiceStatus, L"MonDropped");
    Sim().SetStatus(L"MonDropped", SERVICE_STOPPED);
    // The monitor ends (it stops polling) without calling anything.
    ASSERT_TRUE(WaitUntil([] { return TThread::RunningCount() == 0; }, 8000));
    EXPECT_GT(Sim().CallCount(TSimCall::QueryServiceStatus, L"MonDropped"), queriesBefore);
    EXPECT_EQ(r.Messages.size(), 1u);
    EXPECT_FALSE(r.Terminated);
}

TEST_F(MonitorSim, AnErrorThatEscapesTheRunReachesTheDefaultReportOnTheGuiThread)
{
    AddService(L"MonEscape", SERVICE_RUNNING);
    std::vector<AskedMessageBox> asked;
    bool boxOnGuiThread = false;
    SetMessageBoxHook([&](const std::wstring& text, const std::wstring& caption, UINT flags) {
        boxOnGuiThread = Application().IsGuiThread();
        asked.push_back({text, caption, flags});
        return IDOK;
    });
    bool terminated = false;
    // The final callback raises: nothing inside the run catches it.
    new TServiceMonitor(
        L"MonEscape", L"Starting", ssRunning,
        [calls = 0](const std::wstring&) mutable {
            if (++calls == 2)
                throw Exception(L"The window could not take the news");
        },
        [&](TServiceMonitor*) { terminated = true; }, Sim(), Application());
    EXPECT_TRUE(WaitUntil([&] { return terminated; }, 8000));
    SetMessageBoxHook(nullptr);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, L"The window could not take the news.");
    EXPECT_EQ(asked[0].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_TRUE(boxOnGuiThread);
}

}  // namespace
