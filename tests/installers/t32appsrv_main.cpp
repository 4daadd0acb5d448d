// Stand-in for the ERP application server's self-installation:
//   t32appsrv.exe /install /silent /auto|/manual|/disabled /interact|/nointeract
//                 [/dependson:<service>] [/name:<name>] "/params:<lines joined by \n>"
// installs <name> (default "T32AppSrv"), titled "Talvora ERP <name>", with the binary path
// "<this program>" /service. Started so by the Service Control Manager, it runs as the test
// service does (the sample set-up of ./run.sh starts the services it installs).
#include "tests/installers/standin.h"
#include "tests/test_service/test_service_core.h"

namespace {
bool TakeSwitch(const std::wstring& arg, const wchar_t* prefix, std::wstring& value)
{
    std::wstring p = prefix;
    if (arg.compare(0, p.size(), p) != 0)
        return false;
    value = arg.substr(p.size());
    return true;
}
}  // namespace

int wmain()
{
    std::vector<std::wstring> args = StandInArguments();
    if (args.size() == 2 && args[1] == L"/service")
        return RunTestService(true);
    if (int code = StandInPrologue())
        return code;
    TStandInService service;
    service.Name = L"T32AppSrv";
    bool install = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        std::wstring value;
        if (a == L"/install")
            install = true;
        else if (a == L"/auto")
            service.StartType = SERVICE_AUTO_START;
        else if (a == L"/manual")
            service.StartType = SERVICE_DEMAND_START;
        else if (a == L"/disabled")
            service.StartType = SERVICE_DISABLED;
        else if (a == L"/interact")
            service.Interact = true;
        else if (a == L"/nointeract")
            service.Interact = false;
        else if (TakeSwitch(a, L"/dependson:", value))
            service.Dependency = value;
        else if (TakeSwitch(a, L"/name:", value))
            service.Name = value;
    }
    if (!install)
        return 87;  // ERROR_INVALID_PARAMETER
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    service.BinaryPath = L"\"" + std::wstring(self) + L"\" /service";
    service.DisplayName = L"Talvora ERP " + service.Name;
    return StandInCreateService(service);
}
