// The properties dialog over the simulated manager, shown modally and driven from a timer
// inside this process: what it loads for installed and new services, the enabling rules, the
// name box's filter, the ways it ends (each saving the folder history), validation, applying,
// the password prompt, and the record's handle that a refresh meanwhile leaves alone.
#include "common/errors.h"
#include "common/format.h"
#include "common/registry.h"
#include "erp/executables.h"
#include "erp/service_parameters.h"
#include "services/sc_manager.h"
#include "tests/sim_scm/sim_accounts.h"
#include "tests/sim_scm/sim_scm.h"
#include "tests/support/key_access.h"
#include "tests/support/message_box_hook.h"
#include "tests/support/scratch_current_user.h"
#include "tests/support/user_input.h"
#include "ui/base/application.h"
#include "ui/base/message_box.h"
#include "ui/props/form_password.h"
#include "ui/props/form_props.h"
#include "ui/props/service_properties.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <vector>

namespace {
// Where the dialog keeps its size, under the settings key.
constexpr const wchar_t* LayoutSection = L"Software\\Talvora\\Orvessa\\FormProps";

class TBackgroundForm : public TWindow {
public:
    TBackgroundForm()
    {
        CreateForm({.ClassName = L"TPropsDialogTestMain", .Caption = L"main", .ClientWidth = 100, .ClientHeight = 100});
    }
};

using Step = std::function<void()>;

// Runs the steps one timer tick apart while a modal window of this thread is shown; a dialog
// still open after twenty seconds is cancelled and the test fails.
struct TScript {
    static inline std::vector<Step> Steps;
    static inline size_t Next = 0;
    static inline int Ticks = 0;

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (++Ticks > 800) {
            if (Ticks == 801)
                ADD_FAILURE() << "dialog still open after " << Next << " of " << Steps.size() << " steps";
            for (const wchar_t* cls : {TFormPassword::ClassName, TFormProps::ClassName})
                if (HWND open = FindWindowW(cls, nullptr))
                    PostMessageW(open, WM_CLOSE, 0, 0);
            return;
        }
        if (Next < Steps.size())
            Steps[Next++]();
    }
};

std::wstring Text(HWND wnd) { return WindowText(wnd); }

bool Checked(HWND wnd) { return SendMessageW(wnd, BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool Enabled(HWND wnd) { return IsWindowEnabled(wnd) != FALSE; }
void Click(HWND wnd) { SendMessageW(wnd, BM_CLICK, 0, 0); }

std::wstring ComboItem(HWND combo, int index)
{
    std::wstring text(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.size() - 1);
    return text;
}

std::wstring ComboSelection(HWND combo)
{
    const int index = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    return index < 0 ? L"(none selected)" : ComboItem(combo, index);
}

class FormPropsTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Application().Initialize();
        Background = std::make_unique<TBackgroundForm>();
    }
    static void TearDownTestSuite() { Background.reset(); }

    FormPropsTest()
    {
        TSimService db = SimService(L"SQLANYs_Db");
        db.BinaryPath = L"\"C:\\SA17\\Bin64\\dbsrv17.exe\" -n erpdb";
        Sim.AddService(db);
        Sim.AddAccount(L".\\svcuser");
        ResetApp();
    }
    ~FormPropsTest() override
    {
        for (const wchar_t* name : {L"form_props_gui_test", L"TalvoraApp"})
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + name).c_str());
    }

    // TalvoraApp, an application server that depends on the database, as it was at the start.
    void ResetApp()
    {
        FCatalogue.reset();
        if (Sim.Exists(L"TalvoraApp"))
            Sim.RemoveService(L"TalvoraApp");
        TSimService app = SimService(L"TalvoraApp", {L"SQLANYs_Db"});
        app.BinaryPath = L"C:\\ERP\\t32appsrv.exe /service";
        Sim.AddService(app);
    }

    TSCManager& Catalogue()
    {
        if (!FCatalogue) {
            FCatalogue = std::make_unique<TSCManager>(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", Sim);
            FCatalogue->Refresh(true);
        }
        return *FCatalogue;
    }
    TNtService* Record(const std::wstring& name)
    {
        TNtService* service = nullptr;
        EXPECT_TRUE(Catalogue().FindService(name, service));
        return service;
    }

    // Creates and loads the dialog for the service (null: a new one of kind).
    TFormProps& Open(TNtService* service, TExeType kind = etUnknown)
    {
        Form = std::make_unique<TFormProps>(Catalogue(), service, kind);
        Form->SetAccountRights(Rights);
        Form->LoadService();
        return *Form;
    }

    int Show(std::vector<Step> steps)
    {
        TScript::Steps = std::move(steps);
        TScript::Next = 0;
        TScript::Ticks = 0;
        UINT_PTR timer = SetTimer(nullptr, 0, 25, &TScript::Tick);
        int result = Form->ShowModal();
        KillTimer(nullptr, timer);
        EXPECT_EQ(TScript::Next, TScript::Steps.size()) << "steps left undone";
        return result;
    }

    HWND Item(int id) const { return Form->Item(id); }
    void Cancel() { PostMessageW(Form->Handle(), WM_COMMAND, IDCANCEL, 0); }

    // The dialog's outer size, as the user drags its frame to it, and as it is.
    void Resize(SIZE size) { SetWindowPos(Form->Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER); }
    SIZE OuterSize() const
    {
        RECT r{};
        GetWindowRect(Form->Handle(), &r);
        return {r.right - r.left, r.bottom - r.top};
    }
    static std::wstring FormatSize(SIZE size) { return Fmt(L"%d,%d", {size.cx, size.cy}); }
    static std::optional<std::wstring> StoredSize() { return ReadRegText(HKEY_CURRENT_USER, LayoutSection, L"Size"); }

    static inline std::unique_ptr<TBackgroundForm> Background;
    // The settings the dialog reads and writes (the remembered kind, the folder history, its
    // size) start empty for every test and go with it.
    TScratchCurrentUser User;
    TSimServiceControlManager Sim;
    TSimAccountRights Rights{Sim};  // the simulated computer's accounts
    std::unique_ptr<TSCManager> FCatalogue;
    std::unique_ptr<TFormProps> Form;
};

