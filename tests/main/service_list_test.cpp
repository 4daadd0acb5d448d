// The service list over the simulated manager: which services are listed, the state words and
// icons, the selection across rebuilds, failing refreshes, and the monitors of pending rows.
#include "tests/main/main_window_fixture.h"

#include "common/format.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {
using ServiceListTest = MainWindowTest;

TEST_F(ServiceListTest, ListsTheErpServicesOnlySortedByCaption)
{
    AddListed(L"T32App", L"Talvora32 Application Server");
    AddListed(L"ErpSrv", L"TALVORA ERP Server");
    AddListed(L"SQLANYs_db1", L"Database one");
    AddListed(L"asanys_x", L"Archive");
    AddListed(L"Other", L"My Talvora32 helper");  // the prefix only after the first character
    AddListed(L"xSQLANY", L"Not a database");
    AddListed(L"Spooler", L"Print Spooler");
    Window().RebuildItems(true);

    std::vector<std::wstring> captions;
    for (int i = 0; i < Window().List().Count(); ++i)
        captions.push_back(Window().List().Text(i));
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"Archive", L"Database one", L"TALVORA ERP Server",
                                                   L"Talvora32 Application Server"}));
}

struct StateCase {
    DWORD State;
    const wchar_t* Word;
    int Image;
};

TEST_F(ServiceListTest, StateWordsAndIcons)
{
    const StateCase cases[] = {
        {SERVICE_STOPPED, L"Stopped", 3},          {SERVICE_START_PENDING, L"Starting", 4},
        {SERVICE_STOP_PENDING, L"Stopping", 5},    {SERVICE_RUNNING, L"Running", 1},
        {SERVICE_CONTINUE_PENDING, L"Resume pending", 4}, {SERVICE_PAUSE_PENDING, L"Pause pending", 5},
        {SERVICE_PAUSED, L"Paused", 2},
    };
    AddListed(L"SQLANY_state", L"State");
    AddListed(L"SQLANY_locked", L"Locked");
    Sim.Fail(TSimCall::OpenService, ERROR_ACCESS_DENIED, L"SQLANY_locked");
    Window().RebuildItems(true);
    TListView& list = Window().List();
    int locked = Row(L"Locked");
    EXPECT_EQ(list.Text(locked, 1), L"Unknown");
    EXPECT_EQ(list.Image(locked), 0);
    EXPECT_EQ(list.Text(locked, 2), L"");

    for (const auto& c : cases) {
        Sim.SetStatus(L"SQLANY_state", c.State);
        UpdateItems();
        int row = Row(L"State");
        EXPECT_EQ(list.Text(row, 1), c.Word) << c.State;
        EXPECT_EQ(list.Image(row), c.Image) << c.State;
    }
}

TEST_F(ServiceListTest, SelectionFollowsTheCaptionAcrossRebuilds)
{
    for (const wchar_t* name : {L"SQLANY_a", L"SQLANY_b", L"SQLANY_c"})
        AddListed(name, std::wstring(L"Db ") + name[7]);
    Window().RebuildItems(true);
    Select(L"Db b");
    // A service added before it moves the row; the selection follows the caption.
    AddListed(L"SQLANY_0", L"Db 0");
    Window().RebuildItems(true);
    EXPECT_EQ(Window().List().Selected(), Row(L"Db b"));
    EXPECT_EQ(Window().List().Text(Window().List().Selected()), L"Db b");

    Sim.RemoveService(L"SQLANY_b");
    Window().RebuildItems(true);
    EXPECT_EQ(Window().List().Selected(), -1);
}

TEST_F(ServiceListTest, TypingARowsFirstLettersSelectsIt)
{
    for (const auto& [name, display] : {std::pair{L"SQLANY_a", L"Archive"}, std::pair{L"SQLANY_d", L"Database one"},
                                        std::pair{L"SQLANY_e", L"Database two"}, std::pair{L"SQLANY_t", L"Talvora"}})
        AddListed(name, display);
    Window().RebuildItems(true);
    HWND list = Window().List().Handle();
    SetFocus(list);
    for (wchar_t c : std::wstring(L"dat"))
        SendMessageW(list, WM_CHAR, c, 1);  // a repeat count of one, as a key press gives
    EXPECT_EQ(Window().List().Selected(), Row(L"Database one"));
    // The search for a whole caption ignores letter case.
    EXPECT_EQ(Window().List().FindCaption(L"talvora"), Row(L"Talvora"));
}

