// Stand-in for SQL Anywhere's service utility:
//   dbsvc.exe -y -t network|standalone -as [-i] -s automatic|manual|disabled -w <name> "<server>" <options>
// installs "SQLANYs_<name>", titled "SQL Anywhere - <name>", as SQL Anywhere's utility does,
// with the binary path "<server>" <options>.
#include "tests/installers/standin.h"

int wmain()
{
    if (int code = StandInPrologue())
        return code;
    TStandInService service;
    std::wstring name;
    std::vector<std::wstring> args = StandInArguments();
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (a == L"-i") {
            service.Interact = true;
        } else if (a == L"-s" && i + 1 < args.size()) {
            const std::wstring& s = args[++i];
            service.StartType = s == L"automatic" ? SERVICE_AUTO_START
                                : s == L"disabled" ? SERVICE_DISABLED
                                                   : SERVICE_DEMAND_START;
        } else if (a == L"-t" && i + 1 < args.size()) {
            ++i;
        } else if (a == L"-w" && i + 1 < args.size()) {
            name = args[++i];
            break;
        }
    }
    // The server and its options follow the name as they were written.
    std::wstring line = StandInCommandLine();
    size_t at = line.find(L" -w " + name + L" ");
    if (name.empty() || at == std::wstring::npos)
        return 87;  // ERROR_INVALID_PARAMETER
    service.Name = L"SQLANYs_" + name;
    service.DisplayName = L"SQL Anywhere - " + name;
    service.BinaryPath = line.substr(at + 5 + name.size());
    while (!service.BinaryPath.empty() && service.BinaryPath.back() == L' ')
        service.BinaryPath.pop_back();
    return StandInCreateService(service);
}
