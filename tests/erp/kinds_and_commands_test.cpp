// Classification of service command lines, the installers' command lines, and the small text
// rules around them.
#include "erp/exe_type.h"
#include "erp/executables.h"
#include "erp/file_paths.h"
#include "erp/install_command.h"
#include "erp/service_parameters.h"
#include "erp/start_choice.h"

#include "common/errors.h"
#include "common/format.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <algorithm>
#include <vector>

namespace {
struct KindCase {
    const wchar_t* Path;
    TExeType Kind;
};

const KindCase KindCases[] = {
    {L"\"C:\\Program Files\\SQL Anywhere 17\\Bin64\\dbsrv17.exe\" -n erpdb", etNetworkServer},
    {L"\"C:\\Program Files\\SQL Anywhere 17\\Bin64\\dbeng17.exe\" -n erpdb", etLocalServer},
    {L"C:\\SA17\\Bin64\\dbsrv17.exe", etNetworkServer},
    {L"C:\\SA17\\Bin64\\DBENG17.EXE -x tcpip", etLocalServer},
    {L"C:\\ERP\\T32APPSRV.EXE /service", etT32AppServer},
    {L"\"C:\\ERP\\t32appsrv.exe\" /service", etT32AppServer},
    {L"C:\\ERP\\t32appsrv64.exe", etT32AppServer},
    {L"C:\\ERP\\t32report.exe", etT32GenericServer},
    {L"\"C:\\ERP 2\\t32report.exe\" /x", etT32GenericServer},
    {L"C:\\Windows\\system32\\svchost.exe -k netsvcs", etUnknown},
    {L"C:\\Tools\\mydbsrv.exe", etUnknown},
    // No ".exe": the base name without its extension counts.
    {L"C:\\ERP\\dbsrv17.bin", etNetworkServer},
    {L"C:\\ERP\\dbsrv17", etNetworkServer},
    {L"dbeng17", etLocalServer},
    // Only the first ".exe" counts.
    {L"C:\\old.exe.d\\dbsrv17.exe", etUnknown},
    // A quote before a bare name stays in the stem; one before a folder goes with the folder.
    {L"\"dbeng17.exe\"", etUnknown},
    {L"\"C:dbeng17.exe\"", etLocalServer},
    {L"C:\\a.b\\t32", etT32GenericServer},
    {L"C:\\x\\t3", etUnknown},
    {L"", etUnknown},
};

TEST(ExeTypeOfFile, ClassifiesServiceCommandLines)
{
    for (const auto& c : KindCases)
        EXPECT_EQ(ExeTypeOfFile(c.Path), c.Kind) << ToUtf8(c.Path);
}

// The code "ServiceType" stores stands apart from the order the kinds are matched and offered
// in: the codes stored so far keep their kinds, and a narrower kind is tried before the broader
// one it would otherwise fall under.
TEST(ExeType, StoredCodesStandApartFromTheMatchingOrder)
{
    const std::vector<TExeType>& offered = OfferedExeTypes();
    for (TExeType kind : offered) {
        EXPECT_EQ(ExeTypeOfCode(kind), kind);
        EXPECT_EQ(ServerKind(kind).Kind, kind);
    }
    EXPECT_EQ(std::find(offered.begin(), offered.end(), etUnknown), offered.end());
    const std::pair<unsigned long, TExeType> stored[] = {
        {0, etNetworkServer}, {1, etLocalServer}, {2, etT32AppServer}, {3, etT32GenericServer}, {4, etUnknown}};
    for (const auto& [code, kind] : stored)
        EXPECT_EQ(ExeTypeOfCode(code), kind) << code;
    EXPECT_EQ(ExeTypeOfCode(260), std::nullopt);
    EXPECT_LT(std::find(offered.begin(), offered.end(), etT32AppServer),
              std::find(offered.begin(), offered.end(), etT32GenericServer));
}

TEST(ExeTypeName, DamagedKindNamesTheUnknownKind)
{
    EXPECT_EQ(ExeTypeName(static_cast<TExeType>(9)), L"Unknown Server");
    EXPECT_EQ(ExeTypePatterns(static_cast<TExeType>(9)), L"");
}

struct CommandCase {
    const char* Name;
    TInstallRequest Request;
    const wchar_t* Program;
    const wchar_t* CommandLine;
};

const CommandCase CommandCases[] = {
    {"network server, interact, automatic",
     {etNetworkServer, L"C:\\SA17\\Bin64\\dbsrv17.exe", L"erpdb", TStartChoice::Automatic, true, std::nullopt,
      {L"-n erpdb", L"-x tcpip", L"D:\\Data\\erp.db"}},
     L"C:\\SA17\\Bin64\\dbsvc.exe",
     L"C:\\SA17\\Bin64\\dbsvc.exe -y -t network -as -i -s automatic -w erpdb \"C:\\SA17\\Bin64\\dbsrv17.exe\" "
     L"-n erpdb -x tcpip D:\\Data\\erp.db"},
    {"personal server, no interact, manual, no lines",
     {etLocalServer, L"C:\\SA17\\Bin64\\dbeng17.exe", L"localdb", TStartChoice::Manual, false, std::nullopt, {}},
     L"C:\\SA17\\Bin64\\dbsvc.exe",
     L"C:\\SA17\\Bin64\\dbsvc.exe -y -t standalone -as  -s manual -w localdb \"C:\\SA17\\Bin64\\dbeng17.exe\" "},
    {"database server, disabled, empty line kept, dependency ignored",
     {etNetworkServer, L"D:dbsrv17.exe", L"db2", TStartChoice::Disabled, false, L"other", {L"a", L"", L"b"}},
     L"D:dbsvc.exe", L"D:dbsvc.exe -y -t network -as  -s disabled -w db2 \"D:dbsrv17.exe\" a  b"},
    {"database server in a folder with a blank",
     {etNetworkServer, L"C:\\Program Files\\SA17\\dbsrv17.exe", L"erpdb", TStartChoice::Automatic, false,
      std::nullopt, {L"-n erpdb"}},
     L"C:\\Program Files\\SA17\\dbsvc.exe",
     L"\"C:\\Program Files\\SA17\\dbsvc.exe\" -y -t network -as  -s automatic -w erpdb "
     L"\"C:\\Program Files\\SA17\\dbsrv17.exe\" -n erpdb"},
    {"application server, automatic, interact, dependency, name",
     {etT32AppServer, L"C:\\ERP\\t32appsrv.exe", L"AppSrv2", TStartChoice::Automatic, true, L"erpdb",
      {L"-port 2000", L"-log C:\\Logs"}},
     L"C:\\ERP\\t32appsrv.exe",
     L"C:\\ERP\\t32appsrv.exe /install /silent /auto /interact /dependson:erpdb /name:AppSrv2 "
     L"\"/params:-port 2000\\n-log C:\\Logs\""},
    {"application server, manual, default name, nothing else",
     {etT32AppServer, L"C:\\ERP\\t32appsrv.exe", L"<default>", TStartChoice::Manual, false, std::nullopt, {}},
     L"C:\\ERP\\t32appsrv.exe", L"C:\\ERP\\t32appsrv.exe /install /silent /manual /nointeract   \"/params:\""},
    {"generic server, disabled, default name in capitals, empty line kept",
     {etT32GenericServer, L"C:\\ERP\\t32report.exe", L"<DEFAULT>", TStartChoice::Disabled, false, std::nullopt,
      {L"a", L"", L"b"}},
     L"C:\\ERP\\t32report.exe", L"C:\\ERP\\t32report.exe /install /silent /disabled /nointeract   \"/params:a\\n\\nb\""},
    {"a name that only resembles the default is passed",
     {etT32AppServer, L"C:\\ERP\\t32appsrv.exe", L"<default> ", TStartChoice::Automatic, false, std::nullopt, {}},
     L"C:\\ERP\\t32appsrv.exe",
     L"C:\\ERP\\t32appsrv.exe /install /silent /auto /nointeract  /name:<default>  \"/params:\""},
    {"per-cent signs are copied literally, quotation marks in the parameters escaped",
     {etT32AppServer, L"C:\\100%\\t32appsrv.exe", L"A%sB", TStartChoice::Automatic, true, std::nullopt,
      {L"-x \"%d\""}},
     L"C:\\100%\\t32appsrv.exe",
     L"C:\\100%\\t32appsrv.exe /install /silent /auto /interact  /name:A%sB \"/params:-x \\\"%d\\\"\""},
    {"a dependency with a blank, parameters ending in a backslash",
     {etT32AppServer, L"C:\\ERP\\t32appsrv.exe", L"App", TStartChoice::Manual, false, L"My Service",
      {L"-dir C:\\Data\\"}},
     L"C:\\ERP\\t32appsrv.exe",
     L"C:\\ERP\\t32appsrv.exe /install /silent /manual /nointeract \"/dependson:My Service\" /name:App "
     L"\"/params:-dir C:\\Data\\\\\""},
    {"application server with a blank in its path",
     {etT32AppServer, L"C:\\Talvora ERP\\t32appsrv.exe", L"<default>", TStartChoice::Automatic, false, std::nullopt,
      {}},
     L"C:\\Talvora ERP\\t32appsrv.exe",
     L"\"C:\\Talvora ERP\\t32appsrv.exe\" /install /silent /auto /nointeract   \"/params:\""},
};

TEST(ComposeInstallCommand, GivesEachKindsCommandLine)
{
    for (const auto& c : CommandCases) {
        auto command = ComposeInstallCommand(c.Request);
        ASSERT_TRUE(command.has_value()) << c.Name;
        EXPECT_EQ(command->CommandLine, c.CommandLine) << c.Name;
        EXPECT_EQ(command->Program, c.Program) << c.Name;
    }
}

// What the installer receives, split by the Windows argument rules, is exactly what was chosen.
TEST(ComposeInstallCommand, TheApplicationServerReceivesExactlyWhatWasChosen)
{
    const struct {
        std::wstring Dependency;
        std::vector<std::wstring> Lines;
        std::wstring Params;
    } cases[] = {
        {L"erpdb", {L"-port 2000", L"-log C:\\Logs"}, L"-port 2000\\n-log C:\\Logs"},
        {L"My Service", {L"-log \"C:\\Logs\\\"", L"-dir C:\\Data\\"}, L"-log \"C:\\Logs\\\"\\n-dir C:\\Data\\"},
        {L"a\"b", {L"\\\\server\\share\\", L"\\\"", L""}, L"\\\\server\\share\\\\n\\\"\\n"},
    };
    for (const auto& c : cases) {
        auto command = ComposeInstallCommand(
            {etT32AppServer, L"C:\\ERP\\t32appsrv.exe", L"App", TStartChoice::Automatic, false, c.Dependency, c.Lines});
        ASSERT_TRUE(command.has_value());
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(command->CommandLine.c_str(), &count);
        ASSERT_NE(argv, nullptr);
        std::vector<std::wstring> args(argv, argv + count);
        LocalFree(argv);
        ASSERT_EQ(args.size(), 8u) << ToUtf8(command->CommandLine);
        EXPECT_EQ(args[5], L"/dependson:" + c.Dependency) << ToUtf8(command->CommandLine);
        EXPECT_EQ(args[7], L"/params:" + c.Params) << ToUtf8(command->CommandLine);
    }
}

TEST(ComposeInstallCommand, UnknownKindRunsNothing)
{
    TInstallRequest request{etUnknown, L"C:\\x\\svc.exe", L"svc", TStartChoice::Automatic, true, L"dep", {L"a"}};
    EXPECT_FALSE(ComposeInstallCommand(request).has_value());
}

TEST(ComposeInstallCommand, LongParameterLineIsPassedWhole)
{
    std::wstring line(5000, L'x');
    TInstallRequest request{etNetworkServer, L"C:\\SA\\dbsrv17.exe", L"db", TStartChoice::Automatic, false,
                            std::nullopt, {line}};
    auto command = ComposeInstallCommand(request);
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(command->CommandLine.substr(command->CommandLine.size() - line.size() - 1), L" " + line);
}

TEST(StartChoice, EachStartTypeShowsItsChoiceAndBack)
{
    const struct {
        TServiceStartType StartType;
        std::optional<TStartChoice> Choice;
    } cases[] = {
        {sstBoot, std::nullopt},
        {sstSystem, std::nullopt},
        {sstAuto, TStartChoice::Automatic},
        {sstDemand, TStartChoice::Manual},
        {sstDisabled, TStartChoice::Disabled},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StartChoiceOf(c.StartType), c.Choice) << c.StartType;
        if (c.Choice) {
            EXPECT_EQ(StartChoiceRow(*c.Choice).StartType, c.StartType);
        }
    }
}

