// Program entry: the switch is read during static initialisation (switches.cpp); then the
// single-instance check, the application with its title, the main window and the message loop.
#include "app/instances.h"
#include "app/startup.h"
#include "app/switches.h"
#include "common/computer_name.h"
#include "ui/main/installation_computers.h"
#include "common/errors.h"
#include "common/format.h"
#include "services/scm_api.h"
#include "services/wine_scm.h"
#include "ui/base/application.h"
#include "ui/base/message_box.h"
#include "ui/main/form_main.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <vector>

namespace {
// The computer of "/computer:NAME" or "/computer NAME", shown alone for this run; this computer
// (empty) for one of its own names, and after a name that cannot be a computer's, which is
// reported; none without the switch (the installation's computers are shown).
std::optional<std::wstring> StartComputer()
{
    const std::optional<std::wstring> text = SwitchValue(L"computer");
    if (!text)
        return std::nullopt;
    std::wstring error;
    const std::optional<std::wstring> name = ComputerNameFromText(*text, error);
    if (!name) {
        AppMessageBox(Fmt(L"The computer named on the command line (/computer) cannot be used: %s\r\n\r\n"
                          L"The services of this computer are shown.",
                          {error}),
                      ApplicationTitle, MB_ICONERROR);
        return std::wstring();
    }
    return IsThisComputerName(*name) ? std::wstring() : *name;
}

int RunProgram()
{
    if (const std::wstring* error = PendingStartupError()) {
        ReportStartupFailure(*error);
        return 1;
    }

    // One copy per executable path: a second start brings the running copy to the front and ends.
    TAppInstances& instances = AppInstances();
    if (!instances.CheckInstance(1, 0, 0)) {
        instances.SwitchTo(0);
        instances.KillInstance();
    }

    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);

    TApplication& app = Application();
    app.SetTitle(ApplicationTitle);
    app.Initialize();

    // Under Wine the manager's answers about dependencies are completed from the registry.
    IServiceControlManager& scm = RunsUnderWine() ? WineServiceControlManager() : SystemServiceControlManager();
    // The switch was read during static initialisation, before anything else ran.
    // The installation's computers as kept, unless the command line names one for this run.
    const std::optional<std::wstring> alone = StartComputer();
    auto mainForm = std::make_unique<TFormMain>(scm, ShowAllServices, /*readAhead*/ true,
                                                alone ? std::vector<std::wstring>{*alone} : LoadInstallationComputers(),
                                                /*keepsInstallation*/ !alone);
    mainForm->Show();
    app.Run();
    // The window has closed (its layout is saved). What it held of the manager goes with the
    // process: closing another computer's handles is a round trip that a hung host would hold,
    // and the program must end at once.
    if (!mainForm->Handle())
        static_cast<void>(mainForm.release());
    return 0;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    try {
        return RunProgram();
    } catch (...) {
        ReportStartupFailure(CurrentExceptionMessage());
        return 1;
    }
}
