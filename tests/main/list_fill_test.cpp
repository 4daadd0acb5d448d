// What the list reads and when, over the simulated manager: the ERP view reads the records of
// the services it shows and no other; "all" shows its rows from the enumeration at once and
// fills the records in afterwards, rows in view first; the timer's work and the look-ups of the
// commands, the tip and Properties... run on the list's worker, never on the GUI thread; and
// services that change between the enumeration and the read of their records.
#include "tests/main/main_window_fixture.h"
#include "tests/main/probe_timer.h"

#include "common/format.h"
#include "ui/props/form_props.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {
class ListFillTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Gui = GetCurrentThreadId();
    }
    void TearDown() override
    {
        Sim.OnCall = nullptr;
        MainWindowTest::TearDown();
    }
    void ShowAll() { Form = std::make_unique<TFormMain>(Sim, true); }

    // Counts the calls made on the GUI thread (but the catalogue's connection, opened there
    // once for the window's life), and (with delayMs) makes every record read elsewhere cost
    // that long, noting the services in the order read.
    void Watch(DWORD delayMs = 0)
    {
        Sim.OnCall = [this, delayMs](TSimCall call, const std::wstring& key) {
            if (GetCurrentThreadId() == Gui) {
                GuiCalls += call == TSimCall::OpenSCManager ? 0 : 1;
                return;
            }
            if (call == TSimCall::OpenService) {
                std::lock_guard lock(ReadMutex);
                OpenOrder.push_back(key);
            }
            if (call != TSimCall::QueryServiceConfig)
                return;
            {
                std::lock_guard lock(ReadMutex);
                ReadOrder.push_back(key);
            }
            if (delayMs)
                Sleep(delayMs);
        };
    }
    std::vector<std::wstring> Read()
    {
        std::lock_guard lock(ReadMutex);
        return ReadOrder;
    }

    TNtService* Record(const std::wstring& name)
    {
        TNtService* service = nullptr;
        Window().Manager().FindService(name, service);
        return service;
    }
    bool AllRead()
    {
        for (int i = 0; i < Window().List().Count(); ++i)
            if (!Window().ItemData(i)->Service->RecordRead())
                return false;
        return true;
    }
    // count services "All 1000" ... with "all", every seventh disabled, each with a description.
    void AddMany(int count)
    {
        for (int i = 0; i < count; ++i) {
            TSimService s = SimService(Fmt(L"All%d", {1000 + i}));
            s.DisplayName = Fmt(L"All %d", {1000 + i});
            s.Description = Fmt(L"about %d", {1000 + i});
            if (i % 7 == 0)
                s.StartType = SERVICE_DISABLED;
            Sim.AddService(s);
        }
    }

    DWORD Gui = 0;
    std::atomic<int> GuiCalls{0};
    std::mutex ReadMutex;
    std::vector<std::wstring> ReadOrder;
    std::vector<std::wstring> OpenOrder;  // the services opened off the GUI thread, in order
};

TEST_F(ListFillTest, TheErpViewReadsOnlyWhatItShowsAndAHiddenDependencyWhenStartNeedsIt)
{
    AddListed(L"SQLANY_db", L"Database", SERVICE_STOPPED, {L"Net"});
    AddListed(L"T32App", L"Talvora32 Application Server", SERVICE_RUNNING);
    Sim.AddService(SimService(L"Net"));
    for (int i = 0; i < 50; ++i) {
        TSimService other = SimService(Fmt(L"Other%d", {i}));
        other.State = SERVICE_RUNNING;
        Sim.AddService(other);
    }
    Watch();
    Window().RebuildItems(true);
    ASSERT_EQ(Window().List().Count(), 2);
    // The hidden services: names and state from the enumeration, never opened.
    TNtService* hidden = Record(L"Other7");
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(hidden->RecordRead());
    EXPECT_EQ(hidden->ServiceState(), ssRunning);
    EXPECT_EQ(hidden->DisplayName(), L"Other7 display");
    EXPECT_TRUE(Record(L"SQLANY_db")->RecordRead());

    // Ticks: one enumeration each and about a call a shown row for re-reads, none of them on
    // the GUI thread, none for a hidden service.
    UpdateItems();  // the worker's enumeration buffer takes its size
    GuiCalls = 0;
    const int before = Sim.CallCount(TSimCall::EnumServicesStatus);
    int calls = 0;
    for (TSimCall call : {TSimCall::OpenService, TSimCall::QueryServiceConfig2W, TSimCall::QueryServiceConfig,
                          TSimCall::QueryServiceStatus, TSimCall::CloseServiceHandle})
        calls -= Sim.CallCount(call);
    const int ticks = 8;
    for (int i = 0; i < ticks; ++i)
        UpdateItems();
    for (TSimCall call : {TSimCall::OpenService, TSimCall::QueryServiceConfig2W, TSimCall::QueryServiceConfig,
                          TSimCall::QueryServiceStatus, TSimCall::CloseServiceHandle})
        calls += Sim.CallCount(call);
    EXPECT_EQ(Sim.CallCount(TSimCall::EnumServicesStatus) - before, ticks);
    EXPECT_GT(calls, 0);
    EXPECT_LE(calls, ticks * 2);
    EXPECT_EQ(GuiCalls, 0);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(Sim.CallCount(TSimCall::OpenService, Fmt(L"Other%d", {i})), 0) << i;
    EXPECT_EQ(Sim.CallCount(TSimCall::OpenService, L"Net"), 0);

    // Start needs the hidden dependency's record: read then, on the worker.
    Select(L"Database");
    Boxes.Answer(IDNO);
    Run(TFormMain::ActStart);
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text,
              L"These services are dependent and must also be started. Continue?\r\n\r\n\"Net display\"");
    EXPECT_TRUE(Record(L"Net")->RecordRead());
    EXPECT_EQ(GuiCalls, 0);
}

