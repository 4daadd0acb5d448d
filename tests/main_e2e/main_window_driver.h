// The real program's main window driven from this process: its list, toolbar and status bar
// read through the remote controls, its message boxes found and answered, its rows waited for.
// The window's command ids and image indexes are the program's own (command_ids.h).
#pragma once

#include "tests/support/program_driver.h"
#include "tests/support/remote_controls.h"
#include "ui/main/command_ids.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

class TMainWindowDriver {
public:
    // Starts the program (the tests' copy unless another is named) with the arguments and waits
    // for its main window and first rows.
    explicit TMainWindowDriver(const std::wstring& arguments = {}, const std::wstring& program = TestProgramPath());

    TProgramUnderTest& Program() { return FProgram; }
    HWND Main() const { return FMain; }
    const TRemoteListView& List() const { return FList; }
    const TRemoteToolBar& ToolBar() const { return FToolBar; }
    HWND StatusBar() const { return FStatusBar; }

    // The row with this caption now, or none.
    std::optional<TRemoteRow> Row(const std::wstring& caption) const;
    // Waits until the row with this caption shows the state word; returns whether it did.
    bool WaitForStatus(const std::wstring& caption, const std::wstring& status, DWORD timeoutMs) const;
    // Selects the row with this caption by clicking it; returns whether it is selected then.
    bool ClickRow(const std::wstring& caption) const;
    // Clicks a toolbar button once it is enabled; returns whether it was enabled in time.
    bool ClickButton(int command, DWORD timeoutMs = 10000) const;
    // Sends a toolbar button's command once the button is enabled, as the toolbar does when it
    // is clicked, for tests about what the command does rather than about the click.
    bool SendButtonCommand(int command, DWORD timeoutMs = 10000) const;
    // Waits until a toolbar button is enabled (or disabled).
    bool WaitForButton(int command, bool enabled, DWORD timeoutMs = 10000) const;

    // Whether the keyboard is with the list without a click first: the main window comes to the
    // front by itself, and an arrow key moves the selection (up, or down from the first row).
    bool ArrowKeysReachTheList(DWORD timeoutMs = 3000) const;

    // Waits until the program's window thread takes messages again (a message sent to the main
    // window comes back only then): what that thread did on the last answer or command, such as
    // a request to stop a service, has been done.
    bool WaitForIdle(DWORD timeoutMs = 5000) const;

    // A message box (a standard dialog owned by the main window), waiting for it to appear.
    HWND WaitForMessageBox(DWORD timeoutMs = 10000) const;
    bool WaitForNoMessageBox(DWORD timeoutMs = 5000) const;
    // Waits for a message box, checks its caption and text, presses the button and waits until
    // the box has gone; fails saying what differed.
    testing::AssertionResult AnswerMessageBox(const std::wstring& caption, const std::wstring& text, int button) const;

private:
    TProgramUnderTest FProgram;
    HWND FMain = nullptr;
    HWND FStatusBar = nullptr;
    TRemoteListView FList{nullptr};
    TRemoteToolBar FToolBar{nullptr};
};

// The message text of a standard message box (its longest static text).
std::wstring MessageBoxText(HWND box);