TEST(TextLines, SplitsABoxsTextIntoLines)
{
    using Lines = std::vector<std::wstring>;
    EXPECT_EQ(TextLines(L""), Lines{});
    EXPECT_EQ(TextLines(L"\r\n"), Lines{L""});
    EXPECT_EQ(TextLines(L"a\r\n"), Lines{L"a"});
    EXPECT_EQ(TextLines(L"a\r\n\r\nb"), (Lines{L"a", L"", L"b"}));
    EXPECT_EQ(TextLines(L"a\nb\rc\r\n\r\n"), (Lines{L"a", L"b", L"c", L""}));
}

TEST(BoxLineBreaks, MakesEveryLineBreakCrLf)
{
    EXPECT_EQ(BoxLineBreaks(L"a\r\nb\nc\rd"), L"a\r\nb\r\nc\r\nd");
    EXPECT_EQ(BoxLineBreaks(L"\n\r\r\n"), L"\r\n\r\n\r\n");
    EXPECT_EQ(BoxLineBreaks(L"plain"), L"plain");
}

// Another computer's registry is asked for as "\\NAME", the form RegConnectRegistryW takes.
TEST(MachineRegistry, ReachesAnotherComputerByItsUncName)
{
    static std::vector<std::wstring> asked;
    asked.clear();
    SetRegistryConnector([](LPCWSTR name, HKEY key, PHKEY) -> LSTATUS {
        EXPECT_EQ(key, HKEY_LOCAL_MACHINE);
        asked.emplace_back(name ? name : L"(null)");
        return ERROR_BAD_NETPATH;
    });
    for (const wchar_t* name : {L"ERPHOST", L"\\\\ERPHOST"}) {
        TMachineRegistry registry(name);
        EXPECT_EQ(registry.Status(), ERROR_BAD_NETPATH);
        EXPECT_EQ(registry.Root(), nullptr);
    }
    EXPECT_EQ(ReadServiceParametersValue(L"Svc", L"ERPHOST").Type, static_cast<DWORD>(REG_NONE));
    EXPECT_THROW(WriteServiceParameters(L"Svc", L"x", L"ERPHOST"), Exception);
    EXPECT_EQ(TMachineRegistry(L"").Root(), HKEY_LOCAL_MACHINE) << "this computer: no connection";
    SetRegistryConnector(nullptr);
    EXPECT_EQ(asked, std::vector<std::wstring>(4, L"\\\\ERPHOST"));
}