TEST_F(ServiceListTest, ARecordThatCannotBeRefreshedKeepsItsLastValues)
{
    AddListed(L"SQLANY_gone", L"Going away", SERVICE_RUNNING);
    Sim.Update(L"SQLANY_gone", [](TSimService& s) { s.Description = L"first\r\nline two"; });
    Window().RebuildItems(true);
    Sim.RemoveService(L"SQLANY_gone");
    UpdateItems();
    int row = Row(L"Going away");
    ASSERT_GE(row, 0);
    EXPECT_EQ(Window().List().Text(row, 1), L"Running");
    EXPECT_EQ(Window().List().Text(row, 2), L"first\r\nline two");
    EXPECT_TRUE(Boxes.Asked.empty());
}

TEST_F(ServiceListTest, ACaptionChangeSortsTheRowsAgain)
{
    AddListed(L"SQLANY_a", L"A first");
    AddListed(L"SQLANY_b", L"B second");
    Window().RebuildItems(true);
    // A display name changed from outside reaches the caption at the next refresh, which
    // sorts the rows again; the rows keep their records, and the selection its service.
    TItemData* renamed = Data(L"A first");
    Select(L"A first");
    Sim.Update(L"SQLANY_a", [](TSimService& s) { s.DisplayName = L"C third"; });
    UpdateItems();
    EXPECT_EQ(Window().List().Text(0), L"B second");
    EXPECT_EQ(Window().List().Text(1), L"C third");
    EXPECT_EQ(Data(L"C third"), renamed);
    EXPECT_EQ(Window().List().Selected(), 1);
    Window().RebuildItems(true);
    EXPECT_EQ(Window().List().Text(0), L"B second");
    EXPECT_EQ(Window().List().Text(1), L"C third");
}

TEST_F(ServiceListTest, APendingRowIsFollowedUntilItSettles)
{
    AddListed(L"SQLANY_slow", L"Slow", SERVICE_START_PENDING);
    Window().RebuildItems(true);
    TItemData* data = Data(L"Slow");
    ASSERT_NE(data, nullptr);
    ASSERT_NE(data->Monitor, nullptr);
    Sim.SetStatus(L"SQLANY_slow", SERVICE_RUNNING);
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Slow")->Monitor == nullptr; }));
    // The followed service's record lands from the list's worker by message.
    EXPECT_TRUE(WaitUntil([&] { return Window().List().Text(Row(L"Slow"), 1) == L"Running"; }));
    EXPECT_TRUE(Boxes.Asked.empty());
}

TEST_F(ServiceListTest, RebuildsWhilePendingKeepOneMonitorAndItsFailureIsReportedOnce)
{
    AddListed(L"SQLANY_pend", L"Pending", SERVICE_PAUSE_PENDING);
    Window().RebuildItems(true);
    TServiceMonitor* first = Data(L"Pending")->Monitor;
    ASSERT_NE(first, nullptr);
    // Every rebuild hands the running monitor over to the service's new row.
    for (int i = 0; i < 4; ++i) {
        Window().RebuildItems(true);
        EXPECT_EQ(Data(L"Pending")->Monitor, first);
    }
    EXPECT_EQ(TThread::RunningCount(), 1);
    // It fails (the pause falls back to running): one box, the row freed.
    Sim.SetStatus(L"SQLANY_pend", SERVICE_RUNNING);
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Pending")->Monitor == nullptr; }));
    EXPECT_TRUE(WaitUntil([] { return TThread::RunningCount() == 0; }));
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text, L"SQLANY_pend: Pausing failed.");
    EXPECT_EQ(Boxes.Asked[0].Caption, L"Talvora ERP Service Manager");
    EXPECT_EQ(Boxes.Asked[0].Flags, static_cast<UINT>(MB_ICONERROR));
    // Once it has ended, a rebuild finding the service pending again starts a new one.
    Sim.SetStatus(L"SQLANY_pend", SERVICE_PAUSE_PENDING);
    Window().RebuildItems(true);
    EXPECT_NE(Data(L"Pending")->Monitor, nullptr);
    Sim.SetStatus(L"SQLANY_pend", SERVICE_PAUSED);
}