TEST_F(FormPropsTest, LooksAsDescribed)
{
    Open(nullptr, etT32AppServer);
    Show({[&] {
        HWND dialog = Form->Handle();
        EXPECT_EQ(Text(dialog), L"Service properties");
        RECT client{};
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, 723);
        EXPECT_EQ(client.bottom, 375);
        EXPECT_TRUE(GetWindowLongW(dialog, GWL_STYLE) & WS_THICKFRAME);
        // Tab order of the enabled controls, from the name box on.
        const int order[] = {TFormProps::IdEditName, TFormProps::IdComboFile, TFormProps::IdBtnBrowse,
                             TFormProps::IdRBtnStartAuto, TFormProps::IdChBoxInteract, TFormProps::IdMemoParams,
                             TFormProps::IdComboDepend, TFormProps::IdBtnOk, TFormProps::IdBtnCancel};
        for (size_t i = 0; i + 1 < std::size(order); ++i) {
            HWND next = GetNextDlgTabItem(dialog, Item(order[i]), FALSE);
            EXPECT_EQ(GetDlgCtrlID(GetParent(next) == dialog ? next : GetParent(next)), order[i + 1]) << i;
        }
        // Resizing: the minimum window size holds, and the boxes stretch.
        RECT before{};
        GetWindowRect(Item(TFormProps::IdMemoParams), &before);
        SetWindowPos(dialog, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
        RECT frame{};
        GetWindowRect(dialog, &frame);
        EXPECT_EQ(frame.right - frame.left, 478);
        EXPECT_EQ(frame.bottom - frame.top, 414);
        SetWindowPos(dialog, nullptr, 0, 0, 900, 600, SWP_NOMOVE | SWP_NOZORDER);
        RECT after{};
        GetWindowRect(Item(TFormProps::IdMemoParams), &after);
        EXPECT_GT(after.right - after.left, before.right - before.left);
        EXPECT_GT(after.bottom - after.top, before.bottom - before.top);
        // The browse button's tooltip.
        struct Found {
            HWND Dialog;
            HWND Tip = nullptr;
        } found{dialog};
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND wnd, LPARAM data) -> BOOL {
                auto* f = reinterpret_cast<Found*>(data);
                wchar_t cls[64] = L"";
                GetClassNameW(wnd, cls, 64);
                if (GetWindow(wnd, GW_OWNER) == f->Dialog && lstrcmpiW(cls, TOOLTIPS_CLASSW) == 0)
                    f->Tip = wnd;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        ASSERT_NE(found.Tip, nullptr);
        wchar_t tipText[80] = L"";
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.lpszText = tipText;
        ASSERT_TRUE(SendMessageW(found.Tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)));
        EXPECT_EQ(reinterpret_cast<HWND>(tool.uId), Item(TFormProps::IdBtnBrowse));
        EXPECT_EQ(std::wstring(tipText), L"Browse files");
        // The label's accelerator moves the focus to its box.
        SetFocus(Item(TFormProps::IdEditName));
        MSG alt{Item(TFormProps::IdEditName), WM_SYSCHAR, L'p', 0, 0, {}};
        IsDialogMessageW(dialog, &alt);
        EXPECT_EQ(GetFocus(), Item(TFormProps::IdMemoParams));
        Cancel();
    }});
}

// The size kept under "FormProps" from the last time: applied when the dialog shows, raised to
// the dialog's minimum where it is smaller; a value of another type than text, or text without
// two usable numbers, leaves the designed size.
TEST_F(FormPropsTest, OpensAtTheSizeItWasClosedWith)
{
    constexpr DWORD NoValue = REG_NONE;
    const struct {
        const char* Name;
        DWORD Type;
        std::wstring Data;
        std::optional<SIZE> Size;  // nothing: the designed size
    } cases[] = {
        {"text", REG_SZ, L"800,600", SIZE{800, 600}},
        {"expandable text reads like text", REG_EXPAND_SZ, L"810 610", SIZE{810, 610}},
        {"below the minimum: raised to it", REG_SZ, L"100,100", SIZE{478, 414}},
        {"narrower than the minimum only", REG_SZ, L"300,700", SIZE{478, 700}},
        {"no value", NoValue, L"", std::nullopt},
        {"binary", REG_BINARY, L"800,600", std::nullopt},
        {"several texts", REG_MULTI_SZ, std::wstring(L"800,600\0", 8), std::nullopt},
        {"not a number", REG_SZ, L"abc,600", std::nullopt},
        {"one number", REG_SZ, L"800", std::nullopt},
        {"a zero", REG_SZ, L"800,0", std::nullopt},
        {"a negative number", REG_SZ, L"-800,600", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        UniqueRegKey section;
        ASSERT_EQ(CreateRegKey(HKEY_CURRENT_USER, LayoutSection, KEY_ALL_ACCESS, section), ERROR_SUCCESS);
        if (c.Type == NoValue)
            RegDeleteValueW(section.get(), L"Size");
        else
            ASSERT_EQ(RegSetValueExW(section.get(), L"Size", 0, c.Type, reinterpret_cast<const BYTE*>(c.Data.c_str()),
                                     static_cast<DWORD>((c.Data.size() + 1) * sizeof(wchar_t))),
                      ERROR_SUCCESS);
        Open(Record(L"TalvoraApp"));
        Show({[&] {
            if (c.Size) {
                const SIZE shown = OuterSize();
                EXPECT_EQ(shown.cx, c.Size->cx);
                EXPECT_EQ(shown.cy, c.Size->cy);
            } else {
                RECT client{};
                GetClientRect(Form->Handle(), &client);
                EXPECT_EQ(client.right, 723);
                EXPECT_EQ(client.bottom, 375);
            }
            Cancel();
        }});
    }
}

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

// The Parameters box's context menu: seven actions in their order, Open Folder and Open File
// enabled by what the selection names.
TEST_F(FormPropsTest, ParametersMenuActsOnTheSelection)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring file = self;
    const std::wstring folder = file.substr(0, file.rfind(L'\\'));
    const std::wstring root = file.substr(0, 3);
    Open(nullptr, etNetworkServer);
    Show({[&] {
        HMENU menu = Form->ParamsMenu();
        std::vector<std::wstring> items;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = L"";
            GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            items.push_back(text);
        }
        EXPECT_EQ(items, (std::vector<std::wstring>{L"&Undo\tCtrl+Z", L"", L"Cu&t\tCtrl+X", L"&Copy\tCtrl+C",
                                                    L"&Paste\tCtrl+V", L"", L"Select &All\tCtrl+A", L"",
                                                    L"Open Folder\tF3", L"Open File\tF4"}));
        EXPECT_EQ(Form->Actions().Find(TFormProps::ActEditCut)->Hint,
                  L"Cut|Cuts the selection and puts it on the Clipboard");

        const struct {
            std::wstring Text;
            bool Dir, File;
        } cases[] = {
            {L"", false, false},
            {file, true, true},
            {folder + L"\\missing.exe", true, false},
            {folder, true, false},
            {root + L"x", true, false},
            {L"no folder", false, false},
        };
        HWND memo = Item(TFormProps::IdMemoParams);
        SetFocus(memo);
        for (const auto& c : cases) {
            SetWindowTextW(memo, (L"-x " + c.Text + L" -y").c_str());
            SendMessageW(memo, EM_SETSEL, 3, static_cast<LPARAM>(3 + c.Text.size()));
            Form->Actions().Update();
            EXPECT_EQ(Form->Actions().Find(TFormProps::ActOpenDir)->Enabled, c.Dir) << ToUtf8(c.Text);
            EXPECT_EQ(Form->Actions().Find(TFormProps::ActOpenFile)->Enabled, c.File) << ToUtf8(c.Text);
        }
        // The edit commands follow the focused box: cut and copy need a selection.
        auto enabled = [&](int id) { return Form->Actions().Find(id)->Enabled; };
        EXPECT_TRUE(enabled(TFormProps::ActEditCut));
        EXPECT_TRUE(enabled(TFormProps::ActEditCopy));
        SendMessageW(memo, EM_SETSEL, 0, 0);
        Form->Actions().Update();
        EXPECT_FALSE(enabled(TFormProps::ActEditCut));
        EXPECT_FALSE(enabled(TFormProps::ActEditCopy));
        EXPECT_TRUE(enabled(TFormProps::ActEditSelectAll));
        // Select All acts on the focused box.
        Form->Actions().Execute(TFormProps::ActEditSelectAll);
        DWORD start = 1, end = 0;
        SendMessageW(memo, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthW(memo)));
        Cancel();
    }});
}