TEST_F(ListFillTest, AllShowsItsRowsAtOnceAndFillsTheRecordsInRowsInViewFirst)
{
    AddMany(300);
    ShowAll();
    Watch(2);
    Window().RebuildItems(true);
    // The rows at once, sorted, with caption and state; the records not read yet.
    ASSERT_EQ(Window().List().Count(), 300);
    EXPECT_EQ(Window().List().Text(0), L"All 1000");
    EXPECT_EQ(Window().List().Text(299), L"All 1299");
    EXPECT_EQ(Window().List().Text(299, 1), L"Stopped");
    EXPECT_FALSE(Window().ItemData(299)->Service->RecordRead());
    EXPECT_EQ(Window().List().Text(299, 2), L"");

    EXPECT_TRUE(WaitUntil([&] { return AllRead(); }, 20000));
    // Each record read once, each row's description in; no row moved.
    const std::vector<std::wstring> read = Read();
    EXPECT_EQ(read.size(), 300u);
    EXPECT_EQ(std::set<std::wstring>(read.begin(), read.end()).size(), 300u);
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(Window().List().Text(i), Fmt(L"All %d", {1000 + i}));
        ASSERT_EQ(Window().List().Text(i, 2), Fmt(L"about %d", {1000 + i}));
        ASSERT_EQ(Window().ItemData(i)->Service->StartType() == sstDisabled, i % 7 == 0) << i;
    }
    // The rows in view came first (two reads run at once, so the services are opened in about
    // the order the reads were taken).
    const int inView = Window().List().CountPerPage();
    ASSERT_GT(inView, 0);
    std::vector<std::wstring> opened;
    {
        std::lock_guard lock(ReadMutex);
        opened = OpenOrder;
    }
    for (int i = 0; i < inView; ++i) {
        const auto at = std::find(opened.begin(), opened.end(), Fmt(L"ALL%d", {1000 + i}));
        EXPECT_LE(at - opened.begin(), inView + 2) << i;
    }
    EXPECT_EQ(GuiCalls, 0);
    EXPECT_TRUE(Boxes.Asked.empty());
}

// Services that change between the enumeration and the read of their records, and a record
// whose read fails: each row keeps its names and status, and the list goes on.
TEST_F(ListFillTest, ServicesChangingBeforeTheirRecordsAreRead)
{
    AddMany(40);
    for (const wchar_t* name : {L"Zdeleted", L"Zlocked", L"Zrenamed"}) {
        TSimService s = SimService(name);
        s.State = SERVICE_RUNNING;
        s.Description = L"told";
        Sim.AddService(s);
    }
    Sim.Fail(TSimCall::OpenService, ERROR_ACCESS_DENIED, L"Zlocked");
    ShowAll();
    // Once the first record is being read the manager changes.
    bool changed = false;
    Sim.OnCall = [&](TSimCall call, const std::wstring&) {
        if (call != TSimCall::QueryServiceConfig || changed || GetCurrentThreadId() == Gui)
            return;
        changed = true;
        Sim.RemoveService(L"Zdeleted");
        Sim.AddService(SimService(L"Zcreated"));
        Sim.Update(L"Zrenamed", [](TSimService& s) { s.DisplayName = L"A renamed"; });
    };
    Window().RebuildItems(true);
    // Every record but the two that cannot be read lands.
    auto readRows = [&] {
        int read = 0;
        for (int i = 0; i < Window().List().Count(); ++i)
            read += Window().ItemData(i)->Service->RecordRead() ? 1 : 0;
        return read;
    };
    EXPECT_TRUE(WaitUntil([&] { return readRows() == Window().List().Count() - 2; }));
    Sim.OnCall = nullptr;
    ASSERT_TRUE(changed);

    struct Case {
        const wchar_t* Caption;
        const wchar_t* State;
        const wchar_t* Description;
        bool Read;
    };
    const Case cases[] = {
        {L"Zdeleted display", L"Running", L"", false},
        {L"Zlocked display", L"Running", L"", false},
        {L"Zrenamed display", L"Running", L"told", true},
    };
    for (const Case& c : cases) {
        const int row = Row(c.Caption);
        ASSERT_GE(row, 0) << ToUtf8(c.Caption);
        EXPECT_EQ(Window().List().Text(row, 1), c.State) << ToUtf8(c.Caption);
        EXPECT_EQ(Window().List().Text(row, 2), c.Description) << ToUtf8(c.Caption);
        EXPECT_EQ(Window().ItemData(row)->Service->RecordRead(), c.Read) << ToUtf8(c.Caption);
    }
    EXPECT_EQ(Row(L"Zcreated display"), -1);
    // The tip of a record that cannot be read shows what a failed refresh leaves.
    EXPECT_EQ(Tip(L"Zlocked display"), L"Name: Zlocked\r\nFile: \r\nAccount: ");

    // The next tick brings the new caption, sorted in; the deleted service keeps its row.
    UpdateItems();
    EXPECT_EQ(Window().List().Text(0), L"A renamed");
    EXPECT_GE(Row(L"Zdeleted display"), 0);
    EXPECT_EQ(Window().List().Text(Row(L"Zdeleted display"), 1), L"Running");
    // F5 shows the manager as it is.
    Window().RebuildItems(true);
    EXPECT_EQ(Row(L"Zdeleted display"), -1);
    EXPECT_GE(Row(L"Zcreated display"), 0);
    EXPECT_TRUE(Boxes.Asked.empty());
}

