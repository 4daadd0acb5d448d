// The list's model without a list control, over simulated computers: which rows it lists and in
// what order, what it tells its view (moves and changed rows), and how it keeps its rows and its
// ticks across a connection that fails or succeeds.
#include "tests/main/list_ticks.h"
#include "tests/sim_scm/sim_computers.h"
#include "tests/support/wait_until.h"
#include "tests/support/workers_ended.h"
#include "ui/base/application.h"
#include "ui/main/list_model.h"

#include "common/format.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {
// A view that records what the model told it, and the captions of the rows after each move.
class TRecordingView {
public:
    explicit TRecordingView(TServiceListModel& model) : FModel(model)
    {
        model.SetView({.BeforeMove =
                           [this] {
                               EXPECT_FALSE(Moving) << "a move begins inside another";
                               Moving = true;
                           },
                       .AfterMove =
                           [this] {
                               EXPECT_TRUE(Moving) << "a move ends that never began";
                               Moving = false;
                               ++Moves;
                           },
                       .RowChanged =
                           [this](int row) {
                               EXPECT_FALSE(Moving);
                               ASSERT_NE(FModel.Row(row), nullptr);
                               Changed.push_back(FModel.Row(row)->Service->DisplayName());
                           },
                       .RowsInView = [] { return std::pair<int, int>{0, 20}; }});
    }

    bool Moving = false;
    int Moves = 0;
    std::vector<std::wstring> Changed;

private:
    const TServiceListModel& FModel;
};

TSimService Listed(const std::wstring& name, const std::wstring& display, DWORD state = SERVICE_STOPPED,
                   const std::wstring& description = {})
{
    TSimService s;
    s.Name = name;
    s.DisplayName = display;
    s.State = state;
    s.Description = description;
    return s;
}

int ColumnNamed(const wchar_t* caption)
{
    for (int i = 0; i < ListColumnCount(); ++i)
        if (std::wstring(ListColumns()[static_cast<size_t>(i)].Caption) == caption)
            return i;
    ADD_FAILURE() << "no column " << ToUtf8(caption);
    return 0;
}

class ListModelTest : public testing::Test {
protected:
    void SetUp() override
    {
        Application().Initialize();
        Application().ClearTerminated();
    }
    // A model of this computer's services (every one with all), started and read.
    TServiceListModel& Model(bool all = false)
    {
        FModel = std::make_unique<TServiceListModel>(Net, all, L"", Application());
        View = std::make_unique<TRecordingView>(*FModel);
        FModel->Start({});
        FModel->Rebuild(true);
        return *FModel;
    }
    std::vector<std::wstring> Rows(int column) const
    {
        std::vector<std::wstring> texts;
        for (int i = 0; i < FModel->Count(); ++i)
            texts.push_back(TServiceListModel::CellText(*FModel->Row(i)->Service, column));
        return texts;
    }
    std::vector<std::wstring> Captions() const
    {
        std::vector<std::wstring> captions;
        for (int i = 0; i < FModel->Count(); ++i)
            captions.push_back(FModel->Row(i)->Service->DisplayName());
        return captions;
    }
    void TearDown() override
    {
        // The model's end still tells its view.
        FModel.reset();
        View.reset();
        // The simulated computers go only once no thread calls them.
        EXPECT_TRUE(WaitUntil(WorkersEnded));
    }

    TSimComputers Net;
    std::unique_ptr<TRecordingView> View;

private:
    std::unique_ptr<TServiceListModel> FModel;
};

TEST_F(ListModelTest, ListsTheErpViewOrEveryServiceSortedByCaption)
{
    for (const TSimService& s : {Listed(L"T32App", L"Talvora32 App"), Listed(L"SQLANYs_b", L"b database"),
                                 Listed(L"Spooler", L"Print Spooler"), Listed(L"asany_a", L"A archive")})
        Net.Local().AddService(s);
    struct {
        bool All;
        std::vector<std::wstring> Captions;
    } const cases[] = {
        {false, {L"A archive", L"b database", L"Talvora32 App"}},
        {true, {L"A archive", L"b database", L"Print Spooler", L"Talvora32 App"}},
    };
    for (const auto& c : cases) {
        TServiceListModel& model = Model(c.All);
        EXPECT_EQ(Captions(), c.Captions) << c.All;
        EXPECT_EQ(View->Moves, 1) << c.All;
        EXPECT_EQ(model.RowOfName(L"sqlanys_B"), 1) << "found without regard to letter case";
        EXPECT_EQ(model.Row(model.Count()), nullptr);
        EXPECT_EQ(model.Row(-1), nullptr);
    }
}

