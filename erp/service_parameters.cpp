#include "erp/service_parameters.h"

#include "common/errors.h"
#include "common/format.h"
#include "common/registry.h"

#include <windows.h>

namespace {
constexpr const wchar_t* ValueName = L"Parameters";

// The key path from the root key, with its leading "\" as the messages show it.
std::wstring ParametersKeyPath(const std::wstring& serviceName)
{
    return Fmt(L"\\SYSTEM\\CurrentControlSet\\Services\\%s\\Parameters", {serviceName});
}

const wchar_t* FromRoot(const std::wstring& path) { return path.c_str() + 1; }
}  // namespace

TMachineRegistry::TMachineRegistry(const std::wstring& machineName)
{
    if (machineName.empty())
        return;
    HKEY remote = nullptr;
    const std::wstring unc = machineName.rfind(L"\\", 0) == 0 ? machineName : L"\\" + machineName;
    FStatus = RegConnectRegistryW(unc.c_str(), HKEY_LOCAL_MACHINE, &remote);
    if (FStatus == ERROR_SUCCESS)
        FRemote.reset(remote);
}

std::wstring ReadServiceParameters(const std::wstring& serviceName, const std::wstring& machineName)
{
    std::wstring path = ParametersKeyPath(serviceName);
    TMachineRegistry registry(machineName);
    UniqueRegKey key;
    TRegValue value;
    if (registry.Status() != ERROR_SUCCESS ||
        OpenRegKey(registry.Root(), FromRoot(path), KEY_READ, key) != ERROR_SUCCESS ||
        ReadRegValue(key.get(), ValueName, value) != ERROR_SUCCESS)
        return {};
    if (value.Type != REG_SZ && value.Type != REG_EXPAND_SZ && value.Type != REG_BINARY)
        return {};
    // Whole characters only (an odd last byte is dropped); the last unit is the terminator, and
    // data stored without one loses nothing.
    return RegDataText(value.Data);
}

void WriteServiceParameters(const std::wstring& serviceName, const std::wstring& text, const std::wstring& machineName)
{
    std::wstring path = ParametersKeyPath(serviceName);
    TMachineRegistry registry(machineName);
    if (registry.Status() == ERROR_SUCCESS) {
        // A failure here shows as the failure to open the key below.
        UniqueRegKey created;
        CreateRegKey(registry.Root(), FromRoot(path), KEY_ALL_ACCESS, created);
    }
    UniqueRegKey key;
    LSTATUS status = registry.Status();
    if (status == ERROR_SUCCESS)
        status = OpenRegKey(registry.Root(), FromRoot(path), KEY_WRITE, key);
    if (status == ERROR_SUCCESS)
        status = WriteRegText(key.get(), ValueName, text);
    if (status != ERROR_SUCCESS)
        throw Exception(Fmt(L"Unable to open key \"%s\\%s\" for write", {L"HKEY_LOCAL_MACHINE", path}));
}

std::wstring BoxLineBreaks(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            out += L"\r\n";
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}
