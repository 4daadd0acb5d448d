// The one command-line switch the program knows, "all": every service instead of the ERP's.
#pragma once

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
