// Shows the About window for looking at it; it closes itself after a few seconds.
//   about_preview.exe [seconds]   (the version shown is the built program's)
#include "tests/about/program_file.h"
#include "ui/about/form_about.h"

#include "ui/base/application.h"

#include <windows.h>
#include <commctrl.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int)
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    Application().Initialize();
    const int seconds = cmdLine && *cmdLine ? _wtoi(cmdLine) : 5;
    static TFormAbout* shown = nullptr;
    TFormAbout form(ProgramFile());
    shown = &form;
    SetTimer(nullptr, 0, seconds * 1000, [](HWND, UINT, UINT_PTR, DWORD) { shown->Close(); });
    form.ShowModal();
    return 0;
}
