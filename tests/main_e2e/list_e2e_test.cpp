// The service list of the real program over Wine's real Service Control Manager, read from
// outside: which services are listed without and with the "all" switch, their state words,
// icons and descriptions, a service started outside the program, a service found starting and
// followed to running, a slow stop, the disabled row's grey text, and the status bar.
#include "tests/main_e2e/e2e_services.h"
#include "tests/main_e2e/main_window_driver.h"
#include "tests/support/screen_capture.h"
#include "tests/support/user_input.h"

#include "common/format.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

namespace {

const TServiceSpec RunningSpec{L"e2elist_running", L"Talvora ERP E2E Running", L"", SERVICE_DEMAND_START,
                                  L"Application server, running"};
const TServiceSpec StoppedSpec{L"e2elist_stopped", L"Talvora32 E2E Stopped", L"", SERVICE_DEMAND_START,
                                  L"Never started"};
const TServiceSpec DisabledSpec{L"asany_e2elist_disabled", L"Archive E2E Disabled", L"", SERVICE_DISABLED,
                                   L"Retired archive database"};
const TServiceSpec PausedSpec{L"SQLANYs_e2elist_paused", L"SQL Anywhere E2E Paused", L"", SERVICE_DEMAND_START,
                                 L"Database server, paused"};
const TServiceSpec SlowStartSpec{L"e2elist_slowstart", L"Talvora ERP E2E Slow Start",
                                    L"--start-checkpoints 12 --step-ms 250", SERVICE_DEMAND_START,
                                    L"Takes three seconds to start"};
const TServiceSpec SlowStopSpec{L"e2elist_slowstop", L"talvora32 E2E Slow Stop",
                                   L"--stop-checkpoints 12 --step-ms 250", SERVICE_DEMAND_START,
                                   L"Takes three seconds to stop"};
const TServiceSpec OutsideSpec{L"e2elist_outside", L"TALVORA ERP E2E Started Outside", L"", SERVICE_DEMAND_START,
                                  L"Started by somebody else"};
const TServiceSpec ForeignSpec{L"SQLANYs_e2elist_foreign", L"Sybase Dépôt Ωmega E2E", L"", SERVICE_DEMAND_START,
                                  L"Line one\r\nGröße ändern – Сервер 日本語 €\r\nÜbersicht"};
const TServiceSpec VanishingSpec{L"e2elist_vanishing", L"Talvora ERP E2E Vanishing", L"", SERVICE_DEMAND_START,
                                    L"Removed by somebody else"};
const TServiceSpec FrozenSpec{L"e2elist_frozen", L"Talvora ERP E2E Frozen Start",
                                 L"--start-checkpoints 1 --freeze-start 10000", SERVICE_DEMAND_START,
                                 L"Hangs while starting"};
// Listed only with the "all" switch.
const TServiceSpec PlainSpec{L"e2elist_plain", L"E2E List Plain Service", L"", SERVICE_DEMAND_START, L""};
const TServiceSpec InnerSpec{L"e2elist_inner", L"E2E List Talvora32 inside", L"", SERVICE_DEMAND_START, L""};
const TServiceSpec NotPrefixSpec{L"xsqlany_e2elist", L"E2E List xsqlany", L"", SERVICE_DEMAND_START, L""};

bool StartsWithText(const std::wstring& text, const wchar_t* prefix)
{
    const size_t n = wcslen(prefix);
    return text.size() >= n &&
           CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(), static_cast<int>(n), prefix,
                          static_cast<int>(n)) == CSTR_EQUAL;
}

// Whether the list may show a row with this caption without the "all" switch: its display name
// or its service name begins with one of the ERP's prefixes.
bool ErpRow(const std::wstring& caption)
{
    if (StartsWithText(caption, L"talvora32") || StartsWithText(caption, L"talvora erp"))
        return true;
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    wchar_t name[257] = {};
    DWORD size = 257;
    if (!GetServiceKeyNameW(manager.get(), caption.c_str(), name, &size))
        return false;
    return StartsWithText(name, L"asany") || StartsWithText(name, L"sqlany");
}

