// The installation at a glance over simulated computers: every computer's ERP services in one
// list with a Computer column, each computer read on its own (a slow, hung, refusing, unknown or
// lost one delays and changes only its own rows, with no message box), commands on the row's
// computer, and the installation's computers as kept and as the dialog edits them.
#include "tests/main/main_window_fixture.h"

#include "common/computer_name.h"
#include "common/strings.h"
#include "tests/sim_scm/sim_computers.h"
#include "tests/support/scratch_current_user.h"
#include "ui/main/account_text.h"
#include "tests/main/probe_timer.h"
#include "ui/main/form_computers.h"
#include "ui/props/form_props.h"
#include "ui/main/installation_computers.h"

#include <algorithm>

namespace {
bool StartsWith(const std::wstring& text, const std::wstring& start) { return text.rfind(start, 0) == 0; }

class InstallationTest : public MainWindowTest {
protected:
    // Tried again this often here, not every 10 s.
    static constexpr DWORD RetryMs = 300;

    void SetUp() override
    {
        MainWindowTest::SetUp();
        Net.Local().AddService(ListedSimService(L"SQLANYs_db", L"Database here", SERVICE_RUNNING));
        Net.Local().AddService(ListedSimService(L"App_a", L"Talvora ERP App here"));
        Net.Computer(L"erp-a").AddService(ListedSimService(L"SQLANYs_db", L"Database a", SERVICE_RUNNING));
        Net.Computer(L"erp-a").AddService(ListedSimService(L"App_a", L"Talvora ERP App a", SERVICE_STOPPED, {L"SQLANYs_db"}));
        Net.Computer(L"erp-a").AddService(ListedSimService(L"Spooler", L"Print spooler", SERVICE_RUNNING));
        Net.Computer(L"erp-b").AddService(ListedSimService(L"SQLANYs_b", L"Database b"));
    }
    void TearDown() override
    {
        for (const wchar_t* name : {L"erp-a", L"erp-b", L"erp-h"})
            Net.Release(name);
        MainWindowTest::TearDown();
    }
    void Open(const std::vector<std::wstring>& computers)
    {
        Form = std::make_unique<TFormMain>(Net, false, false, computers, false);
        Installation().SetRetryMs(RetryMs);
        Window().Show();
    }
    TInstallation& Installation() { return Window().ServiceList().Installation(); }
    // The window's timer ticks until done holds.
    bool TickUntil(const std::function<bool()>& done)
    {
        return WaitUntil([&] {
            Window().ServiceList().Update();
            return done();
        });
    }
    bool Shown(const std::wstring& caption) { return Row(caption) >= 0; }
    std::wstring Cell(const std::wstring& caption, int column) { return Window().List().Text(Row(caption), column); }
    std::wstring Panel(int panel)
    {
        wchar_t text[300] = L"";
        SendMessageW(Window().StatusBar(), SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(text));
        return text;
    }
    TSimComputers Net;
};

TEST_F(InstallationTest, EveryComputersErpServicesInOneListAndBackToOne)
{
    Open({L"", L"erp-a", L"erp-b"});
    ASSERT_TRUE(TickUntil([&] { return Shown(L"Database here") && Shown(L"Talvora ERP App a") && Shown(L"Database b"); }));
    // The ERP filter applies per computer; the computers follow each other, each sorted.
    EXPECT_FALSE(Shown(L"Print spooler"));
    EXPECT_LT(Row(L"Talvora ERP App here"), Row(L"Database a"));
    EXPECT_LT(Row(L"Database a"), Row(L"Talvora ERP App a"));
    EXPECT_LT(Row(L"Talvora ERP App a"), Row(L"Database b"));
    EXPECT_EQ(Window().List().ColumnCount(), 4);
    // The Computer column comes after the service columns shown, and is drawn first.
    const int computerColumn = Window().List().ColumnCount() - 1;
    EXPECT_EQ(Cell(L"Database a", computerColumn), L"erp-a");
    EXPECT_EQ(Cell(L"Database here", computerColumn), ThisComputerName());
    EXPECT_EQ(Panel(0), L"3 computers");
    // Each computer's timer: a change on one shows on its row.
    Net.Computer(L"erp-b").SetStatus(L"SQLANYs_b", SERVICE_RUNNING);
    EXPECT_TRUE(TickUntil([&] { return Cell(L"Database b", 1) == L"Running"; }));
    EXPECT_EQ(Cell(L"Database here", 1), L"Running");

    // One computer again: the single-computer window.
    Window().SetComputers({L""});
    EXPECT_FALSE(Shown(L"Database a"));
    EXPECT_TRUE(Shown(L"Database here"));
    EXPECT_EQ(Window().List().ColumnCount(), 3);
    EXPECT_EQ(Panel(0), ComputerNameText());
    EXPECT_TRUE(Boxes.Asked.empty());
}

TEST_F(InstallationTest, ComputersThatCannotBeReachedAreRowsOfTheirOwnUntilTheyAnswer)
{
    Net.SetMode(L"erp-b", TSimComputerMode::Refusing);
    // "nosuchhost" was never declared: unknown, as on the network.
    Open({L"", L"nosuchhost", L"erp-b"});
    ASSERT_TRUE(TickUntil([&] { return Shown(L"nosuchhost") && Shown(L"erp-b") && Shown(L"Database here"); }));
    EXPECT_EQ(Cell(L"nosuchhost", 1), L"Not reachable");
    EXPECT_EQ(Window().List().Image(Row(L"nosuchhost")), imgUnknown);
    EXPECT_TRUE(StartsWith(Cell(L"nosuchhost", 2), L"The computer \"nosuchhost\" cannot be reached"));
    EXPECT_TRUE(StartsWith(Cell(L"erp-b", 2), L"The computer \"erp-b\" refused the connection"));
    EXPECT_TRUE(StartsWith(Tip(L"nosuchhost"), L"The computer \"nosuchhost\" cannot be reached"));
    EXPECT_NE(Tip(L"nosuchhost").find(L"1722"), std::wstring::npos);
    EXPECT_EQ(Panel(0), L"3 computers, 2 not reachable");
    // Its own row offers no command on a service; Add... stays.
    Select(L"erp-b");
    for (int action : {TFormMain::ActStart, TFormMain::ActStop, TFormMain::ActProps, TFormMain::ActUninstall})
        EXPECT_FALSE(Enabled(action)) << action;
    EXPECT_TRUE(Enabled(TFormMain::ActInstall));
    EXPECT_TRUE(Enabled(TFormMain::ActRebuild));

    // It answers now: its services come by themselves, and the selection goes with it.
    Net.SetMode(L"erp-b", TSimComputerMode::Reachable);
    ASSERT_TRUE(TickUntil([&] { return Shown(L"Database b"); }));
    EXPECT_FALSE(Shown(L"erp-b"));
    EXPECT_EQ(Panel(0), L"3 computers, 1 not reachable");
    EXPECT_TRUE(Shown(L"nosuchhost"));
    EXPECT_TRUE(Boxes.Asked.empty());
}

TEST_F(InstallationTest, AConnectionLostDuringTheDayTurnsIntoItsRowOnceAndComesBack)
{
    Open({L"", L"erp-a"});
    ASSERT_TRUE(TickUntil([&] { return Shown(L"Database a"); }));
    Select(L"Database a");
    Net.SetMode(L"erp-a", TSimComputerMode::Lost);
    ASSERT_TRUE(TickUntil([&] { return Shown(L"erp-a"); }));
    EXPECT_FALSE(Shown(L"Database a"));
    EXPECT_TRUE(Shown(L"Database here"));
    // The selection stays with the computer; the status bar says it, no box does.
    EXPECT_EQ(Window().List().Selected(), Row(L"erp-a"));
    EXPECT_TRUE(StartsWith(Panel(2), L"The connection to the computer \"erp-a\" was lost."));
    EXPECT_EQ(Panel(0), L"2 computers, 1 not reachable");
    for (int i = 0; i < 3; ++i)
        UpdateItems();
    EXPECT_TRUE(Boxes.Asked.empty());

    Net.SetMode(L"erp-a", TSimComputerMode::Reachable);
    ASSERT_TRUE(TickUntil([&] { return Shown(L"Database a"); }));
    EXPECT_EQ(Panel(0), L"2 computers");
    Net.Computer(L"erp-a").SetStatus(L"SQLANYs_db", SERVICE_STOPPED);
    EXPECT_TRUE(TickUntil([&] { return Cell(L"Database a", 1) == L"Stopped"; }));
    EXPECT_TRUE(Boxes.Asked.empty());
}

TEST_F(InstallationTest, AComputerHangingAtEveryCallDelaysOnlyItsOwnRows)
{
    Net.Computer(L"erp-h").AddService(ListedSimService(L"SQLANYs_h", L"Database h", SERVICE_RUNNING));
    Net.Hang(L"erp-h");
    Open({L"", L"erp-h", L"erp-a"});
    ASSERT_TRUE(TickUntil([&] { return Shown(L"Database here") && Shown(L"Database a"); }));
    EXPECT_GT(Net.HungCalls(L"erp-h"), 0);
    // Unanswered for longer than a retry: a row of its own says so.
    ASSERT_TRUE(TickUntil([&] { return Shown(L"erp-h"); }));
    EXPECT_TRUE(StartsWith(Cell(L"erp-h", 2), L"The computer \"erp-h\" does not answer"));
    // The others' timers tick on their own.
    Net.Computer(L"erp-a").SetStatus(L"SQLANYs_db", SERVICE_STOPPED);
    EXPECT_TRUE(TickUntil([&] { return Cell(L"Database a", 1) == L"Stopped"; }));
    Net.Release(L"erp-h");
    ASSERT_TRUE(TickUntil([&] { return Shown(L"Database h"); }));
    EXPECT_FALSE(Shown(L"erp-h"));
    EXPECT_TRUE(Boxes.Asked.empty());
}

TEST_F(InstallationTest, CommandsActOnTheRowsComputer)
{
    Open({L"", L"erp-a"});
    ASSERT_TRUE(TickUntil([&] { return Shown(L"Talvora ERP App a") && Shown(L"Talvora ERP App here"); }));
    Select(L"Talvora ERP App a");
    // Add... installs here, whatever row is selected.
    EXPECT_TRUE(Enabled(TFormMain::ActInstall));
    EXPECT_TRUE(Run(TFormMain::ActStart));
    EXPECT_EQ(Net.Computer(L"erp-a").CallCount(TSimCall::StartService, L"App_a"), 1);
    EXPECT_EQ(Net.Local().CallCount(TSimCall::StartService), 0);
    EXPECT_TRUE(TickUntil([&] { return Cell(L"Talvora ERP App a", 1) == L"Running"; }));
    EXPECT_EQ(Cell(L"Talvora ERP App here", 1), L"Stopped");
    // The tip is read from the row's own computer.
    EXPECT_TRUE(StartsWith(Tip(L"Database a"), L"Name: SQLANYs_db\r\n"));
    // Stop asks about that computer's dependants only.
    Boxes.Answer(IDYES);
    Boxes.Answer(IDNO);
    Select(L"Database a");
    EXPECT_TRUE(Run(TFormMain::ActStop));
    ASSERT_EQ(Boxes.Asked.size(), 2u);
    EXPECT_EQ(Boxes.Asked[1].Text,
              L"These services are dependent and must also be stopped. Continue?\r\n\r\n\"Talvora ERP App a\"");
    EXPECT_EQ(Net.Local().CallCount(TSimCall::ControlService), 0);
}

TEST_F(InstallationTest, ACommandOnAComputerJustLostIsRefusedWithTheReason)
{
    Open({L"", L"erp-a"});
    ASSERT_TRUE(TickUntil([&] { return Shown(L"Talvora ERP App a"); }));
    Select(L"Talvora ERP App a");
    Net.SetMode(L"erp-a", TSimComputerMode::Lost);
    EXPECT_TRUE(Run(TFormMain::ActStart));
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_TRUE(StartsWith(Boxes.Asked[0].Text, L"The connection to the computer \"erp-a\" was lost."));
    EXPECT_TRUE(Shown(L"erp-a"));
    EXPECT_EQ(Net.Local().CallCount(TSimCall::StartService), 0);
    // The timer meets the same loss: no second message.
    for (int i = 0; i < 3; ++i)
        Window().ServiceList().Update();
    static_cast<void>(WaitUntil([] { return false; }, 200));
    EXPECT_EQ(Boxes.Asked.size(), 1u);
}

TEST_F(InstallationTest, RemovingTheComputerOfTheSelectedRow)
{
    Open({L"", L"erp-a"});
    ASSERT_TRUE(TickUntil([&] { return Shown(L"Database a"); }));
    Select(L"Database a");
    Window().SetComputers({L""});
    EXPECT_EQ(Window().List().Selected(), -1);
    EXPECT_FALSE(Enabled(TFormMain::ActStop));
    EXPECT_FALSE(Enabled(TFormMain::ActProps));
    UpdateItems();
    EXPECT_TRUE(Boxes.Asked.empty());
    // Added again, it is read anew.
    Window().SetComputers({L"", L"erp-a"});
    EXPECT_TRUE(TickUntil([&] { return Shown(L"Database a"); }));
}

// Properties... of a service offers the services of its own computer as dependencies, and
// writes there.
TEST_F(InstallationTest, PropertiesShowTheRowsComputer)
{
    Net.Local().AddService(ListedSimService(L"Here_only", L"Service only here"));
    Open({L"", L"erp-a"});
    ASSERT_TRUE(TickUntil([&] { return Shown(L"Talvora ERP App a"); }));
    Select(L"Talvora ERP App a");
    std::vector<std::wstring> offered;
    ProbeUntil(50, [&] {
        HWND dialog = OwnVisibleWindow(TFormProps::ClassName);
        if (!dialog)
            return false;
        HWND combo = GetDlgItem(dialog, TFormProps::IdComboDepend);
        const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[300] = L"";
            if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 300)
                SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            offered.push_back(text);
        }
        SendMessageW(GetDlgItem(dialog, TFormProps::IdRBtnStartAuto), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        return true;
    });
    EXPECT_TRUE(Run(TFormMain::ActProps));
    auto offers = [&](const std::wstring& part) {
        return std::any_of(offered.begin(), offered.end(), [&](const std::wstring& o) { return o.find(part) != std::wstring::npos; });
    };
    EXPECT_TRUE(offers(L"Spooler"));
    EXPECT_FALSE(offers(L"Here_only"));
    EXPECT_EQ(Net.Computer(L"erp-a").Service(L"App_a").StartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_NE(Net.Local().Service(L"App_a").StartType, static_cast<DWORD>(SERVICE_AUTO_START));
}

// A computer whose read hangs leaves the installation at once; the read goes on alone.
TEST_F(InstallationTest, AHungComputerIsRemovedWithoutWaitingForIt)
{
    Net.Computer(L"erp-h").AddService(ListedSimService(L"SQLANYs_h", L"Database h", SERVICE_RUNNING));
    Net.Hang(L"erp-h");
    Open({L"", L"erp-h"});
    ASSERT_TRUE(TickUntil([&] { return Shown(L"Database here") && Net.HungCalls(L"erp-h") > 0; }));
    Window().SetComputers({L""});
    EXPECT_EQ(Installation().ComputerCount(), 1);
    EXPECT_EQ(Window().List().ColumnCount(), 3);
    EXPECT_TRUE(Shown(L"Database here"));
}

// The computers as kept: names that cannot be a computer's, a computer met twice (this one
// under two of its names too) and those past the 32nd are skipped, the rest kept in order.
TEST(InstallationComputers, StoredEntriesAndAddedNames)
{
    const std::wstring own = ThisComputerName();
    struct Case {
        const char* What;
        std::vector<std::wstring> Entries;
        std::vector<std::wstring> Expected;
    };
    std::vector<std::wstring> many;
    for (int i = 0; i < 40; ++i)
        many.push_back(L"erp-" + std::to_wstring(i));
    std::vector<std::wstring> first32(many.begin(), many.begin() + 32);
    const Case cases[] = {
        {"nothing stored", {}, {L""}},
        {"bad names skipped", {L"erp app", L"\\\\erp-a", L"a/b", L"", L"erp-b"}, {L"erp-a", L"erp-b"}},
        {"this computer twice", {L"localhost", L"erp-a", own, L"."}, {L"", L"erp-a"}},
        {"letter case", {L"ERP-A", L"erp-a", L"\\\\Erp-A"}, {L"ERP-A"}},
        {"only bad names", {L"a b", L"<x>"}, {L""}},
        {"past the 32nd", many, first32},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InstallationFromEntries(c.Entries), c.Expected) << c.What;

    std::vector<std::wstring> computers{L"", L"erp-a"};
    std::wstring error;
    EXPECT_FALSE(AddInstallationComputer(computers, L"localhost", error));
    EXPECT_TRUE(StartsWith(error, L"The computer \"" + ComputerDisplayName(L"") + L"\" is in the installation already."));
    EXPECT_FALSE(AddInstallationComputer(computers, L"\\\\ERP-A", error));
    EXPECT_FALSE(AddInstallationComputer(computers, L"erp a", error));
    EXPECT_TRUE(AddInstallationComputer(computers, L"\\\\erp-b", error));
    EXPECT_EQ(computers, (std::vector<std::wstring>{L"", L"erp-a", L"erp-b"}));
    computers = std::vector<std::wstring>(many.begin(), many.begin() + 31);
    EXPECT_TRUE(AddInstallationComputer(computers, L"erp-32nd", error));
    EXPECT_FALSE(AddInstallationComputer(computers, L"erp-33rd", error));
    EXPECT_EQ(error, L"An installation holds at most 32 computers: remove one first.");
    EXPECT_EQ(computers.size(), MaxInstallationComputers);

    // Kept in the settings key: this computer as ".", which another computer would not misread.
    TScratchCurrentUser user;
    SaveInstallationComputers({L"erp-b", L""});
    EXPECT_EQ(LoadInstallationComputers(), (std::vector<std::wstring>{L"erp-b", L""}));
}

// The last ten names typed are kept, newest first.
TEST(InstallationComputers, TheLastTenNamesTyped)
{
    TScratchCurrentUser user;
    std::vector<std::wstring> names;
    for (int i = 0; i < 11; ++i)
        AddToComputerHistory(names, L"erp-" + std::to_wstring(i));
    AddToComputerHistory(names, L"ERP-3");
    SaveComputerHistory(names);
    const std::vector<std::wstring> kept = LoadComputerHistory();
    ASSERT_EQ(kept.size(), 10u);
    EXPECT_EQ(kept.front(), L"ERP-3");
    EXPECT_EQ(std::count_if(kept.begin(), kept.end(), [](const std::wstring& n) { return CompareTextCI(n, L"erp-3") == 0; }), 1);
}

// The dialog: adding with the checks, removing, moving, and OK with a name typed.
class ComputersDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        Application().Initialize();
        Application().ClearTerminated();
    }
    static HWND Dialog() { return FindWindowW(TFormComputers::ClassName, nullptr); }
    static HWND Item(int id) { return GetDlgItem(Dialog(), id); }
    static void Type(const std::wstring& name) { SetWindowTextW(Item(TFormComputers::IdName), name.c_str()); }
    static void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    static void Pick(int index)
    {
        SendMessageW(Item(TFormComputers::IdList), LB_SETCURSEL, index, 0);
        SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(TFormComputers::IdList, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Item(TFormComputers::IdList)));
    }
    static int Listed() { return static_cast<int>(SendMessageW(Item(TFormComputers::IdList), LB_GETCOUNT, 0, 0)); }
    // Runs the steps one after the other while the dialog is shown.
    static bool Ask(std::vector<std::wstring>& computers, std::vector<std::function<void()>> steps)
    {
        Application().ClearTerminated();
        GSteps = std::move(steps);
        UINT_PTR timer = SetTimer(nullptr, 0, 50, &StepTick);
        const bool ok = AskInstallationComputers(computers);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(GSteps.empty()) << "steps left";
        GSteps.clear();
        return ok;
    }
    static void CALLBACK StepTick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (GSteps.empty() || !Dialog() || !IsWindowEnabled(Dialog()))
            return;
        auto step = GSteps.front();
        GSteps.erase(GSteps.begin());
        step();
    }
    static inline std::vector<std::function<void()>> GSteps;
    TScratchCurrentUser User;
    ScriptedMessageBoxes Boxes;
};

