// The real program connected to computers by name under Wine, whose manager would answer any
// name with this computer's services: this computer's own names connect and show its name in
// the status bar; an unknown name is refused with a clear message, and the list stays usable.
#include "tests/main_e2e/e2e_services.h"
#include "tests/main_e2e/main_window_driver.h"
#include "tests/support/user_input.h"

#include "common/computer_name.h"
#include "common/format.h"
#include "ui/main/form_connect.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const TServiceSpec HereSpec{L"e2econ_here", L"Talvora ERP E2E Connect Here", L""};

class ConnectE2E : public TE2EServicesTest {
protected:
    static void SetUpTestSuite() { Register({&HereSpec}); }

    // Connect to another computer... with the name typed into its dialog.
    static void ConnectTo(TMainWindowDriver& window, const std::wstring& name)
    {
        PostMessageW(window.Main(), WM_COMMAND, ActConnect, 0);
        HWND dialog = window.Program().WaitForWindow(TFormConnect::ClassName, 5000);
        ASSERT_NE(dialog, nullptr) << "no dialog";
        SendMessageW(GetDlgItem(dialog, TFormConnect::IdName), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        SendMessageW(GetDlgItem(dialog, TFormConnect::IdRemote), BM_CLICK, 0, 0);
        PressButton(dialog, IDOK);
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

TEST_F(ConnectE2E, AnUnknownComputerIsReportedAndTheListStaysUsable)
{
    const std::wstring unreachable = L"The computer \"nosuchhost\" cannot be reached: it is unknown, switched off, or "
                                     L"does not answer over the network.";
    // From the command line: nothing to show, the name in the status bar.
    {
        TMainWindowDriver window(L"/computer:\\\\nosuchhost");
        ASSERT_NE(window.Main(), nullptr);
        HWND box = window.WaitForMessageBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box).rfind(unreachable, 0), 0u) << ToUtf8(MessageBoxText(box));
        PressButton(box, IDOK);
        EXPECT_EQ(window.List().Count(), 0);
        EXPECT_EQ(RemoteStatusText(window.StatusBar(), 0), L"nosuchhost");
        // Back to this computer from the dialog.
        ConnectTo(window, L"localhost");
        EXPECT_TRUE(WaitUntil([&] { return window.Row(HereSpec.DisplayName).has_value(); }, 5000));
        EXPECT_EQ(RemoteStatusText(window.StatusBar(), 0), ThisComputerName());
    }
    // From the dialog: this computer's rows stay, and go on working.
    TMainWindowDriver window;
    ASSERT_TRUE(window.Row(HereSpec.DisplayName).has_value());
    ConnectTo(window, L"nosuchhost");
    HWND box = window.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box).rfind(unreachable, 0), 0u) << ToUtf8(MessageBoxText(box));
    PressButton(box, IDOK);
    EXPECT_TRUE(window.Row(HereSpec.DisplayName).has_value());
    EXPECT_EQ(RemoteStatusText(window.StatusBar(), 0), ThisComputerName());
    ASSERT_TRUE(window.ClickRow(HereSpec.DisplayName));
    EXPECT_TRUE(window.WaitForButton(ActStart, true));
}
}  // namespace