// The browse button's file dialog: its title and filter, and the picked file taken into the box
// and its folder into the history.
TEST_F(FormPropsTest, BrowseTakesThePickedFileAndRemembersItsFolder)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring file = self;
    Open(nullptr, etT32AppServer);
    auto browser = [] {
        HWND found = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND wnd, LPARAM data) -> BOOL {
                if (IsWindowVisible(wnd) && Text(wnd) == L"Browse file")
                    *reinterpret_cast<HWND*>(data) = wnd;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    };
    Show({[&] { PostMessageW(Item(TFormProps::IdBtnBrowse), BM_CLICK, 0, 0); },
          [&] {
              HWND dialog = browser();
              if (!dialog) {
                  --TScript::Next;  // not shown yet: this step again on the next tick
                  return;
              }
              // The file name box of the Explorer-style dialog (edt1 or the combo cmb13).
              HWND name = GetDlgItem(dialog, 0x480);
              if (!name)
                  name = GetDlgItem(dialog, 0x47c);
              ASSERT_NE(name, nullptr);
              SetWindowTextW(name, file.c_str());
              PostMessageW(dialog, WM_COMMAND, IDOK, 0);
          },
          [&] {
              if (browser()) {
                  --TScript::Next;
                  return;
              }
              EXPECT_EQ(Text(Item(TFormProps::IdComboFile)), file);
              EXPECT_GE(Form->PathMem().IndexOf(file.substr(0, file.rfind(L'\\'))), 0);
              Cancel();
          }});
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

TEST_F(FormPropsTest, NameBoxDropsWhatTheKeyFilterRefuses)
{
    Open(nullptr, etT32AppServer);
    Show({[&] {
        HWND name = Item(TFormProps::IdEditName);
        EXPECT_EQ(Text(name), L"<default>") << "set by the dialog itself";
        SetWindowTextW(name, L"");
        for (wchar_t c : std::wstring(L"a b-c.d_9\x1b\x16Z"))
            SendMessageW(name, WM_CHAR, c, 0);
        EXPECT_EQ(Text(name), L"abcd_9Z");
        SendMessageW(name, WM_CHAR, 8, 0);
        EXPECT_EQ(Text(name), L"abcd_9");
        // Text set or pasted from outside is filtered the same way.
        SetWindowTextW(name, L"My Service-2");
        EXPECT_EQ(Text(name), L"MyService2");
        if (OpenClipboard(name)) {
            EmptyClipboard();
            const std::wstring pasted = L"x y\r\nz";
            HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (pasted.size() + 1) * sizeof(wchar_t));
            memcpy(GlobalLock(data), pasted.c_str(), (pasted.size() + 1) * sizeof(wchar_t));
            GlobalUnlock(data);
            SetClipboardData(CF_UNICODETEXT, data);
            CloseClipboard();
            SendMessageW(name, EM_SETSEL, 0, -1);
            SendMessageW(name, WM_PASTE, 0, 0);
            EXPECT_EQ(Text(name), L"xyz");
        } else {
            ADD_FAILURE() << "clipboard not available";
        }
        Cancel();
    }});
}

// Shift+Insert, which the edit control pastes by itself under Wine (no WM_PASTE).
void ShiftInsert(HWND wnd)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE shifted[256];
    memcpy(shifted, keys, sizeof(keys));
    shifted[VK_SHIFT] = 0x80;
    SetKeyboardState(shifted);
    SendMessageW(wnd, WM_KEYDOWN, VK_INSERT, 0);
    SendMessageW(wnd, WM_KEYUP, VK_INSERT, 0);
    SetKeyboardState(keys);
}

