// OK in the properties dialog changes only what the user changed: the stored dependency list
// (services, groups, names without a service) stays whole while the Depends on selection is
// the loaded one, and the "Parameters" value keeps its type and bytes while its box is as
// loaded. The dialog is loaded and applied without being shown, over the simulated manager.
#include "common/handle.h"
#include "services/sc_manager.h"
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

class KeepsStoredData : public testing::Test {
protected:
    static void SetUpTestSuite() { Application().Initialize(); }

    KeepsStoredData()
    {
        for (const wchar_t* name : {L"Db", L"Net", L"Log", L"Spare"})
            Sim.AddService(SimService(name));
    }
    ~KeepsStoredData() override
    {
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
        Form = std::make_unique<TFormProps>(*Catalogue, record, etUnknown);
        Form->LoadService();
    }

    void Select(const std::wstring& entry)
    {
        HWND combo = Form->Item(TFormProps::IdComboDepend);
        SendMessageW(combo, CB_SETCURSEL,
                     SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(entry.c_str())),
                     0);
    }

    void Apply()
    {
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(Form->ApplyChanges());
        EXPECT_TRUE(boxes.Asked.empty());
    }

    TScratchCurrentUser User;
    TSimServiceControlManager Sim;
    std::unique_ptr<TSCManager> Catalogue;
    std::unique_ptr<TFormProps> Form;
};

TEST_F(KeepsStoredData, DependenciesChangeOnlyWithTheSelection)
{
    const struct {
        const char* Name;
        TList Stored;
        const wchar_t* Shown;  // the selection as loaded
    } lists[] = {
        {"none", {}, L"<none>"},
        {"one", {L"Db"}, L"Db"},
        {"several", {L"Db", L"Net", L"Log"}, L"Db"},
        {"groups", {L"Db", L"+NetworkProvider", L"Net", L"+Other"}, L"Db"},
        {"a group only", {L"+NetworkProvider"}, L"<none>"},
        {"a name with no service", {L"Ghost", L"Net"}, L"Net"},
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
            EXPECT_EQ(Form->ConfigChoice().DependText, l.Shown);
            if (s.Select)
                Select(*s.Select);
            const size_t calls = Sim.ChangeConfigCalls().size();
            Apply();
            // A selection as loaded writes nothing at all.
            EXPECT_EQ(Sim.ChangeConfigCalls().size() == calls, !s.Select || *s.Select == l.Shown);
            EXPECT_EQ(Sim.Service(Edited).Dependencies, s.Expect);
        }
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

TStored Stored()
{
    // The bytes exactly as kept (RegGetValueW would complete a missing terminator).
    TStored value{REG_NONE, std::vector<BYTE>(4096)};
    DWORD size = static_cast<DWORD>(value.Bytes.size());
    UniqueRegKey key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, ParametersKey.c_str(), 0, KEY_READ, key.put()), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key.get(), L"Parameters", nullptr, &value.Type, value.Bytes.data(), &size),
              ERROR_SUCCESS);
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

TEST_F(KeepsStoredData, ParametersAreWrittenOnlyWhenEdited)
{
    const std::wstring nul(1, L'\0');
    const struct {
        const char* Name;
        DWORD Type;
        std::wstring Data;  // the first Size bytes of it are stored
        size_t Size;
        std::wstring Shown;
    } values[] = {
        {"text", REG_SZ, L"-n erp\r\n-x tcpip", 34, L"-n erp\r\n-x tcpip"},
        {"expandable with line feeds", REG_EXPAND_SZ, L"-d %TEMP%\n-x tcpip", 38, L"-d %TEMP%\r\n-x tcpip"},
        {"text after a NUL", REG_SZ, L"-n erp" + nul + L"-x tcpip" + nul, 32, L"-n erp"},
        {"binary", REG_BINARY, L"-n db", 12, L"-n db"},
        {"odd size", REG_BINARY, L"-n db", 7, L"-n "},
        {"no terminator", REG_SZ, L"abc", 6, L"abc"},
        {"multi-string", REG_MULTI_SZ, L"a" + nul + L"b" + nul, 10, L""},
        {"number", REG_DWORD, std::wstring(1, L'\x5'), 4, L""},
    };
    for (const auto& v : values) {
        SCOPED_TRACE(v.Name);
        for (const bool edit : {false, true}) {
            SCOPED_TRACE(edit ? "edited" : "not edited");
            Store({v.Type, Bytes(v.Data, v.Size)});
            const TStored before = Stored();  // as the registry keeps it
            Load({});
            EXPECT_EQ(BoxText(*Form), v.Shown);
            // Only the start type changes, or the text too.
            SendMessageW(Form->Item(TFormProps::IdRBtnStartDisabled), BM_CLICK, 0, 0);
            if (edit)
                SetWindowTextW(Form->Item(TFormProps::IdMemoParams), L"-edited\r\nline");
            Apply();
            EXPECT_EQ(Sim.Service(Edited).StartType, static_cast<DWORD>(SERVICE_DISABLED));
            if (edit)
                EXPECT_EQ(Stored(), (TStored{REG_SZ, Bytes(L"-edited\r\nline", 28)}));
            else
                EXPECT_EQ(Stored(), before);
        }
    }
}
}  // namespace