TEST_F(ServiceListTest, AServiceDeletedWhileAMonitorFollowsItIsReportedOnceAndGoesWithTheNextRebuild)
{
    AddListed(L"SQLANY_del", L"Deleted", SERVICE_START_PENDING);
    Window().RebuildItems(true);
    ASSERT_NE(Data(L"Deleted")->Monitor, nullptr);
    Select(L"Deleted");
    Sim.RemoveService(L"SQLANY_del");
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Deleted")->Monitor == nullptr; }));
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text, L"SQLANY_del: Starting failed.");
    // The row keeps its last values until the list is rebuilt.
    EXPECT_EQ(Window().List().Text(Row(L"Deleted"), 1), L"Starting");
    Window().Actions().Execute(TFormMain::ActRebuild);
    EXPECT_EQ(Row(L"Deleted"), -1);
    EXPECT_EQ(Window().List().Selected(), -1);
    EXPECT_EQ(Boxes.Asked.size(), 1u);
}

TEST_F(ServiceListTest, ARefreshOfThousandsOfRowsKeepsToItsBudgetAndGoesOnWhereItStopped)
{
    const int count = 3000;
    for (int i = 0; i < count; ++i)
        AddListed(L"Svc" + std::to_wstring(i), L"Talvora ERP " + std::to_wstring(10000 + i));
    Window().RebuildItems(true);
    ASSERT_EQ(Window().List().Count(), count);

    // Every record now costs at least a millisecond: a whole pass would take seconds.
    auto recordReads = [&](int i) { return Sim.CallCount(TSimCall::QueryServiceConfig, L"Svc" + std::to_wstring(i)); };
    std::vector<int> before(count);
    for (int i = 0; i < count; ++i)
        before[i] = recordReads(i);
    Sim.OnCall = [](TSimCall call, const std::wstring&) {
        if (call == TSimCall::QueryServiceConfig)
            Sleep(1);
    };
    int calls = 0, most = 0, total = 0;
    for (; total < count && calls < 400; ++calls) {
        const int start = Sim.CallCount(TSimCall::QueryServiceConfig);
        UpdateItems();
        const int refreshed = Sim.CallCount(TSimCall::QueryServiceConfig) - start;
        EXPECT_GT(refreshed, 0);
        most = std::max(most, refreshed);
        total += refreshed;
    }
    Sim.OnCall = nullptr;
    // About 200 ms a call at a millisecond or more a row (the clock's steps allow some more).
    EXPECT_LE(most, 260);
    // Every row was reached, each once (those the last call reached again after the end twice):
    // every call went on where the previous one stopped.
    ASSERT_GE(total, count);
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(recordReads(i) - before[i], i < total - count ? 2 : 1) << "row " << i;
}

// A monitor's end shows its service's final state at once, also in a list too long for one
// refresh within its budget.
TEST_F(ServiceListTest, AMonitorsEndShowsItsRowAtOnceInAListOfThousands)
{
    for (int i = 0; i < 1000; ++i)
        AddListed(L"Svc" + std::to_wstring(i), L"Talvora ERP " + std::to_wstring(10000 + i));
    AddListed(L"SQLANY_last", L"Talvora ERP zz last", SERVICE_START_PENDING);
    Window().RebuildItems(true);
    ASSERT_NE(Data(L"Talvora ERP zz last")->Monitor, nullptr);
    EXPECT_EQ(Window().List().Text(Row(L"Talvora ERP zz last"), 1), L"Starting");
    // Every other record now costs a millisecond or more: the list's refresh reaches a few
    // hundred rows, never the last one.
    Sim.OnCall = [](TSimCall call, const std::wstring& name) {
        if (call == TSimCall::QueryServiceStatus && name != L"SQLANY_last")
            Sleep(1);
    };
    Sim.SetStatus(L"SQLANY_last", SERVICE_RUNNING);
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Talvora ERP zz last")->Monitor == nullptr; }, 15000));
    // The followed service's record is read on the list's worker ahead of anything else (no
    // timer runs here) and lands by message.
    EXPECT_TRUE(WaitUntil([&] { return Window().List().Text(Row(L"Talvora ERP zz last"), 1) == L"Running"; }, 2000));
    Sim.OnCall = nullptr;
    EXPECT_TRUE(Boxes.Asked.empty());
}

