#include "services/group_order.h"

#include "common/errors.h"
#include "common/format.h"
#include "common/registry.h"
#include "services/sc_buffer.h"

std::vector<std::wstring> ReadGroupOrder(const TGroupOrderLocation& location)
{
    UniqueRegKey key;
    if (OpenRegKey(location.Root, location.Key, KEY_READ, key) != ERROR_SUCCESS)
        throw Exception(Fmt(L"Unable to open key \"%s\\%s\" for read", {location.RootName, location.Key}));
    TRegValue value;
    if (ReadRegValue(key.get(), location.Value.c_str(), value) != ERROR_SUCCESS)
        throw Exception(
            Fmt(L"Unable to open key \"%s\\%s\" and access value \"%s\"", {location.RootName, location.Key, location.Value}));
    if (value.Type != REG_MULTI_SZ && value.Type != REG_SZ && value.Type != REG_EXPAND_SZ && value.Type != REG_BINARY)
        throw Exception(
            Fmt(L"\"%s\\%s\\%s\" is of wrong kind or size", {location.RootName, location.Key, location.Value}));

    // Whole UTF-16 units only: an odd last byte is dropped.
    const auto* text = reinterpret_cast<const wchar_t*>(value.Data.data());
    return SplitNulList(text, text + value.Data.size() / sizeof(wchar_t));
}
