#include "tests/props/props_test_support.h"

#include "common/errors.h"
#include "common/handle.h"

#include <vector>

std::wstring TestProgramFolder()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

TScopedEnvironment::TScopedEnvironment(const wchar_t* name, const std::optional<std::wstring>& value) : FName(name)
{
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size > 0) {
        std::wstring old(size, L'\0');
        size = GetEnvironmentVariableW(name, old.data(), size);
        old.resize(size);
        FOld = old;
    }
    SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
}

TScopedEnvironment::~TScopedEnvironment() { SetEnvironmentVariableW(FName.c_str(), FOld ? FOld->c_str() : nullptr); }

std::wstring ReadUtf16File(const std::wstring& path)
{
    UniqueFileHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return {};
    std::vector<wchar_t> data(GetFileSize(file.get(), nullptr) / sizeof(wchar_t));
    DWORD read = 0;
    ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size() * sizeof(wchar_t)), &read, nullptr);
    return std::wstring(data.data(), read / sizeof(wchar_t));
}

std::optional<TServiceConfig> InstalledConfig(const std::wstring& name)
{
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueScHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG));
    if (!service)
        return std::nullopt;
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    Win32Check(QueryServiceConfigW(service.get(), config, static_cast<DWORD>(buffer.size()), &needed));
    return TServiceConfig{config->dwServiceType, config->dwStartType, config->lpBinaryPathName,
                          config->lpServiceStartName ? config->lpServiceStartName : L""};
}

std::wstring DependOnService(const std::wstring& name)
{
    std::vector<wchar_t> data(512, L'\0');
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, (ServicesKey + name).c_str(), L"DependOnService", RRF_RT_REG_MULTI_SZ, nullptr,
                     data.data(), &size) != ERROR_SUCCESS)
        return {};
    return data.data();
}

void RemoveService(const std::wstring& name)
{
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueScHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_STOP | DELETE | SERVICE_QUERY_STATUS));
    if (service) {
        SERVICE_STATUS status{};
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        DeleteService(service.get());
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (ServicesKey + name).c_str());
}
