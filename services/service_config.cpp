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
            // The built-in service accounts have no password to ask for: they take the empty one.
            if (!IsPasswordlessServiceAccount(change.UserName) && !askPassword(newPassword))
                return false;
            startName = change.UserName.c_str();
            password = newPassword.c_str();
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

// ---- Account names ----------------------------------------------------------------------------

namespace {
bool SameText(const std::wstring& a, const wchar_t* b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}
}  // namespace

bool IsLocalSystemAccount(const std::wstring& name)
{
    return SameText(name, L"LocalSystem") || SameText(name, L".\\LocalSystem");
}

bool IsPasswordlessServiceAccount(const std::wstring& name)
{
    return SameText(name, L"NT AUTHORITY\\LocalService") || SameText(name, L"NT AUTHORITY\\NetworkService");
}

bool IsPossibleAccountName(const std::wstring& name)
{
    constexpr size_t MaxUserPart = 104;
    const size_t slash = name.find(L'\\');
    const std::wstring user = slash == std::wstring::npos ? name : name.substr(slash + 1);
    if (user.empty() || user.size() > MaxUserPart || (slash != std::wstring::npos && slash == 0))
        return false;
    if (slash != std::wstring::npos && name.find(L'\\', slash + 1) != std::wstring::npos)
        return false;
    for (wchar_t c : name)
        if (c < L' ' || c == 0x7F || std::wcschr(L"\"/[]:;|=,+*?<>", c))
            return false;
    return true;
}
