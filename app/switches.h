// The program's command-line switches: "all", every service instead of the ERP's, and
// "computer", the computer whose services are shown first.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Whether the command line holds the switch: an argument that is the name after "/" or "-", in
// any letter case, alone or followed by ":" and a value. A switch is a whole argument: the name
// inside a longer one ("-allow", "/computer:erp-all1", "C:\data-all") does not count, nor does
// the argument that gives a switch its value ("/computer -all").
bool HasSwitch(const std::wstring& name);

// Set once during static initialisation from HasSwitch("all"); never changed afterwards.
extern const bool ShowAllServices;

// The same for a list of arguments.
bool ArgumentsHaveSwitch(const std::vector<std::wstring>& arguments, const std::wstring& name);

// The value of a switch with a value among the arguments: "/name:value", or "/name value" (the
// next argument); "-" in place of "/" and any letter case of the name. The first one counts;
// none when the switch is absent, an empty value when it ends the command line.
std::optional<std::wstring> SwitchValue(const std::vector<std::wstring>& arguments, const std::wstring& name);
// The same for the program's command line.
std::optional<std::wstring> SwitchValue(const std::wstring& name);
