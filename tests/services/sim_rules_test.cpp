// What Windows' Service Control Manager refuses, the simulated one refuses too (rights checked
// at open, accounts, the interactive flag, a deleted service kept until its last handle, the
// enumeration's size an estimate), and the program asks each handle for no more than its calls
// need, so that a service whose permissions allow only that still works.
#include "services/sc_manager.h"
#include "services/service_monitor.h"
#include "tests/services/service_test_util.h"
#include "tests/sim_scm/sim_scm.h"

#include <gtest/gtest.h>

#include <string>

namespace {
constexpr DWORD ReadOnly = SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG;

class SimRules : public testing::Test {
protected:
    SimRules()
    {
        Sim.AddService(SimService(L"Svc"));
        Manager = Sim.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    }
    ~SimRules() override
    {
        if (Manager)
            Sim.CloseServiceHandle(Manager);
    }
    DWORD OpenError(DWORD access)
    {
        SC_HANDLE h = Sim.OpenServiceW(Manager, L"Svc", access);
        const DWORD error = h ? ERROR_SUCCESS : GetLastError();
        if (h)
            Sim.CloseServiceHandle(h);
        return error;
    }
    DWORD Change(SC_HANDLE h, DWORD type, const wchar_t* account)
    {
        return Sim.ChangeServiceConfigW(h, type, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                        account, account ? L"" : nullptr, nullptr)
                   ? ERROR_SUCCESS
                   : GetLastError();
    }

