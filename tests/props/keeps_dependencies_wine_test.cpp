// OK in the properties dialog over Wine's Service Control Manager (through the program's
// adapter, which reports the dependencies Wine stores but does not tell): the registry's
// DependOnService and DependOnGroup stay byte for byte while the Depends on selection is the
// loaded one; a changed selection writes the one service, or none.
#include "tests/support/message_box_hook.h"
#include "tests/support/registered_service.h"
#include "tests/support/scratch_current_user.h"

#include "ui/base/application.h"
#include "common/format.h"
#include "common/registry.h"
#include "services/sc_manager.h"
#include "services/wine_scm.h"
#include "tests/props/props_dialog_fixture.h"
#include "ui/props/form_props.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {
using TList = std::vector<std::wstring>;
constexpr const wchar_t* Edited = L"PropsWineKeepsEdited";

// DependOnService and DependOnGroup as the registry keeps them (type and bytes; none: absent).
struct TStoredDependencies {
    std::optional<TRegValue> Services, Groups;
};

std::optional<TRegValue> StoredValue(const wchar_t* name)
{
    UniqueRegKey key;
    TRegValue value;
    if (OpenRegKey(HKEY_LOCAL_MACHINE, std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + Edited, KEY_READ, key) !=
            ERROR_SUCCESS ||
        ReadRegValue(key.get(), name, value) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

TStoredDependencies Stored() { return {StoredValue(L"DependOnService"), StoredValue(L"DependOnGroup")}; }

bool Same(const std::optional<TRegValue>& a, const std::optional<TRegValue>& b)
{
    return a.has_value() == b.has_value() && (!a || (a->Type == b->Type && a->Data == b->Data));
}

// The entries of a stored list, empty when absent.
TList Entries(const std::optional<TRegValue>& value)
{
    TList entries;
    if (!value)
        return entries;
    const std::wstring text = RegDataText(value->Data);
    for (size_t at = 0; at < text.size() && text[at];) {
        const size_t end = text.find(L'\0', at);
        entries.push_back(text.substr(at, end - at));
        at = end == std::wstring::npos ? text.size() : end + 1;
    }
    return entries;
}

class KeepsDependenciesOverWine : public PropsDialogTest {
protected:
    static void SetUpTestSuite()
    {
        PropsDialogTest::SetUpTestSuite();
        for (const wchar_t* name : {L"PropsWineKeepsDb", L"PropsWineKeepsNet", L"PropsWineKeepsSpare"})
            Others.push_back(std::make_unique<TRegisteredService>(TServiceSpec{.Name = name}));
    }
    static void TearDownTestSuite()
    {
        Others.clear();
        PropsDialogTest::TearDownTestSuite();
    }
    ~KeepsDependenciesOverWine() override { Form.reset(); }

    // The edited service registered anew with the dependencies, and its dialog loaded over the
    // program's adapter.
    void Load(const TList& dependencies)
    {
        Form.reset();
        Catalogue.reset();
        EditedService.reset();
        EditedService = std::make_unique<TRegisteredService>(TServiceSpec{.Name = Edited, .Dependencies = dependencies});
        Catalogue = std::make_unique<TSCManager>(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", WineServiceControlManager());
        Catalogue->Refresh(true);
        TNtService* record = nullptr;
        ASSERT_TRUE(Catalogue->FindService(Edited, record));
        Open(*Catalogue, record);
    }

    static inline std::vector<std::unique_ptr<TRegisteredService>> Others;
    TScratchCurrentUser User;
    std::unique_ptr<TRegisteredService> EditedService;
    std::unique_ptr<TSCManager> Catalogue;
};

TEST_F(KeepsDependenciesOverWine, DependenciesChangeOnlyWithTheSelection)
{
    ASSERT_TRUE(RunsUnderWine());
    const struct {
        const char* Name;
        TList Stored;
        const wchar_t* Shown;
    } lists[] = {
        {"one", {L"PropsWineKeepsDb"}, L"PropsWineKeepsDb"},
        {"several with groups", {L"PropsWineKeepsDb", L"+PropsWineNetwork", L"PropsWineKeepsNet", L"+PropsWineOther"},
         L"PropsWineKeepsDb"},
        {"a group only", {L"+PropsWineNetwork"}, L"<none>"},
        {"a name with no service", {L"PropsWineGhost", L"PropsWineKeepsNet"}, L"PropsWineKeepsNet"},
    };
    for (const auto& l : lists) {
        SCOPED_TRACE(l.Name);
        const struct {
            const char* Name;
            std::optional<std::wstring> Select;
            std::optional<TList> Services, Groups;  // none: as stored, byte for byte
        } selections[] = {
            {"unchanged", std::nullopt, std::nullopt, std::nullopt},
            {"another service", L"PropsWineKeepsSpare", TList{L"PropsWineKeepsSpare"}, TList{}},
            {"<none>", L"<none>", std::wstring(l.Shown) == L"<none>" ? std::nullopt : std::optional(TList{}),
             std::wstring(l.Shown) == L"<none>" ? std::nullopt : std::optional(TList{})},
        };
        for (const auto& s : selections) {
            SCOPED_TRACE(s.Name);
            Load(l.Stored);
            const TStoredDependencies before = Stored();
            HWND combo = Form->Item(TFormProps::IdComboDepend);
            EXPECT_EQ(Form->Settings().Dependency.value_or(L"?"), std::wstring(l.Shown) == L"<none>" ? L"" : l.Shown);
            if (s.Select)
                SendMessageW(combo, CB_SETCURSEL,
                             SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(s.Select->c_str())),
                             0);
            // The question about dependencies the dialog did not show is answered Yes.
            ScriptedMessageBoxes boxes({IDYES});
            ASSERT_TRUE(Form->ApplyChanges());
            const TStoredDependencies after = Stored();
            if (s.Services)
                EXPECT_EQ(Entries(after.Services), *s.Services);
            else
                EXPECT_TRUE(Same(after.Services, before.Services)) << "DependOnService kept";
            if (s.Groups)
                EXPECT_EQ(Entries(after.Groups), *s.Groups);
            else
                EXPECT_TRUE(Same(after.Groups, before.Groups)) << "DependOnGroup kept";
        }
    }
}

// Every value of the service's key, type and bytes.
std::map<std::wstring, TRegValue> KeyValues()
{
    std::map<std::wstring, TRegValue> values;
    UniqueRegKey key;
    if (OpenRegKey(HKEY_LOCAL_MACHINE, std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + Edited, KEY_READ, key) !=
        ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        TRegValue value;
        EXPECT_EQ(ReadRegValue(key.get(), name, value), ERROR_SUCCESS);
        values.emplace(name, value);
    }
    return values;
}

void SetValue(const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    UniqueRegKey key;
    ASSERT_EQ(OpenRegKey(HKEY_LOCAL_MACHINE, std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + Edited,
                         KEY_SET_VALUE, key),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

// A start type changed with the dependency left as loaded: Wine's manager, given "unchanged",
// erases both values; the key must end byte for byte as before but for the start type, whatever
// the type the values are stored as.
TEST_F(KeepsDependenciesOverWine, AChangeOfAnotherFieldKeepsTheKeyByteForByte)
{
    ASSERT_TRUE(RunsUnderWine());
    const wchar_t text[] = L"PropsWineKeepsDb";
    const wchar_t list[] = L"PropsWineKeepsDb\0PropsWineKeepsNet\0";
    const wchar_t unterminated[] = {L'N', L'e', L't'};
    const DWORD number = 7;
    const BYTE odd[] = {0x41, 0, 0x42};
    const struct {
        const char* Name;
        DWORD Type;
        const void* Data;
        DWORD Size;
    } values[] = {
        {"multi-string", REG_MULTI_SZ, list, sizeof(list)},
        {"multi-string without its end", REG_MULTI_SZ, unterminated, sizeof(unterminated)},
        {"string", REG_SZ, text, sizeof(text)},
        {"expandable string", REG_EXPAND_SZ, text, sizeof(text)},
        {"binary of odd size", REG_BINARY, odd, sizeof(odd)},
        {"number", REG_DWORD, &number, sizeof(number)},
        {"empty", REG_MULTI_SZ, nullptr, 0},
    };
    for (const auto& v : values) {
        SCOPED_TRACE(v.Name);
        Load({});
        SetValue(L"DependOnService", v.Type, v.Data, v.Size);
        SetValue(L"DependOnGroup", v.Type, v.Data, v.Size);
        auto before = KeyValues();
        SendMessageW(Form->Item(TFormProps::IdRBtnStartDisabled), BM_CLICK, 0, 0);
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(Form->ApplyChanges());
        auto after = KeyValues();
        EXPECT_EQ(RegValueDword(after[L"Start"]), std::optional<DWORD>(SERVICE_DISABLED));
        after[L"Start"] = before[L"Start"];
        ASSERT_EQ(before.size(), after.size());
        for (const auto& [name, value] : before) {
            SCOPED_TRACE(ToUtf8(name));
            EXPECT_EQ(value.Type, after[name].Type);
            EXPECT_EQ(value.Data, after[name].Data);
        }
    }
}
}  // namespace
