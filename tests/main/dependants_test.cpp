// Stop and Restart with dependants in every state: one that is stopping already is waited for
// (never sent STOP again), one that is starting is waited for and then stopped, each wait ends
// by the stall rule and names the dependant that did not stop, and Restart brings every
// dependant back to the state it had, each after the services it depends on.
#include "tests/main/main_window_fixture.h"

#include "common/format.h"
#include "common/text.h"

#include <cwctype>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {
class DependantsTest : public MainWindowTest {
protected:
    // The database and its application server; the application's state as given.
    void SetUp() override
    {
        MainWindowTest::SetUp();
        // The order of the requests, as the manager sees them (its keys are upper case).
        Sim.OnCall = [this](TSimCall call, const std::wstring& key) {
            if (call == TSimCall::StartService)
                Started.push_back(key);
            else if (call == TSimCall::ControlService)
                Controlled.push_back(key);
            else if (call == TSimCall::EnumDependentServices && OnDependantsListed)
                std::exchange(OnDependantsListed, nullptr)();
        };
        AddListed(L"SqlAnyS_Db", L"Database", SERVICE_RUNNING);
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        Sim.OnCall = nullptr;
    }
    void AddApp(const wchar_t* name, DWORD state, const wchar_t* dependsOn = L"SqlAnyS_Db")
    {
        AddListed(name, Fmt(L"Talvora ERP %s", {name}), state, {dependsOn});
    }
    void SelectDatabase()
    {
        Window().RebuildItems(true);
        Select(L"Database");
    }
    DWORD State(const wchar_t* name) { return Sim.Service(name).State; }
    static std::wstring Key(std::wstring name)
    {
        for (wchar_t& c : name)
            c = static_cast<wchar_t>(towupper(c));
        return name;
    }
    std::vector<std::wstring> Started, Controlled;
    // Runs once, as the command lists the dependants (the simulated clock runs on meanwhile
    // with every wait of the list's threads, so a change timed from the start could come first).
    std::function<void()> OnDependantsListed;
};

TEST_F(DependantsTest, ADependantThatStopsSlowlyIsWaitedForThenTheServiceStops)
{
    AddApp(L"App", SERVICE_RUNNING);
    Sim.Update(L"App", [](TSimService& s) {
        s.StateAfterStop = SERVICE_STOP_PENDING;
        s.WaitHint = 2000;
    });
    // Progress within the wait hint, for longer than the hint in all.
    for (DWORD step = 1; step <= 4; ++step)
        Sim.After(step * 1500, [this, step] { Sim.SetStatus(L"App", SERVICE_STOP_PENDING, step, 2000); });
    Sim.After(7000, [this] { Sim.SetStatus(L"App", SERVICE_STOPPED); });
    SelectDatabase();
    Boxes.Answer(IDYES);
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Run(TFormMain::ActStop));
    EXPECT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(State(L"App"), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(Controlled, (std::vector<std::wstring>{Key(L"App"), Key(L"SqlAnyS_Db")}));
    EXPECT_EQ(Window().List().Text(Row(L"Talvora ERP App"), 1), L"Stopped");
}

