// The instance tables: registration against the limits, removal, a full table, the names and
// the security of the shared blocks, and the guard's error messages.
#include "app/instance_security.h"
#include "app/instance_table.h"
#include "app/instances.h"
#include "app/kernel_objects.h"
#include "common/errors.h"
#include "common/format.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {
// A table inside a larger block, so that a write past its end shows.
struct TGuardedTable {
    TInstanceTable Table{};
    uint32_t After[4] = {0xA5A5A5A5, 0xA5A5A5A5, 0xA5A5A5A5, 0xA5A5A5A5};

    bool AfterIntact() const
    {
        for (uint32_t v : After)
            if (v != 0xA5A5A5A5)
                return false;
        return true;
    }
};

TInstanceTable TableOf(std::initializer_list<uint32_t> ids, uint16_t limit = 0)
{
    TInstanceTable table{};
    table.Limit = limit;
    for (uint32_t id : ids)
        table.ProcessIDs[table.Count++] = id;
    return table;
}

std::vector<uint32_t> IdsOf(const TInstanceTable& table)
{
    return std::vector<uint32_t>(table.ProcessIDs, table.ProcessIDs + TableCount(table));
}

std::wstring ScratchAppID(const wchar_t* tag)
{
    return UniqueAppIDOf(L"C:\\guard table test\\" + std::wstring(tag) + std::to_wstring(GetCurrentProcessId()) +
                         L".exe");
}
}  // namespace

