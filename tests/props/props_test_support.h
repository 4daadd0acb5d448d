// Small fixtures of the service definition tests: environment variables set for one test, the
// folder of the running test program, the text of a file, services in Wine's real Service
// Control Manager.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The folder of this test program, without a trailing "\".
std::wstring TestProgramFolder();

// Sets an environment variable of this process for the life of the object.
class TScopedEnvironment {
public:
    TScopedEnvironment(const wchar_t* name, const std::optional<std::wstring>& value);
    ~TScopedEnvironment();
    TScopedEnvironment(const TScopedEnvironment&) = delete;
    TScopedEnvironment& operator=(const TScopedEnvironment&) = delete;

private:
    std::wstring FName;
    std::optional<std::wstring> FOld;
};

// The text of a file as UTF-16.
std::wstring ReadUtf16File(const std::wstring& path);

// The machine's service keys, under HKEY_LOCAL_MACHINE.
inline constexpr const wchar_t* ServicesKey = L"SYSTEM\\CurrentControlSet\\Services\\";

// A service's configuration as the Service Control Manager reports it.
struct TServiceConfig {
    DWORD ServiceType;
    DWORD StartType;
    std::wstring BinaryPath;
    std::wstring StartName;
};

// None when the service cannot be opened; raises when its configuration cannot be read.
std::optional<TServiceConfig> InstalledConfig(const std::wstring& name);
// The first of the service's stored dependencies, empty for none (the manager's own query
// leaves them out under Wine).
std::wstring DependOnService(const std::wstring& name);
// Stops and deletes the service, if there is one, and removes its key.
void RemoveService(const std::wstring& name);
