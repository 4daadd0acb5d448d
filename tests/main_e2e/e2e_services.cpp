#include "tests/main_e2e/e2e_services.h"

#include "common/format.h"
#include "tests/support/program_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#if !defined(TEST_SERVICE_EXE) || !defined(E2E_BUILD_DIR)
#error TEST_SERVICE_EXE and E2E_BUILD_DIR must be defined by the build
#endif

namespace {
// A Unix path of the build as Wine sees it: the Unix root is drive Z:.
std::wstring WindowsPathOf(const char* unixPath)
{
    std::wstring path = FromUtf8(unixPath);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return L"Z:" + path;
}

UniqueScHandle OpenManager() { return UniqueScHandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)); }
}  // namespace

std::wstring TestServicePath() { return WindowsPathOf(TEST_SERVICE_EXE); }

std::wstring BuildFilePath(const std::wstring& fileName) { return WindowsPathOf(E2E_BUILD_DIR) + L"\\" + fileName; }

TE2EService::TE2EService(const TE2EServiceSpec& wanted) : FSpec(wanted)
{
    UniqueScHandle manager = OpenManager();
    std::wstring command = L"\"" + TestServicePath() + L"\" --name " + wanted.Name;
    if (!wanted.Options.empty())
        command += L" " + wanted.Options;
    UniqueScHandle service(CreateServiceW(manager.get(), wanted.Name.c_str(), wanted.DisplayName.c_str(),
                                          SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, wanted.StartType,
                                          SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr, nullptr,
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

TE2EService::~TE2EService()
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

UniqueScHandle TE2EService::Open() const
{
    UniqueScHandle manager = OpenManager();
    return UniqueScHandle(OpenServiceW(manager.get(), FSpec.Name.c_str(), SERVICE_ALL_ACCESS));
}

bool TE2EService::Start() const
{
    UniqueScHandle service = Open();
    return service && StartServiceW(service.get(), 0, nullptr);
}

bool TE2EService::Control(DWORD control) const
{
    UniqueScHandle service = Open();
    SERVICE_STATUS status{};
    return service && ControlService(service.get(), control, &status);
}

DWORD TE2EService::State() const
{
    UniqueScHandle service = Open();
    SERVICE_STATUS status{};
    if (!service || !QueryServiceStatus(service.get(), &status))
        return 0;
    return status.dwCurrentState;
}

bool TE2EService::WaitForState(DWORD state, DWORD timeoutMs) const
{
    return WaitUntil([&] { return State() == state; }, timeoutMs, 50);
}

bool TE2EService::Registered() const
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

std::vector<std::unique_ptr<TE2EService>> TE2EServicesTest::FServices;

void TE2EServicesTest::Register(std::initializer_list<const TE2EServiceSpec*> wanted)
{
    for (const TE2EServiceSpec* spec : wanted)
        FServices.push_back(std::make_unique<TE2EService>(*spec));
}

const TE2EService& TE2EServicesTest::Service(const TE2EServiceSpec& wanted)
{
    for (const auto& s : FServices)
        if (s->Name() == wanted.Name)
            return *s;
    throw std::logic_error("service not registered");
}

void TE2EServicesTest::Remove(const TE2EServiceSpec& wanted)
{
    std::erase_if(FServices, [&](const auto& s) { return s->Name() == wanted.Name; });
}
