// The list's model without a list control, over simulated computers: which rows it lists and in
// what order, what it tells its view (moves and changed rows), and how it keeps its rows and its
// ticks across a connection that fails or succeeds.
#include "tests/main/list_ticks.h"
#include "tests/sim_scm/sim_computers.h"
#include "tests/support/wait_until.h"
#include "tests/support/workers_ended.h"
#include "ui/base/application.h"
#include "ui/main/list_model.h"

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

TSimService Listed(const std::wstring& name, const std::wstring& display, DWORD state = SERVICE_STOPPED)
{
    TSimService s;
    s.Name = name;
    s.DisplayName = display;
    s.State = state;
    return s;
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
}  // namespace
