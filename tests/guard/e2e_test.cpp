// The real program started twice, as a user would: the second start brings the first copy to
// the front and ends; copies at other paths run beside it. Every test starts its own copies of
// the program in a folder of its own, so no other test's copies count as running ones.
#include "app/instance_table.h"
#include "app/instance_windows.h"
#include "app/instances.h"
#include "app/optex.h"
#include "common/errors.h"
#include "common/format.h"
#include "tests/guard/holding_process.h"
#include "tests/support/program_driver.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <memory>
#include <vector>

namespace {
// The number of ids in the program's all table, read under its lock without registering;
// 0 when no copy of the program holds the table.
unsigned RegisteredCount(const std::wstring& exePath)
{
    const std::wstring id = UniqueAppIDOf(exePath);
    TOptex lock(id + L"_Otx");
    TOptexLock hold(lock);
    UniqueKernelHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, (id + L"_All").c_str()));
    if (!mapping)
        return 0;
    UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(TInstanceTable)));
    if (!view)
        RaiseLastOSError();
    return TableCount(*static_cast<const TInstanceTable*>(view.get()));
}

class GuardE2eTest : public testing::Test {
protected:
    TScratchFolder FFolder{L"guard-e2e"};
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

    TProgramUnderTest first(FProgram);
    HWND main = first.WaitForWindow(L"TFormMain");
    ASSERT_TRUE(main);
    ASSERT_TRUE(GetApplicationWnd(first.ProcessID()));
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

        TProgramUnderTest second(FProgram);
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
        Probe->SecondHadWindowAtRestore = FindProcessWindow(Probe->SecondID, nullptr, true) != nullptr;
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

        TProgramUnderTest second(FProgram);
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
    TProgramUnderTest first(FProgram);
    ASSERT_TRUE(first.WaitForWindow(L"TFormMain"));
    TProgramUnderTest second(other);
    EXPECT_TRUE(second.WaitForWindow(L"TFormMain")) << "exit code " << second.WaitForExit(0);
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
    TProgramUnderTest first(lower);
    ASSERT_TRUE(first.WaitForWindow(L"TFormMain"));
    TProgramUnderTest second(upper);
    EXPECT_EQ(0u, second.WaitForExit());
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(1u, RegisteredCount(FProgram));
    EXPECT_EQ(0u, first.Close());
}

TEST_F(GuardE2eTest, NextStartRunsAfterTheFirstCopyHasEnded)
{
    {
        TProgramUnderTest first(FProgram);
        ASSERT_TRUE(first.WaitForWindow(L"TFormMain"));
        EXPECT_EQ(0u, first.Close());
    }
    EXPECT_EQ(0u, RegisteredCount(FProgram));
    TProgramUnderTest next(FProgram);
    EXPECT_TRUE(next.WaitForWindow(L"TFormMain")) << "exit code " << next.WaitForExit(0);
    EXPECT_EQ(1u, RegisteredCount(FProgram));
    EXPECT_EQ(0u, next.Close());
}

// A copy killed while it held the guard's lock does not hang the next start.
TEST_F(GuardE2eTest, NextStartRunsAfterACopyWasKilledHoldingTheLock)
{
    THoldingProcess holder(UniqueAppIDOf(FProgram) + L"_Otx");
    ASSERT_TRUE(holder.WaitUntilHeld()) << "the holding process did not start";
    holder.Kill();
    TProgramUnderTest next(FProgram);
    EXPECT_TRUE(next.WaitForWindow(L"TFormMain")) << "exit code " << next.WaitForExit(0);
    EXPECT_EQ(1u, RegisteredCount(FProgram));
    EXPECT_EQ(0u, next.Close());
}

TEST_F(GuardE2eTest, FailedGuardStartIsReportedBeforeTheProgramEnds)
{
    // An object of another kind under the name of the all table makes its creation fail.
    UniqueKernelHandle blocker(CreateEventW(nullptr, TRUE, FALSE, (UniqueAppIDOf(FProgram) + L"_All").c_str()));
    ASSERT_TRUE(blocker);
    TProgramUnderTest program(FProgram);
    HWND report = nullptr;
    EXPECT_TRUE(WaitUntil([&] {
        report = program.FindWindowOfClass(L"#32770", true);
        return report != nullptr || !program.Running();
    }));
    ASSERT_TRUE(report) << "no report; exit code " << program.WaitForExit(0);
    EXPECT_EQ(L"Talvora ERP Service Manager", WindowText(report));
    const std::wstring text = WindowText(GetDlgItem(report, 0xFFFF));
    const DWORD code = ERROR_INVALID_HANDLE;
    EXPECT_EQ(Fmt(L"Win32 error: %s (%u)%s%s.", {SysErrorMessage(code), code, L"\r\n", L"Failed to create FileMapping"}),
              text)
        << ToUtf8(text);
    EXPECT_FALSE(program.FindWindowOfClass(L"TFormMain", true));
    PostMessageW(report, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(1u, program.WaitForExit());
}
