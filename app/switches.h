// The program's command-line switches: "all", every service instead of the ERP's, and
// "computer", the computer whose services are shown first.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Whether the command line holds the switch name ("/" or "-" before it, any letter case,
// anywhere in the arguments, also inside a longer argument).
bool HasSwitch(const std::wstring& name);

// Set once during static initialisation from HasSwitch("all"); never changed afterwards.
extern const bool ShowAllServices;

// The switch text of a list of arguments: each followed by "|", every "/" turned into "-".
std::wstring BuildSwitchText(const std::vector<std::wstring>& arguments);
// Whether a switch text holds the switch name.
bool SwitchTextHas(const std::wstring& switchText, const std::wstring& name);

// The value of a switch with a value among the arguments: "/name:value", or "/name value" (the
// next argument); "-" in place of "/" and any letter case of the name. The first one counts;
// none when the switch is absent, an empty value when it ends the command line.
std::optional<std::wstring> SwitchValue(const std::vector<std::wstring>& arguments, const std::wstring& name);
// The same for the program's command line.
std::optional<std::wstring> SwitchValue(const std::wstring& name);
