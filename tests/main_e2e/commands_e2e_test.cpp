// The commands of the real program as a user gives them, over Wine's real Service Control
// Manager: start from the toolbar, stop a database server through its warning, pause and
// resume, remove, F5, the Help menu's About window, Alt+X, Alt with a menu's letter; with
// pictures of the toolbar and of an opened menu.
#include "tests/main_e2e/e2e_services.h"
#include "tests/main_e2e/main_window_driver.h"
#include "tests/support/screen_capture.h"
#include "tests/support/user_input.h"

#include "common/format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

const TServiceSpec StartSpec{L"e2ecmd_start", L"Talvora ERP E2E Cmd Start", L"--start-checkpoints 8 --step-ms 250"};
const TServiceSpec DatabaseSpec{L"SQLANYs_e2ecmd", L"SQL Anywhere E2E Cmd", L""};
const TServiceSpec PauseSpec{L"e2ecmd_pause", L"Talvora32 E2E Cmd Pause", L""};
const TServiceSpec NoPauseSpec{L"e2ecmd_nopause", L"Talvora32 E2E Cmd No Pause", L"--no-pause"};
const TServiceSpec RemoveSpec{L"e2ecmd_remove", L"Talvora ERP E2E Cmd Remove", L""};
const TServiceSpec LateSpec{L"e2ecmd_late", L"Talvora ERP E2E Cmd Late", L""};
const TServiceSpec SlowSpec{L"e2ecmd_slow", L"Talvora ERP E2E Cmd Slow", L"--start-checkpoints 16 --step-ms 250"};
const TServiceSpec FailSpec{L"e2ecmd_fail", L"Talvora ERP E2E Cmd Fail", L"--start-checkpoints 3 --fail-start"};
// Restart: a database with a slow stop and an application server that depends on it.
const TServiceSpec RestartDbSpec{L"SQLANYs_e2erst", L"SQL Anywhere E2E Restart", L"--stop-checkpoints 4 --step-ms 250"};
const TServiceSpec RestartAppSpec{.Name = L"e2erst_app", .DisplayName = L"Talvora ERP E2E Restart App",
                                  .Dependencies = {L"SQLANYs_e2erst"}};

class CommandsE2E : public TE2EServicesTest {
protected:
    static void SetUpTestSuite()
    {
        Register({&StartSpec, &DatabaseSpec, &PauseSpec, &NoPauseSpec, &RemoveSpec, &FailSpec, &SlowSpec, &RestartDbSpec,
                  &RestartAppSpec});
        for (const TServiceSpec* wanted : {&DatabaseSpec, &PauseSpec, &NoPauseSpec, &RestartDbSpec, &RestartAppSpec}) {
            Service(*wanted).Start();
            Service(*wanted).WaitForState(SERVICE_RUNNING, 5000);
        }
    }

    void SetUp() override
    {
        FWindow = std::make_unique<TMainWindowDriver>();
        ASSERT_NE(FWindow->Main(), nullptr) << "no main window";
    }
    void TearDown() override { FWindow.reset(); }

    TMainWindowDriver& Window() { return *FWindow; }

    void Answer(const wchar_t* caption, const std::wstring& text, int button)
    {
        EXPECT_TRUE(Window().AnswerMessageBox(caption, text, button));
    }

private:
    std::unique_ptr<TMainWindowDriver> FWindow;
};

