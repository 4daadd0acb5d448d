// Shows the kind selection dialog on its own, for a look at it (screenshots). With a number
// of seconds as argument it closes itself after that time. Prints the kind chosen.
#include "ui/base/application.h"
#include "ui/props/form_select_type.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    Application().Initialize();
    if (argc > 1)
        SetTimer(nullptr, 0, static_cast<UINT>(std::atoi(argv[1]) * 1000), [](HWND, UINT, UINT_PTR, DWORD) {
            PostMessageW(FindWindowW(TFormSelectType::ClassName, nullptr), WM_CLOSE, 0, 0);
        });
    TExeType kind = etUnknown;
    bool confirmed = SelectExeType(kind);
    std::printf("%s %d\n", confirmed ? "OK" : "Cancel", static_cast<int>(kind));
    return 0;
}
