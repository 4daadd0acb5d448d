#include "tests/support/registered_service.h"

#include "common/format.h"
#include "tests/support/program_driver.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

std::wstring TestServicePath() { return SM_TEST_SERVICE_PATH; }

namespace {
UniqueScHandle OpenManager() { return UniqueScHandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)); }
}  // namespace

TRegisteredService::TRegisteredService(const TServiceSpec& wanted) : FSpec(wanted)
{
    if (FSpec.DisplayName.empty())
        FSpec.DisplayName = FSpec.Name;
    FCommand = L"\"" + TestServicePath() + L"\" --name " + wanted.Name;
    if (!wanted.Options.empty())
        FCommand += L" " + wanted.Options;
    std::wstring dependencies;
    for (const std::wstring& entry : FSpec.Dependencies)
        dependencies.append(entry).push_back(L'\0');
    dependencies.push_back(L'\0');
    UniqueScHandle manager = OpenManager();
    UniqueScHandle service(CreateServiceW(manager.get(), FSpec.Name.c_str(), FSpec.DisplayName.c_str(),
                                          SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, FSpec.StartType,
                                          SERVICE_ERROR_NORMAL, FCommand.c_str(),
                                          FSpec.Group.empty() ? nullptr : FSpec.Group.c_str(), nullptr,
                                          FSpec.Dependencies.empty() ? nullptr : dependencies.c_str(), nullptr,
                                          nullptr));
    if (!service) {
        ADD_FAILURE() << "CreateServiceW " << ToUtf8(wanted.Name) << " failed: " << GetLastError();
        return;
    }
    if (!wanted.Description.empty()) {
        SERVICE_DESCRIPTIONW info{const_cast<LPWSTR>(wanted.Description.c_str())};
        if (!ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &info))
            ADD_FAILURE() << "description of " << ToUtf8(wanted.Name) << " not set: " << GetLastError();
    }
}

TRegisteredService::~TRegisteredService()
{
    UniqueScHandle service = Open();
    if (!service)
        return;
    // Stop it (waiting out a pending state) before it is deleted, so that no process stays behind.
    SERVICE_STATUS status{};
    for (int i = 0; i < 150 && QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED;
         ++i) {
        if (status.dwCurrentState == SERVICE_RUNNING || status.dwCurrentState == SERVICE_PAUSED)
            ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        Sleep(100);
    }
    DeleteService(service.get());
}

UniqueScHandle TRegisteredService::Open() const
{
    UniqueScHandle manager = OpenManager();
    return UniqueScHandle(OpenServiceW(manager.get(), FSpec.Name.c_str(), SERVICE_ALL_ACCESS));
}

bool TRegisteredService::Start() const
{
    UniqueScHandle service = Open();
    return service && StartServiceW(service.get(), 0, nullptr);
}

bool TRegisteredService::Control(DWORD control) const
{
    UniqueScHandle service = Open();
    SERVICE_STATUS status{};
    return service && ControlService(service.get(), control, &status);
}

DWORD TRegisteredService::State() const
{
    UniqueScHandle service = Open();
    SERVICE_STATUS status{};
    if (!service || !QueryServiceStatus(service.get(), &status))
        return 0;
    return status.dwCurrentState;
}

bool TRegisteredService::WaitForState(DWORD state, DWORD timeoutMs) const
{
    return WaitUntil([&] { return State() == state; }, timeoutMs, 50);
}

bool TRegisteredService::Registered() const
{
    UniqueScHandle manager = OpenManager();
    UniqueScHandle service(OpenServiceW(manager.get(), FSpec.Name.c_str(), SERVICE_CHANGE_CONFIG));
    if (!service)
        return GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE;
    // A service marked for deletion refuses every change, also one that changes nothing.
    if (!ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
        return GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE;
    return true;
}
