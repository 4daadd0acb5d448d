// Dependencies with the real program over Wine's real Service Control Manager, whose own answers
// list none: Start on an application server whose database is stopped asks and starts both;
// Stop on the database with the application server running asks and stops both; Properties...
// of the application server shows its dependency on the database, and OK without a change keeps
// every stored dependency; Properties... of the database offers none of its dependants; a new
// Depends on for a service with three dependencies asks first, naming the two that would go
// unseen. And what a user sees of a service changed from outside just before Properties...
// opens, and of "Parameters" kept one string a line.
#include "tests/main_e2e/e2e_services.h"
#include "tests/props_e2e/props_dialog_driver.h"
#include "tests/support/user_input.h"

#include "common/format.h"
#include "common/handle.h"
#include "common/registry.h"
#include "ui/props/form_props.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

const TServiceSpec DbSpec{L"SQLANYs_e2edeps_db", L"SQL Anywhere - E2E Deps Database", L""};
const TServiceSpec AppSpec{.Name = L"e2edeps_app",
                           .DisplayName = L"Talvora ERP E2E Deps Application Server",
                           .Options = L"--start-checkpoints 3",
                           .Dependencies = {L"SQLANYs_e2edeps_db", L"+e2edeps_network"}};
const TServiceSpec KeptSpec{.Name = L"e2edeps_kept",
                            .DisplayName = L"Talvora ERP E2E Deps Kept",
                            .Dependencies = {L"SQLANYs_e2edeps_db", L"e2edeps_app", L"+e2edeps_network"}};