TEST_F(CommandsE2E, StartFromTheToolbarShowsStartingThenRunning)
{
    const std::wstring caption = StartSpec.DisplayName;
    ASSERT_TRUE(Window().ClickRow(caption));
    EXPECT_EQ(Window().Row(caption)->Status, L"Stopped");
    ASSERT_TRUE(Window().ClickButton(ActStart));

    EXPECT_TRUE(Window().WaitForStatus(caption, L"Starting", 2000));
    EXPECT_EQ(Window().Row(caption)->Image, imgStarting);
    // The row is followed by a monitor meanwhile: nothing more can be done with it.
    EXPECT_FALSE(Window().ToolBar().Enabled(ActStart));
    EXPECT_FALSE(Window().ToolBar().Enabled(ActStop));

    EXPECT_TRUE(Window().WaitForStatus(caption, L"Running", 6000));
    EXPECT_EQ(Window().Row(caption)->Image, imgRunning);
    EXPECT_EQ(Service(StartSpec).State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(Window().WaitForButton(ActStop, true));
    EXPECT_FALSE(Window().ToolBar().Enabled(ActStart));
}

TEST_F(CommandsE2E, AStartThatFallsBackToStoppedIsReportedOnce)
{
    const std::wstring caption = FailSpec.DisplayName;
    ASSERT_TRUE(Window().ClickRow(caption));
    ASSERT_TRUE(Window().ClickButton(ActStart));
    // With the code the service reported as it stopped.
    Answer(L"Talvora ERP Service Manager", L"e2ecmd_fail: Starting failed.\r\nService-specific exit code: 1 (0x1).",
           IDOK);
    EXPECT_EQ(Window().Row(caption)->Status, L"Stopped");
    EXPECT_EQ(Window().WaitForMessageBox(1500), nullptr) << "reported twice";
    EXPECT_TRUE(Window().WaitForButton(ActStart, true)) << "the row stays busy";
}

TEST_F(CommandsE2E, StoppingADatabaseServerAsksFirstAndOnlyYesStopsIt)
{
    const std::wstring caption = DatabaseSpec.DisplayName;
    const std::wstring warning = L"You are about to stop the database server. Really continue?";
    ASSERT_TRUE(Window().ClickRow(caption));
    ASSERT_EQ(Window().Row(caption)->Status, L"Running");

    ASSERT_TRUE(Window().ClickButton(ActStop));
    Answer(L"Stop service", warning, IDNO);
    ASSERT_TRUE(Window().WaitForIdle());
    EXPECT_EQ(Window().Row(caption)->Status, L"Running");
    EXPECT_EQ(Service(DatabaseSpec).State(), static_cast<DWORD>(SERVICE_RUNNING));

    ASSERT_TRUE(Window().ClickButton(ActStop));
    Answer(L"Stop service", warning, IDYES);
    EXPECT_TRUE(Window().WaitForStatus(caption, L"Stopped", 5000));
    EXPECT_EQ(Window().Row(caption)->Image, imgStopped);
    EXPECT_EQ(Service(DatabaseSpec).State(), static_cast<DWORD>(SERVICE_STOPPED));
}

// Ctrl+R on the database: Stop's two questions, then the database stops (slowly) with its
// dependant, and both start again; the rows show each step.
TEST_F(CommandsE2E, CtrlRRestartsADatabaseWithItsRunningDependant)
{
    const std::wstring db = RestartDbSpec.DisplayName, app = RestartAppSpec.DisplayName;
    ASSERT_TRUE(Window().ClickRow(db));
    ASSERT_TRUE(Window().WaitForButton(ActRestart, true));
    BringToFront(Window().Main());
    PressChord({VK_CONTROL, 'R'});
    Answer(L"Stop service", L"You are about to stop the database server. Really continue?", IDYES);
    Answer(L"Stop service", L"These services are dependent and must also be stopped. Continue?\r\n\r\n\"" + app + L"\"",
           IDYES);
    std::vector<std::wstring> dbSeen, appSeen;
    auto note = [](std::vector<std::wstring>& seen, const std::optional<TRemoteRow>& row) {
        if (row && (seen.empty() || seen.back() != row->Status))
            seen.push_back(row->Status);
    };
    EXPECT_TRUE(WaitUntil(
        [&] {
            note(dbSeen, Window().Row(db));
            note(appSeen, Window().Row(app));
            return dbSeen.size() > 1 && dbSeen.back() == L"Running" && appSeen.size() > 1 && appSeen.back() == L"Running";
        },
        15000))
        << "database " << testing::PrintToString(dbSeen) << ", application " << testing::PrintToString(appSeen);
    EXPECT_NE(std::find(dbSeen.begin(), dbSeen.end(), L"Stopping"), dbSeen.end()) << testing::PrintToString(dbSeen);
    EXPECT_NE(std::find(appSeen.begin(), appSeen.end(), L"Stopped"), appSeen.end()) << testing::PrintToString(appSeen);
    EXPECT_EQ(Service(RestartDbSpec).State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(WaitUntil([&] { return Service(RestartAppSpec).State() == SERVICE_RUNNING; }, 5000));
    EXPECT_EQ(Window().WaitForMessageBox(500), nullptr) << "a failure was reported";
}

TEST_F(CommandsE2E, PauseAndResumeAServiceThatAcceptsIt)
{
    // A service that does not accept pause cannot be paused.
    ASSERT_TRUE(Window().ClickRow(NoPauseSpec.DisplayName));
    EXPECT_TRUE(Window().WaitForButton(ActStop, true));
    EXPECT_FALSE(Window().ToolBar().Enabled(ActPause));

    const std::wstring caption = PauseSpec.DisplayName;
    ASSERT_TRUE(Window().ClickRow(caption));
    ASSERT_TRUE(Window().ClickButton(ActPause));
    EXPECT_TRUE(Window().WaitForStatus(caption, L"Paused", 5000));
    EXPECT_EQ(Window().Row(caption)->Image, imgPaused);
    EXPECT_EQ(Service(PauseSpec).State(), static_cast<DWORD>(SERVICE_PAUSED));

    ASSERT_TRUE(Window().ClickButton(ActStart)) << "Start/Resume stays disabled for a paused service";
    EXPECT_TRUE(Window().WaitForStatus(caption, L"Running", 5000));
    EXPECT_EQ(Window().Row(caption)->Image, imgRunning);
    EXPECT_EQ(Service(PauseSpec).State(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(CommandsE2E, DelAsksAndRemovesTheStoppedService)
{
    const std::wstring caption = RemoveSpec.DisplayName;
    const std::wstring question = L"Really unregister selected service (" + caption + L")?";
    // A running service cannot be removed: Del does nothing.
    ASSERT_TRUE(Window().ClickRow(NoPauseSpec.DisplayName));
    PressKey(VK_DELETE);
    EXPECT_EQ(Window().WaitForMessageBox(700), nullptr);

    ASSERT_TRUE(Window().ClickRow(caption));

    PressKey(VK_DELETE);
    Answer(L"Uninstall service", question, IDCANCEL);
    EXPECT_TRUE(Service(RemoveSpec).Registered());
    // After the question the keys act on the list without a click.
    EXPECT_TRUE(Window().ArrowKeysReachTheList());
    // Back to the row by the keyboard (a click now would be a double click, Properties...).
    PressKey(VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return Window().List().Selected() == Window().List().Find(caption); }, 3000));
    const int removed = Window().List().Selected();
    ASSERT_LT(removed + 1, Window().List().Count());
    const std::wstring next = Window().List().Text(removed + 1, 0);

    PressKey(VK_DELETE);
    Answer(L"Uninstall service", question, IDYES);
    EXPECT_TRUE(WaitUntil([&] { return !Window().Row(caption).has_value(); }, 4000)) << "the row stays";
    EXPECT_FALSE(Service(RemoveSpec).Registered());
    EXPECT_GT(Window().List().Count(), 0);
    // The row after it is selected, and the keys act on it.
    EXPECT_TRUE(WaitUntil(
        [&] {
            const int selected = Window().List().Selected();
            return selected >= 0 && Window().List().Text(selected, 0) == next;
        },
        3000))
        << "the next row is not selected";
    EXPECT_TRUE(Window().ArrowKeysReachTheList());
}

TEST_F(CommandsE2E, F5RebuildsTheListAndKeepsTheSelection)
{
    const std::wstring selected = NoPauseSpec.DisplayName;
    ASSERT_TRUE(Window().ClickRow(selected));
    TRegisteredService late(LateSpec);
    Sleep(1200);  // a timer tick or more: refreshing rows does not add any
    EXPECT_FALSE(Window().Row(LateSpec.DisplayName).has_value());

    BringToFront(Window().Main());
    PressKey(VK_F5);
    EXPECT_TRUE(WaitUntil([&] { return Window().Row(LateSpec.DisplayName).has_value(); }, 3000)) << "no new row";
    auto row = Window().Row(selected);
    ASSERT_TRUE(row.has_value());
    EXPECT_TRUE(row->Selected);
}

TEST_F(CommandsE2E, ToolbarAndServiceMenuPictures)
{
    // Left to right: Start/Resume, Stop, Restart, Pause, a separator, Refresh, Properties..., a separator, Quit.
    const std::vector<int> expected{ActStart, ActStop, ActRestart, ActPause, 0, ActRebuild, ActProps, 0, ActQuit};
    EXPECT_EQ(Window().ToolBar().Commands(), expected);

    ASSERT_TRUE(Window().ClickRow(PauseSpec.DisplayName));
    ASSERT_TRUE(Window().WaitForButton(ActPause, true));
    // The mouse over Refresh shows its hint.
    MoveMouseTo(CentreOf(Window().ToolBar().ButtonRect(ActRebuild)));
    EXPECT_NE(Window().Program().WaitForWindow(TOOLTIPS_CLASSW, 3000), nullptr) << "no tooltip";
    Sleep(200);
    RECT toolbar = WindowScreenRect(Window().ToolBar().Handle());
    toolbar.bottom += 40;  // room for the tooltip
    TScreenCapture(toolbar).SaveBmp(BuildFilePath(L"toolbar.bmp"));

    // The Service menu, opened from the keyboard: Alt, then right to "Service", then down.
    BringToFront(Window().Main());
    PressKey(VK_MENU);
    PressKey(VK_RIGHT);
    PressKey(VK_DOWN);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            menu = Window().Program().WaitForWindow(L"#32768", 0);
            return menu != nullptr;
        },
        3000))
        << "no menu opened";
    Sleep(200);
    RECT shot = WindowScreenRect(Window().Main());
    RECT menuRect = WindowScreenRect(menu);
    UnionRect(&shot, &shot, &menuRect);
    TScreenCapture(shot).SaveBmp(BuildFilePath(L"service_menu.bmp"));
    PressKey(VK_ESCAPE);
    PressKey(VK_ESCAPE);
}

