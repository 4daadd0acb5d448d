// The service list read anew on a worker thread over the simulated manager: services that come
// and go between the read and the hand-over, a refused enumeration, and what the window does
// while a read is under way (answers, refuses F5 and the commands, quits cleanly); the timer's
// refresh of every row's state at thousands of rows.
#include "tests/main/main_window_fixture.h"
#include "tests/main/probe_timer.h"

#include "common/errors.h"
#include "common/format.h"
#include "common/handle.h"

#include <atomic>
#include <string>
#include <vector>

namespace {
using ListReadTest = MainWindowTest;


TEST_F(ListReadTest, ServicesDeletedAndCreatedBetweenTheReadAndTheHandOver)
{
    AddListed(L"SQLANY_a", L"Db a", SERVICE_RUNNING);
    AddListed(L"SQLANY_x", L"Db x", SERVICE_RUNNING);
    AddListed(L"SQLANY_z", L"Db z");
    Sim.Update(L"SQLANY_x", [](TSimService& s) { s.Description = L"read before it went"; });
    // The reader's last step is closing the last record: by then every record is read, and
    // the manager changes before the rows are built.
    DWORD readerThread = 0;
    Sim.OnCall = [&](TSimCall call, const std::wstring& key) {
        if (call != TSimCall::CloseServiceHandle || key != L"SQLANY_Z" || readerThread)
            return;
        readerThread = GetCurrentThreadId();
        Sim.RemoveService(L"SQLANY_x");
        TSimService fresh;
        fresh.Name = L"SQLANY_new";
        fresh.DisplayName = L"Db new";
        Sim.AddService(fresh);
    };
    Window().RebuildItems(true);
    Sim.OnCall = nullptr;
    ASSERT_NE(readerThread, 0u);
    EXPECT_NE(readerThread, GetCurrentThreadId());

    // The rows are those read: the deleted service as it was read, the new one not yet.
    EXPECT_EQ(Window().List().Count(), 3);
    EXPECT_EQ(Row(L"Db new"), -1);
    ASSERT_GE(Row(L"Db x"), 0);
    EXPECT_EQ(Window().List().Text(Row(L"Db x"), 1), L"Running");
    // The timer's refresh leaves the vanished service's row as a failed refresh does.
    Sim.SetStatus(L"SQLANY_a", SERVICE_STOPPED);
    UpdateItems();
    EXPECT_EQ(Window().List().Text(Row(L"Db a"), 1), L"Stopped");
    EXPECT_EQ(Window().List().Text(Row(L"Db x"), 1), L"Running");
    EXPECT_EQ(Window().List().Text(Row(L"Db x"), 2), L"read before it went");
    // Stopping it reports the manager's error; the next rebuild shows the manager as it is.
    Select(L"Db x");
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Run(TFormMain::ActStop));
    ASSERT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(Boxes.Asked[1].Text.rfind(L"System Error.  Code: 1060.", 0), 0u) << ToUtf8(Boxes.Asked[1].Text);
    Window().RebuildItems(true);
    EXPECT_EQ(Row(L"Db x"), -1);
    EXPECT_GE(Row(L"Db new"), 0);
    // The catalogue's own, the list's worker's and the commands' worker's: the reader's
    // connection is closed.
    EXPECT_EQ(Sim.OpenHandleCount(), 3);
}

