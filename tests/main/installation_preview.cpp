// Shows the main window over an installation of simulated computers, for looking at it (the
// README's picture of the installation view): this computer, a database server, two
// application servers and one that cannot be reached. It closes itself after a few seconds.
//   installation_preview.exe [seconds]
#include "tests/sim_scm/sim_computers.h"
#include "ui/base/application.h"
#include "ui/base/delay.h"
#include "ui/main/form_main.h"

#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <memory>

namespace {
void Add(TSimServiceControlManager& sim, const std::wstring& name, const std::wstring& display, DWORD state,
         const std::wstring& description, std::vector<std::wstring> dependencies = {})
{
    TSimService s = SimService(name, std::move(dependencies));
    s.DisplayName = display;
    s.State = state;
    s.Description = description;
    sim.AddService(s);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int)
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    Application().Initialize();
    const int seconds = cmdLine && *cmdLine ? _wtoi(cmdLine) : 8;
    TSimComputers net;
    Add(net.Local(), L"t32appsrv_admin", L"Talvora ERP Admin", SERVICE_RUNNING, L"Talvora ERP administration server");
    Add(net.Computer(L"erp-db"), L"SQLANYs_erpdb", L"SQL Anywhere - erpdb", SERVICE_RUNNING, L"Talvora ERP database");
    Add(net.Computer(L"erp-db"), L"SQLANYs_erptest", L"SQL Anywhere - erptest", SERVICE_STOPPED, L"Test database");
    for (const wchar_t* computer : {L"erp-app1", L"erp-app2"}) {
        Add(net.Computer(computer), L"t32appsrv_main", L"Talvora ERP Main", SERVICE_RUNNING, L"Talvora ERP application server");
        Add(net.Computer(computer), L"t32appsrv_batch", L"Talvora ERP Batch", SERVICE_PAUSED, L"Talvora ERP batch server");
    }
    // "erp-app3" was never declared: it cannot be reached.
    auto form = std::make_unique<TFormMain>(net, false, false,
                                            std::vector<std::wstring>{L"", L"erp-db", L"erp-app1", L"erp-app2", L"erp-app3"},
                                            false);
    form->Show();
    DelayWithMessages(static_cast<DWORD>(seconds) * 1000);
    form.reset();
    // The lists' threads end before the simulated computers go.
    DelayWithMessages(500);
    return 0;
}
