#include "common/computer_name.h"

#include "common/format.h"
#include "common/strings.h"

#include <windows.h>

#include <cwctype>

namespace {
std::wstring WithoutBackslashes(const std::wstring& name)
{
    return name.rfind(L"\\\\", 0) == 0 ? name.substr(2) : name;
}

std::wstring ComputerNameOf(COMPUTER_NAME_FORMAT format)
{
    DWORD size = 0;
    GetComputerNameExW(format, nullptr, &size);
    if (size == 0)
        return {};
    std::wstring name(size, L'\0');
    if (!GetComputerNameExW(format, name.data(), &size))
        return {};
    name.resize(size);
    return name;
}
}  // namespace

std::optional<std::wstring> ComputerNameFromText(const std::wstring& text, std::wstring& error)
{
    const std::wstring name = WithoutBackslashes(text);
    if (name.empty()) {
        error = L"Please enter the name of the computer.";
        return std::nullopt;
    }
    if (name.size() > MaxComputerNameLength) {
        error = Fmt(L"The computer name is too long: a name has at most %d characters.",
                    {static_cast<int>(MaxComputerNameLength)});
        return std::nullopt;
    }
    for (wchar_t c : name) {
        if (std::iswspace(c) || c < 0x20 || c == 0x7F) {
            error = L"A computer name cannot contain blanks or other white space.";
            return std::nullopt;
        }
        if (std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) {
            error = Fmt(L"A computer name cannot contain the character %s.", {std::wstring(1, c)});
            return std::nullopt;
        }
    }
    error.clear();
    return name;
}

std::wstring ThisComputerName() { return ComputerNameOf(ComputerNameNetBIOS); }

bool IsThisComputerName(const std::wstring& text)
{
    const std::wstring name = WithoutBackslashes(text);
    if (name.empty())
        return false;
    for (const std::wstring& own : {std::wstring(L"localhost"), std::wstring(L"."), std::wstring(L"127.0.0.1"),
                                    ComputerNameOf(ComputerNameNetBIOS), ComputerNameOf(ComputerNameDnsHostname),
                                    ComputerNameOf(ComputerNameDnsFullyQualified)})
        if (!own.empty() && CompareTextCI(name, own) == 0)
            return true;
    return false;
}
