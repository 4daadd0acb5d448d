// Names of computers as the administrator types them ("server", "\\server", "10.0.0.7"), and
// whether a name is one of this computer's own.
//
// Usage:
//   std::wstring error;
//   std::optional<std::wstring> name = ComputerNameFromText(L"\\\\erp-app1", error);   // "erp-app1"
//   if (IsThisComputerName(*name)) ...       // its own name, "localhost", ".", "127.0.0.1"
#pragma once

#include <optional>
#include <string>

// The longest name a computer can have on the network (a fully qualified DNS name).
constexpr size_t MaxComputerNameLength = 255;

// The name without its leading "\\", or none with a message in error: an empty name, a name
// with blanks or other white space, slashes, colons, quotation marks, the wildcard and
// redirection characters (* ? < > |) or control characters, or one longer than 255 characters.
std::optional<std::wstring> ComputerNameFromText(const std::wstring& text, std::wstring& error);

// Whether the name (with or without its leading "\\") names this computer: its NetBIOS name,
// its DNS host name or full DNS name, "localhost", "." or "127.0.0.1", letter case ignored.
bool IsThisComputerName(const std::wstring& name);

// This computer's (NetBIOS) name; empty when it cannot be read.
std::wstring ThisComputerName();
