// The catalogue, the operations and the monitor over Wine's real Service Control Manager, with
// TestService.exe as the service process. Every service here is created by the test under a
// name of its own and deleted afterwards.
#include "services/sc_manager.h"
#include "tests/services/catalogue_extras.h"
#include "tests/services/monitor_report.h"
#include "tests/services/service_test_util.h"
#include "tests/sim_scm/sim_scm.h"
#include "tests/support/registered_service.h"
#include "ui/base/application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

IServiceControlManager& Scm() { return SystemServiceControlManager(); }

class ScmTest : public testing::Test {
protected:
    void SetUp() override { Application().Initialize(); }

    // The record of the service after a full refresh, or null.
    TNtService* Load(const std::wstring& name)
    {
        FManager.Refresh(true);
        return Find(name);
    }
    TNtService* Find(const std::wstring& name) { return FindRecord(FManager, name); }

    TSCManager FManager{L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", Scm()};
};

// The names EnumServicesStatusW lists, called bare.
std::vector<std::wstring> EnumeratedNames()
{
    UniqueScHandleOf manager(Scm(), Scm().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    DWORD needed = 0, returned = 0, resume = 0;
    Scm().EnumServicesStatusW(manager.get(), 0x13F, SERVICE_STATE_ALL, nullptr, 0, &needed, &returned, &resume);
    std::vector<BYTE> buffer(needed + 4096);  // room for services created meanwhile
    resume = 0;
    std::vector<std::wstring> names;
    if (Scm().EnumServicesStatusW(manager.get(), 0x13F, SERVICE_STATE_ALL,
                                  reinterpret_cast<LPENUM_SERVICE_STATUSW>(buffer.data()),
                                  static_cast<DWORD>(buffer.size()), &needed, &returned, &resume)) {
        auto* records = reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i)
            names.push_back(records[i].lpServiceName);
    }
    return names;
}

// Refreshes the catalogue until the manager's listing stays the same across the refresh, and
// returns that listing: tests running beside these create and delete services of their own.
std::vector<std::wstring> RefreshWhileListingStays(TSCManager& manager)
{
    std::vector<std::wstring> before, after;
    for (int attempt = 0; attempt < 20; ++attempt) {
        before = EnumeratedNames();
        manager.Refresh(true);
        after = EnumeratedNames();
        if (before == after)
            break;
        Sleep(100);
    }
    EXPECT_EQ(before, after) << "the services kept changing";
    return after;
}

TEST_F(ScmTest, CreatedServiceAppearsWithItsData)
{
    TRegisteredService svc({.Name = L"ScmTestData", .DisplayName = L"Scm test Dépôt", .Options = L"--no-pause",
                            .Description = L"Sample ERP server, Dépôt"});

    TNtService* r = Load(svc.Name());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->DisplayName(), L"Scm test Dépôt");
    EXPECT_EQ(r->Description(), L"Sample ERP server, Dépôt");
    EXPECT_EQ(r->FileName(), svc.Command());
    EXPECT_EQ(r->StartType(), sstDemand);
    EXPECT_EQ(r->ErrorControlType(), ectNormal);
    EXPECT_EQ(r->ServiceStartName(), L"LocalSystem");
    EXPECT_EQ(r->ServiceState(), ssStopped);
    EXPECT_TRUE(r->ServiceTypes().Contains(stWin32OwnProcess));

    // The catalogue holds exactly what the manager lists, in its order.
    std::vector<std::wstring> listed = RefreshWhileListingStays(FManager);
    std::vector<std::wstring> names;
    for (int i = 0; i < FManager.ServiceCount(); ++i)
        names.push_back(FManager.GetService(i)->ServiceName());
    EXPECT_EQ(names, listed);
}

TEST_F(ScmTest, StartPauseContinueAndSlowStop)
{
    TRegisteredService svc(
        {.Name = L"ScmTestCycle", .Options = L"--start-checkpoints 4 --step-ms 300 --stop-checkpoints 3"});
    TNtService* r = Load(svc.Name());
    ASSERT_NE(r, nullptr);

    r->Start(false);
    Sleep(400);
    r->Refresh();
    EXPECT_EQ(r->ServiceState(), ssStartPending);
    EXPECT_TRUE(r->WaitFor(ssRunning, 10000));
    r->Refresh();
    EXPECT_EQ(r->ServiceState(), ssRunning);
    EXPECT_EQ(r->ControlsAccepted(), (TServiceControlAccepteds{caStop, caPauseContinue}));

    r->Pause(true);
    r->Refresh();
    EXPECT_EQ(r->ServiceState(), ssPaused);
    r->Continue(true);
    r->Refresh();
    EXPECT_EQ(r->ServiceState(), ssRunning);

    r->Stop(false);
    r->Refresh();
    EXPECT_EQ(r->ServiceState(), ssStopPending);
    EXPECT_TRUE(r->WaitFor(ssStopped, 10000));
}