TEST_F(ServiceListTest, AMonitorThatOutlivesTheWindowNeverReachesIt)
{
    AddListed(L"SQLANY_late", L"Late", SERVICE_STOP_PENDING);
    Window().RebuildItems(true);
    ASSERT_NE(Data(L"Late")->Monitor, nullptr);
    Form.reset();
    Application().ClearTerminated();
    Sim.SetStatus(L"SQLANY_late", SERVICE_RUNNING);  // the monitor fails: its report goes nowhere
    EXPECT_TRUE(WaitUntil([] { return TThread::RunningCount() == 0; }));
    EXPECT_TRUE(Boxes.Asked.empty());
}

TEST_F(ServiceListTest, AFailingRebuildIsReportedAndLeavesTheListUsable)
{
    AddListed(L"SQLANY_a", L"A");
    Sim.Fail(TSimCall::EnumServicesStatus, ERROR_ACCESS_DENIED, L"", 0, 1);
    GuardedCall([&] { Window().RebuildItems(true); });
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(Window().List().Count(), 0);
    EXPECT_EQ(BusyCount(), 0);
    Window().RebuildItems(true);
    EXPECT_EQ(Window().List().Count(), 1);
}
TEST_F(ServiceListTest, InfoTipShowsNameFileAndAccount)
{
    AddListed(L"SQLANY_tip", L"Tipped");
    Sim.Update(L"SQLANY_tip", [](TSimService& s) {
        s.BinaryPath = L"C:\\Db\\dbsrv.exe -n tip";
        s.StartName = L".\\dbuser";
    });
    Window().RebuildItems(true);
    EXPECT_EQ(Tip(L"Tipped"), L"Name: SQLANY_tip\r\nFile: C:\\Db\\dbsrv.exe -n tip\r\nAccount: .\\dbuser");
}
}  // namespace

