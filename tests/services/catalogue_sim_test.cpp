// The service catalogue over the simulated Service Control Manager: full refresh, groups and
// their order, dependencies, large buffers and pages, failures, lookups, sorting, handles.
#include "services/sc_buffer.h"
#include "services/sc_manager.h"
#include "tests/services/catalogue_extras.h"
#include "tests/services/service_test_util.h"
#include "tests/sim_scm/sim_scm.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace {

TSimService Svc(const std::wstring& name, std::vector<std::wstring> deps = {}, const std::wstring& group = L"")
{
    TSimService s = SimService(name, std::move(deps));
    s.LoadOrderGroup = group;
    return s;
}

class CatalogueSim : public testing::Test {
protected:
    CatalogueSim() : FOrder(L"CatalogueSim") { FOrder.SetMulti(L"List", std::wstring(L"Base\0Net\0", 9)); }

    // The catalogue reads its group order from the scratch key: "Base", "Net".
    TSCManager& Manager(DWORD access = SC_MANAGER_ALL_ACCESS)
    {
        if (!FManager) {
            FManager = std::make_unique<TSCManager>(L"", access, L"ServicesActive", FSim);
            FManager->SetGroupOrderLocation({HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", FOrder.Path(), L"List"});
        }
        return *FManager;
    }
    TNtService* Find(const std::wstring& name) { return FindRecord(Manager(), name); }
    void TearDown() override
    {
        // Only the catalogue's own handle stays open, and its end closes that too.
        if (FManager) {
            EXPECT_EQ(FSim.OpenHandleCount(), FManager->Active() ? 1 : 0);
            FManager.reset();
        }
        EXPECT_EQ(FSim.OpenHandleCount(), 0);
    }

    ScratchKey FOrder;
    TSimServiceControlManager FSim;
    std::unique_ptr<TSCManager> FManager;
};

TEST_F(CatalogueSim, FullRefreshReadsEveryRecordWithItsData)
{
    TSimService s = Svc(L"Orvessa Dépôt");
    s.DisplayName = L"Talvora Dépôt server";
    // Characters outside the ANSI code page and line breaks come through whole.
    s.Description = L"Größe ändern – Сервер 日本語 €\r\nKeeps the Dépôt's data";
    s.BinaryPath = L"\"C:\\Program Files\\Talvora\\srv.exe\" -x";
    s.ServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
    s.StartType = SERVICE_AUTO_START;
    s.ErrorControl = SERVICE_ERROR_SEVERE;
    s.StartName = L".\\erp";
    s.State = SERVICE_PAUSED;
    s.ControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
    s.Win32ExitCode = 1066;
    FSim.AddService(s);
    FSim.AddService(Svc(L"Plain"));

    Manager().Refresh(true);

    ASSERT_EQ(Manager().ServiceCount(), 2);
    TNtService* r = Manager().GetService(0);
    EXPECT_EQ(r->ServiceName(), L"Orvessa Dépôt");
    EXPECT_EQ(r->DisplayName(), L"Talvora Dépôt server");
    EXPECT_EQ(r->Description(), *s.Description);
    EXPECT_EQ(r->FileName(), s.BinaryPath);
    EXPECT_EQ(r->ServiceStartName(), L".\\erp");
    EXPECT_EQ(r->StartType(), sstAuto);
    EXPECT_EQ(r->ErrorControlType(), ectSevere);
    EXPECT_EQ(r->ServiceState(), ssPaused);
    EXPECT_EQ(r->ServiceTypes(), (TServiceTypes{stWin32OwnProcess, stInteractiveProcess}));
    EXPECT_EQ(r->ControlsAccepted(), (TServiceControlAccepteds{caStop, caPauseContinue}));
    EXPECT_EQ(r->Win32ExitCode(), 1066u);
    // A service without a description shows none.
    EXPECT_EQ(Manager().GetService(1)->Description(), L"");
    EXPECT_EQ(Manager().GetService(1)->ServiceName(), L"Plain");
}

// Everything a catalogue holds, record by record and group by group, with the links as names.
std::vector<std::wstring> Dump(const TSCManager& m)
{
    std::vector<std::wstring> lines;
    for (int i = 0; i < m.ServiceCount(); ++i) {
        const TNtService* r = m.GetService(i);
        std::wstring line = Fmt(L"%s|%s|%s|%s|%s|%d|%d|%d|%d|%d|%d|%s|", {r->ServiceName(), r->DisplayName(),
                                r->Description(), r->FileName(), r->ServiceStartName(),
                                static_cast<int>(ServiceTypeCode(r->ServiceTypes())),
                                static_cast<int>(r->ServiceState()), static_cast<int>(r->StartType()),
                                static_cast<int>(r->ErrorControlType()), static_cast<int>(r->Win32ExitCode()),
                                static_cast<int>(ControlsAcceptedCode(r->ControlsAccepted())),
                                r->Group() ? r->Group()->Name() : L"<none>"});
        for (int d = 0; d < r->DependentServiceCount(); ++d)
            line += L" " + r->GetDependentService(d)->ServiceName();
        line += L" |";
        for (int d = 0; d < r->DependentGroupCount(); ++d)
            line += L" +" + r->GetDependentGroup(d)->Name();
        lines.push_back(line);
    }
    for (int i = 0; i < m.GroupCount(); ++i) {
        const TServiceGroup* g = m.GetGroup(i);
        std::wstring line = L"group " + g->Name() + L" " + std::to_wstring(g->Order()) + L":";
        for (int k = 0; k < g->ServiceCount(); ++k)
            line += L" " + g->GetService(k)->ServiceName();
        lines.push_back(line);
    }
    return lines;
}

// A full refresh reads every record once and ends as a second pass over the records would
// leave it: dependencies on services listed later, repeated and unknown entries, groups met
// in dependency lists and load-order groups in the order met.
TEST_F(CatalogueSim, AFullRefreshReadsEachRecordOnceAndEndsAsTwoPassesWould)
{
    TSimService app = Svc(L"App", {L"Db", L"+Late", L"Missing", L"db", L"Net", L"+Net", L"+"}, L"Mid");
    app.State = SERVICE_RUNNING;
    app.ControlsAccepted = SERVICE_ACCEPT_STOP;
    app.Description = L"the application";
    FSim.AddService(app);
    FSim.AddService(Svc(L"Net", {L"Db"}, L"net"));
    TSimService db = Svc(L"Db", {L"App"}, L"Late");
    db.State = SERVICE_PAUSED;
    db.Win32ExitCode = 1066;
    FSim.AddService(db);
    FSim.AddService(Svc(L"Locked", {L"Db"}, L"Locked group"));
    FSim.AddService(Svc(L"Tail", {L"Locked", L"+Tail group"}));
    FSim.Fail(TSimCall::OpenService, ERROR_ACCESS_DENIED, L"Locked");

    Manager().Refresh(true);
    for (const wchar_t* name : {L"App", L"Net", L"Db", L"Tail"}) {
        EXPECT_EQ(FSim.CallCount(TSimCall::OpenService, name), 1) << ToUtf8(name);
        EXPECT_EQ(FSim.CallCount(TSimCall::QueryServiceConfig, name), 1) << ToUtf8(name);
        EXPECT_EQ(FSim.CallCount(TSimCall::QueryServiceStatus, name), 0) << ToUtf8(name);
    }
    ASSERT_EQ(Find(L"App")->DependentServiceCount(), 3);
    EXPECT_EQ(Find(L"App")->GetDependentService(0), Find(L"Db"));
    EXPECT_EQ(Find(L"App")->GetDependentService(2), Find(L"Net"));
    EXPECT_EQ(Find(L"App")->ServiceState(), ssRunning);
    EXPECT_EQ(Find(L"Locked")->ServiceState(), ssUnknown);

    // The same catalogue read the old way: the full refresh, then every record again.
    TSCManager twoPass(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", FSim);
    twoPass.SetGroupOrderLocation(Manager().GroupOrderLocation());
    twoPass.Refresh(true);
    twoPass.Refresh(false);
    const std::vector<std::wstring> once = Dump(Manager()), twice = Dump(twoPass);
    ASSERT_EQ(once.size(), twice.size());
    for (size_t i = 0; i < once.size(); ++i)
        EXPECT_EQ(once[i], twice[i]) << i;
    // Five records; the groups Base, Net, Mid, Late, "" and Tail group (Locked was never read).
    EXPECT_EQ(once.size(), 5u + 6u);
}

// The records of another catalogue (read on a worker) become this one's, linked to it.
TEST_F(CatalogueSim, TakenRecordsBelongToTheTakingCatalogue)
{
    FSim.AddService(Svc(L"A", {L"B"}, L"Net"));
    FSim.AddService(Svc(L"B"));
    Manager().Refresh(true);
    TNtService* old = Find(L"A");
    ASSERT_NE(old, nullptr);

    TSCManager reader(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", FSim);
    reader.SetGroupOrderLocation(Manager().GroupOrderLocation());
    FSim.AddService(Svc(L"C"));
    reader.Refresh(true);
    const std::vector<std::wstring> read = Dump(reader);
    Manager().TakeRecords(reader);
    EXPECT_EQ(reader.ServiceCount(), 0);
    EXPECT_EQ(reader.GroupCount(), 0);
    EXPECT_EQ(Dump(Manager()), read);
    EXPECT_EQ(Find(L"C")->SCManager(), &Manager());
    EXPECT_EQ(Find(L"A")->Group()->SCManager(), &Manager());
    EXPECT_EQ(Find(L"A")->GetDependentService(0), Find(L"B"));
    // The records work through the taking catalogue's connection.
    reader.Active(false);
    Find(L"A")->Refresh();
    EXPECT_EQ(Find(L"A")->GetDependentService(0), Find(L"B"));
}

// One enumeration gives every record its status; a service no longer listed keeps its own.
TEST_F(CatalogueSim, StatusesComeFromOneEnumeration)
{
    FSim.AddService(Svc(L"A"));
    FSim.AddService(Svc(L"B"));
    FSim.AddService(Svc(L"Gone"));
    Manager().Refresh(true);
    FSim.SetStatus(L"A", SERVICE_RUNNING);
    FSim.Update(L"B", [](TSimService& s) { s.ControlsAccepted = SERVICE_ACCEPT_STOP; });
    FSim.SetStatus(L"Gone", SERVICE_PAUSED);
    FSim.RemoveService(L"Gone");
    const int enumerations = FSim.CallCount(TSimCall::EnumServicesStatus);
    const int opens = FSim.CallCount(TSimCall::OpenService);

    EXPECT_EQ(Manager().RefreshStatuses(), 2);
    EXPECT_EQ(FSim.CallCount(TSimCall::OpenService), opens);
    EXPECT_LE(FSim.CallCount(TSimCall::EnumServicesStatus) - enumerations, 2);  // the size, then the list
    EXPECT_EQ(Find(L"A")->ServiceState(), ssRunning);
    EXPECT_EQ(Find(L"B")->ControlsAccepted(), (TServiceControlAccepteds{caStop}));
    EXPECT_EQ(Find(L"Gone")->ServiceState(), ssStopped);
    EXPECT_EQ(Manager().RefreshStatuses(), 0);
}

TEST_F(CatalogueSim, DependencyEntriesLandInServicesOrGroups)
{
    FSim.AddService(Svc(L"Db"));
    FSim.AddService(Svc(L"App", {L"Db", L"+Fresh", L"Missing", L"dB", L"+Net"}));

    Manager().Refresh(true);
    TNtService* app = Find(L"App");
    // Repeated entries count again; names without a record are dropped.
    ASSERT_EQ(app->DependentServiceCount(), 2);
    EXPECT_EQ(app->GetDependentService(0), Find(L"Db"));
    EXPECT_EQ(app->GetDependentService(1), Find(L"Db"));
    // "+" entries name groups: an unknown one is created, a known one reused.
    ASSERT_EQ(app->DependentGroupCount(), 2);
    EXPECT_EQ(app->GetDependentGroup(0)->Name(), L"Fresh");
    EXPECT_EQ(app->GetDependentGroup(1)->Name(), L"Net");
    EXPECT_EQ(app->GetDependentGroup(1)->Order(), 1);
    TServiceGroup* fresh = nullptr;
    EXPECT_TRUE(Manager().FindGroup(L"fresh", fresh, false));
    EXPECT_EQ(fresh, app->GetDependentGroup(0));
}

TEST_F(CatalogueSim, GroupsFollowRegistryOrderThenTheOrderMet)
{
    FSim.AddService(Svc(L"A", {}, L"Net"));
    FSim.AddService(Svc(L"B"));
    FSim.AddService(Svc(L"C", {}, L"Late"));
    FSim.AddService(Svc(L"D", {}, L"net"));

    Manager().Refresh(true);

    ASSERT_EQ(Manager().GroupCount(), 4);
    EXPECT_EQ(Manager().GetGroup(0)->Name(), L"Base");
    EXPECT_EQ(Manager().GetGroup(0)->Order(), 0);
    EXPECT_EQ(Manager().GetGroup(1)->Order(), 1);
    // The group-less services share the group with the empty name.
    EXPECT_EQ(Manager().GetGroup(2)->Name(), L"");
    EXPECT_EQ(Manager().GetGroup(2)->Order(), INT_MAX);
    EXPECT_EQ(Find(L"B")->Group(), Manager().GetGroup(2));
    // A group met later is numbered after those before it.
    EXPECT_EQ(Manager().GetGroup(3)->Name(), L"Late");
    EXPECT_EQ(Manager().GetGroup(3)->Order(), 3);
    // Members, each once although refreshed twice; group names fold ASCII case.
    TServiceGroup* net = Manager().GetGroup(1);
    ASSERT_EQ(net->ServiceCount(), 2);
    EXPECT_EQ(net->GetService(0), Find(L"A"));
    EXPECT_EQ(net->GetService(1), Find(L"D"));

    // A record whose group changes leaves the old one and joins the new one.
    FSim.Update(L"A", [](TSimService& s) { s.LoadOrderGroup = L"Base"; });
    Find(L"A")->Refresh();
    EXPECT_EQ(Find(L"A")->Group(), Manager().GetGroup(0));
    ASSERT_EQ(net->ServiceCount(), 1);
    EXPECT_EQ(net->GetService(0), Find(L"D"));
    EXPECT_EQ(Manager().GetGroup(0)->ServiceCount(), 1);
}

struct GroupValueCase {
    const char* Name;
    DWORD Type;
    std::wstring Data;
    std::vector<std::wstring> Groups;
};

TEST_F(CatalogueSim, GroupOrderValueKindsSplitAlike)
{
    const GroupValueCase cases[] = {
        {"multi", REG_MULTI_SZ, std::wstring(L"G1\0G2\0\0G3\0\0", 12), {L"G1", L"G2"}},
        {"sz", REG_SZ, std::wstring(L"G1\0G2\0", 6), {L"G1", L"G2"}},
        {"expand", REG_EXPAND_SZ, std::wstring(L"G1\0", 3), {L"G1"}},
        {"binary without closing NUL", REG_BINARY, std::wstring(L"G1\0G2", 5), {L"G1", L"G2"}},
        {"empty", REG_MULTI_SZ, std::wstring(), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        FOrder.Set(L"List", c.Type, c.Data.data(), c.Data.size() * sizeof(wchar_t));
        Manager().Refresh(true);
        std::vector<std::wstring> groups;
        for (int i = 0; i < Manager().GroupCount(); ++i)
            groups.push_back(Manager().GetGroup(i)->Name());
        EXPECT_EQ(groups, c.Groups);
    }
}

TEST_F(CatalogueSim, UnreadableGroupOrderRaisesAndLeavesCatalogueEmpty)
{
    FSim.AddService(Svc(L"A"));
    Manager().Refresh(true);
    ASSERT_EQ(Manager().ServiceCount(), 1);

    const std::wstring root = L"HKEY_CURRENT_USER\\" + FOrder.Path();
    DWORD number = 7;
    FOrder.Set(L"List", REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(RaisedMessage([&] { Manager().Refresh(true); }), L"\"" + root + L"\\List\" is of wrong kind or size");
    EXPECT_EQ(Manager().ServiceCount(), 0);
    EXPECT_EQ(Manager().GroupCount(), 0);

    Manager().SetGroupOrderLocation({HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", FOrder.Path(), L"Gone"});
    EXPECT_EQ(RaisedMessage([&] { Manager().Refresh(true); }),
              L"Unable to open key \"" + root + L"\" and access value \"Gone\"");

    Manager().SetGroupOrderLocation({HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", FOrder.Path() + L"\\No", L"List"});
    EXPECT_EQ(RaisedMessage([&] { Manager().Refresh(true); }), L"Unable to open key \"" + root + L"\\No\" for read");
    EXPECT_EQ(Manager().ServiceCount(), 0);
}

TEST_F(CatalogueSim, ProgramsGroupOrderComesFromTheMachineKey)
{
    // Wine's registry has the value; the catalogue of the program reads it.
    TSCManager manager(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", FSim);
    manager.Refresh(true);
    EXPECT_GT(manager.GroupCount(), 0);
}

TEST_F(CatalogueSim, TextsLargerThanTheFirstBufferAreReadWhole)
{
    TSimService s = Svc(L"Big", {L"Small"});
    s.Description = std::wstring(5000, L'd');
    s.BinaryPath = L"C:\\" + std::wstring(3000, L'p') + L".exe";
    FSim.AddService(s);
    FSim.AddService(Svc(L"Small"));

    Manager().Refresh(true);
    TNtService* big = Find(L"Big");
    EXPECT_EQ(big->Description(), *s.Description);
    EXPECT_EQ(big->FileName(), s.BinaryPath);
    EXPECT_EQ(big->DependentServiceCount(), 1);
}

TEST_F(CatalogueSim, EnumerationInPagesListsEveryServiceOnceInTheManagersOrder)
{
    // More than the first call's room (a megabyte for this computer's list): Windows gives pages
    // of at most 64 KB and moves the resume handle on; Wine starts every call from the first
    // service and asks for the whole list's room.
    const int count = 5500;
    for (int i = 0; i < count; ++i) {
        TSimService s = Svc(Fmt(L"Svc%d", {i}));
        s.DisplayName = Fmt(L"A display name long enough to fill the first call's room, number %d", {i});
        FSim.AddService(s);
    }
    for (bool asWine : {false, true}) {
        SCOPED_TRACE(asWine ? "Wine's pages" : "Windows' pages");
        FSim.SetEnumPageLimit(asWine ? 0 : 64 * 1024);
        FSim.SetEnumIgnoresResume(asWine);
        const int callsBefore = FSim.CallCount(TSimCall::EnumServicesStatus);
        const int readsBefore = FSim.CallCount(TSimCall::QueryServiceConfig, L"Svc0");

        Manager().Refresh(true);

        ASSERT_EQ(Manager().ServiceCount(), count);
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(Manager().GetService(i)->ServiceName(), Fmt(L"Svc%d", {i}));
        // The first page that Wine gives again is not read twice.
        EXPECT_EQ(FSim.CallCount(TSimCall::QueryServiceConfig, L"Svc0") - readsBefore, 1);
        EXPECT_GT(FSim.CallCount(TSimCall::EnumServicesStatus) - callsBefore, asWine ? 1 : 3);
    }
}

TEST_F(CatalogueSim, ThisComputersListOfThousandsIsListedInOneCall)
{
    // 2100 services with display names as long as real ones: more than a first room sized for
    // short names. Wine lists the whole list at every call whatever the room, so a second call
    // would list it all again before the rows could be there.
    const int count = 2100;
    for (int i = 0; i < count; ++i) {
        TSimService s = Svc(Fmt(L"OtherSvc%d", {i}));
        s.DisplayName = Fmt(L"Startup bench other service number %d", {i});
        FSim.AddService(s);
    }
    FSim.SetEnumPageLimit(0);
    FSim.SetEnumIgnoresResume(true);
    const int callsBefore = FSim.CallCount(TSimCall::EnumServicesStatus);

    Manager().Refresh(true);

    EXPECT_EQ(Manager().ServiceCount(), count);
    EXPECT_EQ(FSim.CallCount(TSimCall::EnumServicesStatus) - callsBefore, 1);
}

// The shared walk over the manager's list, with a first room far too small.
TEST(ListedServices, EveryServiceOnceWhicheverWayTheManagerPages)
{
    struct TCase {
        const char* Name;
        DWORD PageLimit;
        bool IgnoresResume;
        size_t FirstRoom;
    } cases[] = {
        {"Windows' pages", 2048, false, 1024},
        {"Wine's whole list", 0, true, 1024},
        {"no room at first", 0, true, 0},
        {"room enough", 0, false, 1 << 20},
    };
    TSimServiceControlManager sim;
    for (int i = 0; i < 300; ++i)
        sim.AddService(SimService(Fmt(L"Svc%d", {i})));
    UniqueScHandleOf manager(sim, sim.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        sim.SetEnumPageLimit(c.PageLimit);
        sim.SetEnumIgnoresResume(c.IgnoresResume);
        std::vector<BYTE> buffer(c.FirstRoom);
        std::vector<std::wstring> names;
        ForEachListedService(sim, manager.get(), SERVICE_WIN32, buffer, [&](const ENUM_SERVICE_STATUSW& entry) {
            names.push_back(entry.lpServiceName);
            return true;
        });
        ASSERT_EQ(names.size(), 300u);
        for (int i = 0; i < 300; ++i)
            ASSERT_EQ(names[i], Fmt(L"Svc%d", {i}));
    }
    // A manager that keeps giving nothing and asks for no more room is an error, not a hang.
    sim.SetEnumPageLimit(16);
    sim.SetEnumIgnoresResume(false);
    std::vector<BYTE> buffer(1024);
    EXPECT_EQ(RaisedOSError([&] {
                  ForEachListedService(sim, manager.get(), SERVICE_WIN32, buffer,
                                       [](const ENUM_SERVICE_STATUSW&) { return true; });
              }),
              static_cast<DWORD>(ERROR_MORE_DATA));
}

TEST_F(CatalogueSim, EnumerationFailingAfterSomePagesKeepsTheRecordsAdded)
{
    for (int i = 0; i < 600; ++i)
        FSim.AddService(Svc(Fmt(L"Svc%d", {i})));
    FSim.SetEnumPageLimit(8 * 1024);
    // The first call only asks for the size; the third one fails.
    FSim.Fail(TSimCall::EnumServicesStatus, ERROR_NOT_ENOUGH_MEMORY, L"", 2);

    EXPECT_EQ(RaisedOSError([&] { Manager().Refresh(true); }), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    int added = Manager().ServiceCount();
    EXPECT_GT(added, 0);
    EXPECT_LT(added, 600);
    // Every record added was read once.
    EXPECT_EQ(FSim.CallCount(TSimCall::QueryServiceConfig, L"Svc0"), 1);
}

TEST_F(CatalogueSim, RecordsThatCannotBeReadStayWithWhatWasRead)
{
    TSimService refused = Svc(L"Refused");
    refused.Description = L"hidden";
    refused.State = SERVICE_RUNNING;
    FSim.AddService(refused);
    FSim.AddService(Svc(L"Vanished"));
    TSimService half = Svc(L"Half");
    half.Description = L"seen";
    half.State = SERVICE_RUNNING;
    FSim.AddService(half);
    FSim.AddService(Svc(L"Fine"));
    FSim.Fail(TSimCall::OpenService, ERROR_ACCESS_DENIED, L"Refused");
    FSim.Fail(TSimCall::OpenService, ERROR_SERVICE_DOES_NOT_EXIST, L"Vanished");
    FSim.Fail(TSimCall::QueryServiceConfig, ERROR_ACCESS_DENIED, L"Half");

    Manager().Refresh(true);

    ASSERT_EQ(Manager().ServiceCount(), 4);
    for (const wchar_t* name : {L"Refused", L"Vanished"}) {
        TNtService* r = Find(name);
        EXPECT_EQ(r->ServiceState(), ssUnknown);
        EXPECT_EQ(r->Description(), L"");
        EXPECT_EQ(r->FileName(), L"");
        EXPECT_EQ(r->DisplayName(), std::wstring(name) + L" display");
    }
    // The steps before the failing one keep their results.
    EXPECT_EQ(Find(L"Half")->Description(), L"seen");
    EXPECT_EQ(Find(L"Half")->ServiceState(), ssRunning);
    EXPECT_EQ(Find(L"Half")->FileName(), L"");
    EXPECT_EQ(Find(L"Fine")->FileName(), FSim.Service(L"Fine").BinaryPath);
    // A record's own refresh raises the manager's error.
    EXPECT_EQ(RaisedOSError([&] { Find(L"Refused")->Refresh(); }), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(CatalogueSim, ManagerRefusingAccessRaises)
{
    FSim.Fail(TSimCall::OpenSCManager, ERROR_ACCESS_DENIED);
    EXPECT_EQ(RaisedOSError([&] { Manager().Refresh(true); }), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(Manager().Active());
}

TEST_F(CatalogueSim, DescriptionsStayWhereTheQueryIsMissing)
{
    TSimService s = Svc(L"A");
    s.Description = L"first";
    FSim.AddService(s);
    FSim.SetQueryServiceConfig2WAvailable(false);
    Manager().Refresh(true);
    EXPECT_EQ(Find(L"A")->Description(), L"");
    EXPECT_EQ(Find(L"A")->FileName(), s.BinaryPath);
    EXPECT_EQ(FSim.CallCount(TSimCall::QueryServiceConfig2W), 0);
}

TEST_F(CatalogueSim, RefreshWithoutRebuildOnEmptyCatalogueOnlyOpensTheManager)
{
    FSim.AddService(Svc(L"A"));
    Manager().Refresh(false);
    EXPECT_TRUE(Manager().Active());
    EXPECT_EQ(Manager().ServiceCount(), 0);
    EXPECT_EQ(FSim.CallCount(TSimCall::EnumServicesStatus), 0);
    EXPECT_EQ(FSim.CallCount(TSimCall::OpenService), 0);
}

// The lists of NUL-terminated names (dependencies, the group order) are walked no further than
// the buffer they came in, whether or not they end with their empty entry.
TEST(NulList, StopsAtItsEmptyEntryOrAtTheBuffersEnd)
{
    struct Case {
        const char* Name;
        std::wstring Buffer;
        std::vector<std::wstring> Entries;
    };
    const Case cases[] = {
        {"closed by its empty entry", std::wstring(L"Net\0+Grp\0\0After\0", 16), {L"Net", L"+Grp"}},
        {"no empty entry", std::wstring(L"Net\0Db\0", 7), {L"Net", L"Db"}},
        {"last name cut by the end", std::wstring(L"Net\0Datab", 9), {L"Net", L"Datab"}},
        {"empty buffer", std::wstring(), {}},
    };
    for (const Case& c : cases) {
        // A copy on the heap of exactly the buffer's length: a walk past its end reads no
        // character of the test's own.
        std::vector<wchar_t> buffer(c.Buffer.begin(), c.Buffer.end());
        const wchar_t* first = buffer.empty() ? nullptr : buffer.data();
        EXPECT_EQ(SplitNulList(first, first ? first + buffer.size() : nullptr), c.Entries) << c.Name;
    }
    EXPECT_TRUE(SplitNulList(nullptr).empty());
}

TEST_F(CatalogueSim, FindServiceFoldsOnlyAsciiLetters)
{
    FSim.AddService(Svc(L"Älv-Db"));
    Manager().Refresh(true);
    TNtService* found = nullptr;
    EXPECT_TRUE(Manager().FindService(L"ÄLV-DB", found));
    EXPECT_EQ(found, Manager().GetService(0));
    EXPECT_FALSE(Manager().FindService(L"älv-db", found));
    EXPECT_EQ(found, nullptr);

    TServiceGroup* group = nullptr;
    EXPECT_TRUE(Manager().FindGroup(L"NET", group));
    EXPECT_FALSE(Manager().FindGroup(L"Nowhere", group, false));
    EXPECT_EQ(group, nullptr);
    int groups = Manager().GroupCount();
    // AutoAdd creates and returns the group, yet answers false.
    EXPECT_FALSE(Manager().FindGroup(L"Nowhere", group));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->Name(), L"Nowhere");
    EXPECT_EQ(group->Order(), groups);
    EXPECT_EQ(Manager().GroupCount(), groups + 1);
}

TEST_F(CatalogueSim, SortOrdersByTheChosenKey)
{
    const struct {
        const wchar_t* Name;
        DWORD State;
        DWORD ExitCode;
        const wchar_t* Group;
    } rows[] = {
        {L"b", SERVICE_RUNNING, 0x80000001, L""},
        {L"c", SERVICE_STOPPED, 0, L"Net"},
        {L"a", SERVICE_PAUSED, 5, L"Base"},
    };
    for (const auto& r : rows) {
        TSimService s = Svc(r.Name, {}, r.Group);
        s.State = r.State;
        s.Win32ExitCode = r.ExitCode;
        FSim.AddService(s);
    }
    Manager().Refresh(true);
    auto names = [](const std::vector<TNtService*>& records) {
        std::wstring all;
        for (const TNtService* r : records)
            all += r->ServiceName();
        return all;
    };
    std::vector<TNtService*> listed;
    for (int i = 0; i < Manager().ServiceCount(); ++i)
        listed.push_back(Manager().GetService(i));
    EXPECT_EQ(names(listed), L"bca");  // the manager's order

    const struct {
        TServiceSortOrderType Order;
        bool Asc;
        const wchar_t* Expected;
    } cases[] = {
        {sotServiceName, true, L"abc"},   {sotServiceName, false, L"cba"}, {sotServiceState, true, L"cba"},
        {sotWin32ExitCode, true, L"cab"}, {sotLoadOrderGroup, true, L"acb"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(names(SortedRecords(Manager(), c.Order, c.Asc)), c.Expected) << c.Order << " " << c.Asc;
    EXPECT_EQ(names(SortedRecords(Manager(), sotLoadOrderGroup, false)), L"bca");
    // The catalogue's own order and lookups stay.
    EXPECT_EQ(Manager().GetService(0), Find(L"B"));
}

TEST_F(CatalogueSim, SetsConvertBothWays)
{
    EXPECT_EQ(ServiceTypesOf((0x110)), (TServiceTypes{stWin32OwnProcess, stInteractiveProcess}));
    EXPECT_EQ(ServiceTypesOf((0x13F | 0x200)),
              (TServiceTypes{stKernelDriver, stFileSystemDriver, stAdapter, stRecognizerDriver, stWin32OwnProcess,
                             stWin32ShareProcess, stInteractiveProcess}));
    EXPECT_EQ(ServiceTypeCode(TServiceTypes{stFileSystemDriver, stWin32ShareProcess}), 0x22u);
    EXPECT_EQ(ServiceTypeCode(TServiceTypes{stInteractiveProcess}), 0x100u);
    EXPECT_EQ(ControlsAcceptedOf((0x7 | 0x8)), (TServiceControlAccepteds{caStop, caPauseContinue, caShutdown}));
    EXPECT_EQ(ControlsAcceptedCode(TServiceControlAccepteds{caPauseContinue}), 0x2u);
    EXPECT_EQ((TServiceTypes{stInteractiveProcess}).Byte(), 0x40);
}

TEST_F(CatalogueSim, PreconditionsRaiseAssertionFailures)
{
    EXPECT_TRUE(StartsWith(RaisedMessage([&] { TSCManager m(L"", 0x100000, L"ServicesActive", FSim); }),
                           L"Assertion failure ("));
    // A catalogue that may not enumerate cannot rebuild.
    EXPECT_TRUE(StartsWith(RaisedMessage([&] { Manager(SC_MANAGER_CONNECT).Refresh(true); }), L"Assertion failure"));
    EXPECT_TRUE(StartsWith(RaisedMessage([&] { TDatabaseLock lock(Manager()); }), L"Assertion failure"));
    EXPECT_TRUE(StartsWith(RaisedMessage([&] { IsLocked(Manager()); }), L"Assertion failure"));
}

TEST_F(CatalogueSim, ActiveRecordKeepsAFullAccessHandle)
{
    FSim.AddService(Svc(L"A"));
    Manager().Refresh(true);
    TNtService* a = Find(L"A");
    EXPECT_FALSE(a->Active());
    a->Active(true);
    ASSERT_TRUE(a->Active());
    EXPECT_EQ(a->DesiredAccess(), static_cast<DWORD>(SERVICE_ALL_ACCESS));
    SERVICE_STATUS status{};
    EXPECT_TRUE(FSim.QueryServiceStatus(a->Handle(), &status));
    EXPECT_EQ(FSim.OpenHandleCount(), 2);
    a->Active(true);
    EXPECT_EQ(FSim.OpenHandleCount(), 2);

    // A refresh meanwhile (the main window's timer) reads through a handle of its own: the held
    // one stays open, unchanged and usable, and the record still follows the service.
    const SC_HANDLE held = a->Handle();
    FSim.SetStatus(L"A", SERVICE_RUNNING);
    a->Refresh();
    EXPECT_EQ(a->Handle(), held);
    EXPECT_EQ(a->DesiredAccess(), static_cast<DWORD>(SERVICE_ALL_ACCESS));
    EXPECT_EQ(a->ServiceState(), ssRunning);
    EXPECT_TRUE(FSim.QueryServiceStatus(held, &status));
    EXPECT_EQ(FSim.OpenHandleCount(), 2);
    FSim.Fail(TSimCall::QueryServiceConfig, ERROR_ACCESS_DENIED, L"A", 0, 1);
    EXPECT_THROW(a->Refresh(), EOSError);
    EXPECT_EQ(a->Handle(), held) << "also after a failed refresh";
    EXPECT_EQ(FSim.OpenHandleCount(), 2);

    a->Active(false);
    EXPECT_EQ(a->Handle(), nullptr);
}

TEST_F(CatalogueSim, LockReportsOwnerAndDuration)
{
    TDatabaseLock lock(Manager());
    EXPECT_TRUE(IsLocked(Manager()));
    EXPECT_EQ(LockOwner(Manager()), L"SimAdmin");
    EXPECT_LT(LockDuration(Manager()), 5u);
    lock.Unlock();
    EXPECT_FALSE(IsLocked(Manager()));
    EXPECT_EQ(LockOwner(Manager()), L"");
    EXPECT_TRUE(StartsWith(RaisedMessage([&] { lock.Unlock(); }), L"Assertion failure")) << "unlocked twice";
}

TEST_F(CatalogueSim, TheLocksEndReleasesALockStillHeld)
{
    {
        TDatabaseLock lock(Manager());
    }
    EXPECT_EQ(FSim.CallCount(TSimCall::UnlockServiceDatabase), 1);
    EXPECT_FALSE(IsLocked(Manager()));
}

}  // namespace
