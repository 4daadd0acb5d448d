#include "ui/props/exe_type.h"

#include "common/text.h"
#include "ui/props/file_paths.h"

#include <algorithm>

namespace {
constexpr const wchar_t* KindNames[ExeTypeCount] = {
    L"SQL Anywhere Network Server", L"SQL Anywhere Personal Server", L"Talvora ERP Application Server",
    L"Special Application Server",  L"Unknown Server",
};

constexpr const wchar_t* KindPatterns[ExeTypeCount] = {
    L"dbsrv*.exe", L"dbeng*.exe", L"t32appsrv.exe", L"t32*.exe", L"",
};

int TableIndex(TExeType kind) { return std::min<int>(kind, etUnknown); }

// Whether the stem begins with the text of one of the entry's masks (stars deleted, extension
// dropped). The walk over the masks ends at the first empty one.
bool EntryFits(std::wstring entry, const std::wstring& stem)
{
    entry.erase(std::remove(entry.begin(), entry.end(), L'*'), entry.end());
    int position = 1;
    while (position > 0) {
        std::wstring mask = FetchToken(entry, L';', position);
        if (mask.empty())
            break;
        std::wstring prefix = DropExtension(mask);
        if (!prefix.empty() && PosText(prefix, stem, 1) == 1)
            return true;
    }
    return false;
}
}  // namespace

std::wstring ExeTypeName(TExeType kind) { return KindNames[TableIndex(kind)]; }

std::wstring ExeTypePatterns(TExeType kind) { return KindPatterns[TableIndex(kind)]; }

bool IsDatabaseKind(TExeType kind) { return kind == etNetworkServer || kind == etLocalServer; }

bool IsAppServerKind(TExeType kind) { return kind == etT32AppServer || kind == etT32GenericServer; }

std::wstring DropExtension(const std::wstring& text)
{
    size_t at = text.find_last_of(L".\\:");
    if (at != std::wstring::npos && text[at] == L'.')
        return text.substr(0, at);
    return text;
}

TExeType ExeTypeOfFile(const std::wstring& imagePath)
{
    int exeAt = PosText(L".exe", imagePath, 1);
    std::wstring head = exeAt > 0 ? imagePath.substr(0, static_cast<size_t>(exeAt - 1)) : imagePath;
    std::wstring stem = DropExtension(ExtractFileName(head));
    for (int kind = etNetworkServer; kind < etUnknown; ++kind) {
        if (EntryFits(KindPatterns[kind], stem))
            return static_cast<TExeType>(kind);
    }
    return etUnknown;
}