    TSimServiceControlManager Sim;
    SC_HANDLE Manager = nullptr;
};

TEST_F(SimRules, RightsAreCheckedAtOpen)
{
    Sim.Update(L"Svc", [](TSimService& s) { s.GrantedAccess = ReadOnly; });
    const struct {
        const char* Name;
        DWORD Access;
        DWORD Error;
    } cases[] = {
        {"all access", SERVICE_ALL_ACCESS, ERROR_ACCESS_DENIED},
        {"change", SERVICE_CHANGE_CONFIG, ERROR_ACCESS_DENIED},
        {"generic all", GENERIC_ALL, ERROR_ACCESS_DENIED},
        {"query status", SERVICE_QUERY_STATUS, ERROR_SUCCESS},
        {"both queries", ReadOnly, ERROR_SUCCESS},
        {"the most allowed", MAXIMUM_ALLOWED, ERROR_SUCCESS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(OpenError(c.Access), c.Error);
    }
    Sim.SetManagerGrantedAccess(SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
    EXPECT_EQ(Sim.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SC_HANDLE connect = Sim.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    EXPECT_NE(connect, nullptr);
    Sim.CloseServiceHandle(connect);
}

TEST_F(SimRules, AccountsAndTheInteractiveFlagAsWindowsTakesThem)
{
    Sim.AddAccount(L"DOMAIN\\known");
    SC_HANDLE h = Sim.OpenServiceW(Manager, L"Svc", SERVICE_CHANGE_CONFIG);
    const DWORD interactive = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
    const struct {
        const char* Name;
        DWORD Type;
        const wchar_t* Account;
        DWORD Error;
    } cases[] = {
        {"unknown account", SERVICE_NO_CHANGE, L".\\nobody", ERROR_INVALID_SERVICE_ACCOUNT},
        {"known account, any case", SERVICE_NO_CHANGE, L"domain\\KNOWN", ERROR_SUCCESS},
        {"interactive with that account", interactive, nullptr, ERROR_INVALID_PARAMETER},
        {"interactive with a service account", interactive, L"NT AUTHORITY\\LocalService", ERROR_INVALID_PARAMETER},
        {"interactive as LocalSystem", interactive, L".\\localsystem", ERROR_SUCCESS},
        {"another account while interactive", SERVICE_NO_CHANGE, L"NT AUTHORITY\\NetworkService",
         ERROR_INVALID_PARAMETER},
        {"the flag cleared with it", SERVICE_WIN32_OWN_PROCESS, L"NT AUTHORITY\\NetworkService", ERROR_SUCCESS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Change(h, c.Type, c.Account), c.Error);
    }
    Sim.CloseServiceHandle(h);
    EXPECT_EQ(Sim.CreateServiceW(Manager, L"New", nullptr, SERVICE_ALL_ACCESS, interactive, SERVICE_DEMAND_START,
                                 SERVICE_ERROR_NORMAL, L"C:\\x.exe", nullptr, nullptr, nullptr, L"DOMAIN\\known", L""),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(SimRules, ADeletedServiceStaysMarkedUntilItsLastHandleCloses)
{
    SC_HANDLE first = Sim.OpenServiceW(Manager, L"Svc", DELETE);
    SC_HANDLE second = Sim.OpenServiceW(Manager, L"Svc", SERVICE_CHANGE_CONFIG);
    ASSERT_TRUE(Sim.DeleteService(first));
    Sim.CloseServiceHandle(first);
    EXPECT_TRUE(Sim.Exists(L"Svc"));
    EXPECT_TRUE(Sim.Service(L"Svc").MarkedForDelete);
    EXPECT_EQ(Change(second, SERVICE_NO_CHANGE, L"LocalSystem"), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_EQ(Sim.CreateServiceW(Manager, L"svc", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                 SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, L"C:\\x.exe", nullptr, nullptr, nullptr,
                                 nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    Sim.CloseServiceHandle(second);
    EXPECT_FALSE(Sim.Exists(L"Svc"));
}

TEST_F(SimRules, TheEnumerationsNeededSizeIsAnEstimate)
{
    for (int i = 0; i < 20; ++i)
        Sim.AddService(SimService(L"More" + std::to_wstring(i)));
    DWORD needed = 0, returned = 0, resume = 0;
    EXPECT_FALSE(Sim.EnumServicesStatusW(Manager, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed, &returned,
                                         &resume));
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(Sim.EnumServicesStatusW(Manager, SERVICE_WIN32, SERVICE_STATE_ALL,
                                        reinterpret_cast<LPENUM_SERVICE_STATUSW>(buffer.data()), needed, &needed,
                                        &returned, &resume));
    EXPECT_EQ(returned, 21u);
    // The catalogue reads them all, whatever the estimate.
    TSCManager catalogue(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", Sim);
    catalogue.Refresh(true);
    EXPECT_EQ(catalogue.ServiceCount(), 21);
}

// A service whose permissions let the caller only query it (and change its configuration, for
// Properties...) is still followed, read and reconfigured.
TEST_F(SimRules, TheProgramAsksForTheRightsItsCallsNeed)
{
    Sim.SetStatus(L"Svc", SERVICE_RUNNING);
    Sim.Update(L"Svc", [](TSimService& s) { s.GrantedAccess = ReadOnly; });
    Sim.SetManagerGrantedAccess(SC_MANAGER_CONNECT);
    EXPECT_EQ(TServiceMonitor::QueryState(Sim, L"Svc"), ssRunning);
    Sim.SetManagerGrantedAccess(SC_MANAGER_ALL_ACCESS);

    TSCManager catalogue(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", Sim);
    catalogue.Refresh(true);
    TNtService* record = nullptr;
    ASSERT_TRUE(catalogue.FindService(L"Svc", record));
    EXPECT_EQ(record->DelayedStart(), std::optional<bool>(false));
    EXPECT_TRUE(record->StoredDependencies().empty());

    Sim.Update(L"Svc", [](TSimService& s) { s.GrantedAccess = ReadOnly | SERVICE_CHANGE_CONFIG; });
    TServiceReconfiguration change;
    change.StartType = sstDisabled;
    change.DelayedStart = true;
    EXPECT_TRUE(record->Reconfigure(change, [](std::wstring&) { return false; }));
    EXPECT_EQ(Sim.Service(L"Svc").StartType, static_cast<DWORD>(SERVICE_DISABLED));
    EXPECT_TRUE(Sim.Service(L"Svc").DelayedAutoStart);
}
}  // namespace
