// OK in the properties dialog changes only what the user changed: the stored dependency list
// (services, groups, names without a service) stays whole while the Depends on selection is
// the loaded one, and the "Parameters" value keeps its type and bytes while its box is as
// loaded. The dialog is loaded and applied without being shown, over the simulated manager.
#include "common/handle.h"
#include "services/sc_manager.h"
#include "tests/props/props_dialog_fixture.h"
#include "tests/sim_scm/sim_scm.h"
#include "tests/support/message_box_hook.h"
#include "tests/support/scratch_current_user.h"
#include "ui/base/application.h"
#include "ui/props/form_props.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {
constexpr const wchar_t* Edited = L"Svc_keeps_stored_data";
const std::wstring ParametersKey = std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + Edited + L"\\Parameters";

using TList = std::vector<std::wstring>;

class KeepsStoredData : public PropsDialogTest {
protected:
    KeepsStoredData()
    {
        for (const wchar_t* name : {L"Db", L"Net", L"Log", L"Spare"})
            Sim.AddService(SimService(name));
    }
    ~KeepsStoredData() override
    {
        Form.reset();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + Edited).c_str());
    }

    // A fresh catalogue with the edited service depending on deps, and its dialog loaded.
    void Load(const TList& deps)
    {
        Form.reset();
        Catalogue.reset();
        if (Sim.Exists(Edited))
            Sim.RemoveService(Edited);
        Sim.AddService(SimService(Edited, deps));
        Catalogue = std::make_unique<TSCManager>(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", Sim);
        Catalogue->Refresh(true);
        TNtService* record = nullptr;
        ASSERT_TRUE(Catalogue->FindService(Edited, record));
        Open(*Catalogue, record);
    }

    void Select(const std::wstring& entry)
    {
        HWND combo = Form->Item(TFormProps::IdComboDepend);
        SendMessageW(combo, CB_SETCURSEL,
                     SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(entry.c_str())),
                     0);
    }

    // OK's apply step with every question answered Yes; the texts asked.
    std::vector<std::wstring> Apply()
    {
        ScriptedMessageBoxes boxes({IDYES});
        EXPECT_TRUE(Form->ApplyChanges());
        std::vector<std::wstring> asked;
        for (const AskedMessageBox& box : boxes.Asked)
            asked.push_back(box.Text);
        return asked;
    }

    TScratchCurrentUser User;
    TSimServiceControlManager Sim;
    std::unique_ptr<TSCManager> Catalogue;
};

TEST_F(KeepsStoredData, DependenciesChangeOnlyWithTheSelection)
{
    const struct {
        const char* Name;
        TList Stored;
        const wchar_t* Shown;  // the selection as loaded
        // What a changed selection removes that the dialog did not show, as the question names
        // it (empty: no question).
        std::wstring Unshown;
    } lists[] = {
        {"none", {}, L"<none>", L""},
        {"one", {L"Db"}, L"Db", L""},
        {"several", {L"Db", L"Net", L"Log"}, L"Db", L"Net\r\nLog"},
        {"groups", {L"Db", L"+NetworkProvider", L"Net", L"+Other"}, L"Db",
         L"NetworkProvider (group)\r\nNet\r\nOther (group)"},
        {"a group only", {L"+NetworkProvider"}, L"<none>", L"NetworkProvider (group)"},
        {"a name with no service", {L"Ghost", L"Net"}, L"Net", L"Ghost"},
    };
    for (const auto& l : lists) {
        SCOPED_TRACE(l.Name);
        const struct {
            const char* Name;
            std::optional<std::wstring> Select;  // none: left as loaded
            TList Expect;
        } selections[] = {
            {"unchanged", std::nullopt, l.Stored},
            {"reselected", l.Shown, l.Stored},
            {"another service", L"Spare", {L"Spare"}},
            {"<none>", L"<none>", std::wstring(l.Shown) == L"<none>" ? l.Stored : TList{}},
        };
        for (const auto& s : selections) {
            SCOPED_TRACE(s.Name);
            Load(l.Stored);
            EXPECT_EQ(Form->Settings().Dependency.value_or(L"?"), std::wstring(l.Shown) == L"<none>" ? L"" : l.Shown);
            if (s.Select)
                Select(*s.Select);
            const size_t calls = Sim.ChangeConfigCalls().size();
            const bool changed = s.Select && *s.Select != l.Shown;
            const std::vector<std::wstring> asked = Apply();
            // A selection as loaded writes nothing at all; a changed one names what goes unseen.
            EXPECT_EQ(Sim.ChangeConfigCalls().size() == calls, !changed);
            if (changed && !l.Unshown.empty())
                EXPECT_EQ(asked, std::vector<std::wstring>{L"The new dependency replaces all others. These dependencies "
                                                           L"are not shown and will be removed too. Continue?\r\n\r\n" +
                                                           l.Unshown});
            else
                EXPECT_TRUE(asked.empty());
            EXPECT_EQ(Sim.Service(Edited).Dependencies, s.Expect);
        }
    }
}

