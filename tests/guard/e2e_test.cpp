// The real program started twice, as a user would: the second start brings the first copy to
// the front and ends; copies at other paths run beside it. Every test starts its own copies of
// the program in a folder of its own, so no other test's copies count as running ones.
#include "app/instances.h"
#include "common/errors.h"
#include "common/format.h"
#include "tests/guard/program_runner.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <memory>
#include <vector>

namespace {
class GuardE2eTest : public testing::Test {
protected:
    TScratchFolder FFolder{L"e2e"};
    std::wstring FProgram = FFolder.AddProgramCopy(L"first");
};

// A plain visible window of the test, to stand in front of the program.
class TCoverWindow {
public:
    TCoverWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"GuardE2eCover";
        RegisterClassW(&wc);
        FWnd = CreateWindowExW(0, wc.lpszClassName, L"Cover", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1280, 1024,
                               nullptr, nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(FWnd);
    }
    ~TCoverWindow() { DestroyWindow(FWnd); }
    HWND Handle() const { return FWnd; }

private:
    HWND FWnd;
};
}  // namespace

TEST_F(GuardE2eTest, SecondStartBringsTheFirstCopyToTheFrontAndEnds)
{
    struct Case {
        const char* Name;
        bool Minimised;
    } cases[] = {{"minimised", true}, {"behind another window", false}};

    TProgram first(FProgram);
    HWND main = first.WaitForMainForm();
    ASSERT_TRUE(main);
    ASSERT_TRUE(first.AppWindow());
    EXPECT_EQ(1u, RegisteredCount(FProgram));

    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::unique_ptr<TCoverWindow> cover;
        if (c.Minimised) {
            ShowWindow(main, SW_MINIMIZE);
            ASSERT_TRUE(WaitUntil([&] { return IsIconic(main) != FALSE; }));
        } else {
            cover = std::make_unique<TCoverWindow>();
            ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == cover->Handle(); }));
        }

        TProgram second(FProgram);
        EXPECT_EQ(0u, second.WaitForExit());
        EXPECT_TRUE(WaitUntil([&] { return !IsIconic(main) && IsWindowVisible(main); })) << "not restored";
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; }))
            << "foreground: " << GetForegroundWindow() << ", main window: " << main;
        EXPECT_TRUE(first.Running());
        EXPECT_EQ(1u, RegisteredCount(FProgram));
    }
    EXPECT_EQ(0u, first.Close());
}

// The test stands in for the first copy: it registers in the program's tables and owns a
// minimised "TApplication" window, so that it sees the second start from inside.
namespace {
struct TFirstCopyProbe;
TFirstCopyProbe* Probe = nullptr;
LRESULT CALLBACK ProbeWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// A minimised window of class "TApplication" that records what reaches it.
struct TFirstCopyProbe {
    TFirstCopyProbe()
    {
        Probe = this;
        WNDCLASSW wc{};
        wc.lpfnWndProc = ProbeWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TApplication";
        RegisterClassW(&wc);
        Wnd = CreateWindowExW(0, wc.lpszClassName, L"Talvora ERP Service Manager",
                              WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 100, 100, 200, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
        ShowWindow(Wnd, SW_SHOWMINNOACTIVE);
    }
    ~TFirstCopyProbe()
    {
        DestroyWindow(Wnd);
        UnregisterClassW(L"TApplication", GetModuleHandleW(nullptr));
        Probe = nullptr;
    }

    HWND Wnd = nullptr;
    std::wstring Program;
    UINT MessageID = 0;
    DWORD SecondID = 0;
    int Restores = 0;
    unsigned CountAtRestore = 0;
    bool SecondHadWindowAtRestore = true;
    std::vector<std::pair<WPARAM, LPARAM>> Notifications;
};

LRESULT CALLBACK ProbeWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (Probe && Probe->MessageID && msg == Probe->MessageID) {
        Probe->Notifications.emplace_back(wParam, lParam);
        return 0;
    }
    if (Probe && msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE) {
        ++Probe->Restores;
        Probe->CountAtRestore = RegisteredCount(Probe->Program);
        Probe->SecondHadWindowAtRestore = HasVisibleWindow(Probe->SecondID);
    }
    return DefWindowProcW(wnd, msg, wParam, lParam);
}
}  // namespace

