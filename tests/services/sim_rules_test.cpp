// What Windows' Service Control Manager refuses, the simulated one refuses too (rights checked
// at open, accounts, the interactive flag, a deleted service kept until its last handle, the
// enumeration's size an estimate; the table of Windows' answers below: controls in pending
// states, dependency circles, display names in use, starts whose dependencies fail, unknown
// computers, handles of a lost connection), and the program asks each handle for no more than
// its calls need, so that a service whose permissions allow only that still works.
#include "services/sc_manager.h"
#include "services/service_monitor.h"
#include "tests/services/service_test_util.h"
#include "tests/sim_scm/sim_computers.h"
#include "tests/sim_scm/sim_scm.h"

#include <gtest/gtest.h>

#include <functional>
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

namespace {
// Windows' answers that the simulated manager keeps, each with where it is recorded: the API
// documentation of the call, or the expectations of Wine's conformance tests
// (dlls/advapi32/tests/service.c), which are written to pass on Windows (todo_wine marks where
// Wine answers otherwise). Every row starts from a computer "erp-far" with A (running), B
// (running, needs A) and G1 (stopped, in the group "Grp").
struct TWindowsRule {
    const char* What;
    const char* Recorded;
    std::function<void(TSimComputers& net)> Given;
    std::function<DWORD(TSimComputers& net)> Call;  // the call's error, ERROR_SUCCESS when it went through
    DWORD Error;
    std::function<bool(TSimComputers& net)> Then = nullptr;  // what else must hold afterwards
};

constexpr const wchar_t* Far = L"erp-far";

// Opens the service on the computer, makes the call and closes both handles again.
DWORD OnService(TSimComputers& net, const wchar_t* name, DWORD access, const std::function<BOOL(SC_HANDLE)>& call)
{
    UniqueScHandleOf manager(net, net.OpenSCManagerW(Far, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return GetLastError();
    UniqueScHandleOf service(net, net.OpenServiceW(manager.get(), name, access));
    if (!service)
        return GetLastError();
    return call(service.get()) ? ERROR_SUCCESS : GetLastError();
}

DWORD Control(TSimComputers& net, const wchar_t* name, DWORD control)
{
    SERVICE_STATUS status{};
    return OnService(net, name, SERVICE_ALL_ACCESS, [&](SC_HANDLE h) { return net.ControlService(h, control, &status); });
}

DWORD Start(TSimComputers& net, const wchar_t* name)
{
    return OnService(net, name, SERVICE_START, [&](SC_HANDLE h) { return net.StartServiceW(h, 0, nullptr); });
}

// Changes the dependencies ("\0"-separated, doubled at the end), the group or the display name
// (null: unchanged).
DWORD Change(TSimComputers& net, const wchar_t* name, const wchar_t* dependencies, const wchar_t* group = nullptr,
             const wchar_t* displayName = nullptr, DWORD type = SERVICE_NO_CHANGE, const wchar_t* account = nullptr)
{
    return OnService(net, name, SERVICE_CHANGE_CONFIG, [&](SC_HANDLE h) {
        return net.ChangeServiceConfigW(h, type, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, group, nullptr,
                                        dependencies, account, account ? L"" : nullptr, displayName);
    });
}

DWORD Create(TSimComputers& net, const wchar_t* name, const wchar_t* displayName, const wchar_t* dependencies)
{
    UniqueScHandleOf manager(net, net.OpenSCManagerW(Far, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueScHandleOf created(net, net.CreateServiceW(manager.get(), name, displayName, SERVICE_ALL_ACCESS,
                                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                     SERVICE_ERROR_NORMAL, L"C:\\x.exe", nullptr, nullptr,
                                                     dependencies, nullptr, nullptr));
    return created ? ERROR_SUCCESS : GetLastError();
}

void SetService(TSimComputers& net, const wchar_t* name, const std::function<void(TSimService&)>& change)
{
    net.Computer(Far).Update(name, change);
}

DWORD StateOf(TSimComputers& net, const wchar_t* name) { return net.Computer(Far).Service(name).State; }

const TWindowsRule WindowsRules[] = {
    // Controls and the service's state.
    {"STOP to a stopping service", "ControlService: ERROR_SERVICE_CANNOT_ACCEPT_CTRL",
     [](auto& net) { net.Computer(Far).SetStatus(L"B", SERVICE_STOP_PENDING, 1, 3000); },
     [](auto& net) { return Control(net, L"B", SERVICE_CONTROL_STOP); }, ERROR_SERVICE_CANNOT_ACCEPT_CTRL},
    {"PAUSE to a starting service", "ControlService: ERROR_SERVICE_CANNOT_ACCEPT_CTRL",
     [](auto& net) { net.Computer(Far).SetStatus(L"B", SERVICE_START_PENDING, 1, 3000); },
     [](auto& net) { return Control(net, L"B", SERVICE_CONTROL_PAUSE); }, ERROR_SERVICE_CANNOT_ACCEPT_CTRL},
    {"STOP to a starting service that accepts no controls yet", "ControlService: ERROR_INVALID_SERVICE_CONTROL",
     [](auto& net) {
         net.Computer(Far).SetStatus(L"B", SERVICE_START_PENDING, 1, 3000);
         SetService(net, L"B", [](TSimService& s) { s.ControlsAccepted = 0; });
     },
     [](auto& net) { return Control(net, L"B", SERVICE_CONTROL_STOP); }, ERROR_INVALID_SERVICE_CONTROL},
    {"STOP to a starting service that accepts it", "ControlService: only STOP reaches a starting service",
     [](auto& net) { net.Computer(Far).SetStatus(L"B", SERVICE_START_PENDING, 1, 3000); },
     [](auto& net) { return Control(net, L"B", SERVICE_CONTROL_STOP); }, ERROR_SUCCESS},
    {"STOP to a stopped service", "ControlService: ERROR_SERVICE_NOT_ACTIVE",
     [](auto& net) { net.Computer(Far).SetStatus(L"G1", SERVICE_STOPPED); },
     [](auto& net) { return Control(net, L"G1", SERVICE_CONTROL_STOP); }, ERROR_SERVICE_NOT_ACTIVE},
    {"PAUSE to a service that cannot pause", "ControlService: ERROR_INVALID_SERVICE_CONTROL",
     [](auto& net) { SetService(net, L"B", [](TSimService& s) { s.ControlsAccepted = SERVICE_ACCEPT_STOP; }); },
     [](auto& net) { return Control(net, L"B", SERVICE_CONTROL_PAUSE); }, ERROR_INVALID_SERVICE_CONTROL},
    {"STOP to a service whose dependant runs", "ControlService: ERROR_DEPENDENT_SERVICES_RUNNING", nullptr,
     [](auto& net) { return Control(net, L"A", SERVICE_CONTROL_STOP); }, ERROR_DEPENDENT_SERVICES_RUNNING},

    // Dependencies in a circle, through services and groups.
    {"A made to need its dependant B", "ChangeServiceConfigW: ERROR_CIRCULAR_DEPENDENCY", nullptr,
     [](auto& net) { return Change(net, L"A", L"B\0"); }, ERROR_CIRCULAR_DEPENDENCY,
     [](auto& net) { return net.Computer(Far).Service(L"A").Dependencies.empty(); }},
    {"A made to need itself", "ChangeServiceConfigW: ERROR_CIRCULAR_DEPENDENCY", nullptr,
     [](auto& net) { return Change(net, L"A", L"a\0"); }, ERROR_CIRCULAR_DEPENDENCY},
    {"A made to need the group of a member that needs A", "ChangeServiceConfigW: ERROR_CIRCULAR_DEPENDENCY",
     [](auto& net) { SetService(net, L"G1", [](TSimService& s) { s.Dependencies = {L"B"}; }); },
     [](auto& net) { return Change(net, L"A", L"+grp\0"); }, ERROR_CIRCULAR_DEPENDENCY},
    {"a service put into the group that its dependency needs", "ChangeServiceConfigW: ERROR_CIRCULAR_DEPENDENCY",
     [](auto& net) { SetService(net, L"A", [](TSimService& s) { s.Dependencies = {L"+Other"}; }); },
     [](auto& net) { return Change(net, L"B", nullptr, L"Other"); }, ERROR_CIRCULAR_DEPENDENCY},
    {"a member made to need its own group", "ChangeServiceConfigW: ERROR_CIRCULAR_DEPENDENCY", nullptr,
     [](auto& net) { return Change(net, L"G1", L"+Grp\0"); }, ERROR_CIRCULAR_DEPENDENCY},
    {"a new service in a circle through a group", "CreateServiceW: ERROR_CIRCULAR_DEPENDENCY",
     [](auto& net) { SetService(net, L"A", [](TSimService& s) { s.Dependencies = {L"+Grp"}; }); },
     [](auto& net) {
         UniqueScHandleOf manager(net, net.OpenSCManagerW(Far, nullptr, SC_MANAGER_ALL_ACCESS));
         UniqueScHandleOf created(net, net.CreateServiceW(manager.get(), L"G2", nullptr, SERVICE_ALL_ACCESS,
                                                          SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                          SERVICE_ERROR_NORMAL, L"C:\\x.exe", L"Grp", nullptr,
                                                          L"B\0", nullptr, nullptr));
         return created ? ERROR_SUCCESS : GetLastError();
     },
     ERROR_CIRCULAR_DEPENDENCY},
    {"a second dependency beside one in place", "ChangeServiceConfigW: no circle, stored", nullptr,
     [](auto& net) { return Change(net, L"B", L"A\0+Grp\0"); }, ERROR_SUCCESS,
     [](auto& net) { return net.Computer(Far).Service(L"B").Dependencies.size() == 2; }},

    // Display names.
    {"another service's display name", "ChangeServiceConfigW: ERROR_DUPLICATE_SERVICE_NAME", nullptr,
     [](auto& net) { return Change(net, L"B", nullptr, nullptr, L"a DISPLAY"); }, ERROR_DUPLICATE_SERVICE_NAME},
    {"another service's name as display name", "ChangeServiceConfigW: ERROR_DUPLICATE_SERVICE_NAME", nullptr,
     [](auto& net) { return Change(net, L"B", nullptr, nullptr, L"g1"); }, ERROR_DUPLICATE_SERVICE_NAME},
    {"its own display name again", "ChangeServiceConfigW", nullptr,
     [](auto& net) { return Change(net, L"B", nullptr, nullptr, L"B display"); }, ERROR_SUCCESS},
    {"a new service with a display name in use",
     "CreateServiceW: ERROR_DUPLICATE_SERVICE_NAME; service.c test_create_delete_svc", nullptr,
     [](auto& net) { return Create(net, L"New", L"A display", nullptr); }, ERROR_DUPLICATE_SERVICE_NAME},

    // Starts.
    {"a process that does not report in time", "StartServiceW: ERROR_SERVICE_REQUEST_TIMEOUT",
     [](auto& net) { SetService(net, L"G1", [](TSimService& s) { s.StartFailure = ERROR_SERVICE_REQUEST_TIMEOUT; }); },
     [](auto& net) { return Start(net, L"G1"); }, ERROR_SERVICE_REQUEST_TIMEOUT,
     [](auto& net) { return StateOf(net, L"G1") == SERVICE_STOPPED; }},
    {"a dependency that is disabled", "StartServiceW: ERROR_SERVICE_DEPENDENCY_FAIL",
     [](auto& net) {
         SetService(net, L"A", [](TSimService& s) {
             s.State = SERVICE_STOPPED;
             s.StartType = SERVICE_DISABLED;
         });
         net.Computer(Far).SetStatus(L"B", SERVICE_STOPPED);
     },
     [](auto& net) { return Start(net, L"B"); }, ERROR_SERVICE_DEPENDENCY_FAIL,
     [](auto& net) { return StateOf(net, L"B") == SERVICE_STOPPED; }},
    {"a dependency whose start falls back to stopped", "StartServiceW: ERROR_SERVICE_DEPENDENCY_FAIL",
     [](auto& net) {
         SetService(net, L"A", [](TSimService& s) {
             s.State = SERVICE_STOPPED;
             s.StateAfterStart = SERVICE_STOPPED;
         });
         net.Computer(Far).SetStatus(L"B", SERVICE_STOPPED);
     },
     [](auto& net) { return Start(net, L"B"); }, ERROR_SERVICE_DEPENDENCY_FAIL},
    {"a group none of whose members can run", "StartServiceW: ERROR_SERVICE_DEPENDENCY_FAIL",
     [](auto& net) {
         SetService(net, L"G1", [](TSimService& s) { s.StartType = SERVICE_DISABLED; });
         SetService(net, L"B", [](TSimService& s) {
             s.State = SERVICE_STOPPED;
             s.Dependencies = {L"+Grp"};
         });
     },
     [](auto& net) { return Start(net, L"B"); }, ERROR_SERVICE_DEPENDENCY_FAIL},
    {"a dependency that does not exist", "StartServiceW: ERROR_SERVICE_DEPENDENCY_DELETED",
     [](auto& net) { SetService(net, L"G1", [](TSimService& s) { s.Dependencies = {L"Gone"}; }); },
     [](auto& net) { return Start(net, L"G1"); }, ERROR_SERVICE_DEPENDENCY_DELETED},
    {"stopped dependencies are started first", "StartServiceW; \"Service Startup\" of the documentation",
     [](auto& net) {
         net.Computer(Far).SetStatus(L"A", SERVICE_STOPPED);
         net.Computer(Far).SetStatus(L"B", SERVICE_STOPPED);
         SetService(net, L"B", [](TSimService& s) { s.Dependencies = {L"A", L"+Grp"}; });
     },
     [](auto& net) { return Start(net, L"B"); }, ERROR_SUCCESS,
     [](auto& net) {
         return StateOf(net, L"A") == SERVICE_RUNNING && StateOf(net, L"G1") == SERVICE_RUNNING &&
                StateOf(net, L"B") == SERVICE_RUNNING;
     }},

    // Accounts (kept as they were).
    {"an unknown account", "ChangeServiceConfigW: ERROR_INVALID_SERVICE_ACCOUNT", nullptr,
     [](auto& net) { return Change(net, L"B", nullptr, nullptr, nullptr, SERVICE_NO_CHANGE, L".\\nobody"); },
     ERROR_INVALID_SERVICE_ACCOUNT},
    {"interactive with an account other than LocalSystem", "service.c test_create_delete_svc: ERROR_INVALID_PARAMETER",
     nullptr,
     [](auto& net) {
         return Change(net, L"B", nullptr, nullptr, nullptr, SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
                       L"NT AUTHORITY\\LocalService");
     },
     ERROR_INVALID_PARAMETER},

    // Computers and their connections.
    {"a computer nobody declared", "service.c test_open_scm, remote unknown host (todo_wine): RPC_S_SERVER_UNAVAILABLE",
     nullptr,
     [](auto& net) {
         UniqueScHandleOf manager(net, net.OpenSCManagerW(L"erp-nowhere", nullptr, SC_MANAGER_CONNECT));
         return manager ? ERROR_SUCCESS : GetLastError();
     },
     RPC_S_SERVER_UNAVAILABLE},
};

TEST(WindowsRules, TheSimulatedManagerAnswersAsWindowsDoes)
{
    for (const TWindowsRule& rule : WindowsRules) {
        SCOPED_TRACE(std::string(rule.What) + " (" + rule.Recorded + ")");
        TSimComputers net;
        TSimServiceControlManager& remote = net.Computer(Far);
        TSimService a = SimService(L"A"), b = SimService(L"B", {L"A"}), g1 = SimService(L"G1");
        a.State = b.State = SERVICE_RUNNING;
        g1.LoadOrderGroup = L"Grp";
        for (const TSimService& s : {a, b, g1})
            remote.AddService(s);
        if (rule.Given)
            rule.Given(net);
        EXPECT_EQ(rule.Call(net), rule.Error);
        if (rule.Then) {
            EXPECT_TRUE(rule.Then(net));
        }
        EXPECT_EQ(net.OpenHandleCount(), 0);
    }
}

// A connection that drops leaves its handles dead for good, as RPC context handles are: while the
// computer is lost they answer 1722, once it answers again the error Windows gives for a context
// handle of a lost connection (6, 1722, 1726 or 1727), and only handles opened anew reach it.
TEST(WindowsRules, HandlesOfALostConnectionStayDead)
{
    for (DWORD dead : {DWORD{ERROR_INVALID_HANDLE}, DWORD{RPC_S_SERVER_UNAVAILABLE}, DWORD{RPC_S_CALL_FAILED},
                       DWORD{RPC_S_CALL_FAILED_DNE}}) {
        SCOPED_TRACE(dead);
        TSimComputers net;
        net.Computer(Far).AddService(SimService(L"A"));
        net.SetDeadHandleError(Far, dead);
        UniqueScHandleOf manager(net, net.OpenSCManagerW(Far, nullptr, SC_MANAGER_CONNECT));
        UniqueScHandleOf service(net, net.OpenServiceW(manager.get(), L"A", SERVICE_QUERY_STATUS));
        ASSERT_TRUE(service);
        SERVICE_STATUS status{};
        net.SetMode(Far, TSimComputerMode::Lost);
        EXPECT_FALSE(net.QueryServiceStatus(service.get(), &status));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
        net.SetMode(Far, TSimComputerMode::Reachable);
        EXPECT_FALSE(net.QueryServiceStatus(service.get(), &status));
        EXPECT_EQ(GetLastError(), dead);
        EXPECT_EQ(net.OpenServiceW(manager.get(), L"A", SERVICE_QUERY_STATUS), nullptr);
        EXPECT_EQ(GetLastError(), dead);
        UniqueScHandleOf again(net, net.OpenSCManagerW(Far, nullptr, SC_MANAGER_CONNECT));
        UniqueScHandleOf fresh(net, net.OpenServiceW(again.get(), L"A", SERVICE_QUERY_STATUS));
        ASSERT_TRUE(fresh);
        EXPECT_TRUE(net.QueryServiceStatus(fresh.get(), &status));
    }
}
}  // namespace
