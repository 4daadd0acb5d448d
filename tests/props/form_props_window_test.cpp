// The properties dialog's window, shown modally over the simulated manager and driven from a
// timer: how it looks, its size kept between uses, the ways it ends (each saving the folder
// history), the browse button, and the Parameters box's menu and keys.
#include "common/errors.h"
#include "common/format.h"
#include "common/handle.h"
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

#include <functional>
#include <memory>
#include <vector>

namespace {
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

// F3 and F4 open what the Parameters box's selection names only when pressed in that box:
// elsewhere the key does what the control does (F4 opens a combo box's list).
TEST_F(FormPropsTest, OpenFolderAndFileKeysActOnlyInTheParametersBox)
{
    // A file with no program to open it: were the key taken, nothing would be started.
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    const std::wstring file = std::wstring(temp) + L"props_keys_test.smnoassoc";
    UniqueFileHandle created(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(created);
    created.reset();
    Open(Record(L"TalvoraApp"));
    Show({[&] {
              HWND memo = Item(TFormProps::IdMemoParams);
              SetWindowTextW(memo, file.c_str());
              SendMessageW(memo, EM_SETSEL, 0, -1);
              Form->Actions().Update();
              EXPECT_TRUE(Form->Actions().Find(TFormProps::ActOpenFile)->Enabled);
              SetFocus(Item(TFormProps::IdComboDepend));
              PostMessageW(Item(TFormProps::IdComboDepend), WM_KEYDOWN, VK_F4, 0);
          },
          [&] {
              EXPECT_TRUE(SendMessageW(Item(TFormProps::IdComboDepend), CB_GETDROPPEDSTATE, 0, 0))
                  << "F4 opened the list of Depends on";
              SendMessageW(Item(TFormProps::IdComboDepend), CB_SHOWDROPDOWN, FALSE, 0);
              Cancel();
          }});
    DeleteFileW(file.c_str());
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
}  // namespace