TEST_F(ListModelTest, ATickTellsTheViewOnlyTheRowsThatChangedAndMovesARenamedRow)
{
    Net.Local().AddService(Listed(L"SQLANY_a", L"Db a", SERVICE_RUNNING));
    Net.Local().AddService(Listed(L"SQLANY_b", L"Db b", SERVICE_RUNNING));
    Net.Local().AddService(Listed(L"SQLANY_c", L"Db c", SERVICE_RUNNING));
    TServiceListModel& model = Model();
    UpdateNow(model);  // the first tick after a rebuild gives every state
    View->Changed.clear();
    const int moves = View->Moves;
    TItemData* renamed = model.Row(0);

    Net.Local().SetStatus(L"SQLANY_b", SERVICE_PAUSED);
    UpdateNow(model);
    EXPECT_EQ(View->Changed, std::vector<std::wstring>{L"Db b"});
    EXPECT_EQ(View->Moves, moves);

    // A new caption moves the row; the row keeps its record and its place in memory.
    Net.Local().Update(L"SQLANY_a", [](TSimService& s) { s.DisplayName = L"Db z"; });
    UpdateNow(model);
    EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"Db b", L"Db c", L"Db z"}));
    EXPECT_EQ(View->Moves, moves + 1);
    EXPECT_EQ(model.Row(2), renamed);
    EXPECT_EQ(model.RowOf(renamed->Service), 2);
}

TEST_F(ListModelTest, AFailedConnectionKeepsTheRowsTheirRecordsAndTheTicks)
{
    Net.Local().AddService(Listed(L"SQLANY_here", L"Db here", SERVICE_RUNNING));
    Net.SetMode(L"offline", TSimComputerMode::Unreachable);
    TServiceListModel& model = Model();
    const unsigned generation = model.Generation();
    EXPECT_THROW(model.Connect(L"offline"), std::exception);
    EXPECT_EQ(model.Manager().MachineName(), L"");
    EXPECT_EQ(model.Generation(), generation);
    ASSERT_EQ(Captions(), std::vector<std::wstring>{L"Db here"});
    Net.Local().SetStatus(L"SQLANY_here", SERVICE_PAUSED);
    UpdateNow(model);
    EXPECT_EQ(model.Row(0)->Service->ServiceState(), ssPaused);
}

TEST_F(ListModelTest, TicksGoOnAfterAConnectionMadeWhileATickWasUnanswered)
{
    Net.Local().AddService(Listed(L"SQLANY_here", L"Db here", SERVICE_RUNNING));
    Net.Computer(L"erp-far").AddService(Listed(L"SQLANY_far", L"Db far", SERVICE_RUNNING));
    TServiceListModel& model = Model();
    // The old computer's worker never answers this tick: the new one must not wait for it.
    model.Update();
    ASSERT_TRUE(model.PendingTick());
    ASSERT_TRUE(model.Connect(L"erp-far"));
    ASSERT_EQ(Captions(), std::vector<std::wstring>{L"Db far"});
    Net.Computer(L"erp-far").SetStatus(L"SQLANY_far", SERVICE_STOPPED);
    UpdateNow(model);
    UpdateNow(model);
    EXPECT_EQ(model.Row(0)->Service->ServiceState(), ssStopped);
}