TEST(HistoryFolderOfFile, KeepsARootsBackslashOnly)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"D:\\SA\\Bin64\\dbsrv17.exe", L"D:\\SA\\Bin64"},
        {L"C:\\dbsrv17.exe", L"C:\\"},
        {L"C:dbsrv17.exe", L"C:"},
        {L"\\dbsrv17.exe", L"\\"},
        {L"\\\\server\\share\\dbsrv17.exe", L"\\\\server\\share"},
        {L"dbsrv17.exe", L""},
    };
    for (const auto& [file, folder] : cases)
        EXPECT_EQ(HistoryFolderOfFile(file), folder) << ToUtf8(file);
}
// Network paths in every form are told from the text alone; local ones, however written, not.
TEST(IsNetworkPath, EveryFormOfANetworkPath)
{
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"\\\\host\\share", true},
        {L"//host/share", true},
        {L"\\/host\\share", true},
        {L"/\\host\\share", true},
        {L"\\\\?\\UNC\\host\\share", true},
        {L"\\??\\UNC\\host\\share", true},
        {L"\\??\\unc\\host\\share", true},
        {L"C:\\SA17\\Bin64", false},
        {L"C:/SA17/Bin64", false},
        {L"C:\\SA17\\..\\SA16  ", false},
        {L".", false},
        {L"\\Windows", false},
        {L"", false},
    };
    for (const auto& [path, network] : cases)
        EXPECT_EQ(IsNetworkPath(path), network) << ToUtf8(path);
}

