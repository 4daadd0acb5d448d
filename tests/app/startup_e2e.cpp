// The program starts on the display, shows its main window owned by the hidden application
// window, and ends with exit code 0 when the window is closed.
#include "tests/support/program_driver.h"

#include <gtest/gtest.h>

namespace {
TEST(Startup, ShowsTheMainWindowAndEndsWithZeroWhenClosed)
{
    TProgramUnderTest program;
    HWND main = program.WaitForWindow(L"TFormMain");
    ASSERT_NE(main, nullptr) << "no main window";
    EXPECT_EQ(WindowText(main), L"Talvora ERP Service Manager");

    HWND owner = GetWindow(main, GW_OWNER);
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(WindowClass(owner), L"TApplication");
    EXPECT_EQ(WindowText(owner), L"Talvora ERP Service Manager");
    EXPECT_FALSE(IsWindowVisible(owner));

    RECT client{};
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, 581);
    EXPECT_EQ(client.bottom, 254);

    // Centred on the primary display as a whole.
    RECT outer{};
    GetWindowRect(main, &outer);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}
}  // namespace
