// The adapter over Wine's real Service Control Manager: the dependency lists and dependants it
// completes from the services' keys, the caller's buffers, damaged stored values, and the
// catalogue built over it. Every service here is created by the test and deleted afterwards.
#include "common/computer_name.h"
#include "common/format.h"
#include "common/registry.h"
#include "services/sc_buffer.h"
#include "services/sc_manager.h"
#include "services/wine_scm.h"
#include "tests/services/service_test_util.h"
#include "tests/support/registered_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

namespace {

using Names = std::vector<std::wstring>;

const TServiceSpec DbSpec{.Name = L"WineScmDb", .Group = L"WineScmDbGroup"};
// Entries given mixed; the manager keeps services and groups apart.
const TServiceSpec AppSpec{.Name = L"WineScmApp", .Dependencies = {L"+WineScmNet", L"WineScmDb"}};
const TServiceSpec ReportSpec{
    .Name = L"WineScmReport", .Dependencies = {L"WineScmApp", L"+WineScmNet", L"WineScmDb", L"+WineScmPrint"}};
const TServiceSpec ByGroupSpec{.Name = L"WineScmByGroup", .Dependencies = {L"+WineScmDbGroup"}};
const TServiceSpec LoneSpec{.Name = L"WineScmLone"};

IServiceControlManager& Adapter() { return WineServiceControlManager(); }

class WineScmTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        for (const TServiceSpec* service : {&DbSpec, &AppSpec, &ReportSpec, &ByGroupSpec, &LoneSpec})
            FServices.push_back(std::make_unique<TRegisteredService>(*service));
        for (size_t running : {0u, 1u}) {
            FServices[running]->Start();
            FServices[running]->WaitForState(SERVICE_RUNNING, 5000);
        }
    }
    static void TearDownTestSuite() { FServices.clear(); }

    // A handle of the adapter's on the service.
    static UniqueScHandleOf Open(const std::wstring& name, DWORD access = SERVICE_ALL_ACCESS)
    {
        UniqueScHandleOf manager(Adapter(), Adapter().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        return UniqueScHandleOf(Adapter(), Adapter().OpenServiceW(manager.get(), name.c_str(), access));
    }

    static Names DependenciesOf(const std::wstring& name)
    {
        UniqueScHandleOf service = Open(name);
        std::vector<BYTE> buffer = QueryServiceConfigBuffer(Adapter(), service.get());
        return SplitNulList(reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data())->lpDependencies);
    }

    static Names DependantsOf(const std::wstring& name, DWORD state)
    {
        UniqueScHandleOf service = Open(name);
        DWORD returned = 0;
        std::vector<BYTE> buffer = QueryGrowing(0, ERROR_MORE_DATA, [&](BYTE* buf, DWORD size, DWORD* needed) {
            return Adapter().EnumDependentServicesW(service.get(), state, reinterpret_cast<LPENUM_SERVICE_STATUSW>(buf),
                                                    size, needed, &returned);
        });
        Names names;
        for (DWORD i = 0; i < returned; ++i)
            names.push_back(reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data())[i].lpServiceName);
        return names;
    }

    static std::vector<std::unique_ptr<TRegisteredService>> FServices;
};
std::vector<std::unique_ptr<TRegisteredService>> WineScmTest::FServices;

TEST_F(WineScmTest, RunsUnderWine) { EXPECT_TRUE(RunsUnderWine()); }

