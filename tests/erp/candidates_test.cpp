// Executable candidates in prepared folders, the folder list of each kind, and the folder
// history. The current user's registry is redirected to a scratch key for the whole program.
#include "tests/props/props_test_support.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scratch_key.h"

#include "common/format.h"
#include "common/handle.h"
#include "common/strings.h"
#include "erp/executables.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
using Paths = std::vector<std::wstring>;

// HKEY_CURRENT_USER is this program's scratch key while a test runs.
class ScratchUserHive : public testing::Test {
protected:
    ScratchUserHive()
    {
        EXPECT_NE(FScratch.Key(), nullptr);
        EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, FScratch.Key()), ERROR_SUCCESS);
    }
    ~ScratchUserHive() override
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    }

    static void SetUserText(const wchar_t* key, const wchar_t* value, const std::wstring& text, DWORD type = REG_SZ)
    {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, value, type, text.c_str(),
                                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    static std::optional<std::wstring> UserText(const wchar_t* key, const wchar_t* value)
    {
        wchar_t data[1024];
        DWORD size = sizeof(data);
        if (RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
            return std::nullopt;
        return std::wstring(data);
    }

private:
    ScratchKey FScratch{L"erp_candidates_test"};
};

// Folders A and B both hold dbsrv17.exe; C holds a server and a subfolder named like one;
// D holds files with each attribute Wine keeps; E is an ERP program folder.
class Candidates : public ScratchUserHive {
protected:
    Candidates()
    {
        A = Folders.Folder(L"A");
        B = Folders.Folder(L"B");
        C = Folders.Folder(L"C");
        D = Folders.Folder(L"D");
        E = Folders.Folder(L"E");
        Folders.File(L"A\\dbsrv17.exe");
        Folders.File(L"A\\dbeng17.exe");
        Folders.File(L"A\\t32appsrv.exe");
        Folders.File(L"A\\readme.txt");
        Folders.File(L"B\\dbsrv17.exe");
        Folders.File(L"C\\dbsrv16.exe");
        Folders.Folder(L"C\\dbsrv_old.exe");
        Folders.File(L"D\\dbsrv1.exe", FILE_ATTRIBUTE_READONLY);
        Folders.File(L"D\\dbsrv2.exe", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        Folders.File(L"D\\dbsrv3.exe", FILE_ATTRIBUTE_ARCHIVE);
        Folders.File(L"E\\t32appsrv.exe");
        Folders.File(L"E\\t32report.exe");
        Folders.File(L"E\\dbsrv17.exe");
    }

    static Paths Find(const std::wstring& pattern, const std::wstring& folders)
    {
        TStringList list = NewPathList();
        FindExecutables(pattern, folders, list);
        return list.Items();
    }

    static Paths Collect(TExeType kind, const TStringList& history = NewPathList())
    {
        TStringList list = NewPathList();
        CollectExecutableCandidates(kind, history, list);
        return list.Items();
    }

    TScratchFolder Folders{L"erp_candidates_test"};
    std::wstring A, B, C, D, E;
};

TEST_F(Candidates, SameFileInTwoFoldersSortedAndOnce)
{
    EXPECT_EQ(Find(L"dbsrv*.exe", B + L";" + A + L";" + A), (Paths{A + L"\\dbsrv17.exe", B + L"\\dbsrv17.exe"}));
    // Letter case does not make another path.
    TStringList list = NewPathList();
    FindExecutables(L"dbsrv*.exe", A, list);
    list.Add(A + L"\\DBSRV17.EXE");
    EXPECT_EQ(list.Count(), 1);
}

// A folder's files come out in the list's own order (CompareTextCI), whatever their names hold,
// also when two folders' files interleave.
TEST_F(Candidates, ManyNamesInTheListsOwnOrder)
{
    const std::wstring F = Folders.Folder(L"F"), G = Folders.Folder(L"F\\dbsrvM");
    const wchar_t* names[] = {L"dbsrv10.exe", L"dbsrv1.exe", L"DBSRV2.exe", L"dbsrv_b.exe", L"dbsrv-a.exe",
                              L"dbsrv a.exe", L"dbsrv\u00e9.exe", L"dbsrvZ.exe", L"dbsrv9x.exe", L"dbsrv.x.exe"};
    for (const wchar_t* name : names) {
        Folders.File(L"F\\" + std::wstring(name));
        Folders.File(L"F\\dbsrvM\\" + std::wstring(name));
    }
    // The folder "F\\dbsrvM" sorts among the names of F: the two folders' files interleave.
    const Paths found = Find(L"dbsrv*.exe", F + L";" + G);
    ASSERT_EQ(found.size(), 2 * std::size(names));
    for (size_t i = 1; i < found.size(); ++i)
        EXPECT_LT(CompareTextCI(found[i - 1], found[i]), 0) << ToUtf8(found[i - 1]) << " / " << ToUtf8(found[i]);
}

TEST_F(Candidates, FolderEndingInBackslashGetsNoSecondOne)
{
    EXPECT_EQ(Find(L"dbsrv*.exe", A + L"\\"), Paths{A + L"\\dbsrv17.exe"});
}

TEST_F(Candidates, PlainFilesOnlyAndNoSubfolders)
{
    EXPECT_EQ(Find(L"dbsrv*.exe", C), Paths{C + L"\\dbsrv16.exe"});
    EXPECT_EQ(Find(L"dbsrv*.exe", Folders.Path()), Paths{});
    EXPECT_EQ(Find(L"dbsrv*.exe", D), (Paths{D + L"\\dbsrv1.exe", D + L"\\dbsrv2.exe", D + L"\\dbsrv3.exe"}));
}

TEST_F(Candidates, AttributesOutsideThePlainOnesAreNotOffered)
{
    // Wine keeps none of these attributes on a file, so they are judged here one by one.
    const std::pair<DWORD, bool> cases[] = {
        {FILE_ATTRIBUTE_NORMAL, true},
        {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, true},
        {FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_DEVICE | 0x8, true},
        {FILE_ATTRIBUTE_DIRECTORY, false},
        {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_COMPRESSED, false},
        {FILE_ATTRIBUTE_ENCRYPTED, false},
        {FILE_ATTRIBUTE_SPARSE_FILE, false},
        {FILE_ATTRIBUTE_REPARSE_POINT, false},
        {FILE_ATTRIBUTE_OFFLINE, false},
        {FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_ARCHIVE, false},
    };
    for (const auto& [attributes, offered] : cases)
        EXPECT_EQ(IsCandidateFile(attributes), offered) << std::hex << attributes;
}

TEST_F(Candidates, NetworkFoldersAndEmptyElementsAreSkipped)
{
    // "\\?\<folder>" reaches the folder; being a "\\" path it is not searched.
    EXPECT_EQ(Find(L"dbsrv*.exe", L"\\\\?\\" + A), Paths{});
    EXPECT_EQ(Find(L"dbsrv*.exe", L"\\\\x;;" + A + L";\\\\?\\" + B + L";;"), Paths{A + L"\\dbsrv17.exe"});
    EXPECT_EQ(Find(L"dbsrv*.exe", L""), Paths{});
}

TEST_F(Candidates, CurrentFolderGivesRelativePaths)
{
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    SetCurrentDirectoryW(A.c_str());
    Paths found = Find(L"dbsrv*.exe", L".");
    SetCurrentDirectoryW(old);
    EXPECT_EQ(found, Paths{L".\\dbsrv17.exe"});
}

TEST_F(Candidates, DatabaseKindsSearchTheExpandedPathThenTheHistory)
{
    TScopedEnvironment root(L"PROPS_TEST_ROOT", Folders.Path());
    // A PATH ending with ";" puts an empty element before the history.
    TScopedEnvironment path(L"PATH", L"%PROPS_TEST_ROOT%\\A;");
    SetUserText(ErpKey, L"RunDirs", E);
    TStringList history = NewPathList();
    history.Add(B);
    EXPECT_EQ(ExecutableFolders(etNetworkServer, history), Folders.Path() + L"\\A;;" + B);
    EXPECT_EQ(Collect(etNetworkServer, history), (Paths{A + L"\\dbsrv17.exe", B + L"\\dbsrv17.exe"}));
    EXPECT_EQ(Collect(etLocalServer), Paths{A + L"\\dbeng17.exe"});
}

TEST_F(Candidates, ApplicationServerKindsSearchRunDirsThenTheHistory)
{
    TScopedEnvironment path(L"PATH", A);
    SetUserText(ErpKey, L"RunDirs", L"%PROPS_NOT_EXPANDED%;" + E);
    EXPECT_EQ(ExecutableFolders(etT32AppServer, NewPathList()), L"%PROPS_NOT_EXPANDED%;" + E + L";");
    EXPECT_EQ(Collect(etT32AppServer), Paths{E + L"\\t32appsrv.exe"});
    EXPECT_EQ(Collect(etT32GenericServer), (Paths{E + L"\\t32appsrv.exe", E + L"\\t32report.exe"}));
    EXPECT_EQ(Collect(etUnknown), Paths{});
}

TEST_F(Candidates, NothingToSearchGivesNothing)
{
    TScopedEnvironment path(L"PATH", std::nullopt);
    EXPECT_EQ(ExecutableFolders(etNetworkServer, NewPathList()), L"");
    EXPECT_EQ(ExecutableFolders(etT32AppServer, NewPathList()), L"");
    EXPECT_EQ(Collect(etNetworkServer), Paths{});
    EXPECT_EQ(Collect(etT32AppServer), Paths{});
}

using PathHistory = ScratchUserHive;

TEST_F(PathHistory, LoadsSortedWithoutEmptyPiecesAndCaseVariants)
{
    SetUserText(SettingsKey, L"PathHistory", L"C:\\X;;c:\\x;B:\\Y");
    TStringList history = NewPathList();
    LoadPathHistory(history);
    EXPECT_EQ(history.Items(), (Paths{L"B:\\Y", L"C:\\X"}));
    SavePathHistory(history);
    EXPECT_EQ(UserText(SettingsKey, L"PathHistory"), L"B:\\Y;C:\\X");
}

TEST_F(PathHistory, MissingOrOtherTypedValueLoadsEmpty)
{
    TStringList history = NewPathList();
    history.Add(L"stale");
    LoadPathHistory(history);
    EXPECT_EQ(history.Count(), 0);
    DWORD number = 7;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, SettingsKey, L"PathHistory", REG_DWORD, &number, sizeof(number)),
              ERROR_SUCCESS);
    LoadPathHistory(history);
    EXPECT_EQ(history.Count(), 0);
}

TEST_F(Candidates, PickedFoldersAreOfferedByTheNextSearch)
{
    TScopedEnvironment path(L"PATH", std::nullopt);
    // One dialog: the user browses to a server in C, then to the root of a drive.
    TStringList history = NewPathList();
    LoadPathHistory(history);
    history.Add(HistoryFolderOfFile(C + L"\\dbsrv16.exe"));
    history.Add(HistoryFolderOfFile(L"C:\\dbsrv17.exe"));
    SavePathHistory(history);
    EXPECT_EQ(UserText(SettingsKey, L"PathHistory"), L"C:\\;" + C);
    // The next dialog.
    TStringList next = NewPathList();
    LoadPathHistory(next);
    EXPECT_EQ(Collect(etNetworkServer, next), Paths{C + L"\\dbsrv16.exe"});
}
}  // namespace