TEST_F(GuardE2eTest, TableCountsTheSecondStartUntilItHasEnded)
{
    TFirstCopyProbe probe;
    ASSERT_TRUE(probe.Wnd);
    ASSERT_TRUE(IsIconic(probe.Wnd));
    {
        TAppInstances guard(UniqueAppIDOf(FProgram));
        probe.Program = FProgram;
        probe.MessageID = guard.MessageID();
        ASSERT_TRUE(guard.CheckInstance(1, 0, 0));
        // Registering tells every copy, this one included.
        WaitUntil([&] { return !probe.Notifications.empty(); }, 2000);
        EXPECT_EQ((std::vector<std::pair<WPARAM, LPARAM>>{{1, static_cast<LPARAM>(GetCurrentProcessId())}}),
                  probe.Notifications);
        probe.Notifications.clear();

        TProgram second(FProgram);
        probe.SecondID = second.ProcessID();
        EXPECT_EQ(0u, second.WaitForExit());
        EXPECT_EQ(1, probe.Restores);
        EXPECT_EQ(2u, probe.CountAtRestore) << "while the second start is ending";
        EXPECT_FALSE(probe.SecondHadWindowAtRestore);
        EXPECT_FALSE(IsIconic(probe.Wnd));
        EXPECT_EQ(1u, guard.AllCount());
        EXPECT_EQ(GetCurrentProcessId(), guard.GetAllProcessIDs(0));
        // The second start's end is told to the copies still registered.
        WaitUntil([&] { return !probe.Notifications.empty(); }, 2000);
        EXPECT_EQ((std::vector<std::pair<WPARAM, LPARAM>>{{2, static_cast<LPARAM>(second.ProcessID())}}),
                  probe.Notifications);
    }
    EXPECT_EQ(0u, RegisteredCount(FProgram));
}

TEST_F(GuardE2eTest, CopyAtAnotherPathRunsBeside)
{
    const std::wstring other = FFolder.AddProgramCopy(L"other");
    TProgram first(FProgram);
    ASSERT_TRUE(first.WaitForMainForm());
    TProgram second(other);
    EXPECT_TRUE(second.WaitForMainForm()) << "exit code " << second.WaitForExit(0);
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(1u, RegisteredCount(FProgram));
    EXPECT_EQ(1u, RegisteredCount(other));
    EXPECT_EQ(0u, second.Close());
    EXPECT_EQ(0u, first.Close());
}

TEST_F(GuardE2eTest, PathInAnotherLetterCaseIsTheSameProgram)
{
    std::wstring upper = FProgram, lower = FProgram;
    for (auto& ch : upper)
        ch = static_cast<wchar_t>(std::towupper(ch));
    for (auto& ch : lower)
        ch = static_cast<wchar_t>(std::towlower(ch));
    TProgram first(lower);
    ASSERT_TRUE(first.WaitForMainForm());
    TProgram second(upper);
    EXPECT_EQ(0u, second.WaitForExit());
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(1u, RegisteredCount(FProgram));
    EXPECT_EQ(0u, first.Close());
}

TEST_F(GuardE2eTest, NextStartRunsAfterTheFirstCopyHasEnded)
{
    {
        TProgram first(FProgram);
        ASSERT_TRUE(first.WaitForMainForm());
        EXPECT_EQ(0u, first.Close());
    }
    EXPECT_EQ(0u, RegisteredCount(FProgram));
    TProgram next(FProgram);
    EXPECT_TRUE(next.WaitForMainForm()) << "exit code " << next.WaitForExit(0);
    EXPECT_EQ(1u, RegisteredCount(FProgram));
    EXPECT_EQ(0u, next.Close());
}

namespace {
struct TFoundDialog {
    DWORD ProcessID;
    HWND Found;
};

BOOL CALLBACK FindDialogProc(HWND wnd, LPARAM lParam)
{
    auto* find = reinterpret_cast<TFoundDialog*>(lParam);
    DWORD processID = 0;
    GetWindowThreadProcessId(wnd, &processID);
    wchar_t className[16];
    if (processID == find->ProcessID && IsWindowVisible(wnd) && GetClassNameW(wnd, className, 16) &&
        std::wstring(className) == L"#32770") {
        find->Found = wnd;
        return FALSE;
    }
    return TRUE;
}

std::wstring WindowText(HWND wnd)
{
    wchar_t text[1024] = L"";
    GetWindowTextW(wnd, text, 1024);
    return text;
}
}  // namespace

TEST_F(GuardE2eTest, FailedGuardStartIsReportedBeforeTheProgramEnds)
{
    // An object of another kind under the name of the all table makes its creation fail.
    UniqueKernelHandle blocker(CreateEventW(nullptr, TRUE, FALSE, (UniqueAppIDOf(FProgram) + L"_All").c_str()));
    ASSERT_TRUE(blocker);
    TProgram program(FProgram);
    TFoundDialog find{program.ProcessID(), nullptr};
    EXPECT_TRUE(WaitUntil([&] {
        EnumWindows(&FindDialogProc, reinterpret_cast<LPARAM>(&find));
        return find.Found != nullptr || !program.Running();
    }));
    ASSERT_TRUE(find.Found) << "no report; exit code " << program.WaitForExit(0);
    EXPECT_EQ(L"Talvora ERP Service Manager", WindowText(find.Found));
    const std::wstring text = WindowText(GetDlgItem(find.Found, 0xFFFF));
    const DWORD code = ERROR_INVALID_HANDLE;
    EXPECT_EQ(Fmt(L"Win32 error: %s (%u)%s%s.", {SysErrorMessage(code), code, L"\r\n", L"Failed to create FileMapping"}),
              text)
        << ToUtf8(text);
    EXPECT_FALSE(program.MainForm());
    PostMessageW(find.Found, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(1u, program.WaitForExit());
}
