#include "tests/main_e2e/main_window_driver.h"

#include "tests/support/user_input.h"

#include <commctrl.h>

TMainWindowDriver::TMainWindowDriver(const std::wstring& arguments, const std::wstring& program)
    : FProgram(program, arguments)
{
    FMain = FProgram.WaitForWindow(L"TFormMain");
    if (!FMain)
        return;
    FList = TRemoteListView(FindChildOfClass(FMain, WC_LISTVIEWW));
    FToolBar = TRemoteToolBar(FindChildOfClass(FMain, TOOLBARCLASSNAMEW));
    FStatusBar = FindChildOfClass(FMain, STATUSCLASSNAMEW);
    // The first rebuild runs as the window is shown.
    WaitUntil([this] { return FList.Count() > 0; }, 5000);
}

std::optional<TRemoteRow> TMainWindowDriver::Row(const std::wstring& caption) const
{
    int index = FList.Find(caption);
    if (index < 0)
        return std::nullopt;
    return TRemoteRow{FList.Text(index, 0), FList.Text(index, 1), FList.Text(index, 2), FList.Image(index),
                      FList.Selected() == index};
}

bool TMainWindowDriver::WaitForStatus(const std::wstring& caption, const std::wstring& status, DWORD timeoutMs) const
{
    return WaitUntil(
        [&] {
            auto row = Row(caption);
            return row && row->Status == status;
        },
        timeoutMs);
}

bool TMainWindowDriver::ClickRow(const std::wstring& caption) const
{
    // The window is on screen before its first list build: the row may come a moment later.
    int index = -1;
    if (!WaitUntil([&] { return (index = FList.Find(caption)) >= 0; }, 10000))
        return false;
    // A click can be lost while the window is still busy with that build, or while a window
    // of the previous test is still going: click again until the row is selected.
    for (int attempt = 0; attempt < 3; ++attempt) {
        BringToFront(FMain);
        ClickAt(FList.RowCentre(FList.Find(caption)));
        if (WaitUntil([&] { return FList.Selected() == FList.Find(caption); }, 3000))
            return true;
    }
    return false;
}

bool TMainWindowDriver::WaitForButton(int command, bool enabled, DWORD timeoutMs) const
{
    return WaitUntil([&] { return FToolBar.Enabled(command) == enabled; }, timeoutMs);
}

bool TMainWindowDriver::ClickButton(int command, DWORD timeoutMs) const
{
    if (!WaitForButton(command, true, timeoutMs))
        return false;
    BringToFront(FMain);
    ClickAt(CentreOf(FToolBar.ButtonRect(command)));
    return true;
}

bool TMainWindowDriver::SendButtonCommand(int command, DWORD timeoutMs) const
{
    if (!WaitForButton(command, true, timeoutMs))
        return false;
    PostMessageW(FMain, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), reinterpret_cast<LPARAM>(FToolBar.Handle()));
    return true;
}

bool TMainWindowDriver::ArrowKeysReachTheList(DWORD timeoutMs) const
{
    if (!WaitUntil([&] { return GetForegroundWindow() == FMain; }, timeoutMs) || FList.Count() < 2)
        return false;
    const int selected = FList.Selected();
    PressKey(selected > 0 ? VK_UP : VK_DOWN);
    return WaitUntil([&] { return FList.Selected() >= 0 && FList.Selected() != selected; }, timeoutMs);
}

bool TMainWindowDriver::WaitForIdle(DWORD timeoutMs) const
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(FMain, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

HWND TMainWindowDriver::WaitForMessageBox(DWORD timeoutMs) const
{
    HWND box = FProgram.WaitForWindow(L"#32770", timeoutMs);
    return box && GetWindow(box, GW_OWNER) == FMain ? box : nullptr;
}

bool TMainWindowDriver::WaitForNoMessageBox(DWORD timeoutMs) const
{
    return WaitUntil([this] { return FProgram.WaitForWindow(L"#32770", 0) == nullptr; }, timeoutMs);
}

testing::AssertionResult TMainWindowDriver::AnswerMessageBox(const std::wstring& caption, const std::wstring& text,
                                                             int button) const
{
    HWND box = WaitForMessageBox();
    if (!box)
        return testing::AssertionFailure() << "no message box";
    const std::wstring shownCaption = WindowText(box), shownText = MessageBoxText(box);
    PressButton(box, button);
    if (!WaitForNoMessageBox())
        return testing::AssertionFailure() << "the message box stays";
    if (shownCaption != caption || shownText != text)
        return testing::AssertionFailure() << "the message box " << testing::PrintToString(shownCaption) << " says "
                                           << testing::PrintToString(shownText) << ", not "
                                           << testing::PrintToString(caption) << ", " << testing::PrintToString(text);
    return testing::AssertionSuccess();
}

std::wstring MessageBoxText(HWND box)
{
    std::wstring text;
    for (const std::wstring& t : ChildTexts(box, L"Static"))
        if (t.size() > text.size())
            text = t;
    return text;
}
