// The kind selection dialog, shown modally and driven from a timer inside this process:
// preselection, OK only with a selection, and the three ways of cancelling.
#include "common/format.h"
#include "ui/base/application.h"
#include "ui/base/window.h"
#include "tests/props/props_dialog_fixture.h"
#include "ui/props/form_select_type.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {
// The properties dialog's fixture: the application with its main form in the background.
class FormSelectType : public PropsDialogTest {};

using KindStep = std::function<void(HWND dialog)>;

// Runs the steps one timer tick apart while the dialog is shown; a dialog still open after
// ten seconds is closed and the test fails.
struct TKindScript {
    static inline std::vector<KindStep> Steps;
    static inline size_t Next = 0;
    static inline int Ticks = 0;

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        HWND dialog = FindWindowW(TFormSelectType::ClassName, nullptr);
        if (!dialog || !IsWindowVisible(dialog))
            return;
        if (++Ticks > 400) {
            ADD_FAILURE() << "dialog still open after " << Next << " of " << Steps.size() << " steps";
            PostMessageW(dialog, WM_CLOSE, 0, 0);
            return;
        }
        if (Next < Steps.size())
            Steps[Next++](dialog);
    }
};

bool RunSelectExeType(TExeType& kind, std::vector<KindStep> steps)
{
    TKindScript::Steps = std::move(steps);
    TKindScript::Next = 0;
    TKindScript::Ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 25, &TKindScript::Tick);
    bool result = SelectExeType(kind);
    KillTimer(nullptr, timer);
    EXPECT_EQ(TKindScript::Next, TKindScript::Steps.size()) << "steps left undone";
    return result;
}

TFormSelectType& KindForm(HWND dialog) { return *dynamic_cast<TFormSelectType*>(TWindow::FromHandle(dialog)); }
HWND Ok(HWND dialog) { return GetDlgItem(dialog, IDOK); }
HWND Entry(HWND dialog, int index) { return KindForm(dialog).Item(index); }


void PressKey(WPARAM key) { PostMessageW(GetFocus(), WM_KEYDOWN, key, 0); }

TEST_F(FormSelectType, LooksAsDescribed)
{
    TExeType kind = etUnknown;
    RunSelectExeType(kind, {[](HWND dialog) {
                                EXPECT_EQ(Text(dialog), L"Add Service");
                                EXPECT_EQ(GetActiveWindow(), dialog);
                                EXPECT_EQ(GetForegroundWindow(), dialog);
                                RECT client{};
                                GetClientRect(dialog, &client);
                                EXPECT_EQ(client.right, 323);
                                EXPECT_EQ(client.bottom, 196);
                                LONG style = GetWindowLongW(dialog, GWL_STYLE);
                                EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX));
                                RECT frame{};
                                GetWindowRect(dialog, &frame);
                                EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
                                EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
                                EXPECT_EQ(Text(GetDlgItem(dialog, TFormSelectType::IdRadios)), L" Service type ");
                                // Every offered kind in the matching order; the four the product
                                // started with keep their order among them.
                                const std::vector<TExeType>& offered = OfferedExeTypes();
                                ASSERT_EQ(KindForm(dialog).ItemCount(), static_cast<int>(offered.size()));
                                std::vector<std::wstring> shown;
                                for (size_t i = 0; i < offered.size(); ++i) {
                                    shown.push_back(Text(Entry(dialog, static_cast<int>(i))));
                                    EXPECT_EQ(shown.back(), ExeTypeName(offered[i])) << i;
                                }
                                auto at = shown.begin();
                                for (const wchar_t* name : {L"SQL Anywhere Network Server", L"SQL Anywhere Personal Server",
                                                            L"Talvora ERP Application Server", L"Special Application Server"}) {
                                    at = std::find(at, shown.end(), name);
                                    EXPECT_NE(at, shown.end()) << ToUtf8(name);
                                }
                                EXPECT_EQ(Text(Ok(dialog)), L"OK");
                                EXPECT_EQ(Text(GetDlgItem(dialog, IDCANCEL)), L"Cancel");
                                // Tab order: the group's entries, OK, Cancel.
                                EXPECT_EQ(GetNextDlgTabItem(dialog, Entry(dialog, 0), FALSE), Ok(dialog));
                                EXPECT_EQ(GetNextDlgTabItem(dialog, Ok(dialog), FALSE), GetDlgItem(dialog, IDCANCEL));
                                PostMessageW(dialog, WM_CLOSE, 0, 0);
                            }});
}