TEST_F(CommandsE2E, HelpAboutShowsTheVersionLine)
{
    // Alt, right three times to "Help", down to open it, Enter on "About...". An activation that
    // arrives late takes the keys meant for the menu bar: the keys are pressed again.
    HWND menu = nullptr;
    for (int attempt = 0; attempt < 3 && !menu; ++attempt) {
        if (attempt > 0) {
            PressKey(VK_ESCAPE);
            PressKey(VK_ESCAPE);
        }
        BringToFront(Window().Main());
        PressKey(VK_MENU);
        for (int i = 0; i < 3; ++i)
            PressKey(VK_RIGHT);
        PressKey(VK_DOWN);
        menu = Window().Program().WaitForWindow(L"#32768", 3000);
    }
    ASSERT_NE(menu, nullptr) << "no menu opened";
    PressKey(VK_RETURN);

    HWND about = Window().Program().WaitForWindow(L"TFormAbout", 5000);
    ASSERT_NE(about, nullptr) << "no About window";
    const std::vector<std::wstring> labels = ChildTexts(about, L"Static");
    EXPECT_NE(std::find(labels.begin(), labels.end(), L"Service Manager 1.0.0.1"), labels.end())
        << "no version line among " << labels.size() << " labels";
    Sleep(500);  // the menu closes and the window paints before the picture is taken
    TScreenCapture(WindowScreenRect(about)).SaveBmp(BuildFilePath(L"about.bmp"));

    PressButton(about, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about) || !IsWindowVisible(about); }, 3000));
    EXPECT_TRUE(Window().Program().Running());
}

