// The program's start and its answers, timed from outside as a user sees them, over Wine's
// manager with extra services registered for the run (1000 by default, or the number given as
// the argument). The program (ServiceManager.exe of the build folder) is started
//   - once without a switch (the ERP's view): the time until its main window is on screen;
//   - five times with "/all" (every service listed): the time until its window is on screen and
//     until the list holds every service, each beside a start of this program that makes the
//     bare SCM calls of one full refresh of the catalogue (the enumeration and every record read
//     twice) and ends: both are new processes, whose first pass over the services costs more
//     than any later one in the same process; after the last start, how long the window takes
//     to answer a message while its timer refreshes the rows, and how long closing it takes.
// Prints one line per figure; the last is
//   ratio startup_full_list <start to full list / bare full refresh, median of the pairs>
// Run it through ./bench.sh, which gives it a throwaway Wine prefix and a display.
#include "bench/bench_support.h"
#include "common/errors.h"
#include "common/format.h"
#include "common/handle.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD PollMs = 10;
constexpr int Pairs = 5;
constexpr const wchar_t* BareSwitch = L"--bare-full-refresh";
constexpr double GiveUpMs = 120000;

std::wstring ThisProgramPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring ProgramPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    folder.erase(folder.find_last_of(L'\\'));       // ...\build\bench
    folder.erase(folder.find_last_of(L'\\') + 1);  // ...\build\ .
    return folder + L"ServiceManager.exe";
}

struct TFindWindow {
    DWORD ProcessID;
    HWND Found;
};

