// Dependencies with the real program over Wine's real Service Control Manager, whose own answers
// list none: Start on an application server whose database is stopped asks and starts both;
// Stop on the database with the application server running asks and stops both; Properties...
// of the application server shows its dependency on the database, and OK without a change keeps
// every stored dependency.
#include "tests/main_e2e/e2e_services.h"
#include "tests/props_e2e/props_dialog_driver.h"
#include "tests/support/user_input.h"

#include "common/format.h"
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

}  // namespace
