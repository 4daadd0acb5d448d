// The load-order group order: the multi-string value "List" under HKEY_LOCAL_MACHINE
// "SYSTEM\CurrentControlSet\Control\ServiceGroupOrder", read into its entries.
//
// Usage:
//   std::vector<std::wstring> groups = ReadGroupOrder(TGroupOrderLocation{});
// Raises Exception with the registry message when the key or value cannot be read or the value
// has a kind that is no text or binary data.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TGroupOrderLocation {
    HKEY Root = HKEY_LOCAL_MACHINE;
    std::wstring RootName = L"HKEY_LOCAL_MACHINE";
    std::wstring Key = L"SYSTEM\\CurrentControlSet\\Control\\ServiceGroupOrder";
    std::wstring Value = L"List";
};

// The entries up to the first empty one; REG_MULTI_SZ, REG_SZ, REG_EXPAND_SZ and REG_BINARY
// data are split alike at their NUL characters.
std::vector<std::wstring> ReadGroupOrder(const TGroupOrderLocation& location);
