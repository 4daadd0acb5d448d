#include "common/registry.h"

#include "common/errors.h"

#include <cstring>

LSTATUS OpenRegKey(HKEY root, const std::wstring& path, REGSAM access, UniqueRegKey& key)
{
    return RegOpenKeyExW(root, path.c_str(), 0, access, key.put());
}

LSTATUS CreateRegKey(HKEY root, const std::wstring& path, REGSAM access, UniqueRegKey& key)
{
    return RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.put(),
                           nullptr);
}

LSTATUS ReadRegValue(HKEY key, const wchar_t* name, TRegValue& value)
{
    value = {};
    for (;;) {
        DWORD size = static_cast<DWORD>(value.Data.size());
        LSTATUS status =
            RegQueryValueExW(key, name, nullptr, &value.Type, value.Data.empty() ? nullptr : value.Data.data(), &size);
        // A first call without a buffer only tells the size; a value of zero bytes is complete.
        if (status == ERROR_SUCCESS && (!value.Data.empty() || size == 0)) {
            value.Data.resize(size);
            return ERROR_SUCCESS;
        }
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
            return status;
        value.Data.assign(size, 0);
    }
}

std::wstring RegDataText(const std::vector<BYTE>& data)
{
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty())
        memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

std::optional<std::wstring> RegValueText(const TRegValue& value)
{
    if (value.Type != REG_SZ && value.Type != REG_EXPAND_SZ)
        return std::nullopt;
    std::wstring text = RegDataText(value.Data);
    size_t end = text.find(L'\0');
    if (end != std::wstring::npos)
        text.resize(end);
    return text;
}

std::optional<DWORD> RegValueDword(const TRegValue& value)
{
    if (value.Type != REG_DWORD || value.Data.size() != sizeof(DWORD))
        return std::nullopt;
    DWORD result = 0;
    memcpy(&result, value.Data.data(), sizeof(result));
    return result;
}

namespace {
std::optional<TRegValue> ReadValueAt(HKEY root, const std::wstring& path, const wchar_t* name)
{
    UniqueRegKey key;
    TRegValue value;
    if (OpenRegKey(root, path, KEY_READ, key) != ERROR_SUCCESS || ReadRegValue(key.get(), name, value) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}
}  // namespace

std::optional<std::wstring> ReadRegText(HKEY root, const std::wstring& path, const wchar_t* name)
{
    std::optional<TRegValue> value = ReadValueAt(root, path, name);
    return value ? RegValueText(*value) : std::nullopt;
}

std::optional<DWORD> ReadRegDword(HKEY root, const std::wstring& path, const wchar_t* name)
{
    std::optional<TRegValue> value = ReadValueAt(root, path, name);
    return value ? RegValueDword(*value) : std::nullopt;
}

LSTATUS WriteRegText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LSTATUS WriteRegDword(HKEY key, const wchar_t* name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void CheckRegStatus(LSTATUS status)
{
    if (status != ERROR_SUCCESS)
        RaiseOSError(static_cast<DWORD>(status));
}
