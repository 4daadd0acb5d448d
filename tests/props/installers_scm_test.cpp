// Installing services by running the installers (the stand-ins named dbsvc.exe and
// t32appsrv.exe) against Wine's Service Control Manager, and the "Parameters" value under the
// machine's service keys.
#include "tests/props/props_test_support.h"
#include "tests/support/key_access.h"
#include "tests/support/scratch_folder.h"

#include "common/errors.h"
#include "common/format.h"
#include "common/handle.h"
#include "erp/exe_type.h"
#include "erp/service_parameters.h"
#include "ui/props/installer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::wstring DbInstallerFolder() { return FullPath(TestProgramFolder() + L"\\..\\installers\\db"); }
std::wstring AppInstallerFolder() { return FullPath(TestProgramFolder() + L"\\..\\installers\\app"); }

std::wstring ErrorOf(const TInstallCommand& command)
{
    try {
        RunInstaller(command);
    } catch (const Exception& e) {
        return e.Message();
    }
    return L"(no error)";
}

// Every test's services and the record of the installers' command lines are removed
// afterwards; names carry the program's name.
class Installers : public testing::Test {
protected:
    Installers() : FLogEnv(L"SM_INSTALLER_LOG", FScratch / L"commands.log"), FExitEnv(L"SM_INSTALLER_EXIT", std::nullopt)
    {
    }
    ~Installers() override
    {
        for (const auto& name : FServices)
            RemoveService(name);
    }

    std::wstring Service(const std::wstring& suffix)
    {
        std::wstring name = L"props_scm_test_" + suffix;
        RemoveService(name);
        FServices.push_back(name);
        return name;
    }

    // The service that dbsvc.exe installs for the name, removed afterwards like the others.
    std::wstring InstalledByDbsvc(const std::wstring& name)
    {
        std::wstring installed = L"SQLANYs_" + name;
        RemoveService(installed);
        FServices.push_back(installed);
        return installed;
    }

    TInstallCommand Compose(const TInstallRequest& request)
    {
        auto command = ComposeInstallCommand(request);
        EXPECT_TRUE(command.has_value());
        return command.value_or(TInstallCommand{});
    }

    std::wstring LoggedCommandLines() const { return ReadUtf16File(FScratch / L"commands.log"); }

    TScratchFolder FScratch{L"props_scm_test"};
    TScopedEnvironment FLogEnv;
    TScopedEnvironment FExitEnv;
    std::vector<std::wstring> FServices;
};

TEST_F(Installers, DbsvcFromTheServersFolderInstallsTheDatabaseServer)
{
    const std::wstring name = Service(L"db");
    const std::wstring installed = InstalledByDbsvc(name);
    const std::wstring server = DbInstallerFolder() + L"\\dbsrv17.exe";
    TInstallCommand command = Compose({etNetworkServer, server, name, TStartChoice::Manual, true, std::nullopt,
                                       {L"-n erpdb", L"-x tcpip"}});
    EXPECT_EQ(command.CommandLine.substr(0, DbInstallerFolder().size() + 11), DbInstallerFolder() + L"\\dbsvc.exe ");

    RunInstaller(command);

    EXPECT_EQ(LoggedCommandLines(), command.CommandLine + L"\n");
    auto config = InstalledConfig(installed);
    ASSERT_TRUE(config.has_value());
    EXPECT_EQ(config->StartType, static_cast<DWORD>(SERVICE_DEMAND_START));
    EXPECT_EQ(config->ServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS));
    EXPECT_EQ(config->BinaryPath, L"\"" + server + L"\" -n erpdb -x tcpip");
    EXPECT_EQ(ExeTypeOfFile(config->BinaryPath), etNetworkServer);
}

TEST_F(Installers, ApplicationServerInstallsItselfWithTheStartTypeAsked)
{
    const struct {
        TStartChoice Start;
        DWORD StartType;
        const wchar_t* Suffix;
    } cases[] = {
        {TStartChoice::Automatic, SERVICE_AUTO_START, L"app_auto"},
        {TStartChoice::Manual, SERVICE_DEMAND_START, L"app_manual"},
        {TStartChoice::Disabled, SERVICE_DISABLED, L"app_disabled"},
    };
    const std::wstring dependency = Service(L"app_base");
    for (const auto& c : cases) {
        const std::wstring name = Service(c.Suffix);
        RunInstaller(Compose({etT32AppServer, AppInstallerFolder() + L"\\t32appsrv.exe", name, c.Start, false,
                              dependency, {L"-port 2000"}}));
        auto config = InstalledConfig(name);
        ASSERT_TRUE(config.has_value()) << ToUtf8(name);
        EXPECT_EQ(config->StartType, c.StartType) << ToUtf8(name);
        EXPECT_EQ(config->ServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS)) << ToUtf8(name);
        EXPECT_EQ(ExeTypeOfFile(config->BinaryPath), etT32AppServer) << ToUtf8(config->BinaryPath);
        EXPECT_EQ(DependOnService(name), dependency) << ToUtf8(name);
    }
}

TEST_F(Installers, ProgramInAFolderWithABlankIsStartedWhole)
{
    // Beside the folder "props scm" lies a program "props.exe", which would be started if the
    // path were taken from an unquoted command line (it fails: it is not asked to install).
    std::wstring folder = FScratch.Folder(L"props scm");
    Win32Check(CopyFileW((DbInstallerFolder() + L"\\dbsvc.exe").c_str(), (folder + L"\\dbsvc.exe").c_str(), FALSE));
    Win32Check(CopyFileW((AppInstallerFolder() + L"\\t32appsrv.exe").c_str(), (FScratch / L"props.exe").c_str(), FALSE));
    const std::wstring name = Service(L"blank");
    const std::wstring installed = InstalledByDbsvc(name);
    const std::wstring server = folder + L"\\dbsrv17.exe";
    TInstallCommand command = Compose({etLocalServer, server, name, TStartChoice::Automatic, false, std::nullopt, {}});
    EXPECT_EQ(command.CommandLine.substr(0, folder.size() + 12), L"\"" + folder + L"\\dbsvc.exe\"");

    RunInstaller(command);

    EXPECT_EQ(LoggedCommandLines(), command.CommandLine + L"\n");
    auto config = InstalledConfig(installed);
    ASSERT_TRUE(config.has_value());
    EXPECT_EQ(config->StartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config->BinaryPath, L"\"" + server + L"\"");
}

