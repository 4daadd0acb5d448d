#include "ui/props/change_config.h"

#include "common/errors.h"
#include "common/finally.h"
#include "services/sc_buffer.h"

#include <vector>

namespace {
constexpr DWORD DriverTypes = SERVICE_KERNEL_DRIVER | SERVICE_FILE_SYSTEM_DRIVER;

DWORD StartTypeOf(const std::optional<TStartChoice>& start)
{
    if (!start)
        return SERVICE_NO_CHANGE;
    switch (*start) {
    case TStartChoice::Automatic:
        return SERVICE_AUTO_START;
    case TStartChoice::Manual:
        return SERVICE_DEMAND_START;
    case TStartChoice::Disabled:
        return SERVICE_DISABLED;
    }
    return SERVICE_NO_CHANGE;
}

// The dependency list: empty (not null) for "<none>" or no selection, which removes every
// dependency; otherwise the one service, double-NUL terminated.
std::wstring DependenciesOf(const TConfigChoice& choice)
{
    std::wstring list;
    if (choice.DependIndex > 0 && !choice.DependText.empty()) {
        list = choice.DependText;
        list.push_back(L'\0');
    }
    list.push_back(L'\0');
    return list;
}
}  // namespace

bool IsBlankUserName(const std::wstring& userName)
{
    for (wchar_t c : userName)
        if (c > L' ')
            return false;
    return true;
}

bool ChangeConfig(IServiceControlManager& scm, SC_HANDLE service, const TConfigChoice& choice,
                  const TPasswordPrompt& askPassword)
{
    SM_ASSERT(service != nullptr);
    std::vector<BYTE> buffer = QueryServiceConfigBuffer(scm, service);
    const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
    const bool driver = (config->dwServiceType & DriverTypes) != 0;

    DWORD type = config->dwServiceType;
    if (!driver)
        type = choice.Interact ? type | SERVICE_INTERACTIVE_PROCESS : type & ~static_cast<DWORD>(SERVICE_INTERACTIVE_PROCESS);

    const std::wstring dependencies = DependenciesOf(choice);

    // The account rule; a driver's account field names its driver object and stays as it is.
    const wchar_t* startName = nullptr;
    const wchar_t* password = nullptr;
    std::wstring newPassword;
    // The password leaves memory however the change ends.
    TFinally wipe([&] { SecureZeroMemory(newPassword.data(), newPassword.size() * sizeof(wchar_t)); });
    if (!driver) {
        if (choice.DefaultAccount || IsBlankUserName(choice.UserName)) {
            startName = L"LocalSystem";
        } else if (choice.UserName != choice.OldUserName) {
            if (!askPassword(newPassword))
                return false;
            startName = choice.UserName.c_str();
            password = newPassword.c_str();
            type &= ~static_cast<DWORD>(SERVICE_INTERACTIVE_PROCESS);
        }
    }

    Win32Check(scm.ChangeServiceConfigW(service, type, StartTypeOf(choice.Start), config->dwErrorControl, nullptr,
                                        nullptr, nullptr, dependencies.c_str(), startName, password,
                                        config->lpDisplayName));

    if (choice.DelayedStartEnabled) {
        SERVICE_DELAYED_AUTO_START_INFO info{choice.DelayedStart ? TRUE : FALSE};
        Win32Check(scm.ChangeServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info));
    }
    return true;
}
