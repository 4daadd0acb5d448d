// The account OK sets, beyond the reconfiguration: the user name refused before its password is
// asked for, an account unknown to the service's computer refused before anything is written,
// the right to log on as a service granted once it is set; and the simulated computer's start,
// which fails with 1069 as Windows' does until the account can log on.
#include "common/errors.h"
#include "erp/account_check.h"
#include "erp/change_config.h"
#include "services/sc_manager.h"
#include "tests/sim_scm/sim_accounts.h"
#include "tests/sim_scm/sim_scm.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {
TServiceReconfiguration NewAccount(const std::wstring& name)
{
    TServiceReconfiguration change;
    change.Account = TAccountChange::NewAccount;
    change.UserName = name;
    return change;
}

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

TEST(AccountCheck, TheUserNameIsRefusedBeforeItsPasswordIsAskedFor)
{
    const std::wstring blank = L"User name cannot be empty. Check \"Default\" to run the service as LocalSystem.";
    const std::wstring long300(300, L'u');
    const std::wstring invalid = L"is not a valid account name.";
    const struct {
        const char* Name;
        bool Default;
        const wchar_t* Entered;
        bool LoadedDefault;
        const wchar_t* Loaded;
        const std::wstring* Refusal;  // null: OK goes on
    } cases[] = {
        {"blank, was LocalSystem", false, L"", true, L"", &blank},
        {"three spaces, was a user", false, L"   ", false, L".\\erpuser", &blank},
        {"blank as loaded (stored without a name)", false, L" ", false, L"", nullptr},
        {"Default checked, whatever the box holds", true, L"..\\x", false, L".\\erpuser", nullptr},
        {"..\\x", false, L"..\\x", true, L"", &invalid},
        {"300 characters", false, long300.c_str(), true, L"", &invalid},
        {"trimmed before it is checked", false, L"  erp@corp.example ", true, L"", nullptr},
        {"a stored odd name left alone", false, L"odd[name]", false, L"odd[name]", nullptr},
        {"NT AUTHORITY\\SYSTEM", false, L"NT AUTHORITY\\SYSTEM", false, L".\\erpuser", nullptr},
        {"LocalService", false, L"LocalService", false, L".\\erpuser", nullptr},
        {".\\LocalSystem", false, L".\\LocalSystem", false, L".\\erpuser", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::wstring refusal = AccountEntryRefusal({c.Default, c.Entered}, {c.LoadedDefault, c.Loaded});
        if (!c.Refusal)
            EXPECT_EQ(refusal, L"");
        else if (c.Refusal == &invalid)
            EXPECT_EQ(refusal, L"User name \"" + TrimmedUserName(c.Entered) + L"\" " + invalid);
        else
            EXPECT_EQ(refusal, *c.Refusal);
    }
}

class AccountCheckSim : public testing::Test {
protected:
    TSimServiceControlManager Sim;
    TSimAccountRights Rights{Sim};
};

TEST_F(AccountCheckSim, OnlyAnAccountTheComputerKnowsIsSet)
{
    Sim.Accounts().Add(L".\\erpuser", L"pw");
    Sim.Accounts().Add(L"CORP\\erpsvc$");
    EXPECT_EQ(UnknownAccountRefusal(Rights, L"", NewAccount(L".\\nobody")),
              L"The account \".\\nobody\" does not exist on this computer.");
    EXPECT_EQ(UnknownAccountRefusal(Rights, L"erp-app1", NewAccount(L"CORP\\nobody$")),
              L"The account \"CORP\\nobody$\" does not exist on the computer \"erp-app1\".");
    EXPECT_EQ(UnknownAccountRefusal(Rights, L"", NewAccount(L".\\ERPUSER")), L"");
    EXPECT_EQ(UnknownAccountRefusal(Rights, L"", NewAccount(L"CORP\\erpsvc$")), L"");
    EXPECT_EQ(Rights.Asked(), (std::vector<std::wstring>{L"", L"erp-app1", L"", L""}));

    // The built-in accounts always exist; a virtual one is its service's, which the manager checks.
    TServiceReconfiguration system;
    system.Account = TAccountChange::LocalSystem;
    for (const TServiceReconfiguration& change : {system, NewAccount(L"LocalService"),
                                                  NewAccount(L"NT AUTHORITY\\NetworkService"), NewAccount(L"NT SERVICE\\x"),
                                                  TServiceReconfiguration{}})
        EXPECT_EQ(UnknownAccountRefusal(Rights, L"", change), L"");
    EXPECT_EQ(Rights.Asked().size(), 4u) << "none of them was looked up";

    // A computer that cannot be asked raises its error: nothing is written after it.
    Rights.Fail(RPC_S_SERVER_UNAVAILABLE);
    try {
        UnknownAccountRefusal(Rights, L"erp-app1", NewAccount(L".\\erpuser"));
        ADD_FAILURE() << "no error";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
    }
}

TEST_F(AccountCheckSim, ANewAccountIsGrantedTheRightToLogOnAsAService)
{
    Sim.Accounts().Add(L".\\erpuser", L"pw");
    Sim.Accounts().Add(L"holder", L"pw", true);
    Sim.Accounts().Add(L"CORP\\erpsvc$");

    TLogonRightGrant grant = GrantLogonRight(Rights, L"", NewAccount(L".\\erpuser"));
    EXPECT_EQ(grant.Granted, L"The account .\\erpuser was granted the right to log on as a service.");
    EXPECT_EQ(grant.Failure, L"");
    EXPECT_TRUE(Sim.Accounts().HoldsLogonRight(L"erpuser"));
    EXPECT_EQ(GrantLogonRight(Rights, L"", NewAccount(L".\\erpuser")).Granted, L"") << "held now: nothing to say";
    EXPECT_EQ(GrantLogonRight(Rights, L"", NewAccount(L"holder")).Granted, L"");
    EXPECT_EQ(GrantLogonRight(Rights, L"", NewAccount(L"CORP\\erpsvc$")).Granted,
              L"The account CORP\\erpsvc$ was granted the right to log on as a service.");

    // Nothing to grant: LocalSystem, the service accounts, a virtual account, no new account.
    const size_t asked = Rights.Asked().size();
    for (const wchar_t* name : {L"NT AUTHORITY\\SYSTEM", L"LocalService", L"NT SERVICE\\Svc"}) {
        grant = GrantLogonRight(Rights, L"", NewAccount(name));
        EXPECT_EQ(grant.Granted + grant.Failure, L"");
    }
    EXPECT_EQ(GrantLogonRight(Rights, L"", TServiceReconfiguration{}).Granted, L"");
    EXPECT_EQ(Rights.Asked().size(), asked);

    // A failed grant is a warning: the account is set, the service will not start under it.
    Rights.Fail(ERROR_ACCESS_DENIED);
    grant = GrantLogonRight(Rights, L"erp-app1", NewAccount(L".\\other"));
    EXPECT_EQ(grant.Granted, L"");
    EXPECT_TRUE(Contains(grant.Failure, L"as .\\other, but that account could not be granted the right to log on as a service"))
        << std::string(grant.Failure.begin(), grant.Failure.end());
    EXPECT_TRUE(Contains(grant.Failure, L"Code: 5."));
    EXPECT_TRUE(Contains(grant.Failure, L"will not start"));
}

TEST(AccountCheckText, TheGrantedLineComesOnALineOfItsOwn)
{
    EXPECT_EQ(WithLine(L"The new configuration will take effect as soon as the service is stopped.", L"Granted."),
              L"The new configuration will take effect as soon as the service is stopped.\nGranted.");
    EXPECT_EQ(WithLine(L"", L"Granted."), L"Granted.");
    EXPECT_EQ(WithLine(L"Text.", L""), L"Text.");
}

// A start as Windows answers it: 1069 (ERROR_SERVICE_LOGON_FAILED) for an account the
// computer does not know, a wrong password or an account without the right to log on as a
// service; the built-in and virtual accounts always log on, a managed one without a password.
TEST_F(AccountCheckSim, AStartFailsUntilTheAccountCanLogOn)
{
    Sim.AddService(SimService(L"Svc"));
    Sim.Accounts().Add(L".\\erpuser", L"secret");
    Sim.Accounts().Add(L"right", L"secret", true);
    Sim.Accounts().Add(L"CORP\\erpsvc$", L"", true);
    const struct {
        const char* Name;
        std::wstring Account, Password;
        DWORD Type = SERVICE_WIN32_OWN_PROCESS;
        DWORD Error;
    } cases[] = {
        {"unknown account", L".\\nobody", L"", SERVICE_WIN32_OWN_PROCESS, ERROR_SERVICE_LOGON_FAILED},
        {"no log-on right", L".\\erpuser", L"secret", SERVICE_WIN32_OWN_PROCESS, ERROR_SERVICE_LOGON_FAILED},
        {"wrong password", L"right", L"Secret", SERVICE_WIN32_OWN_PROCESS, ERROR_SERVICE_LOGON_FAILED},
        {"password and right", L".\\RIGHT", L"secret", SERVICE_WIN32_OWN_PROCESS, 0},
        {"managed account", L"CORP\\erpsvc$", L"", SERVICE_WIN32_OWN_PROCESS, 0},
        {"unknown managed account", L"CORP\\other$", L"", SERVICE_WIN32_OWN_PROCESS, ERROR_SERVICE_LOGON_FAILED},
        {"LocalSystem", L"LocalSystem", L"", SERVICE_WIN32_OWN_PROCESS, 0},
        {"local service", L"NT AUTHORITY\\LocalService", L"", SERVICE_WIN32_OWN_PROCESS, 0},
        {"virtual account", L"NT SERVICE\\Svc", L"", SERVICE_WIN32_OWN_PROCESS, 0},
        {"a driver's object", L"\\Driver\\Svc", L"", SERVICE_KERNEL_DRIVER, 0},
    };
    SC_HANDLE manager = Sim.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = Sim.OpenServiceW(manager, L"Svc", SERVICE_START);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim.Update(L"Svc", [&](TSimService& s) {
            s.ServiceType = c.Type;
            s.StartName = c.Account;
            s.Password = c.Password;
            s.State = SERVICE_STOPPED;
        });
        const BOOL started = Sim.StartServiceW(service, 0, nullptr);
        EXPECT_EQ(started ? 0u : GetLastError(), c.Error);
        EXPECT_EQ(Sim.Service(L"Svc").State, static_cast<DWORD>(c.Error ? SERVICE_STOPPED : SERVICE_RUNNING));
    }
    Sim.CloseServiceHandle(service);
    Sim.CloseServiceHandle(manager);
}

