// The registry, read and written through one small set of calls. Each call is checked on the
// status the Reg* function returns (never on GetLastError()); what a caller accepts as a
// value (which types, what a missing value means) stays the caller's own rule.
//
// Usage:
//   UniqueRegKey key;
//   if (OpenRegKey(HKEY_CURRENT_USER, L"Software\\Talvora\\Orvessa", KEY_READ, key) == ERROR_SUCCESS) {
//       TRegValue value;
//       if (ReadRegValue(key.get(), L"ServiceType", value) == ERROR_SUCCESS)
//           if (std::optional<DWORD> kind = RegValueDword(value)) ...
//   }
//   std::wstring history = ReadRegText(HKEY_CURRENT_USER, SettingsKey, L"PathHistory").value_or(L"");
//   CheckRegStatus(CreateRegKey(HKEY_CURRENT_USER, SettingsKey, KEY_WRITE, key));
//   CheckRegStatus(WriteRegText(key.get(), L"PathHistory", text));
#pragma once

#include "common/handle.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// A value as stored: its type and its bytes.
struct TRegValue {
    DWORD Type = REG_NONE;
    std::vector<BYTE> Data;
};

// RegOpenKeyExW / RegCreateKeyExW (REG_OPTION_NON_VOLATILE) into key; the Reg* status.
LSTATUS OpenRegKey(HKEY root, const std::wstring& path, REGSAM access, UniqueRegKey& key);
LSTATUS CreateRegKey(HKEY root, const std::wstring& path, REGSAM access, UniqueRegKey& key);

// Reads a value's type and bytes, growing the buffer while the value grows meanwhile.
LSTATUS ReadRegValue(HKEY key, const wchar_t* name, TRegValue& value);

// The UTF-16 text of data: whole code units only (an odd last byte is dropped), one
// terminating NUL removed when there is one (data stored without one keeps its last character).
std::wstring RegDataText(const std::vector<BYTE>& data);
// The text of a REG_SZ or REG_EXPAND_SZ value (not expanded), cut at its first NUL; nothing for
// any other type.
std::optional<std::wstring> RegValueText(const TRegValue& value);
// A REG_DWORD value of four bytes; nothing for any other type or size.
std::optional<DWORD> RegValueDword(const TRegValue& value);

// Opens root\path for reading and reads a text (RegValueText) or a DWORD (RegValueDword);
// nothing when the key or value is missing, unreadable or of another type.
std::optional<std::wstring> ReadRegText(HKEY root, const std::wstring& path, const wchar_t* name);
std::optional<DWORD> ReadRegDword(HKEY root, const std::wstring& path, const wchar_t* name);

// Writes text as REG_SZ with its terminating NUL, or value as REG_DWORD.
LSTATUS WriteRegText(HKEY key, const wchar_t* name, const std::wstring& text);
LSTATUS WriteRegDword(HKEY key, const wchar_t* name, DWORD value);

// Raises the system's error for a failed status; returns otherwise.
void CheckRegStatus(LSTATUS status);
