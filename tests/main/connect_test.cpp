// The main window connected to other computers' managers (simulated): the list, the status
// bar, the commands and their follow-up on that computer, the way back, and the faults of a
// remote connection (unknown, refused, lost, slow), after which the list keeps its rows.
#include "tests/main/main_window_fixture.h"
#include "tests/main/probe_timer.h"

#include "common/computer_name.h"
#include "common/errors.h"
#include "common/format.h"
#include "tests/sim_scm/sim_computers.h"
#include "ui/main/account_text.h"
#include "ui/props/form_props.h"
#include "common/strings.h"
#include "tests/support/scratch_current_user.h"

#include <algorithm>
#include <atomic>

namespace {
class ConnectTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Net.Local().AddService(ListedSimService(L"SQLANYs_here", L"Database here", SERVICE_RUNNING));
        Net.Computer(L"erp-far").AddService(ListedSimService(L"SQLANYs_far", L"Database far", SERVICE_RUNNING));
        Net.Computer(L"erp-far").AddService(ListedSimService(L"App_far", L"Talvora ERP App far", SERVICE_STOPPED, {L"SQLANYs_far"}));
        Form = std::make_unique<TFormMain>(Net, false);
        Window().Show();
    }
    std::wstring Panel0()
    {
        wchar_t text[300] = L"";
        SendMessageW(Window().StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    // The message of a connection that failed.
    std::wstring ConnectError(const std::wstring& machine)
    {
        try {
            Window().Connect(machine);
        } catch (const Exception& e) {
            return e.Message();
        }
        return L"(connected)";
    }
    TSimComputers Net;
};

TEST_F(ConnectTest, ShowsAnotherComputersServicesAndGoesBack)
{
    ASSERT_GE(Row(L"Database here"), 0);
    EXPECT_EQ(Panel0(), ComputerNameText());
    Window().Connect(L"erp-far");
    EXPECT_EQ(Window().Manager().MachineName(), L"erp-far");
    EXPECT_EQ(Row(L"Database here"), -1);
    ASSERT_GE(Row(L"Database far"), 0);
    EXPECT_EQ(Window().List().Text(Row(L"Database far"), 1), L"Running");
    EXPECT_EQ(Panel0(), L"erp-far");
    // Add... installs here only, and says so.
    EXPECT_FALSE(Enabled(TFormMain::ActInstall));
    // Its menu item, under the mouse, shows why in the status bar.
    HWND bar = Window().StatusBar();
    SendMessageW(Window().Handle(), WM_MENUSELECT, MAKEWPARAM(TFormMain::ActInstall, MF_GRAYED),
                 reinterpret_cast<LPARAM>(GetMenu(Window().Handle())));
    EXPECT_TRUE(SendMessageW(bar, SB_ISSIMPLE, 0, 0));
    wchar_t line[300] = L"";
    SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(std::wstring(line), L"Installs on this computer only: add this computer to the installation first");
    SendMessageW(Window().Handle(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_FALSE(SendMessageW(bar, SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(Panel0(), L"erp-far");
    // The timer reads the other computer.
    Net.Computer(L"erp-far").SetStatus(L"SQLANYs_far", SERVICE_PAUSED);
    UpdateItems();
    EXPECT_EQ(Window().List().Text(Row(L"Database far"), 1), L"Paused");

    Window().Connect(L"");
    EXPECT_GE(Row(L"Database here"), 0);
    EXPECT_EQ(Row(L"Database far"), -1);
    EXPECT_EQ(Panel0(), ComputerNameText());
    EXPECT_TRUE(Enabled(TFormMain::ActInstall));
    EXPECT_EQ(Window().Actions().Find(TFormMain::ActInstall)->Hint, L"Install new service");
}

TEST_F(ConnectTest, CommandsAndTheirFollowUpActOnTheConnectedComputer)
{
    Net.Local().AddService(ListedSimService(L"App_far", L"Talvora ERP App here"));
    Window().Connect(L"erp-far");
    Net.Computer(L"erp-far").Update(L"App_far", [](TSimService& s) { s.StateAfterStart = SERVICE_START_PENDING; });
    Select(L"Talvora ERP App far");
    EXPECT_TRUE(Run(TFormMain::ActStart));
    EXPECT_EQ(Net.Computer(L"erp-far").CallCount(TSimCall::StartService, L"App_far"), 1);
    EXPECT_EQ(Net.Local().CallCount(TSimCall::StartService), 0);
    // The monitor asks the same computer: it sees the start end.
    ASSERT_NE(Data(L"Talvora ERP App far"), nullptr);
    ASSERT_NE(Data(L"Talvora ERP App far")->Monitor, nullptr);
    Net.Computer(L"erp-far").SetStatus(L"App_far", SERVICE_RUNNING);
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Talvora ERP App far")->Monitor == nullptr; }));
    // The monitor's end has the record read on the list's worker: its answer comes a moment later.
    EXPECT_TRUE(WaitUntil([&] { return Window().List().Text(Row(L"Talvora ERP App far"), 1) == L"Running"; }));
    EXPECT_TRUE(Boxes.Asked.empty());
}

// The follow-up of a start on a computer whose connection then drops ends without calling the
// start failed: the list reports the loss, once.
TEST_F(ConnectTest, AFollowUpCutOffByALostConnectionIsNoFailure)
{
    Window().Connect(L"erp-far");
    Net.Computer(L"erp-far").Update(L"App_far", [](TSimService& s) { s.StateAfterStart = SERVICE_START_PENDING; });
    Select(L"Talvora ERP App far");
    EXPECT_TRUE(Run(TFormMain::ActStart));
    ASSERT_NE(Data(L"Talvora ERP App far"), nullptr);
    ASSERT_NE(Data(L"Talvora ERP App far")->Monitor, nullptr);
    Net.SetMode(L"erp-far", TSimComputerMode::Lost);
    EXPECT_TRUE(WaitUntil([&] { return Data(L"Talvora ERP App far")->Monitor == nullptr; }));
    UpdateItems();
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text.rfind(L"The connection to the computer \"erp-far\" was lost.", 0), 0u)
        << ToUtf8(Boxes.Asked[0].Text);
}

struct FaultCase {
    const wchar_t* What;
    TSimComputerMode Mode;
    const wchar_t* Expected;
};

TEST_F(ConnectTest, AFailedConnectionSaysWhyAndKeepsTheList)
{
    const FaultCase cases[] = {
        {L"unknown or unreachable", TSimComputerMode::Unreachable,
         L"The computer \"erp-none\" cannot be reached: it is unknown, switched off, or does not answer over the "
         L"network.\r\n\r\nSystem Error.  Code: 1722."},
        {L"refused", TSimComputerMode::Refusing,
         L"The computer \"erp-none\" refused the connection to its services: your account has no right to manage "
         L"them there.\r\n\r\nSystem Error.  Code: 5."},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(ToUtf8(c.What));
        Net.SetMode(L"erp-none", c.Mode);
        const std::wstring message = ConnectError(L"erp-none");
        EXPECT_EQ(message.rfind(c.Expected, 0), 0u) << ToUtf8(message);
        EXPECT_EQ(Window().Manager().MachineName(), L"");
        EXPECT_GE(Row(L"Database here"), 0);
        EXPECT_EQ(Panel0(), ComputerNameText());
        EXPECT_FALSE(Window().CommandRunning());
        EXPECT_EQ(BusyCount(), 0);
    }
    // The list stays usable.
    EXPECT_TRUE(Window().Actions().Execute(TFormMain::ActRebuild));
    EXPECT_GE(Row(L"Database here"), 0);
}

TEST_F(ConnectTest, ALostComputerKeepsItsLastRowsAndEachActionSaysSo)
{
    Window().Connect(L"erp-far");
    Net.SetMode(L"erp-far", TSimComputerMode::Lost);
    // The timer finds the connection lost and says so once; the rows keep their last values.
    UpdateItems();
    UpdateItems();
    EXPECT_EQ(Window().List().Text(Row(L"Database far"), 1), L"Running");
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    // Refresh, then a command on a row: each says so.
    EXPECT_TRUE(Window().Actions().Execute(TFormMain::ActRebuild));
    Select(L"Database far");
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Run(TFormMain::ActStop));
    ASSERT_EQ(Boxes.Asked.size(), 4u);
    for (size_t i : {0u, 1u, 3u}) {
        EXPECT_EQ(Boxes.Asked[i].Text.rfind(L"The connection to the computer \"erp-far\" was lost.", 0), 0u)
            << ToUtf8(Boxes.Asked[i].Text);
        EXPECT_EQ(Boxes.Asked[i].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    }
    EXPECT_GE(Row(L"Database far"), 0);
    EXPECT_GE(Row(L"Talvora ERP App far"), 0);
    // Back once it answers again: the next tick connects anew, and so does the next command (the
    // handles of the lost connection stay dead).
    Net.SetMode(L"erp-far", TSimComputerMode::Reachable);
    Net.Computer(L"erp-far").SetStatus(L"SQLANYs_far", SERVICE_PAUSED);
    UpdateItems();
    EXPECT_EQ(Window().List().Text(Row(L"Database far"), 1), L"Paused");
    Select(L"Database far");
    Boxes.Answer(IDYES);
    EXPECT_TRUE(Run(TFormMain::ActStop));
    EXPECT_EQ(Net.Computer(L"erp-far").CallCount(TSimCall::ControlService, L"SQLANYs_far"), 1);
    EXPECT_TRUE(Window().Actions().Execute(TFormMain::ActRebuild));
    EXPECT_EQ(Boxes.Asked.size(), 5u);  // the database's warning before the stop, nothing else
}

// A connection that drops and comes back between two ticks leaves every handle of the program
// dead (ERROR_INVALID_HANDLE, or the RPC errors): the list's first use says the connection was
// lost, once, and everything after it connects anew; the commands' worker, whose first call
// failed on its dead connection, makes its command again on a new one.
TEST_F(ConnectTest, HandlesLeftDeadByADroppedConnectionAreReplaced)
{
    for (DWORD dead : {DWORD{ERROR_INVALID_HANDLE}, DWORD{RPC_S_CALL_FAILED}}) {
        SCOPED_TRACE(dead);
        Boxes.Asked.clear();
        Net.SetDeadHandleError(L"erp-far", dead);
        Net.Computer(L"erp-far").SetStatus(L"SQLANYs_far", SERVICE_RUNNING);
        Window().Connect(L"erp-far");
        // The commands' worker connects with its first command (Pause, then Resume).
        Select(L"Database far");
        EXPECT_TRUE(Run(TFormMain::ActPause));
        EXPECT_TRUE(WaitUntil([&] { return Data(L"Database far")->Monitor == nullptr; }));
        EXPECT_TRUE(Run(TFormMain::ActStart));
        EXPECT_TRUE(WaitUntil([&] { return Data(L"Database far")->Monitor == nullptr; }));
        Net.SetMode(L"erp-far", TSimComputerMode::Lost);
        Net.SetMode(L"erp-far", TSimComputerMode::Reachable);
        UpdateItems();
        UpdateItems();
        Select(L"Database far");
        Boxes.Answer(IDYES);
        EXPECT_TRUE(Run(TFormMain::ActStop));
        EXPECT_EQ(Net.Computer(L"erp-far").Service(L"SQLANYs_far").State, static_cast<DWORD>(SERVICE_STOPPED));
        EXPECT_TRUE(WaitUntil([&] { return Data(L"Database far")->Monitor == nullptr; }));
        UpdateItems();
        const auto lost = std::count_if(Boxes.Asked.begin(), Boxes.Asked.end(), [](const auto& box) {
            return box.Text.rfind(L"The connection to the computer \"erp-far\" was lost.", 0) == 0;
        });
        EXPECT_EQ(lost, 1);
        EXPECT_EQ(Window().List().Text(Row(L"Database far"), 1), L"Stopped");
        Window().Connect(L"");
    }
}

TEST_F(ConnectTest, ASlowComputerIsReadWhileTheWindowAnswersAndRefusesOtherCommands)
{
    Net.SetDelay(L"erp-far", 150);
    bool running = false, rebuildRan = true, connectRan = true;
    std::wstring rowMeanwhile;
    ProbeAfter(100, [&] {
        running = Window().CommandRunning();
        rebuildRan = Window().Actions().Execute(TFormMain::ActRebuild);
        connectRan = Window().Actions().Execute(TFormMain::ActComputers);
        rowMeanwhile = Row(L"Database here") >= 0 ? L"here" : L"gone";
    });
    // Every round trip to that computer is made off the GUI thread, the catalogue's own
    // connection too.
    const DWORD gui = GetCurrentThreadId();
    std::atomic<int> guiCalls{0};
    Net.Computer(L"erp-far").OnCall = [&](TSimCall, const std::wstring&) {
        guiCalls += GetCurrentThreadId() == gui ? 1 : 0;
    };
    Window().Connect(L"erp-far");
    Net.Computer(L"erp-far").OnCall = nullptr;
    EXPECT_EQ(guiCalls, 0);
    EXPECT_TRUE(running);
    EXPECT_FALSE(rebuildRan);
    EXPECT_FALSE(connectRan);
    EXPECT_EQ(rowMeanwhile, L"here");  // the old rows until the new ones are there
    EXPECT_GE(Row(L"Database far"), 0);
    EXPECT_TRUE(Boxes.Asked.empty());
}

TEST_F(ConnectTest, AComputerUnreachableFromTheStartIsNamedAndCanBeLeft)
{
    Form.reset();
    Application().ClearTerminated();  // the first window's end ended the application
    Net.SetMode(L"erp-none", TSimComputerMode::Unreachable);
    Form = std::make_unique<TFormMain>(Net, false, false, L"erp-none");
    Window().Show();
    ASSERT_EQ(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text.rfind(L"The computer \"erp-none\" cannot be reached", 0), 0u)
        << ToUtf8(Boxes.Asked[0].Text);
    EXPECT_EQ(Panel0(), L"erp-none");
    EXPECT_EQ(Window().List().Count(), 0);
    Window().Connect(L"");
    EXPECT_GE(Row(L"Database here"), 0);
    EXPECT_EQ(Panel0(), ComputerNameText());
}
}  // namespace

namespace {
// Wine's registry refuses other computers (as a computer that answers its manager but not its
// registry does): Properties... says so for the server parameters and still changes the rest.
TEST_F(ConnectTest, PropertiesWorkWhenTheRegistryOfTheComputerRefuses)
{
    Window().Connect(L"erp-far");
    Select(L"Talvora ERP App far");
    bool readOnly = false;
    // The dialog shows once the record and its dependants have been read on the worker.
    ProbeUntil(50, [&] {
        HWND dialog = OwnVisibleWindow(TFormProps::ClassName);
        if (!dialog)
            return false;
        readOnly = (GetWindowLongW(GetDlgItem(dialog, TFormProps::IdMemoParams), GWL_STYLE) & ES_READONLY) != 0;
        SendMessageW(GetDlgItem(dialog, TFormProps::IdRBtnStartAuto), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        return true;
    });
    EXPECT_TRUE(Run(TFormMain::ActProps));
    EXPECT_TRUE(readOnly);
    ASSERT_GE(Boxes.Asked.size(), 1u);
    EXPECT_EQ(Boxes.Asked[0].Text.rfind(L"The registry of the computer \"erp-far\" cannot be reached", 0), 0u)
        << ToUtf8(Boxes.Asked[0].Text);
    EXPECT_EQ(Net.Computer(L"erp-far").Service(L"App_far").StartType, static_cast<DWORD>(SERVICE_AUTO_START));
    // Nothing was written into this computer's registry instead.
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\App_far", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    if (key)
        RegCloseKey(key);
}

// The connection drops while Properties... is open: OK says why nothing was changed, the loss
// is reported once, and once the computer answers the next tick and Properties... work again.
TEST_F(ConnectTest, AConnectionLostDuringPropertiesIsReportedOnceAndThenMended)
{
    Window().Connect(L"erp-far");
    Select(L"Talvora ERP App far");
    auto changeToAutomatic = [&](bool loseFirst) {
        ProbeAfter(300, [&, loseFirst] {
            HWND dialog = FindWindowW(TFormProps::ClassName, nullptr);
            ASSERT_NE(dialog, nullptr);
            if (loseFirst)
                Net.SetMode(L"erp-far", TSimComputerMode::Lost);
            SendMessageW(GetDlgItem(dialog, TFormProps::IdRBtnStartAuto), BM_CLICK, 0, 0);
            SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            if (IsWindow(dialog))
                SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        });
        return Run(TFormMain::ActProps);
    };
    // The messages that begin with the text.
    auto count = [&](const wchar_t* begin) {
        return std::count_if(Boxes.Asked.begin(), Boxes.Asked.end(),
                             [&](const auto& box) { return box.Text.rfind(begin, 0) == 0; });
    };
    EXPECT_TRUE(changeToAutomatic(true));
    EXPECT_EQ(count(L"System Error.  Code: 1722."), 1);
    UpdateItems();
    EXPECT_EQ(count(L"The connection to the computer \"erp-far\" was lost."), 1);
    EXPECT_EQ(Net.Computer(L"erp-far").Service(L"App_far").StartType, static_cast<DWORD>(SERVICE_DEMAND_START));

    Net.SetMode(L"erp-far", TSimComputerMode::Reachable);
    UpdateItems();
    EXPECT_TRUE(changeToAutomatic(false));
    EXPECT_EQ(Net.Computer(L"erp-far").Service(L"App_far").StartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(count(L"The connection to the computer \"erp-far\" was lost."), 1);
    EXPECT_EQ(count(L"System Error.  Code:"), 1);
}
}  // namespace