// The dependant's stop does not move (hung): it is named, and the service is neither stopped
// nor, for Restart, started. The wait hint 0 counts as the 1 s floor; hours would not stall here.
TEST_F(DependantsTest, ADependantWhoseStopHangsIsNamedAndNothingElseHappens)
{
    AddApp(L"App", SERVICE_RUNNING);
    Sim.Update(L"App", [](TSimService& s) { s.StateAfterStop = SERVICE_STOP_PENDING; });
    SelectDatabase();
    for (int command : {TFormMain::ActStop, TFormMain::ActRestart}) {
        Sim.SetStatus(L"App", SERVICE_RUNNING);
        UpdateItems();
        Boxes.Asked.clear();
        Boxes.Answer(IDYES);
        Boxes.Answer(IDYES);
        EXPECT_TRUE(Run(command));
        ASSERT_EQ(Boxes.Asked.size(), 3u) << command;
        EXPECT_EQ(Boxes.Asked[2].Text, L"App: Stopping did not end within the time the service asked for.");
        EXPECT_EQ(Boxes.Asked[2].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
        EXPECT_EQ(Sim.CallCount(TSimCall::ControlService, L"SqlAnyS_Db"), 0) << command;
        EXPECT_EQ(Sim.CallCount(TSimCall::StartService), 0) << command;
        EXPECT_EQ(BusyCount(), 0);
        EXPECT_FALSE(Window().CommandRunning());
    }
}

// A wait hint of hours: no stall while the check point stands still for two minutes, and the
// status is asked for once a second, not ten times.
TEST_F(DependantsTest, AWaitHintOfHoursIsWaitedForAndPolledOnceASecond)
{
    AddApp(L"App", SERVICE_RUNNING);
    Sim.Update(L"App", [](TSimService& s) {
        s.StateAfterStop = SERVICE_STOP_PENDING;
        s.WaitHint = 3 * 3600 * 1000;
    });
    Sim.After(120 * 1000, [this] { Sim.SetStatus(L"App", SERVICE_STOPPED); });
    SelectDatabase();
    const int queriesBefore = Sim.CallCount(TSimCall::QueryServiceStatus, L"App");
    Boxes.Answer(IDYES);
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Run(TFormMain::ActStop));
    EXPECT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(State(L"App"), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(Sim.CallCount(TSimCall::ControlService, L"SqlAnyS_Db"), 1);
    const int queries = Sim.CallCount(TSimCall::QueryServiceStatus, L"App") - queriesBefore;
    EXPECT_GE(queries, 100);
    EXPECT_LE(queries, 140);
}

TEST_F(DependantsTest, ADependantAlreadyStoppingIsWaitedForAndNotSentStopAgain)
{
    AddApp(L"App", SERVICE_STOP_PENDING);
    Sim.Update(L"App", [](TSimService& s) { s.WaitHint = 3000; });
    Sim.After(2000, [this] { Sim.SetStatus(L"App", SERVICE_STOPPED); });
    SelectDatabase();
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Run(TFormMain::ActStop));
    // Only the database's warning: a stopping dependant is not asked about.
    ASSERT_EQ(Boxes.Asked.size(), 1u) << ToUtf8(Boxes.Asked.back().Text);
    EXPECT_EQ(Controlled, std::vector<std::wstring>{Key(L"SqlAnyS_Db")});
    EXPECT_EQ(State(L"App"), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(State(L"SqlAnyS_Db"), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(DependantsTest, AStartingDependantRunsFirstAndIsThenStopped)
{
    AddApp(L"App", SERVICE_START_PENDING);
    Sim.Update(L"App", [](TSimService& s) { s.WaitHint = 2000; });
    OnDependantsListed = [this] { Sim.After(1500, [this] { Sim.SetStatus(L"App", SERVICE_RUNNING); }); };
    SelectDatabase();
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Run(TFormMain::ActStop));
    // Neither a question about it (it was starting) nor a failure to start.
    ASSERT_EQ(Boxes.Asked.size(), 1u) << ToUtf8(Boxes.Asked.back().Text);
    EXPECT_EQ(Controlled, (std::vector<std::wstring>{Key(L"App"), Key(L"SqlAnyS_Db")}));
    EXPECT_EQ(State(L"App"), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(DependantsTest, RestartBringsAPausedDependantBackPaused)
{
    AddApp(L"App", SERVICE_PAUSED);
    SelectDatabase();
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Run(TFormMain::ActRestart));
    EXPECT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(State(L"SqlAnyS_Db"), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(State(L"App"), static_cast<DWORD>(SERVICE_PAUSED));
    EXPECT_EQ(Started, (std::vector<std::wstring>{Key(L"SqlAnyS_Db"), Key(L"App")}));
    EXPECT_EQ(Window().List().Text(Row(L"Talvora ERP App"), 1), L"Paused");
}

// database <- application <- reports: stopped from the top, started from the bottom.
TEST_F(DependantsTest, RestartOfAChainStartsEachAfterWhatItNeeds)
{
    AddApp(L"App", SERVICE_RUNNING);
    AddApp(L"Reports", SERVICE_RUNNING, L"App");
    AddApp(L"Other", SERVICE_STOPPED);
    SelectDatabase();
    Boxes.Answer(IDYES);
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Run(TFormMain::ActRestart));
    ASSERT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(Boxes.Asked[1].Text, L"These services are dependent and must also be stopped. Continue?\r\n\r\n"
                                   L"\"Talvora ERP Reports\"\r\n\"Talvora ERP App\"");
    EXPECT_EQ(Controlled, (std::vector<std::wstring>{Key(L"Reports"), Key(L"App"), Key(L"SqlAnyS_Db")}));
    EXPECT_EQ(Started, (std::vector<std::wstring>{Key(L"SqlAnyS_Db"), Key(L"App"), Key(L"Reports")}));
    for (const wchar_t* name : {L"SqlAnyS_Db", L"App", L"Reports"})
        EXPECT_EQ(State(name), static_cast<DWORD>(SERVICE_RUNNING)) << ToUtf8(name);
    EXPECT_EQ(State(L"Other"), static_cast<DWORD>(SERVICE_STOPPED));
}
}  // namespace
