// What the properties dialog loads, shown modally over the simulated manager: installed
// services of every sort and new ones of each kind, what Depends on offers, the enabling rules,
// a service that cannot be read, and the kind remembered for Add....
#include "common/errors.h"
#include "common/format.h"
#include "common/registry.h"
#include "erp/executables.h"
#include "erp/service_parameters.h"
#include "tests/props/props_dialog_fixture.h"
#include "tests/support/key_access.h"
#include "tests/support/message_box_hook.h"
#include "tests/support/user_input.h"
#include "ui/base/application.h"
#include "ui/base/message_box.h"
#include "ui/props/form_password.h"
#include "ui/props/form_props.h"
#include "ui/props/service_properties.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {
TEST_F(FormPropsTest, LoadsInstalledServices)
{
    const struct {
        const char* Name;
        std::function<void(TSimService&)> Setup;
        bool DelayedLevel;
        // What the dialog shows.
        bool Default, Interact;
        std::wstring User;
        const wchar_t* StartButton;  // null: none checked
        bool Delayed, DelayedEnabled;
        std::wstring Depend;
        std::wstring Type;
        bool Driver = false;  // its account controls all disabled
    } cases[] = {
        {"local system, interactive, automatic, delayed",
         [](TSimService& s) {
             s.StartName = L"localsystem";
             s.ServiceType |= SERVICE_INTERACTIVE_PROCESS;
             s.StartType = SERVICE_AUTO_START;
             s.DelayedAutoStart = true;
         },
         true, true, true, L"", L"&Automatic", true, true, L"SQLANYs_Db", L"Talvora ERP Application Server"},
        {"user account, manual",
         [](TSimService& s) {
             s.StartName = L".\\svcuser";
             s.ServiceType |= SERVICE_INTERACTIVE_PROCESS;
         },
         true, false, false, L".\\svcuser", L"&Manual", false, false, L"SQLANYs_Db", L"Talvora ERP Application Server"},
        {"delayed but disabled", [](TSimService& s) { s.StartType = SERVICE_DISABLED; s.DelayedAutoStart = true; },
         true, true, false, L"", L"&Disabled", false, false, L"SQLANYs_Db", L"Talvora ERP Application Server"},
        {"boot start, a group only",
         [](TSimService& s) {
             s.StartType = SERVICE_BOOT_START;
             s.Dependencies = {L"+Group"};
             s.BinaryPath = L"C:\\Windows\\svchost.exe -k x";
         },
         true, true, false, L"", nullptr, false, false, L"<none>", L"Unknown Server"},
        {"no delayed-start level", [](TSimService& s) { s.StartType = SERVICE_AUTO_START; s.DelayedAutoStart = true; },
         false, true, false, L"", L"&Automatic", false, false, L"SQLANYs_Db", L"Talvora ERP Application Server"},
        {"a dependency on a missing service", [](TSimService& s) { s.Dependencies = {L"+Group", L"Ghost"}; }, true,
         true, false, L"", L"&Manual", false, false, L"Ghost", L"Talvora ERP Application Server"},
        {"kernel driver",
         [](TSimService& s) {
             s.ServiceType = SERVICE_KERNEL_DRIVER;
             s.StartName = L"";
         },
         true, false, false, L"", L"&Manual", false, false, L"SQLANYs_Db", L"Talvora ERP Application Server", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ResetApp();
        WriteServiceParameters(L"TalvoraApp", L"-a\n-b\r-c\r\n");
        Sim.Update(L"TalvoraApp", c.Setup);
        Sim.SetDelayedStartSupported(c.DelayedLevel);
        Open(Record(L"TalvoraApp"));
        Show({[&] {
            EXPECT_EQ(Checked(Item(TFormProps::IdChBoxDefaultAccount)), c.Default);
            EXPECT_EQ(Checked(Item(TFormProps::IdChBoxInteract)), c.Interact);
            EXPECT_EQ(Text(Item(TFormProps::IdEditUser)), c.User);
            EXPECT_EQ(Form->OldUserName(), c.User);
            EXPECT_EQ(Enabled(Item(TFormProps::IdEditUser)), !c.Default && !c.Driver);
            EXPECT_EQ(Enabled(Item(TFormProps::IdChBoxInteract)), c.Default && !c.Driver);
            EXPECT_EQ(Enabled(Item(TFormProps::IdChBoxDefaultAccount)), !c.Driver);
            EXPECT_EQ(SendMessageW(Item(TFormProps::IdComboDepend), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(L"TalvoraApp")),
                      CB_ERR)
                << "a service is never offered as its own dependency";
            for (int id : {TFormProps::IdRBtnStartAuto, TFormProps::IdRBtnStartManual, TFormProps::IdRBtnStartDisabled})
                EXPECT_EQ(Checked(Item(id)), c.StartButton && Text(Item(id)) == c.StartButton) << id;
            // The name and file boxes are disabled: the first stop is the start group, at its
            // checked button (Automatic when none is).
            EXPECT_EQ(Text(GetNextDlgTabItem(Form->Handle(), nullptr, FALSE)),
                      c.StartButton ? c.StartButton : L"&Automatic");
            EXPECT_EQ(Checked(Item(TFormProps::IdChBoxDelayedStart)), c.Delayed);
            EXPECT_EQ(Enabled(Item(TFormProps::IdChBoxDelayedStart)), c.DelayedEnabled);
            EXPECT_TRUE(IsWindowVisible(Item(TFormProps::IdChBoxDelayedStart)));
            EXPECT_EQ(ComboSelection(Item(TFormProps::IdComboDepend)), c.Depend);
            EXPECT_EQ(Text(Item(TFormProps::IdEditType)), c.Type);
            EXPECT_EQ(Text(Item(TFormProps::IdEditName)), L"TalvoraApp");
            EXPECT_EQ(Text(Item(TFormProps::IdComboFile)), Sim.Service(L"TalvoraApp").BinaryPath);
            for (int id : {TFormProps::IdEditName, TFormProps::IdComboFile, TFormProps::IdBtnBrowse,
                           TFormProps::IdLabelName, TFormProps::IdLabelFile, TFormProps::IdEditType})
                EXPECT_FALSE(Enabled(Item(id))) << id;
            EXPECT_TRUE(Enabled(Item(TFormProps::IdComboDepend)));
            EXPECT_EQ(Text(Item(TFormProps::IdMemoParams)), L"-a\r\n-b\r\n-c\r\n") << "every line break the box's";
            Cancel();
        }});
        EXPECT_EQ(Sim.OpenHandleCount(), 1) << "only the catalogue's own";
    }
}

// Interact comes from the service type as configured, which a change sets at once; the
// status's type may lag behind it (Wine's never follows a change).
TEST_F(FormPropsTest, InteractFollowsTheConfiguredServiceType)
{
    for (const bool configured : {false, true}) {
        SCOPED_TRACE(configured ? "configured interactive" : "configured not interactive");
        ResetApp();
        Sim.Update(L"TalvoraApp", [&](TSimService& s) {
            s.ServiceType = configured ? SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS : SERVICE_WIN32_OWN_PROCESS;
        });
        TNtService* record = Record(L"TalvoraApp");
        // A status read afterwards that still has the type from before the change.
        TServiceRecordData stale;
        stale.ServiceName = L"TalvoraApp";
        const DWORD statusType = configured ? DWORD{SERVICE_WIN32_OWN_PROCESS}
                                            : DWORD{SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS};
        stale.Status = SERVICE_STATUS{statusType, SERVICE_STOPPED, 0, 0, 0, 0, 0};
        record->ApplyRecord(stale);
        Open(record);
        EXPECT_TRUE(Checked(Item(TFormProps::IdChBoxDefaultAccount)));
        EXPECT_EQ(Checked(Item(TFormProps::IdChBoxInteract)), configured);
        Form.reset();
    }
}

// Depends on offers no service that depends on the edited one, directly, through another
// service or through the edited one's group: the manager refuses such a circle whole (1059).
TEST_F(FormPropsTest, DependsOnOffersNoServiceThatDependsOnTheEditedOne)
{
    Sim.Update(L"SQLANYs_Db", [](TSimService& s) { s.LoadOrderGroup = L"DbGroup"; });
    Sim.AddService(SimService(L"Reports", {L"TalvoraApp"}));
    Sim.AddService(SimService(L"GroupUser", {L"+DbGroup"}));
    Sim.AddService(SimService(L"Unrelated"));
    Open(Record(L"SQLANYs_Db"));
    HWND depend = Item(TFormProps::IdComboDepend);
    std::vector<std::wstring> offered;
    for (int i = 0; i < static_cast<int>(SendMessageW(depend, CB_GETCOUNT, 0, 0)); ++i)
        offered.push_back(ComboItem(depend, i));
    std::sort(offered.begin() + 1, offered.end());
    EXPECT_EQ(offered, (std::vector<std::wstring>{L"<none>", L"Unrelated"}));
    EXPECT_EQ(ComboSelection(depend), L"<none>");

    // A service with no dependants is offered every other one.
    Open(Record(L"Unrelated"));
    EXPECT_EQ(SendMessageW(Item(TFormProps::IdComboDepend), CB_GETCOUNT, 0, 0), Catalogue().ServiceCount());
}

TEST_F(FormPropsTest, FollowsTheEnablingRulesOnEveryClick)
{
    Sim.Update(L"TalvoraApp", [](TSimService& s) { s.StartType = SERVICE_AUTO_START; });
    Open(Record(L"TalvoraApp"));
    Show({[&] {
        HWND delayed = Item(TFormProps::IdChBoxDelayedStart);
        HWND user = Item(TFormProps::IdEditUser);
        HWND interact = Item(TFormProps::IdChBoxInteract);
        EXPECT_TRUE(Enabled(delayed));
        Click(delayed);
        Click(Item(TFormProps::IdRBtnStartManual));
        EXPECT_FALSE(Enabled(delayed));
        EXPECT_TRUE(Checked(delayed)) << "kept while disabled";
        Click(Item(TFormProps::IdRBtnStartAuto));
        EXPECT_TRUE(Enabled(delayed));
        EXPECT_FALSE(Enabled(user));
        Click(Item(TFormProps::IdChBoxDefaultAccount));
        EXPECT_TRUE(Enabled(user));
        EXPECT_TRUE(Enabled(Item(TFormProps::IdLabelUser)));
        EXPECT_FALSE(Enabled(interact));
        Click(Item(TFormProps::IdChBoxDefaultAccount));
        EXPECT_FALSE(Enabled(user));
        EXPECT_TRUE(Enabled(interact));
        Cancel();
    }});
}

TEST_F(FormPropsTest, LoadsNewServicesOfEachKind)
{
    const struct {
        TExeType Kind;
        std::wstring Name;
        int DependCount;
    } cases[] = {
        {etT32AppServer, L"<default>", 3},
        {etT32GenericServer, L"<default>", 3},
        {etNetworkServer, L"", 0},
        {etLocalServer, L"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Kind));
        Open(nullptr, c.Kind);
        Show({[&] {
            EXPECT_EQ(Text(Item(TFormProps::IdEditType)), ExeTypeName(c.Kind));
            EXPECT_EQ(Text(Item(TFormProps::IdEditName)), c.Name);
            EXPECT_TRUE(Checked(Item(TFormProps::IdRBtnStartAuto)));
            EXPECT_TRUE(Checked(Item(TFormProps::IdChBoxInteract)));
            EXPECT_TRUE(Enabled(Item(TFormProps::IdChBoxInteract)));
            EXPECT_TRUE(Checked(Item(TFormProps::IdChBoxDefaultAccount)));
            EXPECT_FALSE(Enabled(Item(TFormProps::IdChBoxDefaultAccount)));
            EXPECT_FALSE(Enabled(Item(TFormProps::IdEditUser)));
            EXPECT_FALSE(IsWindowVisible(Item(TFormProps::IdChBoxDelayedStart)));
            for (int id : {TFormProps::IdEditName, TFormProps::IdComboFile, TFormProps::IdBtnBrowse,
                           TFormProps::IdComboDepend, TFormProps::IdLabelDepend})
                EXPECT_TRUE(Enabled(Item(id))) << id;
            HWND depend = Item(TFormProps::IdComboDepend);
            ASSERT_EQ(SendMessageW(depend, CB_GETCOUNT, 0, 0), c.DependCount);
            EXPECT_EQ(SendMessageW(depend, CB_GETCURSEL, 0, 0), CB_ERR);
            if (c.DependCount) {
                EXPECT_EQ(ComboItem(depend, 0), L"<none>");
                EXPECT_EQ(ComboItem(depend, 1), Catalogue().GetService(0)->ServiceName());
            }
            Cancel();
        }});
    }
}

TEST_F(FormPropsTest, LoadingFailsWithoutADialog)
{
    const struct {
        const char* Name;
        TSimCall Call;
        DWORD Error;
    } cases[] = {
        {"no access", TSimCall::OpenService, ERROR_ACCESS_DENIED},
        {"query fails", TSimCall::QueryServiceConfig2W, ERROR_INVALID_HANDLE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TNtService* record = Record(L"TalvoraApp");
        Sim.Fail(c.Call, c.Error, L"TalvoraApp", 0, 1);
        try {
            ShowServiceProperties(Catalogue(), record);
            ADD_FAILURE() << "no error";
        } catch (const EOSError& e) {
            EXPECT_EQ(e.ErrorCode(), c.Error);
        }
        EXPECT_EQ(FindWindowW(TFormProps::ClassName, nullptr), nullptr);
        EXPECT_EQ(Sim.OpenHandleCount(), 1);
        Sim.ClearFaults();
    }
}

// The kind remembered for Add...: a damaged value never narrows into a small kind by wrapping.
TEST_F(FormPropsTest, RemembersTheKindOfTheLastNewService)
{
    const auto stored = ReadRegDword(HKEY_CURRENT_USER, SettingsKey, L"ServiceType");
    UniqueRegKey settings;
    ASSERT_EQ(CreateRegKey(HKEY_CURRENT_USER, SettingsKey, KEY_ALL_ACCESS, settings), ERROR_SUCCESS);
    const struct {
        const char* Name;
        std::function<void()> Store;
        TExeType Kind;
    } cases[] = {
        {"missing", [&] { RegDeleteValueW(settings.get(), L"ServiceType"); }, etUnknown},
        {"2", [&] { WriteRegDword(settings.get(), L"ServiceType", 2); }, etT32AppServer},
        {"4", [&] { WriteRegDword(settings.get(), L"ServiceType", 4); }, etUnknown},
        {"5", [&] { WriteRegDword(settings.get(), L"ServiceType", 5); }, etT32GenericServer},
        {"260 (wraps to 4 in a byte)", [&] { WriteRegDword(settings.get(), L"ServiceType", 260); }, etT32GenericServer},
        {"text", [&] { WriteRegText(settings.get(), L"ServiceType", L"1"); }, etUnknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Store();
        EXPECT_EQ(ReadRememberedKind(), c.Kind);
    }

    // Add...: the kind dialog preselects the remembered kind; the chosen one is stored at once,
    // also when the properties dialog is then cancelled. Cancelling the kind stores nothing.
    WriteRegDword(settings.get(), L"ServiceType", 5);
    TScript::Steps = {[] {
                          HWND kind = FindWindowW(L"TFormSelectType", nullptr);
                          ASSERT_NE(kind, nullptr);
                          EXPECT_EQ(SendMessageW(GetDlgItem(kind, 203), BM_GETCHECK, 0, 0), BST_CHECKED);
                          SendMessageW(GetDlgItem(kind, 201), BM_CLICK, 0, 0);
                          PostMessageW(kind, WM_COMMAND, IDOK, 0);
                      },
                      [] {
                          HWND props = FindWindowW(TFormProps::ClassName, nullptr);
                          ASSERT_NE(props, nullptr);
                          EXPECT_EQ(Text(GetDlgItem(props, TFormProps::IdEditType)), L"SQL Anywhere Personal Server");
                          PostMessageW(props, WM_CLOSE, 0, 0);
                      },
                      [] { PostMessageW(FindWindowW(L"TFormSelectType", nullptr), WM_CLOSE, 0, 0); }};
    TScript::Next = 0;
    TScript::Ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 25, &TScript::Tick);
    EXPECT_FALSE(ShowServiceProperties(Catalogue(), nullptr));
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, SettingsKey, L"ServiceType"), std::optional<DWORD>(1));
    EXPECT_FALSE(ShowServiceProperties(Catalogue(), nullptr));
    KillTimer(nullptr, timer);
    EXPECT_EQ(TScript::Next, TScript::Steps.size());
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, SettingsKey, L"ServiceType"), std::optional<DWORD>(1));

    if (stored)
        WriteRegDword(settings.get(), L"ServiceType", *stored);
    else
        RegDeleteValueW(settings.get(), L"ServiceType");
}
}  // namespace
