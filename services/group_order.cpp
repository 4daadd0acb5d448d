#include "services/group_order.h"

#include "common/errors.h"
#include "common/format.h"
#include "common/handle.h"
#include "services/sc_buffer.h"

std::vector<std::wstring> ReadGroupOrder(const TGroupOrderLocation& location)
{
    UniqueRegKey key;
    if (RegOpenKeyExW(location.Root, location.Key.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        throw Exception(Fmt(L"Unable to open key \"%s\\%s\" for read", {location.RootName, location.Key}));

    auto cannotRead = [&] {
        return Exception(
            Fmt(L"Unable to open key \"%s\\%s\" and access value \"%s\"", {location.RootName, location.Key, location.Value}));
    };
    DWORD type = 0;
    std::vector<BYTE> data;
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        LSTATUS rc = RegQueryValueExW(key.get(), location.Value.c_str(), nullptr, &type,
                                      data.empty() ? nullptr : data.data(), &size);
        if (rc == ERROR_SUCCESS && (!data.empty() || size == 0)) {
            data.resize(size);
            break;
        }
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)
            throw cannotRead();
        data.assign(size, 0);
    }
    if (type != REG_MULTI_SZ && type != REG_SZ && type != REG_EXPAND_SZ && type != REG_BINARY)
        throw Exception(
            Fmt(L"\"%s\\%s\\%s\" is of wrong kind or size", {location.RootName, location.Key, location.Value}));

    // Whole UTF-16 units only: an odd last byte is dropped.
    const auto* text = reinterpret_cast<const wchar_t*>(data.data());
    return SplitNulList(text, text + data.size() / sizeof(wchar_t));
}
