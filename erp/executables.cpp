#include "erp/executables.h"

#include "common/errors.h"
#include "common/handle.h"
#include "common/registry.h"
#include "common/text.h"
#include "erp/install_command.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
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

// A folder's matching names, kept one after the other in one buffer while the folder is read
// (no allocation per file), and what orders them: names of ASCII letters, digits and "." only
// (nearly every server's) compare as their lower-case text does, which is the order of
// CompareTextCI for them at a small part of its cost; any other name is compared by
// CompareTextCI itself.
class TFoundNames {
public:
    void Add(const wchar_t* name)
    {
        TName entry{static_cast<uint32_t>(FBuffer.size()), 0, true};
        for (const wchar_t* c = name; *c; ++c) {
            entry.Plain = entry.Plain && ((*c >= L'a' && *c <= L'z') || (*c >= L'A' && *c <= L'Z') ||
                                          (*c >= L'0' && *c <= L'9') || *c == L'.');
            FBuffer.push_back(*c);
            FFolded.push_back(AsciiLower(*c));
        }
        entry.Length = static_cast<uint32_t>(FBuffer.size()) - entry.At;
        FNames.push_back(entry);
    }

    // The paths, folder part and name, in the names' order; names equal but for letter case (a
    // case-sensitive folder) give one path, the first.
    std::vector<std::wstring> SortedPaths(const std::wstring& folderPart)
    {
        auto compare = [this](const TName& a, const TName& b) { return Compare(a, b); };
        std::sort(FNames.begin(), FNames.end(), [&](const TName& a, const TName& b) { return compare(a, b) < 0; });
        FNames.erase(std::unique(FNames.begin(), FNames.end(),
                                 [&](const TName& a, const TName& b) { return compare(a, b) == 0; }),
                     FNames.end());
        std::vector<std::wstring> paths;
        paths.reserve(FNames.size());
        for (const TName& name : FNames) {
            std::wstring path;
            path.reserve(folderPart.size() + name.Length);
            path.append(folderPart).append(View(name));
            paths.push_back(std::move(path));
        }
        return paths;
    }

private:
    struct TName {
        uint32_t At, Length;
        bool Plain;
    };

    std::wstring_view View(const TName& name) const { return std::wstring_view(FBuffer).substr(name.At, name.Length); }
    std::wstring_view Folded(const TName& name) const
    {
        return std::wstring_view(FFolded).substr(name.At, name.Length);
    }

    static wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

    int Compare(const TName& a, const TName& b) const
    {
        if (!a.Plain || !b.Plain)
            return CompareTextCI(std::wstring(View(a)), std::wstring(View(b)));
        // The lower-case copies, folded once as the names came, compare as whole blocks.
        const int order = Folded(a).compare(Folded(b));
        return order < 0 ? -1 : (order > 0 ? 1 : 0);
    }

    std::wstring FBuffer;
    std::wstring FFolded;  // FBuffer with ASCII letters in lower case, at the same places
    std::vector<TName> FNames;
};

// Adds a folder's matching files to the list. They share the folder part, so their order is
// that of their names: they are sorted here, cheaply, and go into the list as one block.
void SearchFolder(const std::wstring& folder, const std::wstring& pattern, TStringList& list)
{
    std::wstring mask = folder;
    if (mask.empty() || mask.back() != L'\\')
        mask += L'\\';
    mask += pattern;
    WIN32_FIND_DATAW found{};
    UniqueFindHandle search(FindFirstFileW(mask.c_str(), &found));
    if (!search)
        return;
    TFoundNames names;
    do {
        if (IsCandidateFile(found.dwFileAttributes))
            names.Add(found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    search.reset();
    list.AddOrdered(names.SortedPaths(ExtractFilePath(mask)));
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
    // An empty element (two ";" in a row) is passed over: the folders after it still count.
    // A network folder, in whatever form, is never searched.
    for (const std::wstring& folder : SplitText(folders, L";", false))
        if (!IsNetworkPath(folder))
            SearchFolder(folder, pattern, list);
}

std::wstring ExecutableFolders(TExeType kind, const TStringList& history)
{
    std::wstring folders;
    const TExecutableFolders rule = ServerKind(kind).Folders;
    if (rule == TExecutableFolders::Path) {
        std::wstring path = ExpandEnvironment(EnvironmentVariable(L"PATH"));
        if (!path.empty())
            folders += L";" + path;
    }
    if (rule == TExecutableFolders::RunDirs) {
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
    for (const std::wstring& pattern : SplitText(ExeTypePatterns(kind), L";", false))
        FindExecutables(pattern, folders, candidates);
}

std::wstring ReadUserText(const wchar_t* keyPath, const wchar_t* valueName)
{
    // Text values only; the text ends at its first NUL (or at the data's end when it has none).
    return ReadRegText(HKEY_CURRENT_USER, keyPath, valueName).value_or(L"");
}

bool AddToPathHistory(TStringList& history, const std::wstring& folder)
{
    // The history is stored ";"-separated: a folder holding ";" would come back as two.
    if (folder.empty() || folder.find(L';') != std::wstring::npos)
        return false;
    history.Add(folder);
    return true;
}

void LoadPathHistory(TStringList& history) { SplitText(ReadUserText(SettingsKey, HistoryValue), L";", &history, false); }

void SavePathHistory(const TStringList& history)
{
    UniqueRegKey key;
    CheckRegStatus(CreateRegKey(HKEY_CURRENT_USER, SettingsKey, KEY_WRITE, key));
    CheckRegStatus(WriteRegText(key.get(), HistoryValue, JoinText(history, L";", false)));
}
