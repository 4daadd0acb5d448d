#include "ui/props/executables.h"

#include "common/busy.h"
#include "common/errors.h"
#include "common/handle.h"
#include "common/registry.h"
#include "common/text.h"
#include "ui/props/install_command.h"

#include <windows.h>

#include <vector>

namespace {
// Read-only, hidden, system, volume label, archive, device, normal, temporary.
constexpr DWORD CandidateAttributes = 0x1EF;

constexpr const wchar_t* HistoryValue = L"PathHistory";
constexpr const wchar_t* RunDirsValue = L"RunDirs";

std::wstring EnvironmentVariable(const wchar_t* name)
{
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    size = GetEnvironmentVariableW(name, value.data(), size);
    value.resize(size < value.size() ? size : 0);
    return value;
}

std::wstring ExpandEnvironment(const std::wstring& text)
{
    if (text.empty())
        return text;
    DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size == 0)
        return text;
    std::wstring expanded(size, L'\0');
    size = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), size);
    if (size == 0 || size > expanded.size())
        return text;
    expanded.resize(size - 1);
    return expanded;
}

void SearchFolder(const std::wstring& folder, const std::wstring& pattern, TStringList& list)
{
    std::wstring mask = folder;
    if (mask.empty() || mask.back() != L'\\')
        mask += L'\\';
    mask += pattern;
    const std::wstring folderPart = ExtractFilePath(mask);
    WIN32_FIND_DATAW found{};
    UniqueFindHandle search(FindFirstFileW(mask.c_str(), &found));
    if (!search)
        return;
    do {
        if (IsCandidateFile(found.dwFileAttributes))
            list.Add(folderPart + found.cFileName);
    } while (FindNextFileW(search.get(), &found));
}
}  // namespace

bool IsCandidateFile(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && (attributes & ~CandidateAttributes) == 0;
}

TStringList NewPathList()
{
    TStringList list;
    list.Sorted = true;
    list.IgnoreDuplicates = true;
    return list;
}

void FindExecutables(const std::wstring& pattern, const std::wstring& folders, TStringList& list)
{
    TBusyCursor busy;
    int position = 1;
    while (position > 0) {
        std::wstring folder = FetchToken(folders, L';', position);
        // An empty element (two ";" in a row) is passed over: the folders after it still count.
        if (folder.empty() || folder.rfind(L"\\\\", 0) == 0)
            continue;
        SearchFolder(folder, pattern, list);
    }
}

std::wstring ExecutableFolders(TExeType kind, const TStringList& history)
{
    std::wstring folders;
    if (IsDatabaseKind(kind)) {
        std::wstring path = ExpandEnvironment(EnvironmentVariable(L"PATH"));
        if (!path.empty())
            folders += L";" + path;
    }
    if (IsAppServerKind(kind)) {
        std::wstring runDirs = ReadUserText(ErpKey, RunDirsValue);
        if (!runDirs.empty())
            folders += L";" + runDirs;
    }
    folders += L";" + JoinText(history, L";", false);
    folders.erase(0, 1);
    return folders;
}

void CollectExecutableCandidates(TExeType kind, const TStringList& history, TStringList& candidates)
{
    const std::wstring folders = ExecutableFolders(kind, history);
    const std::wstring patterns = ExeTypePatterns(kind);
    int position = 1;
    while (position > 0) {
        std::wstring pattern = FetchToken(patterns, L';', position);
        if (!pattern.empty())
            FindExecutables(pattern, folders, candidates);
    }
}

std::wstring ReadUserText(const wchar_t* keyPath, const wchar_t* valueName)
{
    // Text values only; the text ends at its first NUL (or at the data's end when it has none).
    return ReadRegText(HKEY_CURRENT_USER, keyPath, valueName).value_or(L"");
}

void LoadPathHistory(TStringList& history) { SplitText(ReadUserText(SettingsKey, HistoryValue), L";", &history, false); }

void SavePathHistory(const TStringList& history)
{
    UniqueRegKey key;
    CheckRegStatus(CreateRegKey(HKEY_CURRENT_USER, SettingsKey, KEY_WRITE, key));
    CheckRegStatus(WriteRegText(key.get(), HistoryValue, JoinText(history, L";", false)));
}

std::wstring HistoryFolderOfFile(const std::wstring& fileName)
{
    size_t at = fileName.find_last_of(L"\\:");
    if (at == std::wstring::npos)
        return {};
    // "C:\x.exe" keeps "C:\", "\x.exe" keeps "\"; elsewhere the trailing "\" goes.
    if (at > 0 && fileName[at] == L'\\' && fileName[at - 1] != L'\\' && fileName[at - 1] != L':')
        return fileName.substr(0, at);
    return fileName.substr(0, at + 1);
}