TEST_F(Installers, NonZeroExitCodeIsReportedInHexadecimal)
{
    const std::wstring name = Service(L"failing");
    TInstallCommand command = Compose({etT32AppServer, AppInstallerFolder() + L"\\t32appsrv.exe", name,
                                       TStartChoice::Automatic, false, std::nullopt, {}});
    {
        TScopedEnvironment exitCode(L"SM_INSTALLER_EXIT", L"1");
        EXPECT_EQ(ErrorOf(command), L"Error installing service (exitcode=0x1).");
    }
    {
        TScopedEnvironment exitCode(L"SM_INSTALLER_EXIT", L"255");
        EXPECT_EQ(ErrorOf(command), L"Error installing service (exitcode=0xFF).");
    }
    EXPECT_FALSE(InstalledConfig(name).has_value());
}

TEST_F(Installers, MissingDbsvcCannotBeExecuted)
{
    std::wstring folder = FScratch.Folder(L"nodbsvc");
    TInstallCommand command = Compose({etNetworkServer, folder + L"\\dbsrv17.exe", Service(L"missing"),
                                       TStartChoice::Automatic, false, std::nullopt, {L"-n x"}});
    EXPECT_EQ(ErrorOf(command), L"Error executing application (" + command.CommandLine + L").");
}

// The "Parameters" value, in a service key of its own.
class ServiceParameters : public testing::Test {
protected:
    ServiceParameters()
    {
        UniqueRegKey key;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (ServicesKey + FName).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
    }
    ~ServiceParameters() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, (ServicesKey + FName).c_str()); }

    void Store(DWORD type, const void* data, DWORD size)
    {
        UniqueRegKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (ServicesKey + FName + L"\\Parameters").c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key.get(), L"Parameters", 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }

    const std::wstring FName = L"props_scm_test_params";
};

TEST_F(ServiceParameters, RoundTripKeepsEveryLineBreak)
{
    for (const std::wstring text : {L"-n erpdb\r\n-x tcpip\nD:\\Data\\erp.db\r\n", L"\r\n", L""}) {
        WriteServiceParameters(FName, text);
        EXPECT_EQ(ReadServiceParameters(FName), text);
        DWORD type = 0, size = 0;
        ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, (ServicesKey + FName + L"\\Parameters").c_str(), L"Parameters",
                               RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(size, (text.size() + 1) * sizeof(wchar_t));
    }
}

TEST_F(ServiceParameters, ReadsTextTypesOnlyAMultiStringOneStringALine)
{
    const wchar_t multi[] = L"a\0b\0";
    const DWORD number = 5;
    const wchar_t expand[] = L"%PATH%;x";
    const wchar_t binary[] = L"-n db";
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    const struct {
        const char* Name;
        DWORD Type;
        const void* Data;
        DWORD Size;
        const wchar_t* Text;
    } cases[] = {
        {"multi-string", REG_MULTI_SZ, multi, sizeof(multi), L"a\r\nb"},
        {"number", REG_DWORD, &number, sizeof(number), L""},
        {"expandable, not expanded", REG_EXPAND_SZ, expand, sizeof(expand), L"%PATH%;x"},
        {"binary text", REG_BINARY, binary, sizeof(binary), L"-n db"},
        {"odd size", REG_BINARY, binary, 3, L"-"},
        {"zero size", REG_SZ, binary, 0, L""},
        {"no terminator", REG_SZ, unterminated, sizeof(unterminated), L"abc"},
    };
    for (const auto& c : cases) {
        Store(c.Type, c.Data, c.Size);
        EXPECT_EQ(ReadServiceParameters(FName), c.Text) << c.Name;
    }
}

TEST_F(ServiceParameters, MissingKeyOrValueReadsEmpty)
{
    EXPECT_EQ(ReadServiceParameters(FName), L"");
    UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (ServicesKey + FName + L"\\Parameters").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadServiceParameters(FName), L"");
}

TEST_F(ServiceParameters, KeyThatCannotBeWrittenIsReported)
{
    const std::wstring path = ServicesKey + FName + L"\\Parameters";
    Store(REG_SZ, L"old", 8);
    SetKeyAccess(HKEY_LOCAL_MACHINE, path, KEY_READ | WRITE_DAC | DELETE);
    try {
        WriteServiceParameters(FName, L"x");
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), L"Unable to open key \"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\" + FName +
                                   L"\\Parameters\" for write");
    }
    SetKeyAccess(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS);
    EXPECT_EQ(ReadServiceParameters(FName), L"old");
}

// A service deleted meanwhile: nothing is written and no key is left for a later service of
// that name to take.
TEST_F(ServiceParameters, AServiceWithoutItsKeyGetsNone)
{
    const std::wstring gone = FName + L"_gone";
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (ServicesKey + gone).c_str());
    try {
        WriteServiceParameters(gone, L"x");
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), L"The service \"" + gone + L"\" no longer exists.");
    }
    UniqueRegKey key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (ServicesKey + gone).c_str(), 0, KEY_READ, key.put()),
              ERROR_FILE_NOT_FOUND);
}
}  // namespace
