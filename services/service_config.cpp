#include "services/service_config.h"

#include "common/errors.h"
#include "common/finally.h"
#include "services/sc_buffer.h"

#include <windows.h>

#include <cwchar>

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

}  // namespace

bool ChangeServiceConfiguration(IServiceControlManager& scm, SC_HANDLE service,
                                const TServiceReconfiguration& change, const TPasswordPrompt& askPassword,
                                TReconfigurationProgress* progress)
{
    SM_ASSERT(service != nullptr);
    TReconfigurationProgress ignored;
    TReconfigurationProgress& done = progress ? *progress : ignored;
    done = {};

    if (!change.ConfigurationUnchanged()) {
        std::vector<BYTE> buffer = QueryServiceConfigBuffer(scm, service);
        const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
        const bool driver = (config->dwServiceType & DriverTypes) != 0;
        const bool accountChanged = !driver && change.Account != TAccountChange::Unchanged;

        const wchar_t* startName = nullptr;
        const wchar_t* password = nullptr;
        std::wstring newPassword;
        std::wstring builtInName;  // the account's name as the manager is given it
        // The password leaves memory however the change ends.
        TFinally wipe([&] { SecureZeroMemory(newPassword.data(), newPassword.size() * sizeof(wchar_t)); });
        bool localSystem = config->lpServiceStartName && IsLocalSystemAccount(config->lpServiceStartName);
        if (accountChanged && change.Account == TAccountChange::LocalSystem) {
            startName = L"LocalSystem";
            localSystem = true;
        } else if (accountChanged && IsLocalSystemAccount(change.UserName)) {
            startName = L"LocalSystem";
            localSystem = true;
        } else if (accountChanged) {
            // Only a user account has a password to ask for: the service accounts take the empty
            // one, virtual and managed accounts none at all (the system keeps theirs).
            const TAccountKind kind = AccountKindOf(change.UserName);
            if (kind == TAccountKind::User && !askPassword(newPassword))
                return false;
            builtInName = BuiltInAccountName(change.UserName).value_or(change.UserName);
            startName = builtInName.c_str();
            password = kind == TAccountKind::Virtual || kind == TAccountKind::Managed ? nullptr : newPassword.c_str();
            localSystem = false;
        }

        // The type is sent only when the interaction or the account changes, and never with the
        // interactive flag for an account other than LocalSystem.
        DWORD type = SERVICE_NO_CHANGE;
        if (!driver && (change.Interact || accountChanged)) {
            const bool interact = localSystem && change.Interact.value_or((config->dwServiceType & InteractiveFlag) != 0);
            type = interact ? config->dwServiceType | InteractiveFlag : config->dwServiceType & ~InteractiveFlag;
        }

        const std::wstring dependencies = change.Dependencies ? NulList(*change.Dependencies) : std::wstring();
        const DWORD startType = change.StartType ? static_cast<DWORD>(*change.StartType) : SERVICE_NO_CHANGE;
        Win32Check(scm.ChangeServiceConfigW(service, type, startType, config->dwErrorControl, nullptr, nullptr,
                                            nullptr, change.Dependencies ? dependencies.c_str() : nullptr, startName,
                                            password, nullptr));
        done.ConfigurationWritten = true;
    }

    if (change.DelayedStart) {
        SERVICE_DELAYED_AUTO_START_INFO info{*change.DelayedStart ? TRUE : FALSE};
        Win32Check(scm.ChangeServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info));
        done.DelayedStartWritten = true;
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