// Whatever way text enters the Service name box, only letters, digits and "_" stay; text past 256
// of them is refused with a message, never cut; a paste of nothing changes nothing.
TEST_F(FormPropsTest, NameBoxTakesOnlyWhatItAllowsHoweverItArrives)
{
    const std::wstring evil = L"Evil1 /disabled /dependson:SQLANYs_Db";
    const struct {
        const char* Name;
        std::wstring Before;
        std::function<void(HWND)> Enter;
        std::wstring After;
        size_t Messages = 0;
    } cases[] = {
        {"typed", L"", [](HWND w) { for (wchar_t c : std::wstring(L"a b-c")) SendMessageW(w, WM_CHAR, c, 0); }, L"abc"},
        {"WM_UNICHAR", L"ab", [](HWND w) { for (wchar_t c : std::wstring(L" -c")) SendMessageW(w, WM_UNICHAR, c, 0); },
         L"abc"},
        {"replaced selection", L"", [](HWND w) { SendMessageW(w, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"x y")); },
         L"xy"},
        {"set", L"", [&](HWND w) { SetWindowTextW(w, evil.c_str()); }, L"Evil1disableddependsonSQLANYs_Db"},
        {"pasted", L"", [&](HWND w) { ASSERT_TRUE(SetClipboardText(evil.c_str())); SendMessageW(w, WM_PASTE, 0, 0); },
         L"Evil1disableddependsonSQLANYs_Db"},
        {"Shift+Insert", L"", [&](HWND w) { ASSERT_TRUE(SetClipboardText(evil.c_str())); ShiftInsert(w); },
         L"Evil1disableddependsonSQLANYs_Db"},
        {"Shift+Insert in the middle", L"abcd",
         [&](HWND w) {
             const std::wstring pasted = L"- x -";
             ASSERT_TRUE(SetClipboardText(pasted.c_str()));
             SendMessageW(w, EM_SETSEL, 2, 2);
             ShiftInsert(w);
             SendMessageW(w, WM_CHAR, L'_', 0);
         },
         L"abx_cd"},
        {"paste of an empty clipboard", L"abc",
         [](HWND w) { ASSERT_TRUE(SetClipboardText(nullptr)); SendMessageW(w, EM_SETSEL, 0, -1); SendMessageW(w, WM_PASTE, 0, 0); },
         L"abc"},
        {"Shift+Insert of an empty clipboard", L"abc",
         [](HWND w) { ASSERT_TRUE(SetClipboardText(nullptr)); SendMessageW(w, EM_SETSEL, 0, -1); ShiftInsert(w); }, L"abc"},
        {"too long", L"ab", [](HWND w) { SetWindowTextW(w, std::wstring(40000, L'n').c_str()); }, L"ab", 1},
        {"pasted past the end", std::wstring(250, L'n'),
         [](HWND w) { ASSERT_TRUE(SetClipboardText(L"abcdefg")); SendMessageW(w, WM_PASTE, 0, 0); },
         std::wstring(250, L'n'), 1},
        {"typed past the end", std::wstring(256, L'n'), [](HWND w) { SendMessageW(w, WM_CHAR, L'x', 0); },
         std::wstring(256, L'n'), 1},
        {"full length", std::wstring(255, L'n'), [](HWND w) { SendMessageW(w, WM_CHAR, L'x', 0); },
         std::wstring(255, L'n') + L'x'},
    };
    Open(nullptr, etT32AppServer);
    Show({[&] {
        HWND name = Item(TFormProps::IdEditName);
        for (const auto& c : cases) {
            SCOPED_TRACE(c.Name);
            SetWindowTextW(name, c.Before.c_str());
            SendMessageW(name, EM_SETSEL, c.Before.size(), c.Before.size());
            ScriptedMessageBoxes boxes;
            c.Enter(name);
            EXPECT_EQ(Text(name), c.After);
            EXPECT_EQ(boxes.Asked.size(), c.Messages);
            if (c.Messages && !boxes.Asked.empty()) {
                EXPECT_EQ(boxes.Asked[0].Text, L"Service name cannot be longer than 256 characters.");
            }
        }
        Cancel();
    }});
}

// "<default>" is wholly selected when the name box first gets the focus: typing replaces it.
TEST_F(FormPropsTest, TypingReplacesTheDefaultName)
{
    Open(nullptr, etT32AppServer);
    Show({[&] { SetFocus(Item(TFormProps::IdEditName)); },
          [&] {
              HWND name = Item(TFormProps::IdEditName);
              DWORD start = 1, end = 0;
              SendMessageW(name, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
              EXPECT_EQ(start, 0u);
              EXPECT_EQ(end, 9u);
              for (wchar_t c : std::wstring(L"MyApp"))
                  SendMessageW(name, WM_CHAR, c, 0);
              EXPECT_EQ(Text(name), L"MyApp");
              Cancel();
          }});
}

// "<default>" is a whole: an edit anywhere in it (the caret put there by a click, a part
// selected) leaves only what was typed or pasted, never what is left of the placeholder.
TEST_F(FormPropsTest, AnEditOfTheDefaultNameReplacesItWhole)
{
    const struct {
        const char* Name;
        DWORD Start, End;
        std::function<void(HWND)> Enter;
        std::wstring After;
    } cases[] = {
        {"typed at the start", 0, 0, [](HWND w) { SendMessageW(w, WM_CHAR, L'E', 0); }, L"E"},
        {"typed in the middle", 4, 4, [](HWND w) { SendMessageW(w, WM_CHAR, L'E', 0); }, L"E"},
        {"typed at the end", 9, 9,
         [](HWND w) {
             for (wchar_t c : std::wstring(L"ERP2"))
                 SendMessageW(w, WM_CHAR, c, 0);
         },
         L"ERP2"},
        {"typed over a part", 1, 4, [](HWND w) { SendMessageW(w, WM_CHAR, L'x', 0); }, L"x"},
        {"pasted in the middle", 3, 3,
         [](HWND w) { ASSERT_TRUE(SetClipboardText(L"App 2")); SendMessageW(w, WM_PASTE, 0, 0); }, L"App2"},
        {"backspace", 9, 9, [](HWND w) { SendMessageW(w, WM_CHAR, VK_BACK, 0); }, L""},
    };
    Open(nullptr, etT32AppServer);
    Show({[&] {
        HWND name = Item(TFormProps::IdEditName);
        for (const auto& c : cases) {
            SCOPED_TRACE(c.Name);
            Form->LoadService();
            ASSERT_EQ(Text(name), L"<default>");
            SendMessageW(name, EM_SETSEL, c.Start, c.End);
            c.Enter(name);
            EXPECT_EQ(Text(name), c.After);
        }
        Cancel();
    }});
}

// However the dialog ends, its close handler runs once and saves the dialog's size and the folder
// history of a new service, sorted and without duplicates.
TEST_F(FormPropsTest, SavesItsSizeAndTheFolderHistoryHoweverItEnds)
{
    const struct {
        const char* Name;
        int Result;
        std::function<void(TFormProps&)> End;
        SIZE Size;  // the user's, just before the end
    } cases[] = {
        {"Cancel", IDCANCEL, [](TFormProps& f) { Click(f.Item(IDCANCEL)); }, {600, 450}},
        {"Escape in the Parameters box", IDCANCEL,
         [](TFormProps& f) {
             SetFocus(f.Item(TFormProps::IdMemoParams));
             SendMessageW(f.Item(TFormProps::IdMemoParams), WM_KEYDOWN, VK_ESCAPE, 0);
         },
         {610, 460}},
        {"close button", IDCANCEL, [](TFormProps& f) { PostMessageW(f.Handle(), WM_CLOSE, 0, 0); }, {620, 470}},
        {"OK", IDOK, [](TFormProps& f) { Click(f.Item(IDOK)); }, {630, 480}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        UniqueRegKey settings;
        ASSERT_EQ(CreateRegKey(HKEY_CURRENT_USER, SettingsKey, KEY_ALL_ACCESS, settings), ERROR_SUCCESS);
        WriteRegText(settings.get(), L"PathHistory", L"C:\\X;;c:\\x;B:\\Y");
        // An unknown kind installs nothing, so OK ends the dialog once the input is valid.
        Open(nullptr, etUnknown);
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        SetWindowTextW(Form->Item(TFormProps::IdEditName), L"anything");
        SetWindowTextW(Form->Item(TFormProps::IdComboFile), self);
        EXPECT_EQ(Show({[&] {
                      Resize(c.Size);
                      c.End(*Form);
                  }}),
                  c.Result);
        EXPECT_EQ(StoredSize(), FormatSize(c.Size));
        EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, SettingsKey, L"PathHistory"), std::optional<std::wstring>(L"B:\\Y;C:\\X"));
    }
    // An installed service's dialog keeps its size too, and leaves the history alone.
    UniqueRegKey settings;
    ASSERT_EQ(CreateRegKey(HKEY_CURRENT_USER, SettingsKey, KEY_ALL_ACCESS, settings), ERROR_SUCCESS);
    WriteRegText(settings.get(), L"PathHistory", L"C:\\X;;c:\\x");
    Open(Record(L"TalvoraApp"));
    Show({[&] {
        Resize({640, 490});
        Cancel();
    }});
    EXPECT_EQ(StoredSize(), std::optional<std::wstring>(L"640,490"));
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, SettingsKey, L"PathHistory"), std::optional<std::wstring>(L"C:\\X;;c:\\x"));
}

