// The main window's first show over the simulated manager: the window is on screen before the
// list is built, and an error of the show handler (the group order unreadable, the manager
// refusing, a failing enumeration) is reported while the window stays and Refresh lists the
// services once the cause is gone.
#include "tests/main/main_window_fixture.h"
#include "tests/services/service_test_util.h"

#include <commctrl.h>

namespace {
const wchar_t* const Title = L"Talvora ERP Service Manager";

std::wstring StatusText(HWND statusBar, int panel)
{
    wchar_t text[256] = {};
    if (LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, panel, 0)) < std::size(text))
        SendMessageW(statusBar, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(text));
    return text;
}

class FirstShowTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Application().SetTitle(Title);
        FOrder.SetMulti(L"List", std::wstring(L"Base\0", 5));
        AddListed(L"SQLANY_one", L"Database one");
        AddListed(L"SQLANY_two", L"Database two");
    }
    // The window, its catalogue reading the group order from the scratch key.
    TFormMain& Shown()
    {
        Window().Manager().SetGroupOrderLocation({HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", FOrder.Path(), L"List"});
        Window().Show();
        return Window();
    }
    std::wstring KeyText() const { return L"HKEY_CURRENT_USER\\" + FOrder.Path(); }

    ScratchKey FOrder{L"FirstShow"};
};

TEST_F(FirstShowTest, TheWindowIsOnScreenAndPaintedBeforeTheListIsBuilt)
{
    bool checked = false, visible = false, painted = false;
    Sim.OnCall = [&](TSimCall call, const std::wstring&) {
        if (call != TSimCall::EnumServicesStatus || checked)
            return;
        checked = true;
        HWND main = Window().Handle();
        visible = IsWindowVisible(main) != FALSE;
        painted = !GetUpdateRect(main, nullptr, FALSE) && !GetUpdateRect(Window().List().Handle(), nullptr, FALSE);
    };
    Shown();
    Sim.OnCall = nullptr;
    EXPECT_TRUE(checked);
    EXPECT_TRUE(visible);
    EXPECT_TRUE(painted);
    EXPECT_EQ(Window().List().Count(), 2);
    EXPECT_FALSE(StatusText(Window().StatusBar(), 0).empty());
    EXPECT_TRUE(Boxes.Asked.empty());
}

struct ShowFault {
    const char* Name;
    std::function<void()> Break;
    std::function<void()> Mend;
    std::function<std::wstring()> Message;  // the report's text, or its beginning
    bool WholeText;
};

TEST_F(FirstShowTest, AnErrorIsReportedAndTheWindowStays)
{
    auto setList = [this] { FOrder.SetMulti(L"List", std::wstring(L"Base\0", 5)); };
    const ShowFault faults[] = {
        {"group order value missing", [this] { RegDeleteKeyValueW(HKEY_CURRENT_USER, FOrder.Path().c_str(), L"List"); },
         setList, [this] { return L"Unable to open key \"" + KeyText() + L"\" and access value \"List\""; },
         true},
        {"group order value of the wrong type",
         [this] {
             DWORD number = 7;
             FOrder.Set(L"List", REG_DWORD, &number, sizeof(number));
         },
         setList, [this] { return L"\"" + KeyText() + L"\\List\" is of wrong kind or size."; }, true},
        {"group order key missing",
         [this] { RegDeleteTreeW(HKEY_CURRENT_USER, FOrder.Path().c_str()); },
         [this] {
             // The scratch key's own handle went with the key.
             const wchar_t list[] = L"Base\0";
             RegSetKeyValueW(HKEY_CURRENT_USER, FOrder.Path().c_str(), L"List", REG_MULTI_SZ, list, sizeof(list));
         },
         [this] { return L"Unable to open key \"" + KeyText() + L"\" for read."; }, true},
        {"manager refusing the connection",
         [this] { Sim.Fail(TSimCall::OpenSCManager, ERROR_ACCESS_DENIED); },
         [this] { Sim.ClearFaults(); },
         [] { return std::wstring(L"System Error.  Code: 5."); }, false},
        {"enumeration failing",
         [this] { Sim.Fail(TSimCall::EnumServicesStatus, ERROR_NOT_ENOUGH_MEMORY); },
         [this] { Sim.ClearFaults(); },
         [] { return std::wstring(L"System Error.  Code: 8."); }, false},
    };
    for (const ShowFault& fault : faults) {
        SCOPED_TRACE(fault.Name);
        Form.reset();
        Application().ClearTerminated();
        Boxes.Asked.clear();
        fault.Break();
        TFormMain& window = Shown();

        ASSERT_EQ(Boxes.Asked.size(), 1u);
        const std::wstring expected = fault.Message();
        if (fault.WholeText)
            EXPECT_EQ(Boxes.Asked[0].Text, expected);
        else
            EXPECT_EQ(Boxes.Asked[0].Text.substr(0, expected.size()), expected);
        EXPECT_EQ(Boxes.Asked[0].Caption, Title);
        EXPECT_EQ(Boxes.Asked[0].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
        // The window stays, empty; the show handler's remaining steps did not run.
        EXPECT_TRUE(IsWindowVisible(window.Handle()));
        EXPECT_FALSE(Application().Terminated());
        EXPECT_EQ(window.List().Count(), 0);
        EXPECT_EQ(StatusText(window.StatusBar(), 0), L"");
        EXPECT_EQ(BusyCount(), 0);

        // Refresh (F5) lists the services once the cause is gone.
        fault.Mend();
        EXPECT_TRUE(window.Actions().Execute(TFormMain::ActRebuild));
        EXPECT_EQ(window.List().Count(), 2);
        EXPECT_EQ(Boxes.Asked.size(), 1u);
        // ... and the rest of the show handler with it: the status bar and the timer.
        EXPECT_NE(StatusText(window.StatusBar(), 0), L"");
        EXPECT_TRUE(KillTimer(window.Handle(), TFormMain::TimerUpdate));
    }
}

TEST_F(FirstShowTest, AnEmptyGroupOrderListsTheServices)
{
    FOrder.SetMulti(L"List", std::wstring());
    Shown();
    EXPECT_TRUE(Boxes.Asked.empty());
    EXPECT_EQ(Window().List().Count(), 2);
}
}  // namespace