TEST_F(ListReadTest, AnEnumerationRefusedOnTheWorkerIsReportedAndTheOldRowsStay)
{
    AddListed(L"SQLANY_a", L"Db a");
    AddListed(L"SQLANY_b", L"Db b");
    Window().RebuildItems(true);
    Select(L"Db b");
    AddListed(L"SQLANY_c", L"Db c");
    Sim.Fail(TSimCall::EnumServicesStatus, ERROR_ACCESS_DENIED, L"", 0, 1);
    EXPECT_TRUE(Window().Actions().Execute(TFormMain::ActRebuild));

    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text.rfind(L"System Error.  Code: 5.", 0), 0u) << ToUtf8(Boxes.Asked[0].Text);
    EXPECT_EQ(Boxes.Asked[0].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(Window().List().Count(), 2);
    EXPECT_EQ(Window().List().Text(Window().List().Selected()), L"Db b");
    EXPECT_EQ(BusyCount(), 0);
    EXPECT_FALSE(Window().CommandRunning());
    // The old rows' records are still the catalogue's and work.
    Sim.SetStatus(L"SQLANY_b", SERVICE_RUNNING);
    UpdateItems();
    EXPECT_EQ(Window().List().Text(Row(L"Db b"), 1), L"Running");
    EXPECT_TRUE(Window().Actions().Execute(TFormMain::ActRebuild));
    EXPECT_EQ(Window().List().Count(), 3);
}

class SlowReadTest : public ListReadTest {
protected:
    // Twenty listed services, then every record the reader reads costs 30 ms.
    void SetUp() override
    {
        ListReadTest::SetUp();
        for (int i = 0; i < 20; ++i)
            AddListed(Fmt(L"SQLANY_%d", {i}), Fmt(L"Db %d", {10 + i}), SERVICE_RUNNING);
        Window().RebuildItems(true);
        Select(L"Db 15");
        AddListed(L"SQLANY_more", L"Db more");
        const DWORD gui = GetCurrentThreadId();
        Sim.OnCall = [this, gui](TSimCall call, const std::wstring&) {
            if (call == TSimCall::QueryServiceConfig && GetCurrentThreadId() != gui) {
                ++Reads;
                Sleep(30);
            }
        };
    }
    void TearDown() override
    {
        Sim.OnCall = nullptr;
        ListReadTest::TearDown();
    }
    std::atomic<int> Reads{0};
};

TEST_F(SlowReadTest, WhileTheListIsReadTheWindowAnswersWithItsOldRowsAndRefusesF5AndTheCommands)
{
    bool probed = false, running = false, rebuildRan = true, stopRan = true, busy = false;
    int rows = 0, readsThen = 0;
    std::wstring selected;
    ProbeAfter(150, [&] {
        probed = true;
        readsThen = Reads;
        running = Window().CommandRunning();
        busy = BusyCount() > 0;
        rows = Window().List().Count();
        selected = Window().List().Text(Window().List().Selected());
        rebuildRan = Window().Actions().Execute(TFormMain::ActRebuild);
        stopRan = Window().Actions().Execute(TFormMain::ActStop);
    });
    Window().Actions().Execute(TFormMain::ActRebuild);
    ASSERT_TRUE(probed);
    EXPECT_GT(readsThen, 0);
    EXPECT_LT(readsThen, 21);
    EXPECT_TRUE(running);
    EXPECT_TRUE(busy);
    EXPECT_EQ(rows, 20);
    EXPECT_EQ(selected, L"Db 15");
    EXPECT_FALSE(rebuildRan);
    EXPECT_FALSE(stopRan);
    EXPECT_TRUE(Boxes.Asked.empty());
    // The read was handed over: the new service is listed, the selection kept.
    EXPECT_EQ(Window().List().Count(), 21);
    EXPECT_EQ(Window().List().Text(Window().List().Selected()), L"Db 15");
    EXPECT_EQ(BusyCount(), 0);
}

TEST_F(SlowReadTest, QuittingWhileTheListIsReadStopsTheReadAndClosesTheWindow)
{
    int readsAtClose = 0;
    ProbeAfter(150, [&] {
        readsAtClose = Reads;
        Window().Close();
    });
    Window().Actions().Execute(TFormMain::ActRebuild);
    // The read stopped after the record it was reading, and the window closed once the read
    // had unwound; the old rows went with it.
    EXPECT_TRUE(Application().Terminated());
    EXPECT_EQ(Window().Handle(), nullptr);
    EXPECT_GT(readsAtClose, 0);
    EXPECT_LE(Reads, readsAtClose + 1);
    EXPECT_EQ(Sim.OpenHandleCount(), 1);
    EXPECT_TRUE(Boxes.Asked.empty());
}