// The display names of every service the manager enumerates now.
std::set<std::wstring> EnumeratedDisplayNames()
{
    std::set<std::wstring> names;
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    DWORD needed = 0, returned = 0, resume = 0;
    EnumServicesStatusW(manager.get(), SERVICE_DRIVER | SERVICE_WIN32 | SERVICE_INTERACTIVE_PROCESS,
                        SERVICE_STATE_ALL, nullptr, 0, &needed, &returned, &resume);
    std::vector<BYTE> buffer(needed + 4096);
    resume = 0;
    if (!EnumServicesStatusW(manager.get(), SERVICE_DRIVER | SERVICE_WIN32 | SERVICE_INTERACTIVE_PROCESS,
                             SERVICE_STATE_ALL, reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data()),
                             static_cast<DWORD>(buffer.size()), &needed, &returned, &resume))
        ADD_FAILURE() << "EnumServicesStatusW failed: " << GetLastError();
    auto* services = reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i)
        names.insert(services[i].lpDisplayName);
    return names;
}

class ServiceListE2E : public TE2EServicesTest {
protected:
    static void SetUpTestSuite()
    {
        Register({&RunningSpec, &StoppedSpec, &DisabledSpec, &PausedSpec, &SlowStartSpec, &SlowStopSpec, &OutsideSpec,
                  &ForeignSpec, &VanishingSpec, &FrozenSpec, &PlainSpec, &InnerSpec, &NotPrefixSpec});
    }
};