TEST_F(WineScmTest, ConfigurationListsTheStoredServicesThenTheGroups)
{
    struct Case {
        const TServiceSpec* Service;
        Names Expected;
    };
    const Case cases[] = {
        {&DbSpec, {}},
        {&AppSpec, {L"WineScmDb", L"+WineScmNet"}},
        {&ReportSpec, {L"WineScmApp", L"WineScmDb", L"+WineScmNet", L"+WineScmPrint"}},
        {&ByGroupSpec, {L"+WineScmDbGroup"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DependenciesOf(c.Service->Name), c.Expected) << ToUtf8(c.Service->Name);

    // The rest of the answer is the manager's.
    UniqueScHandleOf service = Open(DbSpec.Name);
    std::vector<BYTE> buffer = QueryServiceConfigBuffer(Adapter(), service.get());
    const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
    EXPECT_EQ(std::wstring(config->lpBinaryPathName), FServices[0]->Command());
    EXPECT_EQ(std::wstring(config->lpLoadOrderGroup), L"WineScmDbGroup");
    EXPECT_EQ(std::wstring(config->lpDisplayName), L"WineScmDb");
    EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_DEMAND_START));
}

TEST_F(WineScmTest, ConfigurationHonoursTheCallersBuffer)
{
    UniqueScHandleOf service = Open(ReportSpec.Name);
    DWORD needed = 0;
    EXPECT_FALSE(Adapter().QueryServiceConfigW(service.get(), nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_GT(needed, sizeof(QUERY_SERVICE_CONFIGW));

    std::vector<BYTE> buffer(needed + 64, 0xCC);
    auto* config = reinterpret_cast<LPQUERY_SERVICE_CONFIGW>(buffer.data());
    DWORD again = 0;
    EXPECT_FALSE(Adapter().QueryServiceConfigW(service.get(), config, needed - 1, &again));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(again, needed);

    ASSERT_TRUE(Adapter().QueryServiceConfigW(service.get(), config, needed, &again));
    // Every text lies inside the bytes asked for, and nothing is written past them.
    const BYTE* end = buffer.data() + needed;
    for (LPCWSTR text : {config->lpBinaryPathName, config->lpLoadOrderGroup, config->lpDependencies,
                         config->lpServiceStartName, config->lpDisplayName}) {
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(reinterpret_cast<const BYTE*>(text) >= buffer.data() + sizeof(QUERY_SERVICE_CONFIGW) &&
                    reinterpret_cast<const BYTE*>(text) < end);
    }
    EXPECT_TRUE(std::all_of(end, end + 64, [](BYTE b) { return b == 0xCC; }));
    EXPECT_EQ(SplitNulList(config->lpDependencies).size(), 4u);
}

TEST_F(WineScmTest, DependantsByNameAndGroupInStopOrderFilteredByState)
{
    ASSERT_EQ(FServices[0]->State(), static_cast<DWORD>(SERVICE_RUNNING));
    ASSERT_EQ(FServices[1]->State(), static_cast<DWORD>(SERVICE_RUNNING));
    struct Case {
        const TServiceSpec* Service;
        DWORD State;
        std::set<std::wstring> Expected;
    };
    const Case cases[] = {
        {&DbSpec, SERVICE_STATE_ALL, {L"WineScmApp", L"WineScmReport", L"WineScmByGroup"}},
        {&DbSpec, SERVICE_ACTIVE, {L"WineScmApp"}},
        {&DbSpec, SERVICE_INACTIVE, {L"WineScmReport", L"WineScmByGroup"}},
        {&AppSpec, SERVICE_STATE_ALL, {L"WineScmReport"}},
        {&AppSpec, SERVICE_ACTIVE, {}},
        {&ReportSpec, SERVICE_STATE_ALL, {}},
        {&LoneSpec, SERVICE_STATE_ALL, {}},
    };
    for (const Case& c : cases) {
        Names got = DependantsOf(c.Service->Name, c.State);
        EXPECT_EQ(std::set<std::wstring>(got.begin(), got.end()), c.Expected)
            << ToUtf8(c.Service->Name) << " state " << c.State;
        EXPECT_EQ(got.size(), c.Expected.size()) << "listed twice";
    }
    // The report depends on the application server: it has to stop first.
    Names all = DependantsOf(DbSpec.Name, SERVICE_STATE_ALL);
    EXPECT_LT(std::find(all.begin(), all.end(), L"WineScmReport"), std::find(all.begin(), all.end(), L"WineScmApp"));
}

TEST_F(WineScmTest, DependantsHonourTheCallersBufferAndTheHandlesAccess)
{
    UniqueScHandleOf service = Open(DbSpec.Name);
    DWORD needed = 0, returned = 7;
    EXPECT_FALSE(Adapter().EnumDependentServicesW(service.get(), SERVICE_STATE_ALL, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(returned, 0u);
    ASSERT_GT(needed, 3 * sizeof(ENUM_SERVICE_STATUSW));

    std::vector<BYTE> buffer(needed + 64, 0xCC);
    auto* records = reinterpret_cast<LPENUM_SERVICE_STATUSW>(buffer.data());
    DWORD again = 0;
    EXPECT_FALSE(
        Adapter().EnumDependentServicesW(service.get(), SERVICE_STATE_ALL, records, needed - 1, &again, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(again, needed);

    ASSERT_TRUE(Adapter().EnumDependentServicesW(service.get(), SERVICE_STATE_ALL, records, needed, &again, &returned));
    ASSERT_EQ(returned, 3u);
    const BYTE* end = buffer.data() + needed;
    for (DWORD i = 0; i < returned; ++i) {
        EXPECT_EQ(std::wstring(records[i].lpDisplayName), std::wstring(records[i].lpServiceName));
        EXPECT_TRUE(reinterpret_cast<const BYTE*>(records[i].lpServiceName) < end &&
                    reinterpret_cast<const BYTE*>(records[i].lpDisplayName) < end);
        EXPECT_EQ(records[i].ServiceStatus.dwCurrentState,
                  std::wstring(records[i].lpServiceName) == L"WineScmApp" ? SERVICE_RUNNING : SERVICE_STOPPED);
    }
    EXPECT_TRUE(std::all_of(end, end + 64, [](BYTE b) { return b == 0xCC; }));

    // A state that is none of active, inactive or both; a handle without the right to ask.
    EXPECT_FALSE(Adapter().EnumDependentServicesW(service.get(), 4, records, needed, &again, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    UniqueScHandleOf statusOnly = Open(DbSpec.Name, SERVICE_QUERY_STATUS);
    EXPECT_FALSE(Adapter().EnumDependentServicesW(statusOnly.get(), SERVICE_STATE_ALL, records, needed, &again,
                                                  &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(WineScmTest, DamagedStoredValuesGiveWhatIsWhole)
{
    TRegisteredService damaged({.Name = L"WineScmDamaged"});
    UniqueRegKey key;
    ASSERT_EQ(OpenRegKey(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\WineScmDamaged", KEY_SET_VALUE,
                         key),
              ERROR_SUCCESS);
    auto bytes = [](std::wstring_view text, size_t extra = 0) {
        std::vector<BYTE> data(text.size() * sizeof(wchar_t) + extra, 0x41);
        std::memcpy(data.data(), text.data(), text.size() * sizeof(wchar_t));
        return data;
    };
    struct Case {
        const char* What;
        const wchar_t* Value;
        DWORD Type;
        std::vector<BYTE> Data;
        Names Expected;
    };
    const Case cases[] = {
        {"list", L"DependOnService", REG_MULTI_SZ, bytes({L"WineScmDb\0Other\0\0", 17}), {L"WineScmDb", L"Other"}},
        {"no terminator", L"DependOnService", REG_MULTI_SZ, bytes({L"WineScmDb\0Other", 15}), {L"WineScmDb", L"Other"}},
        {"odd size", L"DependOnService", REG_MULTI_SZ, bytes(L"WineScmDb", 1), {L"WineScmDb"}},
        {"one text", L"DependOnService", REG_SZ, bytes({L"WineScmDb\0", 10}), {L"WineScmDb"}},
        {"number", L"DependOnService", REG_DWORD, bytes(L"AA"), {}},
        {"binary", L"DependOnService", REG_BINARY, bytes({L"WineScmDb\0\0", 11}), {}},
        {"no bytes", L"DependOnService", REG_MULTI_SZ, {}, {}},
        {"empty first entry", L"DependOnService", REG_MULTI_SZ, bytes({L"\0WineScmDb\0\0", 12}), {}},
        {"group without terminator", L"DependOnGroup", REG_MULTI_SZ, bytes(L"WineScmNet"), {L"+WineScmNet"}},
        {"group of odd size", L"DependOnGroup", REG_MULTI_SZ, bytes({L"WineScmNet\0", 11}, 1), {L"+WineScmNet"}},
    };
    for (const Case& c : cases) {
        RegDeleteValueW(key.get(), L"DependOnService");
        RegDeleteValueW(key.get(), L"DependOnGroup");
        ASSERT_EQ(RegSetValueExW(key.get(), c.Value, 0, c.Type, c.Data.data(), static_cast<DWORD>(c.Data.size())),
                  ERROR_SUCCESS);
        EXPECT_EQ(DependenciesOf(damaged.Name()), c.Expected) << c.What;
    }
    // A dependant whose value lacks its terminator still counts.
    RegSetValueExW(key.get(), L"DependOnService", 0, REG_MULTI_SZ, bytes(L"WineScmLone").data(), 22);
    EXPECT_EQ(DependantsOf(LoneSpec.Name, SERVICE_STATE_ALL), Names{L"WineScmDamaged"});
}

TEST_F(WineScmTest, AChangeThatLeavesTheDependenciesAloneKeepsThemByteForByte)
{
    TRegisteredService kept({.Name = L"WineScmKept", .Dependencies = {L"WineScmDb", L"+WineScmNet", L"WineScmApp"}});
    auto stored = [&] {
        UniqueRegKey key;
        std::vector<TRegValue> values(2);
        const wchar_t* path = L"SYSTEM\\CurrentControlSet\\Services\\WineScmKept";
        if (OpenRegKey(HKEY_LOCAL_MACHINE, path, KEY_QUERY_VALUE, key) == ERROR_SUCCESS) {
            ReadRegValue(key.get(), L"DependOnService", values[0]);
            ReadRegValue(key.get(), L"DependOnGroup", values[1]);
        }
        return values;
    };
    const std::vector<TRegValue> before = stored();
    ASSERT_EQ(before[0].Type, static_cast<DWORD>(REG_MULTI_SZ));
    ASSERT_EQ(before[1].Type, static_cast<DWORD>(REG_MULTI_SZ));

    UniqueScHandleOf service = Open(kept.Name());
    ASSERT_TRUE(Adapter().ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE,
                                               nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    const std::vector<TRegValue> after = stored();
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(after[i].Type, before[i].Type);
        EXPECT_EQ(after[i].Data, before[i].Data);
    }
    std::vector<BYTE> buffer = QueryServiceConfigBuffer(Adapter(), service.get());
    EXPECT_EQ(reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data())->dwStartType,
              static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(DependenciesOf(kept.Name()), (Names{L"WineScmDb", L"WineScmApp", L"+WineScmNet"}));
}

// The questions of one connection share one reading of the keys, until the connection reads
// the services again; another connection reads them for itself.
TEST_F(WineScmTest, AConnectionsQuestionsShareOneIndexUntilItEnumeratesAgain)
{
    UniqueScHandleOf connection(Adapter(), Adapter().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(connection);
    auto dependantsThrough = [](SC_HANDLE manager, const std::wstring& name) {
        UniqueScHandleOf service(Adapter(), Adapter().OpenServiceW(manager, name.c_str(), SERVICE_ALL_ACCESS));
        DWORD returned = 0;
        std::vector<BYTE> buffer = QueryGrowing(0, ERROR_MORE_DATA, [&](BYTE* buf, DWORD size, DWORD* needed) {
            return Adapter().EnumDependentServicesW(service.get(), SERVICE_STATE_ALL,
                                                    reinterpret_cast<LPENUM_SERVICE_STATUSW>(buf), size, needed, &returned);
        });
        Names names;
        for (DWORD i = 0; i < returned; ++i)
            names.push_back(reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data())[i].lpServiceName);
        return names;
    };
    TRegisteredService late({.Name = L"WineScmLate"});
    ASSERT_EQ(dependantsThrough(connection.get(), LoneSpec.Name), Names{});
    const DWORD asked = GetTickCount();
    // A dependency written into a key behind the adapter's back...
    UniqueRegKey key;
    ASSERT_EQ(OpenRegKey(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\WineScmLate", KEY_SET_VALUE, key),
              ERROR_SUCCESS);
    const wchar_t list[] = L"WineScmLone\0";
    ASSERT_EQ(RegSetValueExW(key.get(), L"DependOnService", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list),
                             sizeof(list)),
              ERROR_SUCCESS);
    // ...is not seen by the connection's next question (while its index is young)...
    const Names again = dependantsThrough(connection.get(), LoneSpec.Name);
    if (GetTickCount() - asked < 800) {
        EXPECT_EQ(again, Names{});
    }
    // ...but by another connection, and by this one once it has enumerated the services.
    UniqueScHandleOf other(Adapter(), Adapter().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    EXPECT_EQ(dependantsThrough(other.get(), LoneSpec.Name), Names{L"WineScmLate"});
    DWORD needed = 0, returned = 0, resume = 0;
    Adapter().EnumServicesStatusW(connection.get(), SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed, &returned,
                                  &resume);
    EXPECT_EQ(dependantsThrough(connection.get(), LoneSpec.Name), Names{L"WineScmLate"});
}

TEST_F(WineScmTest, CatalogueOverTheAdapterLinksDependenciesAndDependants)
{
    TSCManager manager(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", Adapter());
    manager.Refresh(true);
    TNtService* app = FindRecord(manager, AppSpec.Name);
    TNtService* db = FindRecord(manager, DbSpec.Name);
    ASSERT_TRUE(app && db);
    ASSERT_EQ(app->DependentServiceCount(), 1);
    EXPECT_EQ(app->GetDependentService(0), db);
    ASSERT_EQ(app->DependentGroupCount(), 1);
    EXPECT_EQ(app->GetDependentGroup(0)->Name(), L"WineScmNet");
    EXPECT_EQ(db->DependentByServiceCount(), 3);
    EXPECT_EQ(app->DependentByServiceCount(), 1);
}

}  // namespace

namespace {
// Wine's manager ignores the machine name: the adapter lets only this computer's names through
// and refuses any other as an unreachable computer.
TEST(WineScmComputers, OnlyThisComputersNamesReachTheManager)
{
    const std::wstring own = ThisComputerName();
    for (const std::wstring& name : {std::wstring(), own, L"\\\\" + own, std::wstring(L"localhost"),
                                     std::wstring(L"\\\\localhost"), std::wstring(L"."), std::wstring(L"127.0.0.1")}) {
        SC_HANDLE manager = Adapter().OpenSCManagerW(name.empty() ? nullptr : name.c_str(), nullptr,
                                                     SC_MANAGER_ENUMERATE_SERVICE);
        EXPECT_NE(manager, nullptr) << ToUtf8(name) << " error " << GetLastError();
        if (manager)
            Adapter().CloseServiceHandle(manager);
    }
    for (const std::wstring& name : {std::wstring(L"nosuchhost"), std::wstring(L"\\\\nosuchhost"),
                                     std::wstring(L"10.0.0.7"), own + L"x"}) {
        SetLastError(0);
        EXPECT_EQ(Adapter().OpenSCManagerW(name.c_str(), nullptr, SC_MANAGER_ENUMERATE_SERVICE), nullptr)
            << ToUtf8(name);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE)) << ToUtf8(name);
    }
}
}  // namespace