TEST_F(ComputersDialogTest, AddsWithTheChecksRemovesAndMoves)
{
    std::vector<std::wstring> computers{L"", L"erp-a"};
    ASSERT_TRUE(Ask(computers, {[] {
                                    EXPECT_EQ(WindowText(Dialog()), L"Computers of the installation");
                                    EXPECT_EQ(Listed(), 2);
                                    for (const wchar_t* refused : {L"erp app", L"ERP-A", L"localhost"}) {
                                        Type(refused);
                                        Click(TFormComputers::IdAdd);
                                    }
                                    EXPECT_EQ(Listed(), 2);
                                    Type(L"\\\\erp-b");
                                    Click(TFormComputers::IdAdd);
                                    EXPECT_EQ(Listed(), 3);
                                    EXPECT_EQ(WindowText(Item(TFormComputers::IdName)), L"");
                                    Pick(2);
                                    Click(TFormComputers::IdUp);
                                    Pick(0);
                                    Click(TFormComputers::IdRemove);
                                    // OK adds the name typed.
                                    Type(L"erp-c");
                                    Click(IDOK);
                                }}));
    EXPECT_EQ(computers, (std::vector<std::wstring>{L"erp-b", L"erp-a", L"erp-c"}));
    ASSERT_EQ(Boxes.Asked.size(), 3u);
    for (const AskedMessageBox& box : Boxes.Asked) {
        EXPECT_EQ(box.Caption, L"Computers of the installation");
        EXPECT_EQ(box.Flags, static_cast<UINT>(MB_ICONERROR));
    }
    EXPECT_EQ(LoadComputerHistory(), (std::vector<std::wstring>{L"erp-c", L"erp-b"}));

    // The last computer stays; the names typed are offered; Cancel changes nothing.
    computers = {L"erp-a"};
    EXPECT_FALSE(Ask(computers, {[] {
                                     Pick(0);
                                     EXPECT_FALSE(IsWindowEnabled(Item(TFormComputers::IdRemove)));
                                     EXPECT_EQ(SendMessageW(Item(TFormComputers::IdName), CB_GETCOUNT, 0, 0), 2);
                                     SendMessageW(Dialog(), WM_COMMAND, IDCANCEL, 0);
                                 }}));
    EXPECT_EQ(computers, std::vector<std::wstring>{L"erp-a"});
}

// A 33rd computer is refused with the reason, and the dialog stays open.
TEST_F(ComputersDialogTest, AThirtyThirdComputerIsRefused)
{
    std::vector<std::wstring> computers;
    for (int i = 0; i < 32; ++i)
        computers.push_back(L"erp-" + std::to_wstring(i));
    const std::vector<std::wstring> before = computers;
    ASSERT_TRUE(Ask(computers, {[] {
                                    Type(L"erp-x");
                                    Click(IDOK);
                                    ASSERT_NE(Dialog(), nullptr);
                                    Type(L"");
                                    Click(IDOK);
                                }}));
    EXPECT_EQ(computers, before);
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text, L"An installation holds at most 32 computers: remove one first.");
}
}  // namespace