// The service's stored dependency values, type and bytes.
std::vector<TRegValue> StoredDependencyValues(const std::wstring& name)
{
    std::vector<TRegValue> values(2);
    UniqueRegKey key;
    if (OpenRegKey(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\" + name, KEY_QUERY_VALUE, key) ==
        ERROR_SUCCESS) {
        ReadRegValue(key.get(), L"DependOnService", values[0]);
        ReadRegValue(key.get(), L"DependOnGroup", values[1]);
    }
    return values;
}

class DependenciesE2E : public TE2EServicesTest {
protected:
    static void SetUpTestSuite() { Register({&DbSpec, &AppSpec, &KeptSpec}); }

    void SetUp() override
    {
        FWindow = std::make_unique<TMainWindowDriver>();
        ASSERT_NE(FWindow->Main(), nullptr) << "no main window";
    }
    void TearDown() override { FWindow.reset(); }

    TMainWindowDriver& Window() { return *FWindow; }

    // Brings the services to these states (started in order, stopped in reverse) before the
    // program has acted.
    static void Settle(DWORD dbState, DWORD appState)
    {
        if (appState == SERVICE_STOPPED)
            Stopped(Service(AppSpec));
        if (dbState == SERVICE_STOPPED)
            Stopped(Service(DbSpec));
        if (dbState == SERVICE_RUNNING)
            Running(Service(DbSpec));
        if (appState == SERVICE_RUNNING)
            Running(Service(AppSpec));
    }
    static void Running(const TRegisteredService& s)
    {
        if (s.State() != SERVICE_RUNNING)
            s.Start();
        ASSERT_TRUE(s.WaitForState(SERVICE_RUNNING, 8000)) << ToUtf8(s.Name());
    }
    static void Stopped(const TRegisteredService& s)
    {
        if (s.State() != SERVICE_STOPPED)
            s.Control(SERVICE_CONTROL_STOP);
        ASSERT_TRUE(s.WaitForState(SERVICE_STOPPED, 8000)) << ToUtf8(s.Name());
    }

    // The next message box's caption and text; answered with the button.
    std::wstring Answer(int button)
    {
        HWND box = Window().WaitForMessageBox();
        if (!box)
            return L"(no message box)";
        std::wstring seen = WindowText(box) + L": " + MessageBoxText(box);
        PressButton(box, button);
        EXPECT_TRUE(Window().WaitForNoMessageBox());
        return seen;
    }

private:
    std::unique_ptr<TMainWindowDriver> FWindow;
};

const std::wstring StartQuestion = L"Start service: These services are dependent and must also be started. "
                                   L"Continue?\r\n\r\n\"SQL Anywhere - E2E Deps Database\"";
const std::wstring StopWarning = L"Stop service: You are about to stop the database server. Really continue?";
const std::wstring StopQuestion = L"Stop service: These services are dependent and must also be stopped. "
                                  L"Continue?\r\n\r\n\"Talvora ERP E2E Deps Application Server\"";

TEST_F(DependenciesE2E, StartAsksForTheStoppedDatabaseAndStartsBoth)
{
    Settle(SERVICE_STOPPED, SERVICE_STOPPED);
    const std::wstring app = AppSpec.DisplayName;
    ASSERT_TRUE(Window().ClickRow(app));
    ASSERT_TRUE(Window().WaitForStatus(app, L"Stopped", 3000));

    ASSERT_TRUE(Window().SendButtonCommand(ActStart));
    EXPECT_EQ(Answer(IDNO), StartQuestion);
    // A start goes to a worker of its own: the idle window is no sign that none was asked for.
    Sleep(1200);
    EXPECT_EQ(Service(DbSpec).State(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(Service(AppSpec).State(), static_cast<DWORD>(SERVICE_STOPPED));

    ASSERT_TRUE(Window().SendButtonCommand(ActStart));
    EXPECT_EQ(Answer(IDYES), StartQuestion);
    EXPECT_TRUE(Window().WaitForStatus(app, L"Running", 10000));
    EXPECT_TRUE(Window().WaitForStatus(DbSpec.DisplayName, L"Running", 3000));
    EXPECT_EQ(Service(DbSpec).State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(Service(AppSpec).State(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(DependenciesE2E, StopOfTheDatabaseAsksForTheRunningApplicationServerAndStopsBoth)
{
    Settle(SERVICE_RUNNING, SERVICE_RUNNING);
    const std::wstring db = DbSpec.DisplayName;
    ASSERT_TRUE(Window().ClickRow(db));
    ASSERT_TRUE(Window().WaitForStatus(db, L"Running", 3000));

    ASSERT_TRUE(Window().SendButtonCommand(ActStop));
    EXPECT_EQ(Answer(IDYES), StopWarning);
    EXPECT_EQ(Answer(IDCANCEL), StopQuestion);
    ASSERT_TRUE(Window().WaitForIdle());
    EXPECT_EQ(Service(DbSpec).State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(Service(AppSpec).State(), static_cast<DWORD>(SERVICE_RUNNING));

    ASSERT_TRUE(Window().SendButtonCommand(ActStop));
    EXPECT_EQ(Answer(IDYES), StopWarning);
    EXPECT_EQ(Answer(IDYES), StopQuestion);
    EXPECT_TRUE(Window().WaitForStatus(db, L"Stopped", 10000));
    EXPECT_TRUE(Window().WaitForStatus(AppSpec.DisplayName, L"Stopped", 3000));
    EXPECT_EQ(Service(AppSpec).State(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(Service(DbSpec).State(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(DependenciesE2E, PropertiesOfTheApplicationServerShowItsDatabase)
{
    TPropsDialogDriver dialogs(Window());
    HWND dialog = dialogs.OpenProperties(AppSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    EXPECT_EQ(TPropsDialogDriver::Text(dialog, TFormProps::IdComboDepend), DbSpec.Name);
    SaveWindowPicture(dialog, BuildFilePath(L"props_dependency.bmp"));
    TPropsDialogDriver::Click(dialog, IDCANCEL);
    EXPECT_TRUE(dialogs.WaitGone(TFormProps::ClassName));
}

TEST_F(DependenciesE2E, OkWithoutAChangeKeepsTheStoredDependenciesByteForByte)
{
    const std::vector<TRegValue> before = StoredDependencyValues(KeptSpec.Name);
    ASSERT_EQ(before[0].Type, static_cast<DWORD>(REG_MULTI_SZ));
    ASSERT_EQ(before[1].Type, static_cast<DWORD>(REG_MULTI_SZ));

    TPropsDialogDriver dialogs(Window());
    HWND dialog = dialogs.OpenProperties(KeptSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    EXPECT_EQ(TPropsDialogDriver::Text(dialog, TFormProps::IdComboDepend), DbSpec.Name);
    TPropsDialogDriver::Click(dialog, IDOK);
    ASSERT_TRUE(dialogs.WaitGone(TFormProps::ClassName)) << "the dialog stays";

    const std::vector<TRegValue> after = StoredDependencyValues(KeptSpec.Name);
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].Type, before[i].Type) << i;
        EXPECT_EQ(after[i].Data, before[i].Data) << i;
    }
}

TEST_F(DependenciesE2E, PropertiesOfTheDatabaseOffersNoneOfItsDependants)
{
    TPropsDialogDriver dialogs(Window());
    HWND dialog = dialogs.OpenProperties(DbSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    EXPECT_GT(TPropsDialogDriver::DependencyCount(dialog), 1);
    for (const TServiceSpec* dependant : {&AppSpec, &KeptSpec})
        EXPECT_FALSE(TPropsDialogDriver::SelectDependency(dialog, dependant->Name)) << ToUtf8(dependant->Name);
    TPropsDialogDriver::Click(dialog, IDCANCEL);
    EXPECT_TRUE(dialogs.WaitGone(TFormProps::ClassName));
}

TEST_F(DependenciesE2E, ANewDependencyAsksFirstNamingThoseThatGoUnseen)
{
    const std::vector<TRegValue> before = StoredDependencyValues(KeptSpec.Name);
    TPropsDialogDriver dialogs(Window());
    HWND dialog = dialogs.OpenProperties(KeptSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    ASSERT_TRUE(TPropsDialogDriver::SelectDependency(dialog, L"<none>"));
    TPropsDialogDriver::Click(dialog, IDOK);
    // The question is the dialog's own (owned by it).
    HWND box = dialogs.WaitFor(L"#32770");
    ASSERT_NE(box, nullptr) << "no question";
    EXPECT_EQ(GetWindow(box, GW_OWNER), dialog);
    EXPECT_EQ(WindowText(box) + L": " + MessageBoxText(box),
              L"Service properties: The new dependency replaces all others. These dependencies are not shown and will "
              L"be removed too. Continue?\r\n\r\ne2edeps_app\r\ne2edeps_network (group)");
    SaveWindowPicture(box, BuildFilePath(L"props_dependency_question.bmp"));
    PressButton(box, IDNO);
    ASSERT_TRUE(dialogs.WaitGone(L"#32770"));
    ASSERT_TRUE(Window().WaitForIdle());
    EXPECT_TRUE(IsWindowVisible(dialog)) << "No keeps the dialog open";
    TPropsDialogDriver::Click(dialog, IDCANCEL);
    EXPECT_TRUE(dialogs.WaitGone(TFormProps::ClassName));
    const std::vector<TRegValue> after = StoredDependencyValues(KeptSpec.Name);
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(after[i].Data, before[i].Data) << i;
}

// The database's start type changed by another program just before Properties... opens.
TEST_F(DependenciesE2E, PropertiesShowsAStartTypeChangedJustBefore)
{
    Settle(SERVICE_STOPPED, SERVICE_STOPPED);
    auto setStart = [](DWORD startType) {
        UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        UniqueScHandle service(OpenServiceW(manager.get(), DbSpec.Name.c_str(), SERVICE_CHANGE_CONFIG));
        ASSERT_TRUE(service);
        ASSERT_TRUE(ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    };
    ASSERT_TRUE(Window().WaitForStatus(DbSpec.DisplayName, L"Stopped", 3000));
    setStart(SERVICE_DISABLED);
    TPropsDialogDriver dialogs(Window());
    HWND dialog = dialogs.OpenProperties(DbSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    EXPECT_TRUE(TPropsDialogDriver::Checked(dialog, TFormProps::IdRBtnStartDisabled));
    EXPECT_FALSE(TPropsDialogDriver::Checked(dialog, TFormProps::IdRBtnStartManual));
    TPropsDialogDriver::Click(dialog, IDCANCEL);
    EXPECT_TRUE(dialogs.WaitGone(TFormProps::ClassName));
    setStart(SERVICE_DEMAND_START);
}

// "Parameters" kept one string a line (REG_MULTI_SZ) shows its lines, and a line added keeps
// the type.
TEST_F(DependenciesE2E, ParametersOneStringALineKeepTheirType)
{
    Settle(SERVICE_STOPPED, SERVICE_STOPPED);
    const std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\" + DbSpec.Name + L"\\Parameters";
    {
        UniqueRegKey parameters;
        ASSERT_EQ(CreateRegKey(HKEY_LOCAL_MACHINE, key, KEY_SET_VALUE, parameters), ERROR_SUCCESS);
        const wchar_t lines[] = L"-n erpdb\0-x tcpip\0";
        ASSERT_EQ(RegSetValueExW(parameters.get(), L"Parameters", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(lines),
                                 sizeof(lines)),
                  ERROR_SUCCESS);
    }
    TPropsDialogDriver dialogs(Window());
    HWND dialog = dialogs.OpenProperties(DbSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    EXPECT_EQ(TPropsDialogDriver::Text(dialog, TFormProps::IdMemoParams), L"-n erpdb\r\n-x tcpip");
    TPropsDialogDriver::SetText(dialog, TFormProps::IdMemoParams, L"-n erpdb\r\n-x tcpip\r\n-c 64M");
    TPropsDialogDriver::Click(dialog, IDOK);
    ASSERT_TRUE(dialogs.WaitGone(TFormProps::ClassName)) << "the dialog stays";

    UniqueRegKey parameters;
    ASSERT_EQ(OpenRegKey(HKEY_LOCAL_MACHINE, key, KEY_QUERY_VALUE, parameters), ERROR_SUCCESS);
    TRegValue value;
    ASSERT_EQ(ReadRegValue(parameters.get(), L"Parameters", value), ERROR_SUCCESS);
    EXPECT_EQ(value.Type, static_cast<DWORD>(REG_MULTI_SZ));
    const wchar_t expected[] = L"-n erpdb\0-x tcpip\0-c 64M\0";
    EXPECT_EQ(value.Data, std::vector<BYTE>(reinterpret_cast<const BYTE*>(expected),
                                            reinterpret_cast<const BYTE*>(expected) + sizeof(expected)));
}

}  // namespace
