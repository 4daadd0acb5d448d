#include "erp/service_parameters.h"

#include "common/errors.h"
#include "common/format.h"
#include "common/registry.h"
#include "common/text.h"

#include <windows.h>

#include <vector>

namespace {
constexpr const wchar_t* ValueName = L"Parameters";
constexpr const wchar_t* ServicesPath = L"SYSTEM\\CurrentControlSet\\Services\\";

TRegistryConnector Connector = nullptr;

std::wstring ServiceKeyPath(const std::wstring& serviceName) { return ServicesPath + serviceName; }
std::wstring ParametersKeyPath(const std::wstring& serviceName) { return ServiceKeyPath(serviceName) + L"\\Parameters"; }

// The strings of REG_MULTI_SZ data, without the terminating empty string.
std::vector<std::wstring> MultiStrings(const std::vector<BYTE>& data)
{
    std::wstring units = RegDataText(data);
    while (!units.empty() && units.back() == L'\0')
        units.pop_back();
    if (units.empty())
        return {};
    return SplitText(units, std::wstring(1, L'\0'), true);
}

// The lines of a text, at line breaks of any form.
std::vector<std::wstring> Lines(const std::wstring& text)
{
    return SplitText(BoxLineBreaks(text), L"\r\n", true);
}

// The data a text is stored as in the type.
std::vector<BYTE> StoredData(const std::wstring& text, DWORD type)
{
    std::wstring units;
    if (type == REG_MULTI_SZ) {
        for (const std::wstring& line : Lines(text))
            if (!line.empty())
                units.append(line).push_back(L'\0');
    } else {
        units = text;
    }
    units.push_back(L'\0');
    const auto* bytes = reinterpret_cast<const BYTE*>(units.data());
    return std::vector<BYTE>(bytes, bytes + units.size() * sizeof(wchar_t));
}
}  // namespace

void SetRegistryConnector(TRegistryConnector connector) { Connector = connector; }

TMachineRegistry::TMachineRegistry(const std::wstring& machineName)
{
    if (machineName.empty())
        return;
    HKEY remote = nullptr;
    // RegConnectRegistryW takes "NAME" or "\\NAME".
    const std::wstring unc = machineName.rfind(L"\\\\", 0) == 0 ? machineName : L"\\\\" + machineName;
    FStatus = (Connector ? Connector : &RegConnectRegistryW)(unc.c_str(), HKEY_LOCAL_MACHINE, &remote);
    if (FStatus == ERROR_SUCCESS)
        FRemote.reset(remote);
}

TParametersValue ReadServiceParametersValue(const std::wstring& serviceName, const std::wstring& machineName)
{
    TMachineRegistry registry(machineName);
    UniqueRegKey key;
    TRegValue value;
    if (registry.Status() != ERROR_SUCCESS ||
        OpenRegKey(registry.Root(), ParametersKeyPath(serviceName), KEY_READ, key) != ERROR_SUCCESS ||
        ReadRegValue(key.get(), ValueName, value) != ERROR_SUCCESS)
        return {};
    TParametersValue read;
    read.Type = value.Type;
    if (value.Type == REG_MULTI_SZ) {
        const std::vector<std::wstring> strings = MultiStrings(value.Data);
        for (size_t i = 0; i < strings.size(); ++i)
            read.Text += (i > 0 ? L"\r\n" : L"") + strings[i];
    } else if (value.Type == REG_SZ || value.Type == REG_EXPAND_SZ || value.Type == REG_BINARY) {
        // Whole characters only (an odd last byte is dropped); the last unit is the terminator,
        // and data stored without one loses nothing.
        read.Text = RegDataText(value.Data);
    }
    return read;
}

std::wstring ReadServiceParameters(const std::wstring& serviceName, const std::wstring& machineName)
{
    return ReadServiceParametersValue(serviceName, machineName).Text;
}

void WriteServiceParameters(const std::wstring& serviceName, const std::wstring& text, const std::wstring& machineName,
                            DWORD type)
{
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ && type != REG_BINARY)
        type = REG_SZ;
    TMachineRegistry registry(machineName);
    LSTATUS status = registry.Status();
    // The Parameters key is made under the service's key, which must be there: a service
    // deleted meanwhile leaves no stray key for a later service of its name to take.
    UniqueRegKey service, key;
    if (status == ERROR_SUCCESS) {
        status = OpenRegKey(registry.Root(), ServiceKeyPath(serviceName), KEY_CREATE_SUB_KEY, service);
        if (status == ERROR_FILE_NOT_FOUND)
            throw Exception(Fmt(L"The service \"%s\" no longer exists.", {serviceName}));
    }
    if (status == ERROR_SUCCESS)
        status = CreateRegKey(service.get(), L"Parameters", KEY_SET_VALUE, key);
    if (status == ERROR_SUCCESS) {
        const std::vector<BYTE> data = StoredData(text, type);
        status = RegSetValueExW(key.get(), ValueName, 0, type, data.data(), static_cast<DWORD>(data.size()));
    }
    if (status != ERROR_SUCCESS)
        throw Exception(Fmt(L"Unable to open key \"HKEY_LOCAL_MACHINE\\%s\" for write", {ParametersKeyPath(serviceName)}));
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
