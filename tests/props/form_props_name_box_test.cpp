// The properties dialog's Service name box: only what the key filter allows gets in, however
// it arrives, and "<default>" is a whole that an edit or an undo never leaves a part of.
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

#include <functional>
#include <memory>
#include <vector>

namespace {
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

// "<default>" is wholly selected when the name box first gets the focus: typing replaces it,
// and undo brings it back whole.
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
              // Ctrl+Z brings the placeholder back whole, never what the filter leaves of it.
              Form->Actions().Update();
              Form->Actions().Execute(TFormProps::ActEditUndo);
              EXPECT_EQ(Text(name), L"<default>");
              Cancel();
          }});
}

// "<default>" is a whole: an edit anywhere in it (the caret put there by a click, a part
// selected) leaves only what was typed or pasted, never what is left of the placeholder; an
// undo afterwards never leaves a part of it either.
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
            // An undo brings the placeholder back whole or leaves what was typed: never a part
            // of the placeholder, which OK would install as a name.
            SendMessageW(name, WM_UNDO, 0, 0);
            const std::wstring undone = Text(name);
            const bool part = !undone.empty() && std::wstring(L"<default>").find(undone) != std::wstring::npos;
            EXPECT_TRUE(undone == L"<default>" || !part) << ToUtf8(undone);
        }
        Cancel();
    }});
}
}  // namespace
