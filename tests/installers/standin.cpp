#include "tests/installers/standin.h"

#include "common/handle.h"

#include <shellapi.h>

#include <cstdlib>

std::wstring StandInCommandLine() { return GetCommandLineW(); }

std::vector<std::wstring> StandInArguments()
{
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv)
        return args;
    for (int i = 0; i < count; ++i)
        args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}

namespace {
std::wstring Environment(const wchar_t* name)
{
    wchar_t buffer[1024];
    DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
    return n > 0 && n < 1024 ? std::wstring(buffer, n) : std::wstring();
}
}  // namespace

int StandInPrologue()
{
    std::wstring log = Environment(L"SM_INSTALLER_LOG");
    if (!log.empty()) {
        UniqueFileHandle file(CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            std::wstring line = StandInCommandLine() + L"\n";
            DWORD written = 0;
            WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
        }
    }
    const std::wstring mode = Environment(L"SM_INSTALLER_MODE");
    if (mode == L"hang")
        Sleep(INFINITE);
    if (mode == L"nothing")
        ExitProcess(0);
    std::wstring code = Environment(L"SM_INSTALLER_EXIT");
    return code.empty() ? 0 : static_cast<int>(wcstoul(code.c_str(), nullptr, 0));
}

int StandInCreateService(const TStandInService& service)
{
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!manager)
        return static_cast<int>(GetLastError());
    std::wstring dependencies;
    if (!service.Dependency.empty()) {
        dependencies = service.Dependency;
        dependencies.push_back(L'\0');
    }
    DWORD type = SERVICE_WIN32_OWN_PROCESS | (service.Interact ? SERVICE_INTERACTIVE_PROCESS : 0);
    UniqueScHandle created(CreateServiceW(manager.get(), service.Name.c_str(), service.DisplayName.c_str(), SERVICE_ALL_ACCESS,
                                          type, service.StartType, SERVICE_ERROR_NORMAL, service.BinaryPath.c_str(),
                                          nullptr, nullptr, dependencies.empty() ? nullptr : dependencies.c_str(),
                                          nullptr, nullptr));
    return created ? 0 : static_cast<int>(GetLastError());
}
