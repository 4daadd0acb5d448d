// The computers of the ERP installation as the settings key keeps them, and the names typed
// for them lately. A computer is named as the administrator typed it; this computer is the
// empty name (stored as "."), whichever of its own names it was given by.
//
// Usage:
//   std::vector<std::wstring> computers = LoadInstallationComputers();   // {L""} when none stored
//   std::wstring error;
//   if (!AddInstallationComputer(computers, L"\\\\erp-app1", error)) ...show error...
//   SaveInstallationComputers(computers);
#pragma once

#include <string>
#include <vector>

// The most computers an installation holds.
constexpr size_t MaxInstallationComputers = 32;

// Whether two names as the list holds them are one computer: the same name, letter case
// ignored (this computer is the empty name whichever of its names it was given by: that is
// looked up once, as a name enters the list, never when names are compared).
bool SameComputer(const std::wstring& a, const std::wstring& b);

// The list from stored entries: names that cannot be a computer's are skipped, a computer met
// a second time (under another of this computer's names too) is skipped, and entries past the
// 32nd are skipped; the rest keep their order. Nothing left: this computer alone.
std::vector<std::wstring> InstallationFromEntries(const std::vector<std::wstring>& entries);
std::vector<std::wstring> LoadInstallationComputers();
void SaveInstallationComputers(const std::vector<std::wstring>& computers);

// Adds the computer named by the text at the end; false with the reason in error when the text
// cannot be a computer's name, the computer is in the list already, or the list is full.
bool AddInstallationComputer(std::vector<std::wstring>& computers, const std::wstring& text, std::wstring& error);

// The name the list shows for a computer: this computer's own name for the empty one.
std::wstring ComputerDisplayName(const std::wstring& computer);

// The names typed lately, newest first, at most ComputerHistorySize.
constexpr size_t ComputerHistorySize = 10;
std::vector<std::wstring> LoadComputerHistory();
void SaveComputerHistory(const std::vector<std::wstring>& names);
// The name put first, an earlier entry of it (letter case ignored) dropped, the list cut to
// ComputerHistorySize.
void AddToComputerHistory(std::vector<std::wstring>& names, const std::wstring& name);