// The size is the first thing the close handler saves: when the folder history then cannot be
// written (the settings key is read only, the dialog's own subkey is not), the failure is
// reported and the size is already stored.
TEST_F(FormPropsTest, SavesItsSizeBeforeTheFolderHistory)
{
    UniqueRegKey section;
    ASSERT_EQ(CreateRegKey(HKEY_CURRENT_USER, LayoutSection, KEY_ALL_ACCESS, section), ERROR_SUCCESS);
    // The rights to change the rights stay, so that the key can be given back and removed.
    constexpr DWORD Keeper = READ_CONTROL | WRITE_DAC | DELETE;
    SetKeyAccess(User.Key(), SettingsKey, KEY_READ | Keeper);
    std::vector<std::optional<std::wstring>> sizeWhenReported;
    SetMessageBoxHook([&](const std::wstring&, const std::wstring&, UINT) {
        sizeWhenReported.push_back(StoredSize());
        return IDOK;
    });
    Open(nullptr, etUnknown);
    Show({[&] {
        Resize({650, 500});
        Cancel();
    }});
    SetMessageBoxHook(nullptr);
    SetKeyAccess(User.Key(), SettingsKey, KEY_ALL_ACCESS);
    ASSERT_EQ(sizeWhenReported.size(), 1u) << "the folder history's failure is reported once";
    EXPECT_EQ(sizeWhenReported[0], std::optional<std::wstring>(L"650,500"));
}

TEST_F(FormPropsTest, ValidatesNameAndExecutableOfANewService)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    folder.resize(folder.rfind(L'\\'));
    const struct {
        const char* Name;
        std::wstring ServiceName, File;
        std::wstring Message;
    } cases[] = {
        {"empty name", L"", self, L"Service name cannot by empty."},
        {"missing file", L"a", folder + L"\\missing.exe", L"Executable file does not exist."},
        {"a folder", L"a", folder, L"Executable file does not exist."},
        {"no folder part", L"a", L"props_form_props_test.exe", L"Executable file does not exist."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ScriptedMessageBoxes boxes;
        Open(nullptr, etNetworkServer);
        SetCurrentDirectoryW(folder.c_str());
        Show({[&] {
                  SetWindowTextW(Item(TFormProps::IdEditName), c.ServiceName.c_str());
                  SetWindowTextW(Item(TFormProps::IdComboFile), c.File.c_str());
                  Click(Item(IDOK));
              },
              [&] {
                  EXPECT_TRUE(IsWindowVisible(Form->Handle())) << "the dialog stays open";
                  Cancel();
              }});
        ASSERT_EQ(boxes.Asked.size(), 1u);
        EXPECT_EQ(boxes.Asked[0].Text, c.Message);
        EXPECT_EQ(boxes.Asked[0].Caption, L"Service properties");
        EXPECT_EQ(boxes.Asked[0].Flags, static_cast<UINT>(MB_ICONERROR));
    }
}

