// Entry of the test programs with windows: GoogleTest with the process set up like the
// program's own (common controls, the application window).
#include "ui/base/application.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

int main(int argc, char** argv)
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    Application();  // made before any window, which it then hosts
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