TEST_F(CommandsE2E, QuittingWhileAMonitorFollowsARowEndsTheProgramCleanly)
{
    const std::wstring caption = SlowSpec.DisplayName;
    ASSERT_TRUE(Window().ClickRow(caption));
    ASSERT_TRUE(Window().ClickButton(ActStart));
    ASSERT_TRUE(Window().WaitForStatus(caption, L"Starting", 2000));
    BringToFront(Window().Main());
    PressChord({VK_MENU, VK_F4});
    // The monitor outlives the window: its last callbacks find no window to reach.
    EXPECT_EQ(Window().Program().WaitForExit(5000), 0u);
    EXPECT_EQ(Service(SlowSpec).State(), static_cast<DWORD>(SERVICE_START_PENDING));
}

TEST_F(CommandsE2E, AltXEndsTheProgramWithExitCodeZeroButNotFromTheAboutWindow)
{
    BringToFront(Window().Main());
    PostMessageW(Window().Main(), WM_COMMAND, ActAbout, 0);  // Help / About..., as the menu sends it
    HWND about = Window().Program().WaitForWindow(L"TFormAbout", 5000);
    ASSERT_NE(about, nullptr) << "no About window";
    ASSERT_TRUE(BringToFront(about));
    // The main window's shortcuts do not reach it through a window above it.
    PressChord({VK_MENU, 'X'});
    PressKey(VK_F5);
    Sleep(500);
    EXPECT_TRUE(Window().Program().Running());
    EXPECT_TRUE(IsWindowVisible(about));
    // On a busy machine a late activation may have taken the keyboard from it meanwhile.
    ASSERT_TRUE(BringToFront(about));
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about) || !IsWindowVisible(about); }, 3000));

    BringToFront(Window().Main());
    PressChord({VK_MENU, 'X'});
    EXPECT_EQ(Window().Program().WaitForExit(5000), 0u);
}

