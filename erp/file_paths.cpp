#include "erp/file_paths.h"

#include <windows.h>

namespace {
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    const size_t n = wcslen(prefix);
    return text.size() >= n &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(n), prefix, static_cast<int>(n), TRUE) == CSTR_EQUAL;
}

// Two separators at the start, in any mix of "\" and "/": a UNC path (or a device path, which
// counts as one too, as it always has).
bool StartsAsUnc(const std::wstring& path) { return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]); }
}  // namespace

std::wstring ExtractFilePath(const std::wstring& path)
{
    const size_t at = path.find_last_of(L"\\:");
    return at == std::wstring::npos ? std::wstring() : path.substr(0, at + 1);
}

std::wstring ExtractFileName(const std::wstring& path)
{
    const size_t at = path.find_last_of(L"\\:");
    return at == std::wstring::npos ? path : path.substr(at + 1);
}

std::wstring HistoryFolderOfFile(const std::wstring& fileName)
{
    const size_t at = fileName.find_last_of(L"\\:");
    if (at == std::wstring::npos)
        return {};
    // "C:\x.exe" keeps "C:\", "\x.exe" keeps "\"; elsewhere the trailing "\" goes.
    if (at > 0 && fileName[at] == L'\\' && fileName[at - 1] != L'\\' && fileName[at - 1] != L':')
        return fileName.substr(0, at);
    return fileName.substr(0, at + 1);
}

std::wstring FolderOfSelection(const std::wstring& selection)
{
    const size_t slash = selection.rfind(L'\\');
    if (slash == std::wstring::npos)
        return {};
    std::wstring folder = selection.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';
    return folder;
}

std::wstring FullPathName(const std::wstring& path)
{
    if (path.empty())
        return path;
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (size == 0 || size >= full.size())
        return path;
    full.resize(size);
    return full;
}

bool IsNetworkPath(const std::wstring& path)
{
    if (StartsAsUnc(path) || StartsWithNoCase(path, L"\\??\\UNC\\"))
        return true;
    // A relative path resolves against the current folder, which may be a share.
    const std::wstring full = FullPathName(path);
    if (StartsAsUnc(full) && !StartsWithNoCase(full, L"\\\\?\\") && !StartsWithNoCase(full, L"\\\\.\\"))
        return true;
    // A drive letter mapped to a share (the drive table is local: nothing is sent anywhere).
    if (full.size() >= 2 && full[1] == L':') {
        const wchar_t root[] = {full[0], L':', L'\\', L'\0'};
        return GetDriveTypeW(root) == DRIVE_REMOTE;
    }
    return false;
}