// The whole way: OK sets the account with its password and grants the right, and the service
// starts under it; set without the grant, its start fails with 1069.
TEST_F(AccountCheckSim, AnAccountSetByOkStarts)
{
    Sim.AddService(SimService(L"Svc"));
    Sim.Accounts().Add(L".\\erpuser", L"secret");
    TSCManager catalogue(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", Sim);
    catalogue.Refresh(true);
    TNtService* record = nullptr;
    ASSERT_TRUE(catalogue.FindService(L"Svc", record));
    const TServiceReconfiguration change = NewAccount(L".\\erpuser");
    ASSERT_TRUE(record->Reconfigure(change, [](std::wstring& password) {
        password = L"secret";
        return true;
    }));
    EXPECT_EQ(Sim.Service(L"Svc").StartName, L".\\erpuser");
    EXPECT_EQ(Sim.Service(L"Svc").Password, L"secret");

    auto startError = [&] {
        SC_HANDLE manager = Sim.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = Sim.OpenServiceW(manager, L"Svc", SERVICE_START);
        const DWORD error = Sim.StartServiceW(service, 0, nullptr) ? 0 : GetLastError();
        Sim.CloseServiceHandle(service);
        Sim.CloseServiceHandle(manager);
        return error;
    };
    EXPECT_EQ(startError(), static_cast<DWORD>(ERROR_SERVICE_LOGON_FAILED)) << "no right to log on as a service yet";
    EXPECT_NE(GrantLogonRight(Rights, catalogue.MachineName(), change).Granted, L"");
    EXPECT_EQ(startError(), 0u);
    EXPECT_EQ(Sim.Service(L"Svc").State, static_cast<DWORD>(SERVICE_RUNNING));
}
}  // namespace
