// The real program over computers named under Wine, whose manager would answer any name with
// this computer's services: this computer's own names on the command line show its services
// and its name; another computer added to the installation shows as a row of its own that says
// it cannot be reached, beside this computer's rows, with no message box; removing it brings
// the single-computer window back.
#include "tests/main_e2e/e2e_services.h"
#include "tests/main_e2e/main_window_driver.h"
#include "tests/support/screen_capture.h"
#include "tests/support/user_input.h"

#include "common/computer_name.h"
#include "common/format.h"
#include "common/settings_key.h"
#include "ui/main/form_computers.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <memory>

namespace {

const TServiceSpec HereSpec{L"e2econ_here", L"Talvora ERP E2E Connect Here", L""};

class ConnectE2E : public TE2EServicesTest {
protected:
    static void SetUpTestSuite() { Register({&HereSpec}); }
    // The installation the program keeps starts as this computer alone, and is left so.
    void SetUp() override { ForgetInstallation(); }
    void TearDown() override { ForgetInstallation(); }
    static void ForgetInstallation() { RegDeleteKeyValueW(HKEY_CURRENT_USER, SettingsKey, L"Computers"); }

    // Computers of the installation...: steps on its dialog, then OK.
    template <typename Steps>
    static void EditComputers(TMainWindowDriver& window, Steps steps)
    {
        PostMessageW(window.Main(), WM_COMMAND, ActComputers, 0);
        HWND dialog = window.Program().WaitForWindow(TFormComputers::ClassName, 5000);
        ASSERT_NE(dialog, nullptr) << "no dialog";
        steps(dialog);
        PressButton(dialog, IDOK);
    }
    static int Columns(const TMainWindowDriver& window)
    {
        return static_cast<int>(SendMessageW(ListView_GetHeader(FindChildOfClass(window.Main(), WC_LISTVIEWW)), HDM_GETITEMCOUNT, 0, 0));
    }
};

TEST_F(ConnectE2E, ThisComputersNamesConnectToItsServices)
{
    const std::wstring own = ThisComputerName();
    for (const std::wstring& arguments : {std::wstring(L"/computer:localhost"), L"/computer \\\\" + own}) {
        SCOPED_TRACE(ToUtf8(arguments));
        TMainWindowDriver window(arguments);
        ASSERT_NE(window.Main(), nullptr);
        EXPECT_TRUE(WaitUntil([&] { return window.Row(HereSpec.DisplayName).has_value(); }, 5000));
        EXPECT_EQ(RemoteStatusText(window.StatusBar(), 0), own);
        EXPECT_EQ(window.WaitForMessageBox(300), nullptr);
    }
}

TEST_F(ConnectE2E, AnUnknownComputerOnTheCommandLineIsReported)
{
    const std::wstring unreachable = L"The computer \"nosuchhost\" cannot be reached: it is unknown, switched off, or "
                                     L"does not answer over the network.";
    TMainWindowDriver window(L"/computer:\\\\nosuchhost");
    ASSERT_NE(window.Main(), nullptr);
    HWND box = window.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box).rfind(unreachable, 0), 0u) << ToUtf8(MessageBoxText(box));
    PressButton(box, IDOK);
    EXPECT_EQ(window.List().Count(), 0);
    EXPECT_EQ(RemoteStatusText(window.StatusBar(), 0), L"nosuchhost");
}

TEST_F(ConnectE2E, AComputerThatCannotBeReachedIsARowOfItsOwnBesideThisComputersRows)
{
    TMainWindowDriver window;
    ASSERT_TRUE(window.Row(HereSpec.DisplayName).has_value());
    EXPECT_EQ(Columns(window), 3);
    EditComputers(window, [](HWND dialog) {
        SendMessageW(GetDlgItem(dialog, TFormComputers::IdName), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"nosuchhost"));
    });
    ASSERT_TRUE(WaitUntil([&] { return window.Row(L"nosuchhost").has_value(); }, 5000));
    EXPECT_TRUE(window.WaitForIdle(1000));
    EXPECT_EQ(window.WaitForMessageBox(500), nullptr);
    const TRemoteRow added = *window.Row(L"nosuchhost");
    EXPECT_EQ(added.Status, L"Not reachable");
    EXPECT_EQ(added.Description.rfind(L"The computer \"nosuchhost\" cannot be reached", 0), 0u) << ToUtf8(added.Description);
    // This computer's rows stay, under its name in the Computer column, drawn first.
    ASSERT_TRUE(window.Row(HereSpec.DisplayName).has_value());
    EXPECT_EQ(Columns(window), 4);
    EXPECT_EQ(window.List().Text(window.List().Find(HereSpec.DisplayName), 3), ThisComputerName());
    EXPECT_EQ(RemoteStatusText(window.StatusBar(), 0), L"2 computers, 1 not reachable");
    // Its services' commands work; the computer's own row offers none.
    ASSERT_TRUE(window.ClickRow(HereSpec.DisplayName));
    EXPECT_TRUE(window.WaitForButton(ActStart, true));
    ASSERT_TRUE(window.ClickRow(L"nosuchhost"));
    EXPECT_TRUE(window.WaitForButton(ActProps, false));
    BringToFront(window.Main());
    Sleep(300);
    TScreenCapture(WindowScreenRect(window.Main())).SaveBmp(BuildFilePath(L"installation.bmp"));

    // Removed: the single-computer window again.
    EditComputers(window, [](HWND dialog) {
        HWND list = GetDlgItem(dialog, TFormComputers::IdList);
        SendMessageW(list, LB_SETCURSEL, 1, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(TFormComputers::IdList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        PressButton(dialog, TFormComputers::IdRemove);
    });
    EXPECT_TRUE(WaitUntil([&] { return !window.Row(L"nosuchhost").has_value(); }, 5000));
    EXPECT_TRUE(window.WaitForIdle(1000));
    EXPECT_EQ(Columns(window), 3);
    EXPECT_EQ(RemoteStatusText(window.StatusBar(), 0), ThisComputerName());
    EXPECT_TRUE(window.Row(HereSpec.DisplayName).has_value());
    EXPECT_EQ(window.WaitForMessageBox(300), nullptr);
}
}  // namespace