TEST_F(FormSelectType, PreselectsTheGivenKindWithFocusOnIt)
{
    // Each kind at its place in the offered order; etUnknown at the first entry, a value that is
    // no kind (a damaged remembered one) at the last.
    const std::vector<TExeType>& offered = OfferedExeTypes();
    auto entryOf = [&](TExeType kind) {
        return static_cast<int>(std::find(offered.begin(), offered.end(), kind) - offered.begin());
    };
    const int last = static_cast<int>(offered.size()) - 1;
    const std::pair<TExeType, int> cases[] = {
        {etUnknown, 0},
        {etNetworkServer, entryOf(etNetworkServer)},
        {etLocalServer, entryOf(etLocalServer)},
        {etT32AppServer, entryOf(etT32AppServer)},
        {etT32GenericServer, entryOf(etT32GenericServer)},
        {static_cast<TExeType>(200), last},
    };
    for (const auto& [given, entry] : cases) {
        TExeType kind = given;
        bool confirmed = RunSelectExeType(kind, {[entry = entry](HWND dialog) {
                                                     EXPECT_EQ(KindForm(dialog).ItemIndex(), entry);
                                                     EXPECT_TRUE(IsWindowEnabled(Ok(dialog)));
                                                     EXPECT_EQ(GetFocus(), Entry(dialog, entry));
                                                     PressKey(VK_ESCAPE);
                                                 }});
        EXPECT_FALSE(confirmed) << static_cast<int>(given);
        EXPECT_EQ(kind, given);
    }
}

TEST_F(FormSelectType, OkReturnsTheSelectedKind)
{
    const std::vector<TExeType>& offered = OfferedExeTypes();
    ASSERT_GE(offered.size(), 2u);
    TExeType kind = offered.back();
    // A click on an entry, then Enter.
    EXPECT_TRUE(RunSelectExeType(kind, {[](HWND dialog) { SendMessageW(Entry(dialog, 0), BM_CLICK, 0, 0); },
                                        [](HWND dialog) {
                                            EXPECT_EQ(KindForm(dialog).ItemIndex(), 0);
                                            PressKey(VK_RETURN);
                                        }}));
    EXPECT_EQ(kind, offered[0]);
    // The arrow key within the group, then the OK button.
    EXPECT_TRUE(RunSelectExeType(kind, {[](HWND) { PressKey(VK_DOWN); },
                                        [](HWND dialog) { SendMessageW(Ok(dialog), BM_CLICK, 0, 0); }}));
    EXPECT_EQ(kind, offered[1]);
}

TEST_F(FormSelectType, OkNeedsASelection)
{
    TExeType kind = etLocalServer;
    EXPECT_TRUE(RunSelectExeType(kind, {[](HWND dialog) {
                                            KindForm(dialog).SetItemIndex(-1);
                                            EXPECT_FALSE(IsWindowEnabled(Ok(dialog)));
                                            PressKey(VK_RETURN);
                                        },
                                        [](HWND dialog) {
                                            EXPECT_TRUE(IsWindowVisible(dialog)) << "Enter closed the dialog";
                                            SendMessageW(Entry(dialog, 0), BM_CLICK, 0, 0);
                                            EXPECT_TRUE(IsWindowEnabled(Ok(dialog)));
                                        },
                                        [](HWND) { PressKey(VK_RETURN); }}));
    EXPECT_EQ(kind, etNetworkServer);
}

TEST_F(FormSelectType, CancelEscapeAndCloseButtonLeaveTheKind)
{
    const std::pair<const char*, KindStep> ways[] = {
        {"Cancel", [](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }},
        {"Escape", [](HWND) { PressKey(VK_ESCAPE); }},
        {"close button", [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& [name, close] : ways) {
        TExeType kind = etT32AppServer;
        EXPECT_FALSE(RunSelectExeType(kind, {[](HWND dialog) { SendMessageW(Entry(dialog, 0), BM_CLICK, 0, 0); }, close}))
            << name;
        EXPECT_EQ(kind, etT32AppServer) << name;
    }
}
}  // namespace