TEST_F(ListModelTest, RebuildingWithoutAReadListsTheRecordsAsTheyAre)
{
    Net.Local().AddService(Listed(L"SQLANY_a", L"Db a"));
    TServiceListModel& model = Model();
    TNtService* record = model.Row(0)->Service;
    Net.Local().AddService(Listed(L"SQLANY_b", L"Db b"));
    const int calls = Net.Local().CallCount(TSimCall::EnumServicesStatus);
    model.Rebuild(false);
    EXPECT_EQ(Captions(), std::vector<std::wstring>{L"Db a"});
    EXPECT_EQ(model.Row(0)->Service, record);
    EXPECT_EQ(Net.Local().CallCount(TSimCall::EnumServicesStatus), calls);
}

TEST_F(ListModelTest, SortsByAColumnEitherWayWithTiesByCaption)
{
    Net.Local().AddService(Listed(L"SQLANY_a", L"Db a", SERVICE_RUNNING));
    Net.Local().AddService(Listed(L"SQLANY_b", L"Db b", SERVICE_STOPPED));
    Net.Local().AddService(Listed(L"SQLANY_c", L"Db c", SERVICE_RUNNING));
    Net.Local().AddService(Listed(L"ASANY_d", L"Db D", SERVICE_PAUSED));
    TServiceListModel& model = Model();
    const int status = ColumnNamed(L"Status");
    const int name = ColumnNamed(L"Service name");
    struct {
        TListSort Sort;
        std::vector<std::wstring> Captions;
    } const cases[] = {
        {{.Column = 0}, {L"Db a", L"Db b", L"Db c", L"Db D"}},
        {{.Column = 0, .Descending = true}, {L"Db D", L"Db c", L"Db b", L"Db a"}},
        // Equal states stay in caption order whichever way the states go.
        {{.Column = status}, {L"Db D", L"Db a", L"Db c", L"Db b"}},
        {{.Column = status, .Descending = true}, {L"Db b", L"Db a", L"Db c", L"Db D"}},
        {{.Column = name}, {L"Db D", L"Db a", L"Db b", L"Db c"}},
    };
    for (const auto& c : cases) {
        const int moves = View->Moves;
        model.SetSort(c.Sort);
        EXPECT_EQ(Captions(), c.Captions) << c.Sort.Column << c.Sort.Descending;
        EXPECT_EQ(View->Moves, moves + (c.Sort == TListSort{} ? 0 : 1)) << "one move a new sort";
    }
    // A click sorts by the column, a second the other way; another column starts ascending.
    EXPECT_EQ(SortAfterClick({}, status), (TListSort{.Column = status}));
    EXPECT_EQ(SortAfterClick({.Column = status}, status), (TListSort{.Column = status, .Descending = true}));
    EXPECT_EQ(SortAfterClick({.Column = status, .Descending = true}, status), (TListSort{.Column = status}));
    EXPECT_EQ(SortAfterClick({.Column = status, .Descending = true}, 0), (TListSort{}));
}

// The rows move while what they are sorted by changes: a state at a tick, and the descriptions as
// the records of "all" are filled in after the rows are there.
TEST_F(ListModelTest, SortedRowsMoveAsTheirValuesChangeAndAreFilledIn)
{
    Net.Local().AddService(Listed(L"SvcA", L"A", SERVICE_RUNNING, L"3 third"));
    Net.Local().AddService(Listed(L"SvcB", L"B", SERVICE_STOPPED, L"1 first"));
    Net.Local().AddService(Listed(L"SvcC", L"C", SERVICE_RUNNING, L"2 second"));
    TServiceListModel& model = Model(true);
    model.SetSort({.Column = ColumnNamed(L"Description")});
    std::vector<TNtService*> records;
    for (int i = 0; i < model.Count(); ++i)
        records.push_back(model.Row(i)->Service);
    ASSERT_TRUE(model.ReadRecords(records, false));
    EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"B", L"C", L"A"}));

    model.SetSort({.Column = ColumnNamed(L"Status")});
    UpdateNow(model);
    EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"A", L"C", L"B"}));
    Net.Local().SetStatus(L"SvcA", SERVICE_STOPPED);
    UpdateNow(model);
    EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"C", L"A", L"B"}));
}

