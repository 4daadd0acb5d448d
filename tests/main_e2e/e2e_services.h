// Services that an end-to-end test registers in Wine's real Service Control Manager, run by
// TestService.exe with the options the test chooses; each is stopped and deleted at the end.
#pragma once

#include "common/handle.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

struct TE2EServiceSpec {
    std::wstring Name;
    std::wstring DisplayName;
    std::wstring Options;  // TestService.exe's options after --name
    DWORD StartType = SERVICE_DEMAND_START;
    std::wstring Description;
};

class TE2EService {
public:
    explicit TE2EService(const TE2EServiceSpec& wanted);
    ~TE2EService();
    TE2EService(const TE2EService&) = delete;
    TE2EService& operator=(const TE2EService&) = delete;

    const std::wstring& Name() const { return FSpec.Name; }
    const std::wstring& DisplayName() const { return FSpec.DisplayName; }

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

    TE2EServiceSpec FSpec;
};

// A fixture whose services are registered for the whole test suite (by its SetUpTestSuite) and
// stopped and deleted after its last test.
class TE2EServicesTest : public testing::Test {
protected:
    static void Register(std::initializer_list<const TE2EServiceSpec*> wanted);
    static void TearDownTestSuite() { FServices.clear(); }

    static const std::vector<std::unique_ptr<TE2EService>>& Services() { return FServices; }
    // The registered service of this spec; throws when there is none.
    static const TE2EService& Service(const TE2EServiceSpec& wanted);
    // Stops and deletes a service as somebody else would.
    static void Remove(const TE2EServiceSpec& wanted);

private:
    static std::vector<std::unique_ptr<TE2EService>> FServices;
};

// The Windows path of TestService.exe of this build.
std::wstring TestServicePath();
// The Windows path of a file in this test folder of the build (screenshots).
std::wstring BuildFilePath(const std::wstring& fileName);
