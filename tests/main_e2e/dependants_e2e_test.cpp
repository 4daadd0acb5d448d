// Stop on a database server whose dependants do not simply stop, over Wine's real Service
// Control Manager: one dependant already stopping (slowly) when Stop is given, one whose stop
// hangs. Each database has its own dependant.
#include "tests/main_e2e/e2e_services.h"
#include "tests/main_e2e/main_window_driver.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const std::wstring DatabaseWarning = L"You are about to stop the database server. Really continue?";

// A dependant whose stop takes about six seconds.
const TServiceSpec SlowDbSpec{L"SQLANYs_e2edep_slow", L"SQL Anywhere E2E Dep Slow", L""};
const TServiceSpec SlowAppSpec{.Name = L"e2edep_slowapp",
                               .DisplayName = L"Talvora ERP E2E Dep Slow App",
                               .Options = L"--stop-checkpoints 24 --step-ms 250",
                               .Dependencies = {L"SQLANYs_e2edep_slow"}};
// A dependant whose stop hangs: its check point stands still for eight seconds though it asked
// for one second at a time.
const TServiceSpec HangDbSpec{L"SQLANYs_e2edep_hang", L"SQL Anywhere E2E Dep Hang", L""};
const TServiceSpec HangAppSpec{.Name = L"e2edep_hangapp",
                               .DisplayName = L"Talvora ERP E2E Dep Hang App",
                               .Options = L"--freeze-stop 8000 --wait-hint 1000",
                               .Dependencies = {L"SQLANYs_e2edep_hang"}};

class DependantsE2E : public TE2EServicesTest {
protected:
    static void SetUpTestSuite()
    {
        // Dependants first: the services are stopped and deleted in this order at the end, and
        // a database is stopped only once nothing running depends on it.
        Register({&SlowAppSpec, &HangAppSpec, &SlowDbSpec, &HangDbSpec});
        for (const TServiceSpec* wanted : {&SlowDbSpec, &HangDbSpec, &SlowAppSpec, &HangAppSpec}) {
            Service(*wanted).Start();
            Service(*wanted).WaitForState(SERVICE_RUNNING, 5000);
        }
    }

    void SetUp() override
    {
        FWindow = std::make_unique<TMainWindowDriver>();
        ASSERT_NE(FWindow->Main(), nullptr) << "no main window";
    }
    void TearDown() override { FWindow.reset(); }

    TMainWindowDriver& Window() { return *FWindow; }

private:
    std::unique_ptr<TMainWindowDriver> FWindow;
};

// The dependant is stopping when Stop is given: it is waited for (not sent a stop it would
// refuse), and the database stops after it, with only the database's warning asked.
TEST_F(DependantsE2E, StopWaitsForADependantThatIsAlreadyStopping)
{
    const TRegisteredService& app = Service(SlowAppSpec);
    const TRegisteredService& db = Service(SlowDbSpec);
    ASSERT_EQ(app.State(), static_cast<DWORD>(SERVICE_RUNNING));
    ASSERT_EQ(db.State(), static_cast<DWORD>(SERVICE_RUNNING));
    ASSERT_TRUE(Window().ClickRow(SlowDbSpec.DisplayName));
    ASSERT_TRUE(Window().WaitForButton(ActStop, true));

    ASSERT_TRUE(app.Control(SERVICE_CONTROL_STOP)) << "the dependant did not take the stop";
    ASSERT_TRUE(Window().ClickButton(ActStop));
    HWND box = Window().WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "no warning";
    // The case at hand: the dependant is still stopping when the program reads it.
    ASSERT_EQ(app.State(), static_cast<DWORD>(SERVICE_STOP_PENDING)) << "the dependant stopped too soon";
    EXPECT_TRUE(Window().AnswerMessageBox(L"Stop service", DatabaseWarning, IDYES));

    EXPECT_TRUE(Window().WaitForStatus(SlowDbSpec.DisplayName, L"Stopped", 15000));
    if (HWND reported = Window().WaitForMessageBox(1000))
        ADD_FAILURE() << "reported: " << testing::PrintToString(MessageBoxText(reported));
    EXPECT_EQ(db.State(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(app.State(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(Window().WaitForStatus(SlowAppSpec.DisplayName, L"Stopped", 3000));
}

// The dependant's stop hangs: the program names it within a few seconds, answers its window
// meanwhile, and leaves the database running.
TEST_F(DependantsE2E, AStopThatHangsInADependantIsReportedByName)
{
    const TRegisteredService& app = Service(HangAppSpec);
    const TRegisteredService& db = Service(HangDbSpec);
    ASSERT_EQ(app.State(), static_cast<DWORD>(SERVICE_RUNNING));
    ASSERT_TRUE(Window().ClickRow(HangDbSpec.DisplayName));
    ASSERT_TRUE(Window().ClickButton(ActStop));
    EXPECT_TRUE(Window().AnswerMessageBox(L"Stop service", DatabaseWarning, IDYES));
    ASSERT_TRUE(Window().AnswerMessageBox(
        L"Stop service",
        L"These services are dependent and must also be stopped. Continue?\r\n\r\n\"" + HangAppSpec.DisplayName + L"\"",
        IDYES));

    // Until the report comes the window takes messages at once.
    const DWORD asked = GetTickCount();
    HWND report = nullptr;
    int answered = 0;
    while (!(report = Window().WaitForMessageBox(0)) && GetTickCount() - asked < 8000) {
        ASSERT_TRUE(Window().WaitForIdle(500)) << "the window did not answer after " << GetTickCount() - asked << " ms";
        ++answered;
        Sleep(100);
    }
    ASSERT_NE(report, nullptr) << "no report within 8 s";
    EXPECT_GT(answered, 0);
    EXPECT_EQ(app.State(), static_cast<DWORD>(SERVICE_STOP_PENDING)) << "the report came after the stop ended";
    EXPECT_TRUE(Window().AnswerMessageBox(
        L"Talvora ERP Service Manager", L"e2edep_hangapp: Stopping did not end within the time the service asked for.",
        IDOK));

    // The database was not asked to stop.
    EXPECT_EQ(db.State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(Window().WaitForStatus(HangDbSpec.DisplayName, L"Running", 0));
    // The hang ends by itself.
    EXPECT_TRUE(app.WaitForState(SERVICE_STOPPED, 12000));
}

}  // namespace