// The tool bar, the filter box, the list and the status bar follow the window's size: the bars
// keep their heights, the tool bar up to the filter box, which keeps its distance from the right
// edge, the status bar across the full width, the list takes what lies between them (its bottom
// edge a fixed distance above the window's, at the status bar).
TEST_F(ServiceListTest, TheControlsFollowTheWindowsSize)
{
    HWND wnd = Window().Handle();
    HWND toolBar = GetDlgItem(wnd, TFormMain::idToolBar);
    const SIZE sizes[] = {{900, 600}, {640, 300}, {300, 120}};
    std::optional<LONG> listGap;
    std::optional<LONG> filterGap;
    for (const SIZE& size : sizes) {
        SetWindowPos(wnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client{};
        GetClientRect(wnd, &client);
        const RECT bar = ChildRect(wnd, toolBar);
        const RECT list = ChildRect(wnd, Window().List().Handle());
        const RECT status = ChildRect(wnd, Window().StatusBar());
        EXPECT_EQ(bar.left, 0) << size.cx;
        EXPECT_EQ(bar.top, 0) << size.cx;
        const RECT filter = ChildRect(wnd, Window().FilterBox());
        EXPECT_LE(bar.right, filter.left) << size.cx;
        if (!filterGap)
            filterGap = client.right - filter.right;
        EXPECT_EQ(client.right - filter.right, *filterGap) << size.cx;
        EXPECT_EQ(filter.left - bar.right, Window().Scale(4)) << size.cx;
        EXPECT_EQ(status.right, client.right) << size.cx;
        EXPECT_EQ(status.bottom, client.bottom) << size.cx;
        EXPECT_EQ(list.left, 0) << size.cx;
        EXPECT_EQ(list.top, bar.bottom) << size.cx;
        EXPECT_EQ(list.right, client.right) << size.cx;
        EXPECT_NEAR(list.bottom, status.top, 1) << size.cx;
        if (!listGap)
            listGap = client.bottom - list.bottom;
        EXPECT_EQ(client.bottom - list.bottom, *listGap) << size.cx;
    }
}

namespace {
// The captions of the rows, top to bottom.
std::vector<std::wstring> Captions(const TListView& list)
{
    std::vector<std::wstring> captions;
    for (int i = 0; i < list.Count(); ++i)
        captions.push_back(list.Text(i));
    return captions;
}

int HeadingFormat(const TListView& list, int column)
{
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(list.Header(), column, &item);
    return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
}

MSG& KeyDown(HWND wnd, WPARAM key)
{
    static MSG msg;
    msg = MSG{};
    msg.hwnd = wnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = key;
    return msg;
}

// A click of the mouse on a heading, as the heading control gets it.
void ClickHeading(const TListView& list, int column)
{
    RECT r{};
    Header_GetItemRect(list.Header(), column, &r);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(list.Header(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list.Header(), WM_LBUTTONUP, 0, at);
}

TEST_F(ServiceListTest, AHeadingsClickSortsByItsColumnWithItsArrowAndTheSelectionStays)
{
    AddListed(L"SQLANY_a", L"Db a", SERVICE_RUNNING);
    AddListed(L"SQLANY_b", L"Db b", SERVICE_STOPPED);
    AddListed(L"SQLANY_c", L"Db c", SERVICE_RUNNING);
    Window().RebuildItems(true);
    TListView& list = Window().List();
    EXPECT_EQ(HeadingFormat(list, 0), HDF_SORTUP);
    Select(L"Db b");

    ClickHeading(list, 1);
    EXPECT_EQ(Captions(list), (std::vector<std::wstring>{L"Db a", L"Db c", L"Db b"}));
    EXPECT_EQ(HeadingFormat(list, 0), 0);
    EXPECT_EQ(HeadingFormat(list, 1), HDF_SORTUP);
    EXPECT_EQ(list.Text(list.Selected()), L"Db b");
    ClickHeading(list, 1);
    EXPECT_EQ(Captions(list), (std::vector<std::wstring>{L"Db b", L"Db a", L"Db c"})) << "equal states by caption";
    EXPECT_EQ(HeadingFormat(list, 1), HDF_SORTDOWN);
    EXPECT_EQ(list.Text(list.Selected()), L"Db b");

    // A state changing moves its row, and the selection with it.
    Sim.SetStatus(L"SQLANY_b", SERVICE_RUNNING);
    UpdateItems();
    EXPECT_EQ(Captions(list), (std::vector<std::wstring>{L"Db a", L"Db b", L"Db c"}));
    EXPECT_EQ(list.Text(list.Selected()), L"Db b");

    // Sorted by a column that is then hidden: by caption again.
    TServiceList& view = Window().ServiceList();
    view.ShowColumn(3, true);
    view.ClickColumn(3);
    EXPECT_EQ(HeadingFormat(list, 3), HDF_SORTUP);
    view.ShowColumn(3, false);
    EXPECT_EQ(view.Model().Sort(), TListSort{});
    EXPECT_EQ(HeadingFormat(list, 0), HDF_SORTUP);
}

TEST_F(ServiceListTest, TheAdministratorsColumnsShowTheServicesNameStartupTypeAndAccount)
{
    struct {
        const wchar_t* Name;
        DWORD StartType;
        bool Delayed;
        const wchar_t* Account;
        const wchar_t* StartupText;
    } const cases[] = {
        {L"SQLANY_auto", SERVICE_AUTO_START, false, L"LocalSystem", L"Automatic"},
        {L"SQLANY_delayed", SERVICE_AUTO_START, true, L".\\erpuser", L"Automatic (Delayed start)"},
        {L"SQLANY_manual", SERVICE_DEMAND_START, true, L"NT AUTHORITY\\LocalService", L"Manual"},
        {L"SQLANY_off", SERVICE_DISABLED, false, L"erp@example.com", L"Disabled"},
    };
    for (const auto& c : cases) {
        TSimService service;
        service.Name = c.Name;
        service.DisplayName = std::wstring(L"Display ") + c.Name;
        service.StartType = c.StartType;
        service.DelayedAutoStart = c.Delayed;
        service.StartName = c.Account;
        Sim.AddService(service);
    }
    Window().RebuildItems(true);
    TServiceList& view = Window().ServiceList();
    TListView& list = Window().List();
    EXPECT_EQ(list.ColumnCount(), 3) << "hidden at first";
    for (int column : {3, 4, 5})
        view.ShowColumn(column, true);
    ASSERT_EQ(list.ColumnCount(), 6);
    for (const auto& c : cases) {
        const int row = Row(std::wstring(L"Display ") + c.Name);
        EXPECT_EQ(list.Text(row, 3), c.Name);
        EXPECT_EQ(list.Text(row, 4), c.StartupText) << ToUtf8(c.Name);
        EXPECT_EQ(list.Text(row, 5), c.Account);
    }
    // A column hidden again goes from the control; the others keep their texts.
    view.ShowColumn(4, false);
    ASSERT_EQ(list.ColumnCount(), 5);
    EXPECT_EQ(list.Text(Row(L"Display SQLANY_off"), 4), L"erp@example.com");
}

TEST_F(ServiceListTest, TheFilterBoxNarrowsTheRowsAndGivesAHiddenSelectionBack)
{
    for (const auto& [name, display] : {std::pair{L"SQLANY_a", L"Archive"}, std::pair{L"SQLANY_d", L"Database one"},
                                        std::pair{L"SQLANY_e", L"Database two"}})
        AddListed(name, display);
    Window().RebuildItems(true);
    TListView& list = Window().List();
    HWND box = Window().FilterBox();
    auto selected = [&] { return list.Selected() < 0 ? std::wstring() : list.Text(list.Selected()); };

    Select(L"Archive");
    SetWindowTextW(box, L"DATA");
    EXPECT_EQ(Captions(list), (std::vector<std::wstring>{L"Database one", L"Database two"}));
    EXPECT_EQ(selected(), L"Database one") << "the first row stands in";
    SetWindowTextW(box, L"");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(selected(), L"Archive") << "the hidden selection comes back";

    // Also when the filter leaves no row at all.
    SetWindowTextW(box, L"nothing like it");
    EXPECT_EQ(list.Count(), 0);
    SetWindowTextW(box, L"");
    EXPECT_EQ(selected(), L"Archive");

    // A row the user chose while the filter hid the selection stays chosen.
    SetWindowTextW(box, L"sqlany_e");
    EXPECT_EQ(Captions(list), std::vector<std::wstring>{L"Database two"});
    SetWindowTextW(box, L"data");
    Select(L"Database one");
    SetWindowTextW(box, L"");
    EXPECT_EQ(selected(), L"Database one");

    // Escape in the box clears it and gives the keyboard to the list.
    SetWindowTextW(box, L"two");
    SetFocus(box);
    EXPECT_TRUE(Window().PreTranslateMessage(KeyDown(box, VK_ESCAPE)));
    EXPECT_EQ(WindowText(box), L"");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(GetFocus(), list.Handle());
    // Keys the box edits with are its own, not the commands' shortcuts (Del would remove).
    SetFocus(box);
    EXPECT_FALSE(Window().PreTranslateMessage(KeyDown(box, VK_DELETE)));
}

TEST_F(ServiceListTest, ARebuildAfterARemovalSelectsTheRowThatTookItsPlaceElseTheLast)
{
    struct {
        const wchar_t* Removed;
        TServiceList::TRebuildSelection Selection;
        const wchar_t* Selected;  // empty: none
    } const cases[] = {
        {L"SQLANY_b", TServiceList::TRebuildSelection::NextOfRemoved, L"Db c"},
        {L"SQLANY_c", TServiceList::TRebuildSelection::NextOfRemoved, L"Db b"},
        {L"SQLANY_b", TServiceList::TRebuildSelection::Kept, L""},
    };
    for (const auto& c : cases) {
        for (const wchar_t* name : {L"SQLANY_a", L"SQLANY_b", L"SQLANY_c"})
            if (!Sim.Exists(name))
                AddListed(name, std::wstring(L"Db ") + name[7]);
        Window().RebuildItems(true);
        Select(std::wstring(L"Db ") + c.Removed[7]);
        Sim.RemoveService(c.Removed);
        Window().ServiceList().SelectAfterRebuild(c.Selection);
        Window().RebuildItems(true);
        const int selected = Window().List().Selected();
        EXPECT_EQ(selected < 0 ? std::wstring() : Window().List().Text(selected), c.Selected) << ToUtf8(c.Removed);
    }
}
}  // namespace