TEST_F(ListModelTest, TheFilterNarrowsTheListedRowsByEitherNameAndKeepsTheHiddenRowsData)
{
    for (const TSimService& s : {Listed(L"SQLANYs_main", L"Main database"), Listed(L"T32App", L"Talvora32 App"),
                                 Listed(L"Spooler", L"Print Spooler"), Listed(L"asany_arch", L"Archive")})
        Net.Local().AddService(s);
    TServiceListModel& model = Model();
    TItemData* app = model.Row(model.RowOfName(L"T32App"));
    struct {
        const wchar_t* Text;
        std::vector<std::wstring> Captions;
    } const cases[] = {
        {L"DATA", {L"Main database"}},         // the display name, letter case ignored
        {L"sqlanys_", {L"Main database"}},     // the service name
        {L"a", {L"Archive", L"Main database", L"Talvora32 App"}},
        {L"spool", {}},                        // not listed without "all", filter or not
        {L"", {L"Archive", L"Main database", L"Talvora32 App"}},
    };
    for (const auto& c : cases) {
        model.SetFilter(c.Text);
        EXPECT_EQ(Captions(), c.Captions) << ToUtf8(c.Text);
    }
    // A row the filter hid comes back with its own data.
    model.SetFilter(L"arch");
    EXPECT_EQ(model.RowOfName(L"T32App"), -1);
    model.SetFilter(L"");
    EXPECT_EQ(model.Row(model.RowOfName(L"T32App")), app);

    // A rebuild keeps the filter.
    model.SetFilter(L"arch");
    model.Rebuild(true);
    EXPECT_EQ(Captions(), std::vector<std::wstring>{L"Archive"});
}

TEST(ColumnLayout, TakesWhatIsUsableOfTheStoredTexts)
{
    const auto scale = [](int designed) { return designed * 2; };
    const int status = 1;
    const int logOn = ColumnOfSlot(5);
    struct {
        const wchar_t* Columns;
        const wchar_t* Shown;
        const wchar_t* SortText;
        std::vector<int> Widths;
        std::vector<bool> ShownColumns;
        TListSort Sort;
    } const cases[] = {
        // An older run's three widths: the new columns keep their designed widths.
        {L"200;80;250", L"", L"", {200, 80, 250, 240, 200, 240}, {true, true, true, false, false, false}, {}},
        {L"1;2;3;4;5;6", L"0;1;2;5", L"5,1", {1, 2, 3, 4, 5, 6}, {true, true, true, false, false, true},
         {.Column = logOn, .Descending = true}},
        // The columns that cannot be hidden show whatever the text says.
        {L"", L"5", L"1,0", {400, 160, 500, 240, 200, 240}, {true, true, true, false, false, true},
         {.Column = status}},
        // Unusable: a hidden or unknown column's sort, a third field, a direction not 0 or 1.
        {L"x;;-5", L"9;x", L"5,0", {400, 160, 500, 240, 200, 240}, {true, true, true, false, false, false}, {}},
        {L"", L"", L"1,0,1", {400, 160, 500, 240, 200, 240}, {true, true, true, false, false, false}, {}},
        {L"", L"", L"1,2", {400, 160, 500, 240, 200, 240}, {true, true, true, false, false, false}, {}},
        {L"", L"", L"9,0", {400, 160, 500, 240, 200, 240}, {true, true, true, false, false, false}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(std::wstring(c.Columns) + L" | " + c.Shown + L" | " + c.SortText));
        TColumnLayout layout = DesignedColumnLayout(scale);
        ApplyStoredWidths(layout, c.Columns);
        ApplyStoredShown(layout, c.Shown);
        ApplyStoredSort(layout, c.SortText);
        EXPECT_EQ(layout.Widths, c.Widths);
        EXPECT_EQ(layout.Shown, c.ShownColumns);
        EXPECT_EQ(layout.Sort, c.Sort);

        // What is written reads back the same.
        TColumnLayout again = DesignedColumnLayout(scale);
        ApplyStoredWidths(again, StoredWidths(layout));
        ApplyStoredShown(again, StoredShown(layout));
        ApplyStoredSort(again, StoredSort(layout.Sort));
        EXPECT_EQ(again.Widths, layout.Widths);
        EXPECT_EQ(again.Shown, layout.Shown);
        EXPECT_EQ(again.Sort, layout.Sort);
    }
}
}  // namespace