// The process's visible main window, or null.
HWND VisibleMainWindow(DWORD processID)
{
    TFindWindow find{processID, nullptr};
    EnumWindows(
        [](HWND wnd, LPARAM param) -> BOOL {
            auto* f = reinterpret_cast<TFindWindow*>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(wnd, &pid);
            wchar_t cls[64] = {};
            GetClassNameW(wnd, cls, 64);
            if (pid == f->ProcessID && IsWindowVisible(wnd) && std::wcscmp(cls, L"TFormMain") == 0) {
                f->Found = wnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.Found;
}

// The rows of the window's list when the window answers within the time-out, else -1.
int RowCount(HWND main, DWORD timeoutMs)
{
    HWND list = FindWindowExW(main, nullptr, WC_LISTVIEWW, nullptr);
    DWORD_PTR count = 0;
    if (!list || !SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, timeoutMs, &count))
        return -1;
    return static_cast<int>(count);
}

// The services the manager lists now.
int EnumeratedCount(SC_HANDLE manager)
{
    DWORD needed = 0, returned = 0, resume = 0;
    EnumServicesStatusW(manager, 0x13F, SERVICE_STATE_ALL, nullptr, 0, &needed, &returned, &resume);
    std::vector<BYTE> buffer(needed + 4096);
    resume = 0;
    if (!EnumServicesStatusW(manager, 0x13F, SERVICE_STATE_ALL, reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data()),
                             static_cast<DWORD>(buffer.size()), &needed, &returned, &resume))
        RaiseLastOSError();
    return static_cast<int>(returned);
}

class TStartedProgram {
public:
    explicit TStartedProgram(const std::wstring& arguments, const std::wstring& program = ProgramPath())
    {
        std::wstring command = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        Start = NowMs();
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            RaiseLastOSError();
        UniqueKernelHandle(pi.hThread).reset();  // only the process is waited for
        FProcess.reset(pi.hProcess);
        ProcessID = pi.dwProcessId;
    }
    ~TStartedProgram()
    {
        if (WaitForSingleObject(FProcess.get(), 0) == WAIT_TIMEOUT)
            TerminateProcess(FProcess.get(), 1);
    }
    TStartedProgram(const TStartedProgram&) = delete;
    TStartedProgram& operator=(const TStartedProgram&) = delete;

    // Milliseconds from the start until the main window is visible.
    double WaitForWindow()
    {
        while (!(Main = VisibleMainWindow(ProcessID))) {
            if (NowMs() - Start > GiveUpMs || WaitForSingleObject(FProcess.get(), 0) == WAIT_OBJECT_0)
                throw Exception(L"the program showed no main window");
            Sleep(PollMs);
        }
        return NowMs() - Start;
    }
    // Milliseconds from the start until the list holds `rows` rows. One question at a time,
    // waited for: a busy program would otherwise gather a queue of questions it has not
    // answered, which costs it time on every call it makes to Wine's server meanwhile.
    double WaitForRows(int rows)
    {
        while (RowCount(Main, static_cast<DWORD>(GiveUpMs)) < rows) {
            if (NowMs() - Start > GiveUpMs)
                throw Exception(Fmt(L"the list never held %d rows", {rows}));
            Sleep(PollMs);
        }
        return NowMs() - Start;
    }
    // Milliseconds from the start until the process has ended by itself.
    double WaitForEnd()
    {
        if (WaitForSingleObject(FProcess.get(), static_cast<DWORD>(GiveUpMs)) != WAIT_OBJECT_0)
            throw Exception(L"the program did not end");
        return NowMs() - Start;
    }
    // Milliseconds from the close request until the process has ended.
    double Close()
    {
        const double asked = NowMs();
        PostMessageW(Main, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(FProcess.get(), static_cast<DWORD>(GiveUpMs)) != WAIT_OBJECT_0)
            throw Exception(L"the program did not end");
        return NowMs() - asked;
    }

    double Start = 0;
    DWORD ProcessID = 0;
    HWND Main = nullptr;

private:
    UniqueKernelHandle FProcess;
};

// The times the window takes to answer a message, sampled for a few seconds while its timer runs.
std::vector<double> AnswerTimes(HWND main)
{
    std::vector<double> times;
    const double until = NowMs() + 5000;
    while (NowMs() < until) {
        const double asked = NowMs();
        DWORD_PTR result = 0;
        SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
        times.push_back(NowMs() - asked);
        Sleep(50);
    }
    return times;
}

double Largest(const std::vector<double>& values)
{
    double largest = 0;
    for (double v : values)
        largest = v > largest ? v : largest;
    return largest;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Started by itself: one full refresh's bare calls in a new process, then the end.
    if (argc > 1 && std::wcscmp(argv[1], BareSwitch) == 0) {
        UniqueScHandleOf manager(SystemServiceControlManager(),
                                 SystemServiceControlManager().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager)
            return 1;
        BareFullRefresh(SystemServiceControlManager(), manager.get());
        return 0;
    }
    try {
        const int count = argc > 1 ? std::max(1, _wtoi(argv[1])) : 1000;
        double start = NowMs();
        BenchServices registered(count);
        Print(Fmt(L"wine_register_%d_ms", {count}), NowMs() - start);
        const int listed = EnumeratedCount(registered.Manager());
        PrintCount(L"wine_services_listed", listed);

        {
            TStartedProgram erp(L"");
            Print(L"erp_view_window_on_screen_ms", erp.WaitForWindow());
            erp.WaitForRows(0);
            erp.Close();
        }

        // Pairs of a start with "/all" to the full list and a start that makes the bare calls of
        // one full refresh, in turn first and second, so that both sides of a pair see the same
        // machine (its load moves these times by half); the ratio is the median of the pairs'.
        auto bareStart = [] { return TStartedProgram(BareSwitch, ThisProgramPath()).WaitForEnd(); };
        std::vector<double> onScreen, fullList, bare, ratio, answers, closing;
        for (int pair = 0; pair < Pairs; ++pair) {
            double bareMs = 0;
            if (pair % 2)
                bareMs = bareStart();
            TStartedProgram all(L"/all");
            onScreen.push_back(all.WaitForWindow());
            const double fullMs = all.WaitForRows(listed);
            if (pair == Pairs - 1) {
                answers = AnswerTimes(all.Main);
                closing.push_back(all.Close());
            } else {
                all.Close();
            }
            if (!(pair % 2))
                bareMs = bareStart();
            fullList.push_back(fullMs);
            bare.push_back(bareMs);
            ratio.push_back(fullMs / bareMs);
        }
        Print(L"all_window_on_screen_ms", Median(onScreen));
        Print(L"all_full_list_ms", Median(fullList));
        Print(L"wine_bare_full_refresh_ms", Median(bare));
        Print(L"all_answer_median_ms", Median(answers));
        Print(L"all_answer_max_ms", Largest(answers));
        Print(L"all_close_ms", closing.front());
        Print(L"ratio startup_full_list", Median(ratio));
        return 0;
    } catch (...) {
        std::fprintf(stderr, "bench failed: %s\n", ToUtf8(CurrentExceptionMessage()).c_str());
        return 1;
    }
}