// At the program's start the first read runs while the window is made: the read is under way
// before the window exists, and the first build takes it over instead of reading again.
TEST_F(ListReadTest, TheReadStartedAheadIsTheFirstBuilds)
{
    AddListed(L"SQLANY_a", L"Db a", SERVICE_RUNNING);
    AddListed(L"SQLANY_b", L"Db b");
    UniqueKernelHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueKernelHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Sim.OnCall = [&](TSimCall call, const std::wstring&) {
        if (call == TSimCall::EnumServicesStatus) {
            SetEvent(entered.get());
            WaitForSingleObject(release.get(), 10000);
        }
    };
    const int enumerationsBefore = Sim.CallCount(TSimCall::EnumServicesStatus);
    Form = std::make_unique<TFormMain>(Sim, false, /*readAhead*/ true);
    EXPECT_EQ(WaitForSingleObject(entered.get(), 5000), WAIT_OBJECT_0) << "no read under way";
    EXPECT_EQ(Window().List().Count(), 0);
    SetEvent(release.get());
    Window().RebuildItems(true);
    Sim.OnCall = nullptr;
    EXPECT_EQ(Window().List().Count(), 2);
    EXPECT_EQ(Window().List().Text(Row(L"Db a"), 1), L"Running");
    // One read: the enumeration pages of the read ahead, and none of a second read.
    const int enumerations = Sim.CallCount(TSimCall::EnumServicesStatus) - enumerationsBefore;
    EXPECT_GE(enumerations, 1);
    EXPECT_LE(enumerations, 2) << "the list was read again";
}

// With "all" and thousands of services every row's state is current after every tick, while a
// tick re-reads whole records only as far as its budget reaches.
TEST_F(ListReadTest, EveryTickShowsEveryRowsStateAtThousandsOfServices)
{
    const int count = 3000;
    for (int i = 0; i < count; ++i)
        AddListed(L"Svc" + std::to_wstring(i), L"Service " + std::to_wstring(10000 + i));
    Form = std::make_unique<TFormMain>(Sim, true);
    Window().RebuildItems(true);
    ASSERT_EQ(Window().List().Count(), count);
    // Every record filled in first: ticks re-read none while records are still being filled in.
    ASSERT_TRUE(WaitUntil([&] {
        for (int i = 0; i < count; ++i)
            if (!Window().ItemData(i)->Service->RecordRead())
                return false;
        return true;
    }, 20000));
    // A whole record's re-read takes at least a millisecond: the tick's budget of about 200 ms
    // holds it to far fewer records than the calls it may spend (about one a row) would allow.
    Sim.OnCall = [](TSimCall call, const std::wstring&) {
        if (call == TSimCall::QueryServiceConfig)
            Sleep(1);
    };
    const DWORD states[] = {SERVICE_RUNNING, SERVICE_PAUSED, SERVICE_STOPPED};
    const wchar_t* const words[] = {L"Running", L"Paused", L"Stopped"};
    for (int tick = 0; tick < 3; ++tick) {
        // Services spread over the whole list change, some of them every tick.
        for (int i = tick; i < count; i += 7)
            Sim.SetStatus(L"Svc" + std::to_wstring(i), states[tick]);
        const int reread = UpdateItems();
        EXPECT_GT(reread, 0) << "tick " << tick;
        EXPECT_LE(reread, 260) << "tick " << tick;
        for (int i = 0; i < count; ++i) {
            const TSimService s = Sim.Service(L"Svc" + std::to_wstring(i));
            const int which = s.State == SERVICE_RUNNING ? 0 : s.State == SERVICE_PAUSED ? 1 : 2;
            ASSERT_EQ(Window().List().Text(i, 1), words[which]) << "tick " << tick << " row " << i;
        }
    }
    Sim.OnCall = nullptr;
}
}  // namespace
