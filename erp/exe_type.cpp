#include "erp/exe_type.h"

#include "common/text.h"
#include "erp/file_paths.h"

#include <algorithm>
#include <iterator>

namespace {
constexpr const wchar_t* DatabaseNames = L"asany;sqlany";
constexpr const wchar_t* ErpDisplayNames = L"talvora32;talvora erp";

// One row per kind, in the order the kinds are matched and offered: a narrower kind before the
// broader one it would otherwise fall under. etUnknown, which is never matched, comes last.
constexpr TServerKind Kinds[] = {
    {.Kind = etNetworkServer,
     .Name = L"SQL Anywhere Network Server",
     .Patterns = L"dbsrv*.exe",
     .Installer = TInstallerForm::Dbsvc,
     .DbsvcType = L"network",
     .Folders = TExecutableFolders::Path,
     .NamePrefixes = DatabaseNames,
     .DisplayPrefixes = L"",
     .Database = true},
    {.Kind = etLocalServer,
     .Name = L"SQL Anywhere Personal Server",
     .Patterns = L"dbeng*.exe",
     .Installer = TInstallerForm::Dbsvc,
     .DbsvcType = L"standalone",
     .Folders = TExecutableFolders::Path,
     .NamePrefixes = DatabaseNames,
     .DisplayPrefixes = L"",
     .Database = true},
    {.Kind = etT32AppServer,
     .Name = L"Talvora ERP Application Server",
     .Patterns = L"t32appsrv.exe",
     .Installer = TInstallerForm::SelfInstall,
     .DbsvcType = L"",
     .Folders = TExecutableFolders::RunDirs,
     .NamePrefixes = L"",
     .DisplayPrefixes = ErpDisplayNames,
     .Database = false},
    {.Kind = etT32GenericServer,
     .Name = L"Special Application Server",
     .Patterns = L"t32*.exe",
     .Installer = TInstallerForm::SelfInstall,
     .DbsvcType = L"",
     .Folders = TExecutableFolders::RunDirs,
     .NamePrefixes = L"",
     .DisplayPrefixes = ErpDisplayNames,
     .Database = false},
    {.Kind = etUnknown,
     .Name = L"Unknown Server",
     .Patterns = L"",
     .Installer = TInstallerForm::None,
     .DbsvcType = L"",
     .Folders = TExecutableFolders::HistoryOnly,
     .NamePrefixes = L"",
     .DisplayPrefixes = L"",
     .Database = false},
};

// Each kind has one row, so that a stored code always means the same kind, and etUnknown's row
// is the last.
constexpr bool OneRowPerKind()
{
    for (size_t i = 0; i < std::size(Kinds); ++i)
        for (size_t j = i + 1; j < std::size(Kinds); ++j)
            if (Kinds[i].Kind == Kinds[j].Kind)
                return false;
    return Kinds[std::size(Kinds) - 1].Kind == etUnknown;
}
static_assert(OneRowPerKind(), "one row per kind, etUnknown's the last");

// Whether the text begins with one of the ";"-separated prefixes, without regard to case.
bool BeginsWithOneOf(const wchar_t* prefixes, const std::wstring& text)
{
    for (const std::wstring& prefix : SplitText(prefixes, L";", false))
        if (PosText(prefix, text, 1) == 1)
            return true;
    return false;
}

// Whether the stem begins with the text of one of the entry's masks (stars deleted, extension
// dropped). The walk over the masks ends at the first empty one.
bool EntryFits(std::wstring entry, const std::wstring& stem)
{
    entry.erase(std::remove(entry.begin(), entry.end(), L'*'), entry.end());
    for (const std::wstring& mask : SplitText(entry, L";", true)) {
        if (mask.empty())
            break;
        std::wstring prefix = DropExtension(mask);
        if (!prefix.empty() && PosText(prefix, stem, 1) == 1)
            return true;
    }
    return false;
}
}  // namespace

const TServerKind& ServerKind(TExeType kind)
{
    for (const TServerKind& row : Kinds)
        if (row.Kind == kind)
            return row;
    return Kinds[std::size(Kinds) - 1];
}

const std::vector<TExeType>& OfferedExeTypes()
{
    static const std::vector<TExeType> offered = [] {
        std::vector<TExeType> kinds;
        for (const TServerKind& row : Kinds)
            if (row.Kind != etUnknown)
                kinds.push_back(row.Kind);
        return kinds;
    }();
    return offered;
}

std::optional<TExeType> ExeTypeOfCode(unsigned long code)
{
    for (const TServerKind& row : Kinds)
        if (row.Kind == code)
            return row.Kind;
    return std::nullopt;
}

std::wstring ExeTypeName(TExeType kind) { return ServerKind(kind).Name; }

std::wstring ExeTypePatterns(TExeType kind) { return ServerKind(kind).Patterns; }

bool IsAppServerKind(TExeType kind) { return ServerKind(kind).Installer == TInstallerForm::SelfInstall; }

bool IsErpService(const std::wstring& serviceName, const std::wstring& displayName)
{
    for (const TServerKind& kind : Kinds)
        if (BeginsWithOneOf(kind.NamePrefixes, serviceName) || BeginsWithOneOf(kind.DisplayPrefixes, displayName))
            return true;
    return false;
}

bool IsDatabaseService(const std::wstring& serviceName)
{
    for (const TServerKind& kind : Kinds)
        if (kind.Database && BeginsWithOneOf(kind.NamePrefixes, serviceName))
            return true;
    return false;
}

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
    for (TExeType kind : OfferedExeTypes())
        if (EntryFits(ServerKind(kind).Patterns, stem))
            return kind;
    return etUnknown;
}