// An installer that cannot be started: the default report, and the dialog stays as it was.
TEST_F(FormPropsTest, AFailedInstallKeepsTheDialog)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    ScriptedMessageBoxes boxes;
    Open(nullptr, etNetworkServer);
    Show({[&] {
              SetWindowTextW(Item(TFormProps::IdEditName), L"nodbsvc");
              SetWindowTextW(Item(TFormProps::IdComboFile), self);
              Click(Item(IDOK));
          },
          [&] {
              EXPECT_TRUE(IsWindowVisible(Form->Handle()));
              EXPECT_EQ(Text(Item(TFormProps::IdEditName)), L"nodbsvc");
              Cancel();
          }});
    ASSERT_EQ(boxes.Asked.size(), 1u);
    EXPECT_EQ(boxes.Asked[0].Text.rfind(L"Error executing application (", 0), 0u) << ToUtf8(boxes.Asked[0].Text);
    EXPECT_EQ(boxes.Asked[0].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

TEST_F(FormPropsTest, AppliesAChangeAndTellsWhenTheServiceRuns)
{
    const struct {
        const char* Name;
        DWORD State;
        std::wstring Params;
        size_t Messages;
    } cases[] = {
        {"running", SERVICE_RUNNING, L"-port 2000\r\n-log C:\\Logs", 1},
        {"stopped, empty box", SERVICE_STOPPED, L"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TSimService s = SimService(L"form_props_gui_test");
        s.State = c.State;
        Sim.AddService(s);
        FCatalogue.reset();
        WriteServiceParameters(L"form_props_gui_test", L"old");
        ScriptedMessageBoxes boxes;
        Open(Record(L"form_props_gui_test"));
        EXPECT_EQ(Show({[&] {
                      Click(Item(TFormProps::IdRBtnStartDisabled));
                      HWND depend = Item(TFormProps::IdComboDepend);
                      SendMessageW(depend, CB_SETCURSEL,
                                   SendMessageW(depend, CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(L"SQLANYs_Db")), 0);
                      SetWindowTextW(Item(TFormProps::IdMemoParams), c.Params.c_str());
                      Click(Item(IDOK));
                  }}),
                  IDOK);
        ASSERT_EQ(boxes.Asked.size(), c.Messages);
        if (c.Messages) {
            EXPECT_EQ(boxes.Asked[0].Text, L"The new configuration will take effect as soon as the service is stopped.");
            EXPECT_EQ(boxes.Asked[0].Caption, L"Service properties");
            EXPECT_EQ(boxes.Asked[0].Flags, static_cast<UINT>(MB_ICONINFORMATION));
        }
        const TSimService after = Sim.Service(L"form_props_gui_test");
        EXPECT_EQ(after.StartType, static_cast<DWORD>(SERVICE_DISABLED));
        EXPECT_EQ(after.Dependencies, std::vector<std::wstring>{L"SQLANYs_Db"});
        EXPECT_EQ(ReadServiceParameters(L"form_props_gui_test"), c.Params.empty() ? L"old" : c.Params);
        EXPECT_EQ(Sim.OpenHandleCount(), 1) << "the service handle is closed again";
        Sim.RemoveService(L"form_props_gui_test");
    }
}

// A failed apply keeps the dialog open with its contents; OK repeats the whole step, the
// password prompt included. Meanwhile the timer's refresh leaves the held handle alone.
TEST_F(FormPropsTest, ARefusedChangeKeepsTheDialogAndOkAsksAgain)
{
    TNtService* record = Record(L"TalvoraApp");
    ScriptedMessageBoxes boxes;
    Open(record);
    int prompts = 0;
    SC_HANDLE held = nullptr;
    Form->SetPasswordPrompt([&](std::wstring& password) {
        ++prompts;
        held = record->Handle();
        EXPECT_NE(held, nullptr);
        // What the main window's timer does meanwhile.
        Sim.SetStatus(L"TalvoraApp", SERVICE_RUNNING);
        record->Refresh();
        EXPECT_EQ(record->Handle(), held) << "neither closed nor replaced";
        EXPECT_EQ(record->ServiceState(), ssRunning) << "the record still follows the service";
        password = L"pw";
        return true;
    });
    Sim.Fail(TSimCall::ChangeServiceConfig, ERROR_SERVICE_LOGON_FAILED, L"TalvoraApp", 0, 1);
    EXPECT_EQ(Show({[&] {
                        Click(Item(TFormProps::IdChBoxDefaultAccount));
                        SetWindowTextW(Item(TFormProps::IdEditUser), L".\\svcuser");
                        Click(Item(IDOK));
                    },
                    [&] {
                        EXPECT_TRUE(IsWindowVisible(Form->Handle()));
                        EXPECT_EQ(Text(Item(TFormProps::IdEditUser)), L".\\svcuser");
                        EXPECT_EQ(Sim.OpenHandleCount(), 1);
                        Click(Item(IDOK));
                    }}),
              IDOK);
    EXPECT_EQ(prompts, 2);
    ASSERT_EQ(boxes.Asked.size(), 2u);  // the default report, then the running service's note
    EXPECT_NE(boxes.Asked[0].Text.find(L"1069"), std::wstring::npos);
    EXPECT_EQ(Sim.Service(L"TalvoraApp").StartName, L".\\svcuser");
}

TEST_F(FormPropsTest, ACancelledPromptChangesNothing)
{
    ScriptedMessageBoxes boxes;
    Open(Record(L"TalvoraApp"));
    Form->SetPasswordPrompt([](std::wstring&) { return false; });
    Show({[&] {
              Click(Item(TFormProps::IdChBoxDefaultAccount));
              SetWindowTextW(Item(TFormProps::IdEditUser), L".\\svcuser");
              Click(Item(IDOK));
          },
          [&] {
              EXPECT_TRUE(IsWindowVisible(Form->Handle()));
              Cancel();
          }});
    EXPECT_TRUE(Sim.ChangeConfigCalls().empty());
    EXPECT_TRUE(boxes.Asked.empty());
}

// Account names are checked before the password is asked for and before anything is written,
// an account the computer does not know is refused, and a new account gets the right to log on
// as a service; the built-in accounts need no password.
TEST_F(FormPropsTest, ChecksTheAccountBeforeAskingForItsPassword)
{
    const std::wstring refused = L"is not a valid account name.";
    const std::wstring blank = L"User name cannot be empty.";
    const std::wstring granted = L"was granted the right to log on as a service.";
    Sim.Accounts().Add(L"erp@corp.example");
    const struct {
        const char* Name;
        std::wstring Typed;
        std::wstring Message;  // empty: none; else a part of the one message shown
        int Prompts;
        std::optional<std::wstring> Written;  // the account written, none: no change at all
    } cases[] = {
        {"blank", L"", blank, 0, std::nullopt},
        {"spaces", L"   ", blank, 0, std::nullopt},
        {"dot and backslash only", L".\\", L"User name \".\\\" " + refused, 0, std::nullopt},
        {"dot-dot domain", L"..\\x", L"User name \"..\\x\" " + refused, 0, std::nullopt},
        {"two backslashes", L"a\\b\\c", L"User name \"a\\b\\c\" " + refused, 0, std::nullopt},
        {"no domain", L"\\user", refused, 0, std::nullopt},
        {"no user", L"DOMAIN\\", refused, 0, std::nullopt},
        {"a tab inside", L"svc\tuser", refused, 0, std::nullopt},
        {"a quotation mark", L"svc\"user", refused, 0, std::nullopt},
        {"each refused character", L".\\a/b[]:;|=,+*?<>", refused, 0, std::nullopt},
        {"a user part too long", L".\\" + std::wstring(21, L'u'), refused, 0, std::nullopt},
        {"300 characters", std::wstring(300, L'u'), refused, 0, std::nullopt},
        {"a 300-character domain", std::wstring(300, L'd') + L"\\u", refused, 0, std::nullopt},
        {"unknown to the computer", L".\\nobody", L"The account \".\\nobody\" does not exist on this computer.", 0,
         std::nullopt},
        {"trimmed", L"  .\\svcuser\t", L"The account .\\svcuser " + granted, 1, L".\\svcuser"},
        {"user@domain", L"erp@corp.example", L"The account erp@corp.example " + granted, 1, L"erp@corp.example"},
        {"LocalSystem as it is", L".\\LOCALSYSTEM", L"", 0, std::nullopt},
        {"LocalSystem by its NT AUTHORITY name", L"NT AUTHORITY\\SYSTEM", L"", 0, std::nullopt},
        {"local service", L"LocalService", L"", 0, L"NT AUTHORITY\\LocalService"},
        {"network service", L" nt authority\\networkservice ", L"", 0, L"NT AUTHORITY\\NetworkService"},
        {"virtual account", L"NT SERVICE\\TalvoraApp", L"", 0, L"NT SERVICE\\TalvoraApp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ResetApp();
        const size_t calls = Sim.ChangeConfigCalls().size();
        ScriptedMessageBoxes boxes;
        Open(Record(L"TalvoraApp"));
        int prompts = 0;
        Form->SetPasswordPrompt([&](std::wstring& password) {
            ++prompts;
            password = L"pw";
            return true;
        });
        Show({[&] {
            Click(Item(TFormProps::IdChBoxDefaultAccount));
            SetWindowTextW(Item(TFormProps::IdEditUser), c.Typed.c_str());
            Click(Item(IDOK));
            if (IsWindow(Form->Handle()) && IsWindowVisible(Form->Handle()))
                Cancel();
        }});
        EXPECT_EQ(prompts, c.Prompts);
        EXPECT_EQ(boxes.Asked.size(), c.Message.empty() ? 0u : 1u);
        if (!c.Message.empty() && !boxes.Asked.empty()) {
            EXPECT_NE(boxes.Asked[0].Text.find(c.Message), std::wstring::npos) << ToUtf8(boxes.Asked[0].Text);
        }
        const auto after = Sim.ChangeConfigCalls();
        EXPECT_EQ(after.size(), calls + (c.Written ? 1 : 0));
        if (c.Written && after.size() > calls) {
            EXPECT_EQ(after.back().StartName, c.Written);
            EXPECT_EQ(Sim.Service(L"TalvoraApp").StartName, *c.Written);
        }
        if (!c.Written) {
            EXPECT_EQ(Sim.Service(L"TalvoraApp").StartName, L"LocalSystem");
        }
    }
}

// A running service's note and the grant share one message, each on a line of its own; a grant
// that fails is a warning of its own, and the account stays set.
TEST_F(FormPropsTest, TheOkMessageSaysWhatWasGranted)
{
    Sim.SetStatus(L"TalvoraApp", SERVICE_RUNNING);
    for (const DWORD failure : {DWORD{0}, DWORD{ERROR_ACCESS_DENIED}}) {
        SCOPED_TRACE(failure);
        Sim.Accounts().Add(L".\\svcuser");  // again without the right
        Rights.Fail(0);
        Sim.Update(L"TalvoraApp", [](TSimService& s) { s.StartName = L"LocalSystem"; });
        FCatalogue.reset();
        ScriptedMessageBoxes boxes;
        Open(Record(L"TalvoraApp"));
        Form->SetPasswordPrompt([&](std::wstring& password) {
            Rights.Fail(failure);  // after the lookup, before the grant
            password = L"pw";
            return true;
        });
        EXPECT_EQ(Show({[&] {
                      Click(Item(TFormProps::IdChBoxDefaultAccount));
                      SetWindowTextW(Item(TFormProps::IdEditUser), L".\\svcuser");
                      Click(Item(IDOK));
                  }}),
                  IDOK);
        EXPECT_EQ(Sim.Service(L"TalvoraApp").StartName, L".\\svcuser");
        EXPECT_EQ(Sim.Accounts().HoldsLogonRight(L".\\svcuser"), failure == 0);
        const std::wstring note = L"The new configuration will take effect as soon as the service is stopped.";
        if (failure == 0) {
            ASSERT_EQ(boxes.Asked.size(), 1u);
            EXPECT_EQ(boxes.Asked[0].Text,
                      note + L"\nThe account .\\svcuser was granted the right to log on as a service.");
        } else {
            ASSERT_EQ(boxes.Asked.size(), 2u);
            EXPECT_EQ(boxes.Asked[0].Flags & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
            EXPECT_NE(boxes.Asked[0].Text.find(L"will not start"), std::wstring::npos) << ToUtf8(boxes.Asked[0].Text);
            EXPECT_EQ(boxes.Asked[1].Text, note);
        }
    }
}

// OK with nothing edited writes nothing and says nothing about a new configuration.
TEST_F(FormPropsTest, AnUneditedOkWritesNothing)
{
    Sim.SetStatus(L"TalvoraApp", SERVICE_RUNNING);
    WriteServiceParameters(L"TalvoraApp", L"-x");
    ScriptedMessageBoxes boxes;
    Open(Record(L"TalvoraApp"));
    const int opens = Sim.CallCount(TSimCall::OpenService, L"TalvoraApp");
    EXPECT_EQ(Show({[&] { Click(Item(IDOK)); }}), IDOK);
    EXPECT_TRUE(boxes.Asked.empty());
    EXPECT_TRUE(Sim.ChangeConfigCalls().empty());
    EXPECT_EQ(Sim.CallCount(TSimCall::ChangeServiceConfig2), 0);
    EXPECT_EQ(Sim.CallCount(TSimCall::OpenService, L"TalvoraApp"), opens) << "not even opened";
}

// Everything is written before anything is shown; a failure part way names what is in force.
TEST_F(FormPropsTest, AFailurePartWayTellsWhatWasWritten)
{
    Sim.SetStatus(L"TalvoraApp", SERVICE_RUNNING);
    WriteServiceParameters(L"TalvoraApp", L"old");
    Sim.Fail(TSimCall::ChangeServiceConfig2, ERROR_ACCESS_DENIED, L"TalvoraApp", 0, 1);
    ScriptedMessageBoxes boxes;
    Open(Record(L"TalvoraApp"));
    EXPECT_EQ(Show({[&] {
                        Click(Item(TFormProps::IdRBtnStartAuto));
                        Click(Item(TFormProps::IdChBoxDelayedStart));
                        SetWindowTextW(Item(TFormProps::IdMemoParams), L"new");
                        Click(Item(IDOK));
                    },
                    [&] {
                        EXPECT_TRUE(IsWindowVisible(Form->Handle()));
                        Cancel();
                    }}),
              IDCANCEL);
    ASSERT_EQ(boxes.Asked.size(), 1u) << "the error alone: no note about the new configuration";
    const std::wstring& text = boxes.Asked[0].Text;
    EXPECT_NE(text.find(L"Code: 5."), std::wstring::npos) << ToUtf8(text);
    EXPECT_NE(text.find(L"\n\nChanges made: start type.\nChanges not made: delayed start, parameters."),
              std::wstring::npos)
        << ToUtf8(text);
    EXPECT_EQ(Sim.Service(L"TalvoraApp").StartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_FALSE(Sim.Service(L"TalvoraApp").DelayedAutoStart);
    EXPECT_EQ(ReadServiceParameters(L"TalvoraApp"), L"old");
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

// The password prompt: masked fields of 255 characters; a mismatch is refused and the prompt
// comes again holding the texts.
TEST_F(FormPropsTest, PasswordPromptAsksAgainAfterAMismatch)
{
    ScriptedMessageBoxes boxes;
    auto prompt = [] { return FindWindowW(TFormPassword::ClassName, nullptr); };
    auto field = [&](int id) { return GetDlgItem(prompt(), id); };
    TScript::Steps = {
        [&] {
            ASSERT_NE(prompt(), nullptr);
            EXPECT_EQ(Text(prompt()), L"Set account password");
            for (int id : {TFormPassword::IdEditPassword, TFormPassword::IdEditConfirm}) {
                EXPECT_TRUE(GetWindowLongW(field(id), GWL_STYLE) & ES_PASSWORD);
                EXPECT_EQ(SendMessageW(field(id), EM_GETPASSWORDCHAR, 0, 0), L'*');
                EXPECT_EQ(SendMessageW(field(id), EM_GETLIMITTEXT, 0, 0), 255);
                EXPECT_EQ(Text(field(id)), L"");
            }
            EXPECT_EQ(Text(GetDlgItem(prompt(), TFormPassword::IdLabelPassword)), L"Password");
            EXPECT_EQ(Text(GetDlgItem(prompt(), TFormPassword::IdLabelConfirm)), L"Confirm");
            SetWindowTextW(field(TFormPassword::IdEditPassword), L"one");
            SetWindowTextW(field(TFormPassword::IdEditConfirm), L"One");
            Click(GetDlgItem(prompt(), IDOK));
        },
        [&] {
            ASSERT_NE(prompt(), nullptr);
            EXPECT_EQ(Text(field(TFormPassword::IdEditPassword)), L"one");
            EXPECT_EQ(Text(field(TFormPassword::IdEditConfirm)), L"One");
            SetWindowTextW(field(TFormPassword::IdEditConfirm), L"one");
            Click(GetDlgItem(prompt(), IDOK));
        },
    };
    TScript::Next = 0;
    TScript::Ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 25, &TScript::Tick);
    std::wstring password;
    EXPECT_TRUE(AskAccountPassword(password, L"Service properties"));
    KillTimer(nullptr, timer);
    EXPECT_EQ(password, L"one");
    ASSERT_EQ(boxes.Asked.size(), 1u);
    EXPECT_EQ(boxes.Asked[0].Text, L"Password confirmation mismatch.");
    EXPECT_EQ(boxes.Asked[0].Caption, L"Service properties");
    EXPECT_EQ(boxes.Asked[0].Flags, static_cast<UINT>(MB_ICONERROR));

    TScript::Steps = {[&] { PostMessageW(prompt(), WM_CLOSE, 0, 0); }};
    TScript::Next = 0;
    timer = SetTimer(nullptr, 0, 25, &TScript::Tick);
    EXPECT_FALSE(AskAccountPassword(password, L"Service properties"));
    KillTimer(nullptr, timer);
}
// A password past the fields' 255 characters is refused with a message, however it came:
// pasted (the field would cut it) or set whole; it is never cut so that the two fields match.
TEST_F(FormPropsTest, PasswordPromptRefusesAPasswordTooLong)
{
    ScriptedMessageBoxes boxes;
    auto prompt = [] { return FindWindowW(TFormPassword::ClassName, nullptr); };
    auto field = [&](int id) { return GetDlgItem(prompt(), id); };
    const std::wstring tooLong(300, L'p');
    TScript::Steps = {
        [&] {
            ASSERT_NE(prompt(), nullptr);
            ASSERT_TRUE(SetClipboardText(tooLong.c_str()));
            SendMessageW(field(TFormPassword::IdEditPassword), WM_PASTE, 0, 0);
        },
        [&] {
            ASSERT_EQ(boxes.Asked.size(), 1u);
            EXPECT_EQ(Text(field(TFormPassword::IdEditPassword)), L"") << "emptied, not cut";
            SetWindowTextW(field(TFormPassword::IdEditPassword), tooLong.c_str());
            SetWindowTextW(field(TFormPassword::IdEditConfirm), tooLong.c_str());
            Click(GetDlgItem(prompt(), IDOK));
        },
        [&] {
            ASSERT_NE(prompt(), nullptr) << "asked again";
            ASSERT_EQ(boxes.Asked.size(), 2u);
            SetWindowTextW(field(TFormPassword::IdEditPassword), L"short");
            SetWindowTextW(field(TFormPassword::IdEditConfirm), L"short");
            Click(GetDlgItem(prompt(), IDOK));
        },
    };
    TScript::Next = 0;
    TScript::Ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 25, &TScript::Tick);
    std::wstring password;
    EXPECT_TRUE(AskAccountPassword(password, L"Service properties"));
    KillTimer(nullptr, timer);
    EXPECT_EQ(password, L"short");
    for (const AskedMessageBox& asked : boxes.Asked) {
        EXPECT_EQ(asked.Text, L"The password cannot be longer than 255 characters.");
        EXPECT_EQ(asked.Caption, L"Service properties");
        EXPECT_EQ(asked.Flags, static_cast<UINT>(MB_ICONERROR));
    }
}
}  // namespace