TEST_F(ScmTest, ServiceWithoutPauseRefusesIt)
{
    TRegisteredService svc({.Name = L"ScmTestNoPause", .Options = L"--no-pause"});
    TNtService* r = Load(svc.Name());
    ASSERT_NE(r, nullptr);
    r->Start(true);
    r->Refresh();
    EXPECT_EQ(r->ControlsAccepted(), (TServiceControlAccepteds{caStop}));
    EXPECT_NE(RaisedOSError([&] { r->Pause(false); }), 0u);
    r->Stop(true);
}

TEST_F(ScmTest, DeletedServiceStaysUntilTheNextFullRefresh)
{
    auto svc = std::make_unique<TRegisteredService>(TServiceSpec{.Name = L"ScmTestDelete"});
    TNtService* r = Load(svc->Name());
    ASSERT_NE(r, nullptr);
    int count = FManager.ServiceCount();

    r->Delete();
    EXPECT_EQ(FManager.ServiceCount(), count);
    EXPECT_EQ(r->ServiceName(), L"ScmTestDelete");
    const size_t listed = RefreshWhileListingStays(FManager).size();
    EXPECT_EQ(Find(L"ScmTestDelete"), nullptr);
    EXPECT_EQ(static_cast<size_t>(FManager.ServiceCount()), listed);
}

TEST_F(ScmTest, InstallCreatesAServiceRecord)
{
    FManager.Refresh(true);
    std::wstring command = L"\"" + TestServicePath() + L"\" --name ScmTestInstall";
    TNtService* r = InstallService(FManager, L"ScmTestInstall", L"Installed by the catalogue", command,
                                   L"Installed, described", TServiceTypes{stWin32OwnProcess}, sstDisabled, ectIgnore,
                                   SERVICE_ALL_ACCESS, L"", {}, L"", L"");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->FileName(), command);
    EXPECT_EQ(r->StartType(), sstDisabled);
    // The description goes to the service's registry key.
    wchar_t text[64] = L"";
    DWORD size = sizeof(text);
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\ScmTestInstall", L"Description",
                           RRF_RT_REG_SZ, nullptr, text, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(text, L"Installed, described");
    WriteStartType(*r, sstDemand);
    r->Refresh();
    EXPECT_EQ(r->StartType(), sstDemand);
    r->Delete();
}

TEST_F(ScmTest, MonitorFollowsASlowStartToRunning)
{
    TRegisteredService svc({.Name = L"ScmTestMonitor", .Options = L"--start-checkpoints 5 --step-ms 400"});
    TNtService* r = Load(svc.Name());
    ASSERT_NE(r, nullptr);

    MonitorReport monitor(Scm());
    r->Start(false);
    monitor.Start(svc.Name(), L"Starting", ssRunning);
    ASSERT_TRUE(monitor.WaitDone(20000));
    EXPECT_EQ(monitor.Messages, (std::vector<std::wstring>{L"", L""}));
    r->Refresh();
    EXPECT_EQ(r->ServiceState(), ssRunning);
}

TEST_F(ScmTest, MonitorReportsAStartThatFallsBackToStopped)
{
    TRegisteredService svc(
        {.Name = L"ScmTestFallsBack", .Options = L"--start-checkpoints 2 --step-ms 300 --fail-start"});
    TNtService* r = Load(svc.Name());
    ASSERT_NE(r, nullptr);

    MonitorReport monitor(Scm());
    r->Start(false);
    monitor.Start(svc.Name(), L"Starting", ssRunning);
    ASSERT_TRUE(monitor.WaitDone(20000));
    // The test service reports ERROR_SERVICE_SPECIFIC_ERROR with its own code 1 as it stops.
    EXPECT_EQ(monitor.Messages, (std::vector<std::wstring>{
                                    L"", L"ScmTestFallsBack: Starting failed.\r\nService-specific exit code: 1 (0x1)."}));
}

TEST_F(ScmTest, UnknownNameFailsAtOnce)
{
    MonitorReport monitor(Scm());
    DWORD start = GetTickCount();
    monitor.Start(L"ScmTestNoSuchService", L"Stopping", ssStopped);
    ASSERT_TRUE(monitor.WaitDone(5000));
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ(monitor.Messages, (std::vector<std::wstring>{L"", L"ScmTestNoSuchService: Stopping failed."}));

    TNtService* none = nullptr;
    FManager.Refresh(true);
    EXPECT_FALSE(FManager.FindService(L"ScmTestNoSuchService", none));
}