TEST(GuardTableTest, RemovalTakesTheFirstOccurrenceAndKeepsTheOrder)
{
    struct Case {
        const char* Name;
        std::initializer_list<uint32_t> Before;
        uint32_t Removed;
        std::vector<uint32_t> After;
    } cases[] = {
        {"middle", {10, 20, 30, 40}, 20, {10, 30, 40}},
        {"first", {10, 20, 30}, 10, {20, 30}},
        {"last", {10, 20, 30}, 30, {10, 20}},
        {"only", {10}, 10, {}},
        {"absent", {10, 20}, 99, {10, 20}},
        {"repeated", {10, 20, 10, 30}, 10, {20, 10, 30}},
        {"empty", {}, 10, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TInstanceTable table = TableOf(c.Before, 1);
        TableRemove(table, c.Removed);
        EXPECT_EQ(c.After, IdsOf(table));
        EXPECT_EQ(1, table.Limit);
    }
}

TEST(GuardTableTest, RegistrationSetsAnUnsetLimitAndAppendsWhateverTheOutcome)
{
    TInstanceTable table{};
    EXPECT_TRUE(TableRegister(table, 100, 1));
    EXPECT_EQ(1, table.Limit);
    EXPECT_FALSE(TableRegister(table, 200, 5)) << "the limit set first holds";
    EXPECT_EQ(1, table.Limit);
    EXPECT_EQ((std::vector<uint32_t>{100, 200}), IdsOf(table));

    TableRemove(table, 100);
    EXPECT_FALSE(TableRegister(table, 300, 1)) << "200 still counts";
    TableRemove(table, 200);
    TableRemove(table, 300);
    EXPECT_TRUE(TableRegister(table, 400, 1));

    TInstanceTable unlimited{};
    for (uint32_t id = 1; id <= 5; ++id)
        EXPECT_TRUE(TableRegister(unlimited, id, 0));
    EXPECT_EQ(0, unlimited.Limit);
    EXPECT_EQ(5u, TableCount(unlimited));
}

TEST(GuardTableTest, AFullTableRefusesAndIsNeverWrittenPastItsEnd)
{
    auto guarded = std::make_unique<TGuardedTable>();
    TInstanceTable& table = guarded->Table;
    for (uint32_t id = 1; id <= TInstanceTable::Capacity; ++id)
        ASSERT_TRUE(TableRegister(table, id, 0));
    EXPECT_EQ(TInstanceTable::Capacity, TableCount(table));

    EXPECT_FALSE(TableRegister(table, 9999, 0));
    EXPECT_EQ(TInstanceTable::Capacity, table.Count);
    EXPECT_TRUE(guarded->AfterIntact());
    TableRemove(table, 9999);
    EXPECT_EQ(TInstanceTable::Capacity, table.Count);
    EXPECT_EQ(TInstanceTable::Capacity, TableProcessID(table, TInstanceTable::Capacity - 1));

    // A count beyond the room (a block spoilt by someone else) reads as full and stays in bounds.
    table.Count = 1000;
    EXPECT_EQ(TInstanceTable::Capacity, TableCount(table));
    EXPECT_EQ(0u, TableProcessID(table, TInstanceTable::Capacity));
    EXPECT_FALSE(TableRegister(table, 9999, 0));
    TableRemove(table, TInstanceTable::Capacity);
    EXPECT_EQ(TInstanceTable::Capacity - 1, table.Count);
    EXPECT_TRUE(guarded->AfterIntact());
}

TEST(GuardTableTest, ApplicationIdComesFromTheUpperCasedPath)
{
    EXPECT_EQ(L"ORVESSAC:_TOOLS_MANAGER.EXE", UniqueAppIDOf(L"C:\\Tools\\Manager.exe"));
    EXPECT_EQ(UniqueAppIDOf(L"C:\\Tools\\Manager.exe"), UniqueAppIDOf(L"c:\\tOOLS\\manager.EXE"));
    EXPECT_NE(UniqueAppIDOf(L"C:\\Tools\\Manager.exe"), UniqueAppIDOf(L"C:\\Tools2\\Manager.exe"));
}

// The three tables of a guard, opened by their names as another program would.
class GuardTablesTest : public testing::Test {
protected:
    struct TOpenedTable {
        std::unique_ptr<TSwapFileMapping> Mapping;
        std::unique_ptr<TFileMappingView> View;
        const TInstanceTable& Table() const { return *static_cast<const TInstanceTable*>(View->Data()); }
    };

    TOpenedTable Open(const std::wstring& name)
    {
        TOpenedTable opened;
        opened.Mapping = std::make_unique<TSwapFileMapping>(name, static_cast<DWORD>(sizeof(TInstanceTable)));
        EXPECT_TRUE(opened.Mapping->Existed()) << ToUtf8(name);
        opened.View = std::make_unique<TFileMappingView>(*opened.Mapping, FILE_MAP_READ, 0,
                                                         static_cast<DWORD>(sizeof(TInstanceTable)));
        return opened;
    }

    std::vector<std::wstring> TableNames(const std::wstring& id)
    {
        TTokenUser user;
        TAccountName account = AccountNameOf(user.Sid());
        return {id + L"_All", id + L"_Session_" + std::to_wstring(SessionIdOf(GetCurrentProcessId())),
                id + L"_User_" + account.Account + L"_" + account.Domain};
    }
};

TEST_F(GuardTablesTest, EveryTableRecordsTheIdAndOnlyTheAllTableLimits)
{
    const std::wstring id = ScratchAppID(L"limits");
    const DWORD self = GetCurrentProcessId();
    auto first = std::make_unique<TAppInstances>(id);
    EXPECT_EQ(self, first->ProcessID());
    EXPECT_EQ(id, first->UniqueAppID());
    EXPECT_EQ(RegisterWindowMessageW((id + L"_Msg").c_str()), first->MessageID());
    ASSERT_TRUE(first->CheckInstance(1, 0, 0));

    std::vector<TOpenedTable> tables;
    for (const auto& name : TableNames(id))
        tables.push_back(Open(name));
    ASSERT_EQ(3u, tables.size());
    EXPECT_EQ(1, tables[0].Table().Limit);
    EXPECT_EQ(0, tables[1].Table().Limit);
    EXPECT_EQ(0, tables[2].Table().Limit);

    // A second guard of the same program (here: the same process again) is refused and recorded.
    auto second = std::make_unique<TAppInstances>(id);
    EXPECT_FALSE(second->CheckInstance(1, 0, 0));
    for (const auto& t : tables)
        EXPECT_EQ((std::vector<uint32_t>{self, self}), IdsOf(t.Table()));
    EXPECT_EQ(2u, first->AllCount());
    EXPECT_EQ(self, first->GetAllProcessIDs(1));
    EXPECT_EQ(0u, first->GetAllProcessIDs(2));

    second.reset();
    for (const auto& t : tables)
        EXPECT_EQ(1u, TableCount(t.Table()));
    first.reset();
    for (const auto& t : tables)
        EXPECT_EQ(0u, TableCount(t.Table()));
}

TEST_F(GuardTablesTest, LimitsOfTheSessionAndUserTablesRefuseToo)
{
    const std::wstring id = ScratchAppID(L"session");
    TAppInstances first(id);
    ASSERT_TRUE(first.CheckInstance(0, 1, 0));
    TAppInstances second(id);
    EXPECT_FALSE(second.CheckInstance(0, 0, 0)) << "the session table keeps the limit the first set";

    const std::wstring userID = ScratchAppID(L"user");
    TAppInstances user1(userID);
    ASSERT_TRUE(user1.CheckInstance(0, 0, 1));
    TAppInstances user2(userID);
    EXPECT_FALSE(user2.CheckInstance(0, 0, 1));
    EXPECT_EQ(2u, user2.AllCount());
}

TEST_F(GuardTablesTest, TablesAllowAccessToEveryoneOrToTheUserAlone)
{
    const std::wstring id = ScratchAppID(L"security");
    TAppInstances guard(id);
    const std::vector<std::wstring> names = TableNames(id);
    TTokenUser user;
    TWorldSid everyone;
    PSID expected[] = {everyone.Sid(), everyone.Sid(), user.Sid()};
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(ToUtf8(names[i]));
        UniqueKernelHandle mapping(OpenFileMappingW(READ_CONTROL, FALSE, names[i].c_str()));
        ASSERT_TRUE(mapping);
        PACL dacl = nullptr;
        PSID owner = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, GetSecurityInfo(mapping.get(), SE_KERNEL_OBJECT,
                                                 OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                                 nullptr, &dacl, nullptr, &descriptor));
        UniqueLocal freeDescriptor(descriptor);
        ASSERT_TRUE(dacl);
        EXPECT_TRUE(EqualSid(owner, user.Sid()));
        ASSERT_EQ(1, dacl->AceCount);
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
        EXPECT_EQ(0xF001Fu, ace->Mask);
        EXPECT_TRUE(EqualSid(&ace->SidStart, expected[i]));
    }
}

