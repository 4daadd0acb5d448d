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

std::wstring ReadServiceParameters(const std::wstring& serviceName)
{
    std::wstring path = ParametersKeyPath(serviceName);
    UniqueRegKey key;
    TRegValue value;
    if (OpenRegKey(HKEY_LOCAL_MACHINE, FromRoot(path), KEY_READ, key) != ERROR_SUCCESS ||
        ReadRegValue(key.get(), ValueName, value) != ERROR_SUCCESS)
        return {};
    if (value.Type != REG_SZ && value.Type != REG_EXPAND_SZ && value.Type != REG_BINARY)
        return {};
    // Whole characters only (an odd last byte is dropped); the last unit is the terminator, and
    // data stored without one loses nothing.
    return RegDataText(value.Data);
}

void WriteServiceParameters(const std::wstring& serviceName, const std::wstring& text)
{
    std::wstring path = ParametersKeyPath(serviceName);
    {
        // A failure here shows as the failure to open the key below.
        UniqueRegKey created;
        CreateRegKey(HKEY_LOCAL_MACHINE, FromRoot(path), KEY_ALL_ACCESS, created);
    }
    UniqueRegKey key;
    LSTATUS status = OpenRegKey(HKEY_LOCAL_MACHINE, FromRoot(path), KEY_WRITE, key);
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