// The outcome of each step of one fixed sequence of calls: 0 for success, else the last error;
// states reached are 0x10000 + state, checks 0x20000 + true or false.
// The simulated manager must give the same as Wine's for everything Wine does.
std::vector<DWORD> ContractTrace(IServiceControlManager& scm, const std::wstring& name)
{
    std::vector<DWORD> trace;
    auto step = [&](BOOL ok) { trace.push_back(ok ? 0 : GetLastError()); };
    auto waitFor = [&](SC_HANDLE h, DWORD state) {
        SERVICE_STATUS st{};
        for (int i = 0; i < 100 && scm.QueryServiceStatus(h, &st) && st.dwCurrentState != state; ++i)
            Sleep(100);
        trace.push_back(0x10000 + st.dwCurrentState);
    };
    UniqueScHandleOf manager(scm, scm.OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_ALL_ACCESS));
    step(manager ? TRUE : FALSE);
    step(UniqueScHandleOf(scm, scm.OpenServiceW(manager.get(), L"ScmTestNoSuchService", SERVICE_ALL_ACCESS)) ? TRUE
                                                                                                              : FALSE);
    DWORD needed = 0, returned = 0, resume = 0;
    step(scm.EnumServicesStatusW(manager.get(), 0x13F, SERVICE_STATE_ALL, nullptr, 0, &needed, &returned, &resume));
    trace.push_back(0x20000 + (needed > 0 && returned == 0));
    {
        UniqueScHandleOf statusOnly(scm, scm.OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
        step(scm.QueryServiceConfigW(statusOnly.get(), nullptr, 0, &needed));
        step(scm.DeleteService(statusOnly.get()));
    }
    UniqueScHandleOf service(scm, scm.OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
    step(service ? TRUE : FALSE);
    step(scm.QueryServiceConfigW(service.get(), nullptr, 0, &needed));
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<LPQUERY_SERVICE_CONFIGW>(buffer.data());
    step(scm.QueryServiceConfigW(service.get(), config, needed, &needed));
    auto inside = [&](const void* p) { return p >= buffer.data() && p < buffer.data() + buffer.size(); };
    trace.push_back(0x20000 + (inside(config->lpBinaryPathName) && inside(config->lpServiceStartName) &&
                               inside(config->lpDisplayName)));
    step(scm.QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed));
    SERVICE_STATUS status{};
    step(scm.ControlService(service.get(), SERVICE_CONTROL_STOP, &status));
    step(scm.StartServiceW(service.get(), 0, nullptr));
    waitFor(service.get(), SERVICE_RUNNING);
    step(scm.StartServiceW(service.get(), 0, nullptr));
    step(scm.ControlService(service.get(), SERVICE_CONTROL_STOP, &status));
    waitFor(service.get(), SERVICE_STOPPED);
    step(scm.DeleteService(service.get()));
    step(scm.DeleteService(service.get()));
    return trace;
}

TEST_F(ScmTest, SimulatedManagerAnswersLikeWines)
{
    std::vector<DWORD> wine;
    {
        TRegisteredService svc({.Name = L"ScmTestContract"});
        wine = ContractTrace(Scm(), svc.Name());
    }
    TSimServiceControlManager sim;
    TSimService s;
    s.Name = L"ScmTestContract";
    s.DisplayName = L"ScmTestContract";
    sim.AddService(s);
    std::vector<DWORD> simulated = ContractTrace(sim, s.Name);
    // The errors the sequence provokes, in order.
    std::vector<DWORD> errors;
    std::copy_if(wine.begin(), wine.end(), std::back_inserter(errors), [](DWORD e) { return e != 0 && e < 0x10000; });
    EXPECT_EQ(errors, (std::vector<DWORD>{ERROR_SERVICE_DOES_NOT_EXIST, ERROR_MORE_DATA, ERROR_ACCESS_DENIED,
                                          ERROR_ACCESS_DENIED, ERROR_INSUFFICIENT_BUFFER, ERROR_INSUFFICIENT_BUFFER,
                                          ERROR_SERVICE_NOT_ACTIVE, ERROR_SERVICE_ALREADY_RUNNING,
                                          ERROR_SERVICE_MARKED_FOR_DELETE}));
    EXPECT_EQ(simulated, wine);
    EXPECT_EQ(sim.OpenHandleCount(), 0);
}

}  // namespace