// The ERP view: a service deleted between the enumeration and the read of its record keeps what
// was last known of it, not "Unknown".
TEST_F(ListFillTest, AServiceDeletedBeforeItsRecordIsReadKeepsItsLastKnownValues)
{
    AddListed(L"SQLANY_a", L"Db a", SERVICE_RUNNING);
    AddListed(L"SQLANY_x", L"Db x", SERVICE_RUNNING);
    Sim.Update(L"SQLANY_x", [](TSimService& s) { s.Description = L"known before"; });
    Window().RebuildItems(true);
    // The reader opens its first record: the second one goes before it is read.
    bool removed = false;
    Sim.OnCall = [&](TSimCall call, const std::wstring& key) {
        if (call == TSimCall::OpenService && key == L"SQLANY_A" && !removed && GetCurrentThreadId() != Gui) {
            removed = true;
            Sim.RemoveService(L"SQLANY_x");
        }
    };
    Window().RebuildItems(true);
    Sim.OnCall = nullptr;
    ASSERT_TRUE(removed);
    const int row = Row(L"Db x");
    ASSERT_GE(row, 0);
    EXPECT_EQ(Window().List().Text(row, 1), L"Running");
    EXPECT_EQ(Window().List().Text(row, 2), L"known before");
    UpdateItems();
    EXPECT_EQ(Window().List().Text(Row(L"Db x"), 1), L"Running");
    EXPECT_TRUE(Boxes.Asked.empty());
}

class SlowFillTest : public ListFillTest {
protected:
    // "all" with 200 services whose records cost 10 ms each, the last one needing a stopped
    // service; the rebuild has handed over and the records are being filled in.
    void SetUp() override
    {
        ListFillTest::SetUp();
        AddMany(200);
        Sim.Update(L"All1199", [](TSimService& s) { s.Dependencies = {L"All1001"}; });
        ShowAll();
        Watch(10);
        Window().RebuildItems(true);
        ASSERT_FALSE(Record(L"All1199")->RecordRead());
    }
};

TEST_F(SlowFillTest, ACommandOnARowNotYetReadReadsItFirst)
{
    Select(L"All 1199");
    Boxes.Answer(IDNO);
    Run(TFormMain::ActStart);
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text,
              L"These services are dependent and must also be started. Continue?\r\n\r\n\"All 1001\"");
    EXPECT_TRUE(Record(L"All1199")->RecordRead());
    EXPECT_LT(Read().size(), 150u);  // read out of turn, long before the fill reached it
    EXPECT_EQ(GuiCalls, 0);
}

