// The installation's computers and the names typed lately, kept in the settings key.
#include "ui/main/installation_computers.h"

#include "common/computer_name.h"
#include "common/format.h"
#include "common/registry.h"
#include "common/settings_key.h"
#include "common/strings.h"
#include "ui/base/layout.h"

#include <algorithm>

namespace {
constexpr const wchar_t* ComputersValue = L"Computers";
constexpr const wchar_t* HistoryValue = L"ComputerHistory";
// How this computer is stored: its own name would name another computer once the settings
// travel with a roaming profile.
constexpr const wchar_t* ThisComputerEntry = L".";

// The entries of a REG_MULTI_SZ value up to the first empty one (the value may have been
// edited by hand); none when the value is missing or of another type.
std::vector<std::wstring> ReadMultiText(const wchar_t* valueName)
{
    std::vector<std::wstring> entries;
    UniqueRegKey key;
    TRegValue value;
    if (OpenRegKey(HKEY_CURRENT_USER, SettingsKey, KEY_READ, key) != ERROR_SUCCESS ||
        ReadRegValue(key.get(), valueName, value) != ERROR_SUCCESS || value.Type != REG_MULTI_SZ)
        return entries;
    const std::wstring text = RegDataText(value.Data);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\0', start);
        if (end == std::wstring::npos)
            end = text.size();
        if (end == start)
            break;
        entries.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

void WriteMultiText(const wchar_t* valueName, const std::vector<std::wstring>& entries)
{
    std::wstring data;
    for (const std::wstring& entry : entries)
        data += entry + L'\0';
    data += L'\0';
    // A key that cannot be written keeps what it held.
    if (UniqueRegKey key = OpenLayoutKey())
        RegSetValueExW(key.get(), valueName, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

// The name as the list holds it: without "\\", empty for this computer; none when it cannot be
// a computer's.
std::optional<std::wstring> ListName(const std::wstring& text, std::wstring& error)
{
    std::optional<std::wstring> name = ComputerNameFromText(text, error);
    if (name && IsThisComputerName(*name))
        name->clear();
    return name;
}

bool Holds(const std::vector<std::wstring>& computers, const std::wstring& name)
{
    return std::any_of(computers.begin(), computers.end(), [&](const std::wstring& c) { return SameComputer(c, name); });
}
}  // namespace

bool SameComputer(const std::wstring& a, const std::wstring& b) { return CompareTextCI(a, b) == 0; }

std::vector<std::wstring> InstallationFromEntries(const std::vector<std::wstring>& entries)
{
    std::vector<std::wstring> computers;
    for (const std::wstring& entry : entries) {
        if (computers.size() == MaxInstallationComputers)
            break;
        std::wstring error;
        if (std::optional<std::wstring> name = ListName(entry, error); name && !Holds(computers, *name))
            computers.push_back(*name);
    }
    if (computers.empty())
        computers.emplace_back();
    return computers;
}

std::vector<std::wstring> LoadInstallationComputers() { return InstallationFromEntries(ReadMultiText(ComputersValue)); }

void SaveInstallationComputers(const std::vector<std::wstring>& computers)
{
    std::vector<std::wstring> entries;
    for (const std::wstring& computer : computers)
        entries.push_back(computer.empty() ? std::wstring(ThisComputerEntry) : computer);
    WriteMultiText(ComputersValue, entries);
}

bool AddInstallationComputer(std::vector<std::wstring>& computers, const std::wstring& text, std::wstring& error)
{
    std::optional<std::wstring> name = ListName(text, error);
    if (!name)
        return false;
    if (Holds(computers, *name)) {
        error = Fmt(L"The computer \"%s\" is in the installation already.", {ComputerDisplayName(*name)});
        return false;
    }
    if (computers.size() >= MaxInstallationComputers) {
        error = Fmt(L"An installation holds at most %d computers: remove one first.",
                    {static_cast<int>(MaxInstallationComputers)});
        return false;
    }
    computers.push_back(*name);
    return true;
}

std::wstring ComputerDisplayName(const std::wstring& computer)
{
    if (!computer.empty())
        return computer;
    // Asked for every cell of the Computer column: looked up once a run.
    static const std::wstring own = ThisComputerName();
    return own.empty() ? std::wstring(L"This computer") : own;
}

std::vector<std::wstring> LoadComputerHistory()
{
    std::vector<std::wstring> names;
    for (const std::wstring& entry : ReadMultiText(HistoryValue)) {
        if (names.size() == ComputerHistorySize)
            break;
        std::wstring error;
        if (std::optional<std::wstring> name = ComputerNameFromText(entry, error))
            names.push_back(*name);
    }
    return names;
}

void SaveComputerHistory(const std::vector<std::wstring>& names) { WriteMultiText(HistoryValue, names); }

void AddToComputerHistory(std::vector<std::wstring>& names, const std::wstring& name)
{
    std::erase_if(names, [&](const std::wstring& n) { return CompareTextCI(n, name) == 0; });
    names.insert(names.begin(), name);
    if (names.size() > ComputerHistorySize)
        names.resize(ComputerHistorySize);
}
