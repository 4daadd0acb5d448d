#include "ui/props/service_parameters.h"

#include "common/errors.h"
#include "common/format.h"
#include "common/handle.h"

#include <windows.h>

#include <vector>

namespace {
constexpr const wchar_t* ValueName = L"Parameters";

// The key path from the root key, with its leading "\" as the messages show it.
std::wstring ParametersKeyPath(const std::wstring& serviceName)
{
    return Fmt(L"\\SYSTEM\\CurrentControlSet\\Services\\%s\\Parameters", {serviceName});
}

const wchar_t* FromRoot(const std::wstring& path) { return path.c_str() + 1; }
}  // namespace

std::wstring ReadServiceParameters(const std::wstring& serviceName)
{
    std::wstring path = ParametersKeyPath(serviceName);
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, FromRoot(path), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return {};
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), ValueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_BINARY)
        return {};
    if (size == 0 || size % sizeof(wchar_t) != 0)
        return {};
    std::vector<wchar_t> data(size / sizeof(wchar_t));
    DWORD read = size;
    if (RegQueryValueExW(key.get(), ValueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &read) !=
            ERROR_SUCCESS ||
        read != size)
        return {};
    // The last unit is the terminator; data stored without one loses nothing.
    size_t length = data.size();
    if (data.back() == L'\0')
        --length;
    return std::wstring(data.data(), length);
}

void WriteServiceParameters(const std::wstring& serviceName, const std::wstring& text)
{
    std::wstring path = ParametersKeyPath(serviceName);
    {
        // A failure here shows as the failure to open the key below.
        UniqueRegKey created;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, FromRoot(path), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, created.put(), nullptr);
    }
    UniqueRegKey key;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, FromRoot(path), 0, KEY_WRITE, key.put());
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key.get(), ValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
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