TEST_F(ServiceListE2E, ShowsTheErpServicesWithStatesIconsAndFollowsThemWhileTheyChange)
{
    ASSERT_TRUE(Service(RunningSpec).Start());
    ASSERT_TRUE(Service(PausedSpec).Start());
    ASSERT_TRUE(Service(SlowStopSpec).Start());
    ASSERT_TRUE(Service(PausedSpec).WaitForState(SERVICE_RUNNING, 5000));
    ASSERT_TRUE(Service(PausedSpec).Control(SERVICE_CONTROL_PAUSE));
    ASSERT_TRUE(Service(PausedSpec).WaitForState(SERVICE_PAUSED, 5000));
    ASSERT_TRUE(Service(RunningSpec).WaitForState(SERVICE_RUNNING, 5000));
    ASSERT_TRUE(Service(SlowStopSpec).WaitForState(SERVICE_RUNNING, 5000));
    // Found starting by the program's first rebuild.
    ASSERT_TRUE(Service(SlowStartSpec).Start());
    ASSERT_EQ(Service(SlowStartSpec).State(), static_cast<DWORD>(SERVICE_START_PENDING));

    TMainWindowDriver window;
    ASSERT_NE(window.Main(), nullptr) << "no main window";

    // Which services are listed, with what.
    struct Expected {
        const TServiceSpec* Wanted;
        const wchar_t* Status;
        int Image;
    };
    const Expected expected[] = {
        {&RunningSpec, L"Running", imgRunning},   {&StoppedSpec, L"Stopped", imgStopped},
        {&DisabledSpec, L"Stopped", imgStopped},  {&PausedSpec, L"Paused", imgPaused},
        {&SlowStartSpec, L"Starting", imgStarting}, {&SlowStopSpec, L"Running", imgRunning},
        {&OutsideSpec, L"Stopped", imgStopped},   {&ForeignSpec, L"Stopped", imgStopped},
        {&VanishingSpec, L"Stopped", imgStopped},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(ToUtf8(e.Wanted->DisplayName));
        auto row = window.Row(e.Wanted->DisplayName);
        ASSERT_TRUE(row.has_value()) << "not listed";
        EXPECT_EQ(row->Status, e.Status);
        EXPECT_EQ(row->Image, e.Image);
        EXPECT_EQ(row->Description, e.Wanted->Description);
    }
    for (const TServiceSpec* wanted : {&PlainSpec, &InnerSpec, &NotPrefixSpec})
        EXPECT_FALSE(window.Row(wanted->DisplayName).has_value()) << ToUtf8(wanted->DisplayName) << " is listed";

    // Every row is an ERP service (other tests' services may come and go), sorted by caption.
    const std::vector<TRemoteRow> rows = window.List().Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_TRUE(ErpRow(rows[i].Caption)) << ToUtf8(rows[i].Caption) << " is listed";
        if (i > 0) {
            EXPECT_LE(lstrcmpW(rows[i - 1].Caption.c_str(), rows[i].Caption.c_str()), 0)
                << ToUtf8(rows[i - 1].Caption) << " before " << ToUtf8(rows[i].Caption);
        }
    }

    // The service found starting is followed to running; its monitor's end frees the row for
    // the commands again (Stop is refused while a monitor follows the row).
    const std::wstring slow = SlowStartSpec.DisplayName;
    ASSERT_TRUE(window.ClickRow(slow));
    EXPECT_TRUE(window.WaitForButton(ActStop, false, 1000));
    EXPECT_TRUE(window.WaitForStatus(slow, L"Running", 8000));
    EXPECT_EQ(window.Row(slow)->Image, imgRunning);
    EXPECT_TRUE(window.WaitForButton(ActStop, true, 3000)) << "the row stays busy after its monitor's end";

    // A service started outside the program shows "Running" within two seconds.
    const std::wstring outside = OutsideSpec.DisplayName;
    const DWORD started = GetTickCount();
    ASSERT_TRUE(Service(OutsideSpec).Start());
    EXPECT_TRUE(window.WaitForStatus(outside, L"Running", 2000 - (GetTickCount() - started)))
        << "still " << ToUtf8(window.Row(outside)->Status);
    EXPECT_EQ(window.Row(outside)->Image, imgRunning);

    // A slow stop from outside: "Stopping" with its icon, then "Stopped".
    const std::wstring slowStop = SlowStopSpec.DisplayName;
    ASSERT_TRUE(Service(SlowStopSpec).Control(SERVICE_CONTROL_STOP));
    EXPECT_TRUE(window.WaitForStatus(slowStop, L"Stopping", 2500));
    EXPECT_EQ(window.Row(slowStop)->Image, imgStopping);
    EXPECT_TRUE(window.WaitForStatus(slowStop, L"Stopped", 6000));
    EXPECT_EQ(window.Row(slowStop)->Image, imgStopped);

    // The status bar: the computer name, and domain\user.
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD computerSize = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(computer, &computerSize));
    wchar_t user[257] = {};
    DWORD userSize = 257;
    ASSERT_TRUE(GetUserNameW(user, &userSize));
    wchar_t account[257] = {}, domain[257] = {};
    DWORD accountSize = 257, domainSize = 257;
    SID_NAME_USE use{};
    {
        HANDLE token = nullptr;
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
        UniqueKernelHandle owned(token);
        alignas(TOKEN_USER) BYTE buffer[1000];
        DWORD needed = 0;
        ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &needed));
        LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, account, &accountSize, domain,
                          &domainSize, &use);
    }
    EXPECT_EQ(RemoteStatusText(window.StatusBar(), 0), computer);
    EXPECT_EQ(RemoteStatusText(window.StatusBar(), 1), std::wstring(domain) + L"\\" + user);
    EXPECT_FALSE(std::wstring(user).empty());

    // The disabled service's row is drawn in grey, the others in the window text colour. The
    // selection is moved off both rows first: a selected row has colours of its own.
    window.List().Select(window.List().Find(PausedSpec.DisplayName));
    BringToFront(window.Main());
    Sleep(300);
    const RECT windowRect = WindowScreenRect(window.Main());
    TScreenCapture shot(windowRect);
    shot.SaveBmp(BuildFilePath(L"main_window.bmp"));
    const COLORREF grey = RGB(0x80, 0x80, 0x80);
    const RECT disabledText = window.List().RowRect(window.List().Find(DisabledSpec.DisplayName), LVIR_LABEL);
    const RECT stoppedText = window.List().RowRect(window.List().Find(StoppedSpec.DisplayName), LVIR_LABEL);
    EXPECT_GT(shot.CountColour(disabledText, grey), 10) << "the disabled row is not grey";
    EXPECT_EQ(shot.CountColour(stoppedText, grey), 0) << "an enabled row is grey";
    EXPECT_GT(shot.CountColour(stoppedText, GetSysColor(COLOR_WINDOWTEXT)), 10);

    // A service removed outside the program keeps its row with its last values until the list
    // is rebuilt (F5).
    const std::wstring vanishing = VanishingSpec.DisplayName;
    Remove(VanishingSpec);
    Sleep(1500);
    ASSERT_TRUE(window.Program().Running());
    ASSERT_TRUE(window.Row(vanishing).has_value());
    EXPECT_EQ(window.Row(vanishing)->Status, L"Stopped");
    EXPECT_EQ(window.Row(vanishing)->Description, VanishingSpec.Description);
    BringToFront(window.Main());
    PressKey(VK_F5);
    EXPECT_TRUE(WaitUntil([&] { return !window.Row(vanishing).has_value(); }, 3000)) << "the row stays after F5";
    EXPECT_TRUE(window.Row(RunningSpec.DisplayName).has_value());
}