// The chosen executable is made full and canonical before its folder gives the installer.
TEST(FullPathName, CanonicalBeforeTheFolderIsTaken)
{
    const struct {
        const wchar_t *Typed, *Full, *Installer;
    } cases[] = {
        {L"C:/Program Files/SQL Anywhere 17/Bin64/dbsrv17.exe", L"C:\\Program Files\\SQL Anywhere 17\\Bin64\\dbsrv17.exe",
         L"C:\\Program Files\\SQL Anywhere 17\\Bin64\\dbsvc.exe"},
        {L"C:\\SA17\\Bin32\\..\\Bin64\\.\\dbsrv17.exe", L"C:\\SA17\\Bin64\\dbsrv17.exe", L"C:\\SA17\\Bin64\\dbsvc.exe"},
        {L"C:\\SA17\\Bin64\\dbsrv17.exe  ", L"C:\\SA17\\Bin64\\dbsrv17.exe", L"C:\\SA17\\Bin64\\dbsvc.exe"},
        {L"C:\\SA17\\Bin64\\dbsrv17.exe", L"C:\\SA17\\Bin64\\dbsrv17.exe", L"C:\\SA17\\Bin64\\dbsvc.exe"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FullPathName(c.Typed), c.Full) << ToUtf8(c.Typed);
        auto command = ComposeInstallCommand({etNetworkServer, FullPathName(c.Typed), L"erpdb"});
        ASSERT_TRUE(command.has_value());
        EXPECT_EQ(command->Program, c.Installer) << ToUtf8(c.Typed);
    }
}

// A folder whose name holds ";" cannot be kept in the ";"-separated history.
TEST(AddToPathHistory, RefusesWhatTheValueCannotKeep)
{
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"D:\\SA\\Bin64", true},
        {L"D:\\SA;old\\Bin64", false},
        {L";", false},
        {L"", false},
    };
    for (const auto& [folder, added] : cases) {
        TStringList history = NewPathList();
        EXPECT_EQ(AddToPathHistory(history, folder), added) << ToUtf8(folder);
        EXPECT_EQ(history.Count(), added ? 1 : 0) << ToUtf8(folder);
    }
}
}  // namespace