// No (or Cancel) to the question keeps the dialog open with nothing written.
TEST_F(KeepsStoredData, NoToTheQuestionWritesNothing)
{
    for (const int answer : {IDNO, IDCANCEL}) {
        Load({L"Db", L"+NetworkProvider", L"Net"});
        Select(L"Spare");
        SendMessageW(Form->Item(TFormProps::IdRBtnStartDisabled), BM_CLICK, 0, 0);
        ScriptedMessageBoxes boxes({answer});
        EXPECT_FALSE(Form->ApplyChanges());
        EXPECT_EQ(boxes.Asked.size(), 1u);
        EXPECT_TRUE(Sim.ChangeConfigCalls().empty());
        EXPECT_EQ(Sim.Service(Edited).Dependencies, (TList{L"Db", L"+NetworkProvider", L"Net"}));
        EXPECT_EQ(Sim.Service(Edited).StartType, static_cast<DWORD>(SERVICE_DEMAND_START));
    }
}

// The value as stored: its type and bytes.
struct TStored {
    DWORD Type;
    std::vector<BYTE> Bytes;
    bool operator==(const TStored&) const = default;
};

std::vector<BYTE> Bytes(const std::wstring& text, size_t size)
{
    std::vector<BYTE> bytes(size);
    memcpy(bytes.data(), text.data(), std::min(size, text.size() * sizeof(wchar_t)));
    return bytes;
}

void Store(const TStored& value)
{
    UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, ParametersKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), L"Parameters", 0, value.Type, value.Bytes.data(),
                             static_cast<DWORD>(value.Bytes.size())),
              ERROR_SUCCESS);
}

// None when there is no value.
std::optional<TStored> Stored()
{
    // The bytes exactly as kept (RegGetValueW would complete a missing terminator).
    TStored value{REG_NONE, std::vector<BYTE>(4096)};
    DWORD size = static_cast<DWORD>(value.Bytes.size());
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ParametersKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
        RegQueryValueExW(key.get(), L"Parameters", nullptr, &value.Type, value.Bytes.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.Bytes.resize(size);
    return value;
}

std::wstring BoxText(const TFormProps& form)
{
    HWND memo = form.Item(TFormProps::IdMemoParams);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(memo)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(memo, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Every string type is shown one line a line and, when edited, written back in its own type
// (REG_MULTI_SZ one string a line, empty lines dropped); a value the box cannot show, or none,
// becomes REG_SZ. Left as loaded, the value keeps its type and bytes.
TEST_F(KeepsStoredData, ParametersAreWrittenOnlyWhenEditedAndKeepTheirType)
{
    const std::wstring nul(1, L'\0');
    const std::wstring edited = L"-edited\r\n\r\nline";
    const TStored asText{REG_SZ, Bytes(edited + nul, 32)};
    auto as = [](DWORD type, TStored value) {
        value.Type = type;
        return value;
    };
    const struct {
        const char* Name;
        DWORD Type;  // REG_NONE: no value
        std::wstring Data;  // the first Size bytes of it are stored
        size_t Size;
        std::wstring Shown;
        TStored Written;  // after an edit
    } values[] = {
        {"text", REG_SZ, L"-n erp\r\n-x tcpip", 34, L"-n erp\r\n-x tcpip", asText},
        {"expandable with line feeds", REG_EXPAND_SZ, L"-d %TEMP%\n-x tcpip", 38, L"-d %TEMP%\r\n-x tcpip",
         as(REG_EXPAND_SZ, asText)},
        {"text after a NUL", REG_SZ, L"-n erp" + nul + L"-x tcpip" + nul, 32, L"-n erp", asText},
        {"binary", REG_BINARY, L"-n db", 12, L"-n db", as(REG_BINARY, asText)},
        {"odd size", REG_BINARY, L"-n db", 7, L"-n ", as(REG_BINARY, asText)},
        {"no terminator", REG_SZ, L"abc", 6, L"abc", asText},
        {"multi-string", REG_MULTI_SZ, L"a" + nul + L"b" + nul, 10, L"a\r\nb",
         {REG_MULTI_SZ, Bytes(L"-edited" + nul + L"line" + nul + nul, 28)}},
        {"multi-string with empty strings", REG_MULTI_SZ, L"a" + nul + nul + L"b" + nul + nul, 12, L"a\r\n\r\nb",
         {REG_MULTI_SZ, Bytes(L"-edited" + nul + L"line" + nul + nul, 28)}},
        {"empty multi-string", REG_MULTI_SZ, nul, 2, L"",
         {REG_MULTI_SZ, Bytes(L"-edited" + nul + L"line" + nul + nul, 28)}},
        {"number", REG_DWORD, std::wstring(1, L'\x5'), 4, L"", asText},
        {"missing", REG_NONE, L"", 0, L"", asText},
    };
    for (const auto& v : values) {
        SCOPED_TRACE(v.Name);
        for (const bool edit : {false, true}) {
            SCOPED_TRACE(edit ? "edited" : "not edited");
            if (v.Type == REG_NONE)
                RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ParametersKey.c_str(), L"Parameters");
            else
                Store({v.Type, Bytes(v.Data, v.Size)});
            const std::optional<TStored> before = Stored();  // as the registry keeps it
            Load({});
            EXPECT_EQ(BoxText(*Form), v.Shown);
            // Only the start type changes, or the text too.
            SendMessageW(Form->Item(TFormProps::IdRBtnStartDisabled), BM_CLICK, 0, 0);
            if (edit)
                SetWindowTextW(Form->Item(TFormProps::IdMemoParams), edited.c_str());
            Apply();
            EXPECT_EQ(Sim.Service(Edited).StartType, static_cast<DWORD>(SERVICE_DISABLED));
            if (edit)
                EXPECT_EQ(Stored(), v.Written);
            else
                EXPECT_EQ(Stored(), before);
        }
    }
}
}  // namespace
