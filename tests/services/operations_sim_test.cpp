// The operations on a catalogue record over the simulated Service Control Manager: requests and
// their access masks, waiting, removal, writing the start type, the dependants list.
#include "services/sc_manager.h"
#include "tests/services/catalogue_extras.h"
#include "tests/services/service_test_util.h"
#include "tests/sim_scm/sim_scm.h"

#include <gtest/gtest.h>

namespace {

TSimService Svc(const std::wstring& name, std::vector<std::wstring> deps = {}, DWORD state = SERVICE_STOPPED)
{
    TSimService s = SimService(name, std::move(deps));
    s.State = state;
    return s;
}

class OperationsSim : public testing::Test {
protected:
    OperationsSim() : FManager(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", FSim) {}

    TNtService* Load(const std::wstring& name)
    {
        FManager.Refresh(true);
        return Find(name);
    }
    TNtService* Find(const std::wstring& name) { return FindRecord(FManager, name); }
    void TearDown() override { EXPECT_EQ(FSim.OpenHandleCount(), 1); }

    TSimServiceControlManager FSim;
    TSCManager FManager;
};

TEST_F(OperationsSim, RequestsReachTheManagerAndLeaveTheRecordAsItWas)
{
    FSim.AddService(Svc(L"A"));
    TNtService* a = Load(L"A");

    StartWithArguments(*a, {L"-fast", L"two words"});
    EXPECT_EQ(FSim.Service(L"A").LastStartArgs, (std::vector<std::wstring>{L"-fast", L"two words"}));
    EXPECT_EQ(FSim.Service(L"A").State, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(a->ServiceState(), ssStopped);  // until the record is refreshed

    a->Pause(false);
    EXPECT_EQ(FSim.Service(L"A").State, static_cast<DWORD>(SERVICE_PAUSED));
    a->Continue(false);
    EXPECT_EQ(FSim.Service(L"A").State, static_cast<DWORD>(SERVICE_RUNNING));
    SERVICE_STATUS status = a->Controls(SERVICE_CONTROL_INTERROGATE, SERVICE_INTERROGATE);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    a->Stop(false);
    EXPECT_EQ(FSim.Service(L"A").State, static_cast<DWORD>(SERVICE_STOPPED));
    a->Refresh();
    EXPECT_EQ(a->ServiceState(), ssStopped);

    a->Start(false);
    EXPECT_TRUE(FSim.Service(L"A").LastStartArgs.empty());
}

TEST_F(OperationsSim, RefusedRequestsRaiseTheManagersError)
{
    TSimService noPause = Svc(L"NoPause", {}, SERVICE_RUNNING);
    noPause.ControlsAccepted = SERVICE_ACCEPT_STOP;
    FSim.AddService(noPause);
    FSim.AddService(Svc(L"Running", {}, SERVICE_RUNNING));
    TNtService* np = Load(L"NoPause");

    EXPECT_EQ(RaisedOSError([&] { np->Pause(false); }), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
    EXPECT_EQ(RaisedOSError([&] { Find(L"Running")->Start(false); }), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
    FSim.Fail(TSimCall::OpenService, ERROR_ACCESS_DENIED, L"Running");
    std::wstring message = RaisedMessage([&] { Find(L"Running")->Stop(false); });
    EXPECT_TRUE(StartsWith(message, L"System Error.  Code: 5.\r\n")) << ToUtf8(message);
}

TEST_F(OperationsSim, SyncRequestsWaitForTheTargetState)
{
    TSimService slow = Svc(L"Slow");
    slow.StateAfterStart = SERVICE_START_PENDING;
    slow.StateAfterStop = SERVICE_STOP_PENDING;
    FSim.AddService(slow);
    TNtService* s = Load(L"Slow");

    // The service moves on later, as a real one would (on the manager's clock).
    FSim.After(1500, [&] { FSim.SetStatus(L"Slow", SERVICE_RUNNING); });
    DWORD start = FSim.TickCount();
    s->Start(true);
    EXPECT_GE(FSim.TickCount() - start, 1400u);
    EXPECT_EQ(FSim.Service(L"Slow").State, static_cast<DWORD>(SERVICE_RUNNING));

    FSim.After(1200, [&] { FSim.SetStatus(L"Slow", SERVICE_STOPPED); });
    s->Stop(true);
    EXPECT_EQ(FSim.Service(L"Slow").State, static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(OperationsSim, WaitForGivesUpAfterTheLargerOfTimeOutAndWaitHint)
{
    FSim.AddService(Svc(L"Frozen", {}, SERVICE_START_PENDING));
    FSim.SetStatus(L"Frozen", SERVICE_START_PENDING, 0, 2500);
    TNtService* f = Load(L"Frozen");

    DWORD start = FSim.TickCount();
    EXPECT_FALSE(f->WaitFor(ssRunning, 300));
    DWORD took = FSim.TickCount() - start;
    EXPECT_GE(took, 2500u);
    EXPECT_LT(took, 4500u);

    // With no wait hint the time-out rules.
    FSim.SetStatus(L"Frozen", SERVICE_START_PENDING, 0, 0);
    start = FSim.TickCount();
    EXPECT_FALSE(f->WaitFor(ssRunning, 1500));
    took = FSim.TickCount() - start;
    EXPECT_GE(took, 1500u);
    EXPECT_LT(took, 3500u);
}

TEST_F(OperationsSim, WaitForStartsAgainWhileTheCheckPointGrows)
{
    FSim.AddService(Svc(L"Busy", {}, SERVICE_START_PENDING));
    TNtService* b = Load(L"Busy");
    for (DWORD cp = 1; cp <= 3; ++cp)
        FSim.After(900 * cp, [&, cp] { FSim.SetStatus(L"Busy", SERVICE_START_PENDING, cp); });
    FSim.After(3600, [&] { FSim.SetStatus(L"Busy", SERVICE_RUNNING); });
    // 1.2 s would have run out long before the service got there, had the check point not moved.
    EXPECT_TRUE(b->WaitFor(ssRunning, 1200));
}

TEST_F(OperationsSim, WaitForInfiniteKeepsWaiting)
{
    FSim.AddService(Svc(L"Late", {}, SERVICE_START_PENDING));
    TNtService* l = Load(L"Late");
    FSim.After(2500, [&] { FSim.SetStatus(L"Late", SERVICE_RUNNING); });
    EXPECT_TRUE(l->WaitFor(ssRunning, INFINITE));
    EXPECT_TRUE(l->WaitFor(ssRunning, 0));
}

TEST_F(OperationsSim, DeletedRecordStaysUntilTheNextFullRefresh)
{
    FSim.AddService(Svc(L"Gone"));
    FSim.AddService(Svc(L"Kept"));
    TNtService* g = Load(L"Gone");

    g->Delete();
    EXPECT_FALSE(FSim.Exists(L"Gone"));
    EXPECT_EQ(FManager.ServiceCount(), 2);
    EXPECT_EQ(g->ServiceName(), L"Gone");
    EXPECT_EQ(RaisedOSError([&] { g->Refresh(); }), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));

    FManager.Refresh(true);
    ASSERT_EQ(FManager.ServiceCount(), 1);
    EXPECT_EQ(FManager.GetService(0)->ServiceName(), L"Kept");
}

TEST_F(OperationsSim, WritingTheStartTypeWritesStartTypeAndErrorControlOnly)
{
    TSimService s = Svc(L"Cfg");
    s.ServiceType = SERVICE_WIN32_SHARE_PROCESS;
    s.ErrorControl = SERVICE_ERROR_CRITICAL;
    FSim.AddService(s);
    TNtService* c = Load(L"Cfg");

    WriteStartType(*c, sstDemand);  // the same value: nothing to write
    EXPECT_TRUE(FSim.ChangeConfigCalls().empty());

    WriteStartType(*c, sstDisabled);
    EXPECT_EQ(c->StartType(), sstDisabled);
    ASSERT_EQ(FSim.ChangeConfigCalls().size(), 1u);
    const TSimChangeConfig call = FSim.ChangeConfigCalls()[0];
    EXPECT_EQ(call.ServiceType, static_cast<DWORD>(SERVICE_WIN32_SHARE_PROCESS));
    EXPECT_EQ(call.StartType, static_cast<DWORD>(SERVICE_DISABLED));
    EXPECT_EQ(call.ErrorControl, static_cast<DWORD>(SERVICE_ERROR_CRITICAL));
    EXPECT_EQ(call.DisplayName, std::optional<std::wstring>(L"Cfg display"));
    EXPECT_FALSE(call.BinaryPath || call.LoadOrderGroup || call.Dependencies || call.StartName || call.Password ||
                 call.TagGiven);
    EXPECT_EQ(FSim.Service(L"Cfg").StartType, static_cast<DWORD>(SERVICE_DISABLED));

    WriteStartType(*c, sstDisabled);
    EXPECT_EQ(FSim.ChangeConfigCalls().size(), 1u);
}

TEST_F(OperationsSim, DependantsAreEnumeratedOnceInTheManagersOrder)
{
    TSimService base = Svc(L"Base");
    base.LoadOrderGroup = L"Core";
    base.ExtraDependents = {L"+Core", L"NoRecord"};
    FSim.AddService(base);
    FSim.AddService(Svc(L"Mid", {L"Base"}));
    FSim.AddService(Svc(L"Top", {L"Mid"}));
    FSim.AddService(Svc(L"ByGroup", {L"+Core"}));
    TNtService* b = Load(L"Base");

    // Deeper dependants first; group entries and names without a record are skipped.
    ASSERT_EQ(b->DependentByServiceCount(), 3);
    EXPECT_EQ(b->GetDependentByService(0), Find(L"Top"));
    EXPECT_EQ(b->GetDependentByService(1), Find(L"Mid"));
    EXPECT_EQ(b->GetDependentByService(2), Find(L"ByGroup"));

    // A new dependant is not seen by the list once built, even after a record refresh.
    FSim.AddService(Svc(L"Newcomer", {L"Base"}));
    b->Refresh();
    EXPECT_EQ(b->DependentByServiceCount(), 3);
    EXPECT_EQ(FSim.CallCount(TSimCall::EnumDependentServices, L"Base"), 1);
    // The fresh records of a full refresh see it.
    FManager.Refresh(true);
    EXPECT_EQ(Find(L"Base")->DependentByServiceCount(), 4);
}

TEST_F(OperationsSim, DependantsFailingToEnumerateStayEmpty)
{
    FSim.AddService(Svc(L"Base"));
    FSim.AddService(Svc(L"User", {L"Base"}));
    TNtService* b = Load(L"Base");
    FSim.Fail(TSimCall::EnumDependentServices, ERROR_ACCESS_DENIED, L"Base", 0, 1);

    EXPECT_EQ(RaisedOSError([&] { b->DependentByServiceCount(); }), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(b->DependentByServiceCount(), 0);
    EXPECT_EQ(FSim.CallCount(TSimCall::EnumDependentServices, L"Base"), 1);
}

TEST_F(OperationsSim, DependantsBeyondTheFirstBufferAreReadWhole)
{
    FSim.AddService(Svc(L"Base"));
    const int count = 400;  // about 100 bytes each: more than the 40960 bytes tried first
    for (int i = 0; i < count; ++i) {
        TSimService d = Svc(Fmt(L"Dependant%d", {i}), {L"Base"});
        d.DisplayName = d.Name + L" with a longer display name";
        FSim.AddService(d);
    }
    EXPECT_EQ(Load(L"Base")->DependentByServiceCount(), count);
}

TEST_F(OperationsSim, InstallCreatesAndReturnsARefreshedRecord)
{
    FManager.Refresh(true);
    TNtService* s = InstallService(FManager, L"NewSvc", L"New service", L"C:\\erp\\srv.exe -s", L"",
                                   TServiceTypes{stWin32OwnProcess}, sstAuto, ectNormal, SERVICE_ALL_ACCESS, L"",
                                   {L"Base", L"+Core"}, L"", L"");
    ASSERT_EQ(FManager.ServiceCount(), 1);
    EXPECT_EQ(FManager.GetService(0), s);
    EXPECT_EQ(s->ServiceName(), L"NewSvc");
    EXPECT_EQ(s->DisplayName(), L"New service");
    EXPECT_EQ(s->FileName(), L"C:\\erp\\srv.exe -s");
    EXPECT_EQ(s->StartType(), sstAuto);
    EXPECT_EQ(s->ServiceState(), ssStopped);
    EXPECT_EQ(FSim.Service(L"NewSvc").Dependencies, (std::vector<std::wstring>{L"Base", L"+Core"}));

    EXPECT_EQ(RaisedOSError([&] {
                  InstallService(FManager, L"newsvc", L"Again", L"x.exe", L"", TServiceTypes{stWin32OwnProcess},
                                 sstDemand, ectNormal, SERVICE_ALL_ACCESS, L"", {}, L"", L"");
              }),
              static_cast<DWORD>(ERROR_SERVICE_EXISTS));
}

}  // namespace