TEST_F(SlowFillTest, F5PropertiesAndQuittingWhileRecordsAreFilledIn)
{
    // F5: the fill starts anew with the new records, and ends.
    EXPECT_TRUE(Window().Actions().Execute(TFormMain::ActRebuild));
    EXPECT_TRUE(WaitUntil([&] { return AllRead(); }, 20000));
    EXPECT_EQ(Window().List().Text(199, 2), L"about 1199");

    // Properties... on a row not read (after another F5) opens with its record read.
    Window().RebuildItems(true);
    Select(L"All 1150");
    bool readWhenShown = false, shown = false;
    ProbeUntil(50, [&] {
        HWND dialog = OwnVisibleWindow(L"TFormProps");
        if (!dialog)
            return false;
        shown = true;
        readWhenShown = Record(L"All1150")->RecordRead();
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        return true;
    });
    EXPECT_TRUE(Run(TFormMain::ActProps));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(readWhenShown);

    // Quitting while the fill goes on: the window closes, the workers' connections with it (the
    // commands' worker closes its own as it ends).
    Window().Close();
    EXPECT_EQ(Window().Handle(), nullptr);
    // The catalogue's own, until the window object goes.
    EXPECT_TRUE(WaitUntil([&] { return Sim.OpenHandleCount() == 1; })) << Sim.OpenHandleCount();
    EXPECT_TRUE(Boxes.Asked.empty());
}

// F5 carries the values last read over to the new records that it has not read itself (the rows
// show them meanwhile); those records stay unread, so Properties... at once on such a row reads
// it first and shows what the service has now.
TEST_F(SlowFillTest, PropertiesAtOnceAfterF5ShowTheServiceAsItIsNow)
{
    ASSERT_TRUE(WaitUntil([&] { return AllRead(); }, 20000));
    Sim.Update(L"All1150", [](TSimService& s) { s.StartType = SERVICE_AUTO_START; });  // changed elsewhere
    Window().RebuildItems(true);
    ASSERT_FALSE(Record(L"All1150")->RecordRead());
    EXPECT_EQ(Record(L"All1150")->StartType(), sstDemand);  // carried over
    EXPECT_EQ(Window().List().Text(Row(L"All 1150"), 2), L"about 1150");
    Select(L"All 1150");
    bool shown = false, automatic = false;
    ProbeUntil(50, [&] {
        HWND dialog = FindWindowW(L"TFormProps", nullptr);
        if (!dialog)
            return false;
        shown = true;
        automatic = SendMessageW(GetDlgItem(dialog, TFormProps::IdRBtnStartAuto), BM_GETCHECK, 0, 0) == BST_CHECKED;
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        return true;
    });
    EXPECT_TRUE(Run(TFormMain::ActProps));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(automatic);
    EXPECT_EQ(Record(L"All1150")->StartType(), sstAuto);
    EXPECT_TRUE(Boxes.Asked.empty());
}

// A follow-up that ends while F5's read runs has reported its failure: the hand-over starts no
// second one from the read's stale pending state.
TEST_F(ListFillTest, AFailureWhileTheListIsReadIsReportedOnce)
{
    AddListed(L"SQLANY_0pend", L"Db pending", SERVICE_START_PENDING);
    for (int i = 0; i < 60; ++i)
        AddListed(Fmt(L"SQLANY_%d", {10 + i}), Fmt(L"Db %d", {10 + i}));
    Window().RebuildItems(true);
    ASSERT_NE(Data(L"Db pending")->Monitor, nullptr);
    // The reader reads the pending service first, then the others for about two seconds; the
    // start fails meanwhile.
    Watch(30);
    ProbeAfter(100, [&] { Sim.SetStatus(L"SQLANY_0pend", SERVICE_STOPPED); });
    EXPECT_TRUE(Window().Actions().Execute(TFormMain::ActRebuild));
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text, L"SQLANY_0pend: Starting failed.");
    EXPECT_EQ(Data(L"Db pending")->Monitor, nullptr);
    DelayWithMessages(1500);
    EXPECT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(TThread::RunningCount(), 0);
    UpdateItems();
    EXPECT_EQ(Window().List().Text(Row(L"Db pending"), 1), L"Stopped");
}

// With thousands of rows the GUI thread's share of a tick follows the rows that changed.
TEST_F(ListFillTest, ATicksWorkOnTheGuiThreadFollowsTheChangedRows)
{
    AddMany(5000);
    ShowAll();
    Window().RebuildItems(true);
    EXPECT_TRUE(WaitUntil([&] { return AllRead(); }, 60000));
    UpdateItems();  // the first tick after a rebuild gives every state
    Watch();
    for (int changed : {0, 10, 100}) {
        for (int i = 0; i < changed; ++i)
            Sim.SetStatus(Fmt(L"All%d", {1000 + i * 37}), changed == 10 ? SERVICE_RUNNING : SERVICE_PAUSED);
        const int painted = Window().ServiceList().RowsPainted();
        UpdateItems();
        // Records re-read whole land too, but only the changed rows are touched.
        EXPECT_GT(Read().size(), 0u);
        EXPECT_EQ(Window().ServiceList().RowsPainted() - painted, changed);
        std::lock_guard lock(ReadMutex);
        ReadOrder.clear();
    }
    EXPECT_EQ(GuiCalls, 0);
    EXPECT_EQ(Window().List().Text(Row(L"All 1037"), 1), L"Paused");
}
}  // namespace
