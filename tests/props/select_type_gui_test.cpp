// The kind selection dialog, shown modally and driven from a timer inside this process:
// preselection, OK only with a selection, and the three ways of cancelling.
#include "common/format.h"
#include "ui/base/application.h"
#include "ui/base/window.h"
#include "ui/props/form_select_type.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {
// The program's main window stands in the background, so that closing a dialog does not end
// the application.
class TBackgroundForm : public TWindow {
public:
    TBackgroundForm() { CreateForm({.ClassName = L"TPropsTestMain", .Caption = L"main", .ClientWidth = 100, .ClientHeight = 100}); }
};

class GuiEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        Application().Initialize();
        FMain = std::make_unique<TBackgroundForm>();
    }
    void TearDown() override { FMain.reset(); }

private:
    std::unique_ptr<TBackgroundForm> FMain;
};
const auto* const Environment = testing::AddGlobalTestEnvironment(new GuiEnvironment);

using Step = std::function<void(HWND dialog)>;

// Runs the steps one timer tick apart while the dialog is shown; a dialog still open after
// ten seconds is closed and the test fails.
struct TScript {
    static inline std::vector<Step> Steps;
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

bool RunSelectExeType(TExeType& kind, std::vector<Step> steps)
{
    TScript::Steps = std::move(steps);
    TScript::Next = 0;
    TScript::Ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 25, &TScript::Tick);
    bool result = SelectExeType(kind);
    KillTimer(nullptr, timer);
    EXPECT_EQ(TScript::Next, TScript::Steps.size()) << "steps left undone";
    return result;
}

TFormSelectType& Form(HWND dialog) { return *dynamic_cast<TFormSelectType*>(TWindow::FromHandle(dialog)); }
HWND Ok(HWND dialog) { return GetDlgItem(dialog, IDOK); }
HWND Item(HWND dialog, int index) { return Form(dialog).Item(index); }

std::wstring Text(HWND wnd) { return WindowText(wnd); }

void PressKey(WPARAM key) { PostMessageW(GetFocus(), WM_KEYDOWN, key, 0); }

TEST(FormSelectType, LooksAsDescribed)
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
                                ASSERT_EQ(Form(dialog).ItemCount(), 4);
                                EXPECT_EQ(Text(Item(dialog, 0)), L"SQL Anywhere Network Server");
                                EXPECT_EQ(Text(Item(dialog, 1)), L"SQL Anywhere Personal Server");
                                EXPECT_EQ(Text(Item(dialog, 2)), L"Talvora ERP Application Server");
                                EXPECT_EQ(Text(Item(dialog, 3)), L"Special Application Server");
                                EXPECT_EQ(Text(Ok(dialog)), L"OK");
                                EXPECT_EQ(Text(GetDlgItem(dialog, IDCANCEL)), L"Cancel");
                                // Tab order: the group's entries, OK, Cancel.
                                EXPECT_EQ(GetNextDlgTabItem(dialog, Item(dialog, 0), FALSE), Ok(dialog));
                                EXPECT_EQ(GetNextDlgTabItem(dialog, Ok(dialog), FALSE), GetDlgItem(dialog, IDCANCEL));
                                PostMessageW(dialog, WM_CLOSE, 0, 0);
                            }});
}

TEST(FormSelectType, PreselectsTheGivenKindWithFocusOnIt)
{
    const std::pair<TExeType, int> cases[] = {
        {etUnknown, 0},      {etNetworkServer, 0},    {etLocalServer, 1},
        {etT32AppServer, 2}, {etT32GenericServer, 3}, {static_cast<TExeType>(7), 3},
    };
    for (const auto& [given, entry] : cases) {
        TExeType kind = given;
        bool confirmed = RunSelectExeType(kind, {[entry = entry](HWND dialog) {
                                                     EXPECT_EQ(Form(dialog).ItemIndex(), entry);
                                                     EXPECT_TRUE(IsWindowEnabled(Ok(dialog)));
                                                     EXPECT_EQ(GetFocus(), Item(dialog, entry));
                                                     PressKey(VK_ESCAPE);
                                                 }});
        EXPECT_FALSE(confirmed) << static_cast<int>(given);
        EXPECT_EQ(kind, given);
    }
}

TEST(FormSelectType, OkReturnsTheSelectedKind)
{
    TExeType kind = etNetworkServer;
    // A click on an entry, then Enter.
    EXPECT_TRUE(RunSelectExeType(kind, {[](HWND dialog) { SendMessageW(Item(dialog, 2), BM_CLICK, 0, 0); },
                                        [](HWND dialog) {
                                            EXPECT_EQ(Form(dialog).ItemIndex(), 2);
                                            PressKey(VK_RETURN);
                                        }}));
    EXPECT_EQ(kind, etT32AppServer);
    // The arrow key within the group, then the OK button.
    EXPECT_TRUE(RunSelectExeType(kind, {[](HWND) { PressKey(VK_DOWN); },
                                        [](HWND dialog) { SendMessageW(Ok(dialog), BM_CLICK, 0, 0); }}));
    EXPECT_EQ(kind, etT32GenericServer);
}

TEST(FormSelectType, OkNeedsASelection)
{
    TExeType kind = etLocalServer;
    EXPECT_TRUE(RunSelectExeType(kind, {[](HWND dialog) {
                                            Form(dialog).SetItemIndex(-1);
                                            EXPECT_FALSE(IsWindowEnabled(Ok(dialog)));
                                            PressKey(VK_RETURN);
                                        },
                                        [](HWND dialog) {
                                            EXPECT_TRUE(IsWindowVisible(dialog)) << "Enter closed the dialog";
                                            SendMessageW(Item(dialog, 0), BM_CLICK, 0, 0);
                                            EXPECT_TRUE(IsWindowEnabled(Ok(dialog)));
                                        },
                                        [](HWND) { PressKey(VK_RETURN); }}));
    EXPECT_EQ(kind, etNetworkServer);
}

TEST(FormSelectType, CancelEscapeAndCloseButtonLeaveTheKind)
{
    const std::pair<const char*, Step> ways[] = {
        {"Cancel", [](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }},
        {"Escape", [](HWND) { PressKey(VK_ESCAPE); }},
        {"close button", [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& [name, close] : ways) {
        TExeType kind = etT32AppServer;
        EXPECT_FALSE(RunSelectExeType(kind, {[](HWND dialog) { SendMessageW(Item(dialog, 0), BM_CLICK, 0, 0); }, close}))
            << name;
        EXPECT_EQ(kind, etT32AppServer) << name;
    }
}
}  // namespace