TEST(GuardErrorTest, FailingKernelObjectsCarryTheOperation)
{
    // A name already taken by an object of another kind makes the creation fail.
    const std::wstring taken = L"guard_table_test_taken_" + std::to_wstring(GetCurrentProcessId());
    TSwapFileMapping mapping(taken + L"_Mapping", 16);
    TEvent event(nullptr, false, false, taken + L"_Event");
    auto expected = [](DWORD code, const wchar_t* operation) {
        return Fmt(L"Win32 error: %s (%u)%s%s", {SysErrorMessage(code), code, L"\r\n", operation});
    };
    try {
        TEvent clash(nullptr, false, false, taken + L"_Mapping");
        ADD_FAILURE() << "event made over a mapping's name";
    } catch (const EWin32Error& e) {
        EXPECT_EQ(expected(e.ErrorCode(), L"Failed to create event"), e.Message());
        EXPECT_NE(0u, e.ErrorCode());
    }
    try {
        TSwapFileMapping clash(taken + L"_Event", 16);
        ADD_FAILURE() << "mapping made over an event's name";
    } catch (const EWin32Error& e) {
        EXPECT_EQ(expected(e.ErrorCode(), L"Failed to create FileMapping"), e.Message());
        EXPECT_NE(0u, e.ErrorCode());
    }
    try {
        TFileMappingView tooLarge(mapping, FILE_MAP_ALL_ACCESS, 0, 1 << 20);
        ADD_FAILURE() << "view larger than its mapping";
    } catch (const EWin32Error& e) {
        EXPECT_EQ(expected(e.ErrorCode(), L"Failed to create FileMappingView"), e.Message());
        EXPECT_NE(0u, e.ErrorCode());
    }
}
