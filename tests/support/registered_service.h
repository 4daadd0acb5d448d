// Services that a test registers in Wine's real Service Control Manager, run by TestService.exe
// with the options the test chooses; each is stopped and deleted at the end.
#pragma once

#include "common/handle.h"

#include <windows.h>

#include <string>
#include <vector>

// The Windows path of TestService.exe of this build.
std::wstring TestServicePath();

struct TServiceSpec {
    std::wstring Name{};
    std::wstring DisplayName{};  // empty: the name
    std::wstring Options{};      // TestService.exe's options after --name
    DWORD StartType = SERVICE_DEMAND_START;
    std::wstring Description{};  // empty: none
    // The services it depends on, groups as "+group" entries; its own load-order group.
    std::vector<std::wstring> Dependencies{};
    std::wstring Group{};
};

class TRegisteredService {
public:
    explicit TRegisteredService(const TServiceSpec& wanted);
    ~TRegisteredService();
    TRegisteredService(const TRegisteredService&) = delete;
    TRegisteredService& operator=(const TRegisteredService&) = delete;

    const std::wstring& Name() const { return FSpec.Name; }
    const std::wstring& DisplayName() const { return FSpec.DisplayName; }
    // The service's command line.
    const std::wstring& Command() const { return FCommand; }

    // Asks the Service Control Manager to start the service, or to send it a control.
    bool Start() const;
    bool Control(DWORD control) const;
    // The current state (SERVICE_RUNNING, ...), or 0 when the service cannot be queried.
    DWORD State() const;
    bool WaitForState(DWORD state, DWORD timeoutMs) const;
    // Whether the service is still registered (and not only marked for deletion).
    bool Registered() const;

private:
    UniqueScHandle Open() const;

    TServiceSpec FSpec;
    std::wstring FCommand;
};
