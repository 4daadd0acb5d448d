#include "services/service_config.h"

#include "common/errors.h"
#include "common/finally.h"
#include "services/sc_buffer.h"

#include <windows.h>

namespace {
// Kernel, file system and recognizer drivers, and adapters.
constexpr DWORD DriverTypes = SERVICE_DRIVER | SERVICE_ADAPTER;
constexpr DWORD InteractiveFlag = SERVICE_INTERACTIVE_PROCESS;

// A double-NUL-terminated list of the entries; the empty list is one NUL.
std::wstring NulList(const std::vector<std::wstring>& entries)
{
    std::wstring list;
    for (const std::wstring& entry : entries)
        list.append(entry).push_back(L'\0');
    list.push_back(L'\0');
    return list;
}

// The dependency list as stored, copied whole up to its closing empty entry (or the buffer's end).
std::wstring StoredDependencies(const QUERY_SERVICE_CONFIGW& config, const std::vector<BYTE>& buffer)
{
    const wchar_t* end = reinterpret_cast<const wchar_t*>(buffer.data()) + buffer.size() / sizeof(wchar_t);
    return NulList(SplitNulList(config.lpDependencies, end));
}
}  // namespace

bool ChangeServiceConfiguration(IServiceControlManager& scm, SC_HANDLE service,
                                const TServiceReconfiguration& change, const TPasswordPrompt& askPassword)
{
    SM_ASSERT(service != nullptr);
    std::vector<BYTE> buffer = QueryServiceConfigBuffer(scm, service);
    const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
    const bool driver = (config->dwServiceType & DriverTypes) != 0;

    DWORD type = config->dwServiceType;
    if (!driver)
        type = change.Interact ? type | InteractiveFlag : type & ~InteractiveFlag;

    const std::wstring dependencies =
        change.Dependencies ? NulList(*change.Dependencies) : StoredDependencies(*config, buffer);

    const wchar_t* startName = nullptr;
    const wchar_t* password = nullptr;
    std::wstring newPassword;
    // The password leaves memory however the change ends.
    TFinally wipe([&] { SecureZeroMemory(newPassword.data(), newPassword.size() * sizeof(wchar_t)); });
    if (!driver && change.Account == TAccountChange::LocalSystem) {
        startName = L"LocalSystem";
    } else if (!driver && change.Account == TAccountChange::NewAccount) {
        if (!askPassword(newPassword))
            return false;
        startName = change.UserName.c_str();
        password = newPassword.c_str();
        type &= ~InteractiveFlag;
    }

    const DWORD startType = change.StartType ? static_cast<DWORD>(*change.StartType) : SERVICE_NO_CHANGE;
    Win32Check(scm.ChangeServiceConfigW(service, type, startType, config->dwErrorControl, nullptr, nullptr, nullptr,
                                        dependencies.c_str(), startName, password, config->lpDisplayName));

    if (change.DelayedStart) {
        SERVICE_DELAYED_AUTO_START_INFO info{*change.DelayedStart ? TRUE : FALSE};
        Win32Check(scm.ChangeServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info));
    }
    return true;
}

std::optional<bool> QueryDelayedAutoStart(IServiceControlManager& scm, SC_HANDLE service)
{
    SERVICE_DELAYED_AUTO_START_INFO info{};
    DWORD needed = 0;
    if (scm.QueryServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, reinterpret_cast<LPBYTE>(&info),
                                 sizeof(info), &needed))
        return info.fDelayedAutostart == TRUE;
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_LEVEL)
        return std::nullopt;
    RaiseOSError(error);
}