TEST_F(ServiceListE2E, QuittingWhileAMonitorFollowsAFrozenCheckPointEndsCleanly)
{
    ASSERT_TRUE(Service(FrozenSpec).Start());
    ASSERT_TRUE(Service(FrozenSpec).WaitForState(SERVICE_START_PENDING, 5000));
    TMainWindowDriver window;
    ASSERT_NE(window.Main(), nullptr) << "no main window";
    // The row found starting is followed: Stop stays disabled while its monitor runs.
    ASSERT_TRUE(window.ClickRow(FrozenSpec.DisplayName));
    EXPECT_TRUE(window.WaitForButton(ActStop, false, 1000));
    // Let the monitor sit in its wait on the frozen check point, then quit.
    WaitUntil([] { return false; }, 1500);
    EXPECT_EQ(window.Row(FrozenSpec.DisplayName)->Status, L"Starting");
    EXPECT_EQ(window.Program().Close(), 0u);
}

TEST_F(ServiceListE2E, WithTheAllSwitchListsEveryService)
{
    const std::set<std::wstring> before = EnumeratedDisplayNames();
    TMainWindowDriver window(L"/all");
    ASSERT_NE(window.Main(), nullptr) << "no main window";
    std::set<std::wstring> captions;
    for (const TRemoteRow& row : window.List().Rows())
        captions.insert(row.Caption);
    const std::set<std::wstring> after = EnumeratedDisplayNames();

    for (const auto& s : Services())
        EXPECT_TRUE(captions.count(s->DisplayName())) << ToUtf8(s->DisplayName()) << " is not listed";
    // Every service that was there before the program started and is still there now (other
    // tests' services may come and go) has its row.
    for (const std::wstring& name : before)
        if (after.count(name)) {
            EXPECT_TRUE(captions.count(name)) << ToUtf8(name) << " is not listed";
        }
}

// Ctrl+F and a text narrow the rows to those whose display name or service name holds it,
// letter case ignored; Escape shows all again, with the selection back on its row and the keys
// with the list.
TEST_F(ServiceListE2E, CtrlFFindsRowsByEitherNameAndEscapeShowsAllAgain)
{
    TMainWindowDriver window;
    ASSERT_NE(window.Main(), nullptr) << "no main window";
    ASSERT_TRUE(window.ClickRow(RunningSpec.DisplayName));
    const int all = window.List().Count();
    PressChord({VK_CONTROL, 'F'});
    for (const wchar_t c : std::wstring(L"SQLANYS"))
        PressKey(c);
    // The foreign database's display name does not hold the text; its service name does.
    EXPECT_TRUE(WaitUntil([&] { return window.Row(ForeignSpec.DisplayName) && window.List().Count() < all; }, 3000));
    EXPECT_TRUE(window.Row(PausedSpec.DisplayName).has_value());
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    for (const TRemoteRow& row : window.List().Rows()) {
        wchar_t name[257] = {};
        DWORD size = 257;
        EXPECT_TRUE(GetServiceKeyNameW(manager.get(), row.Caption.c_str(), name, &size) &&
                    StartsWithText(name, L"sqlanys"))
            << ToUtf8(row.Caption);
    }

    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return window.List().Count() == all; }, 3000));
    const auto selected = window.Row(RunningSpec.DisplayName);
    ASSERT_TRUE(selected.has_value());
    EXPECT_TRUE(selected->Selected) << "the selection did not come back";
    EXPECT_TRUE(window.ArrowKeysReachTheList());
}

}  // namespace