// Presses Alt with a menu's letter until the menu is open and stays open. Under load Wine may
// deliver the activation of the main window (after a modal window) late, which closes a menu
// that had just opened; pressing the chord again is what a user would do.
bool OpenMenuWithAlt(TMainWindowDriver& window, WORD letter)
{
    auto menuOpen = [&] { return window.Program().FindWindowOfClass(L"#32768", true) != nullptr; };
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (!BringToFront(window.Main()))
            return false;
        PressChord({VK_MENU, letter});
        if (window.Program().WaitForWindow(L"#32768", 2000)) {
            Sleep(400);
            if (menuOpen())
                return true;
            continue;
        }
        PressKey(VK_ESCAPE);
    }
    return false;
}

// Opens a menu with Alt and its letter, presses keys in it, and waits for the window of class
// `opens` that the chosen item shows; null when none came. The late activation that may close a
// menu just opened may also take the keys meant for it: then the menu is opened again.
HWND ChooseFromMenu(TMainWindowDriver& window, WORD letter, const std::vector<WORD>& keys, const wchar_t* opens)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!OpenMenuWithAlt(window, letter))
            return nullptr;
        for (WORD key : keys)
            PressKey(key);
        if (HWND shown = window.Program().WaitForWindow(opens, 5000))
            return shown;
        // Whatever is open of the menu goes before the next try.
        if (window.Program().FindWindowOfClass(L"#32768", true))
            PressKey(VK_ESCAPE);
    }
    return nullptr;
}

// Alt with a menu's letter opens it: Help's About..., Service's last item (Properties...) and
// Program's Quit, each chosen from the keyboard alone.
TEST_F(CommandsE2E, AltWithAMenusLetterOpensTheMenu)
{
    ASSERT_TRUE(Window().ClickRow(PauseSpec.DisplayName));
    struct MenuCase {
        WORD Letter;
        std::vector<WORD> Keys;  // after the menu opened
        const wchar_t* Opens;    // the window class the chosen item shows
    };
    const MenuCase cases[] = {
        {'H', {VK_RETURN}, L"TFormAbout"},
        {'S', {VK_UP, VK_RETURN}, L"TFormProps"},
    };
    for (const MenuCase& c : cases) {
        SCOPED_TRACE(static_cast<char>(c.Letter));
        HWND shown = ChooseFromMenu(Window(), c.Letter, c.Keys, c.Opens);
        ASSERT_NE(shown, nullptr) << "the item's window did not open";
        ASSERT_TRUE(BringToFront(shown));
        PressKey(VK_ESCAPE);
        // The main window takes keys again once the modal window has ended and enabled it.
        ASSERT_TRUE(WaitUntil(
            [&] { return (!IsWindow(shown) || !IsWindowVisible(shown)) && IsWindowEnabled(Window().Main()); }, 3000));
    }
    // Quit is the Program menu's last item.
    ASSERT_TRUE(OpenMenuWithAlt(Window(), 'P')) << "no Program menu opened";
    PressKey(VK_UP);
    PressKey(VK_RETURN);
    EXPECT_EQ(Window().Program().WaitForExit(5000), 0u);
}

}  // namespace
