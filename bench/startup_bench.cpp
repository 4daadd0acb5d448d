// The program's start and its answers, timed from outside as a user sees them, over Wine's
// manager with extra services registered for the run (2000 by default, or the number given as
// the argument). The program (ServiceManager.exe of the build folder) is started
//   - without a switch (the ERP's view, seven bench services of the ERP's registered for the
//     run), with none, half and all of the extra services registered: the time until its list
//     holds every ERP row (the ERP's records are read before the rows are shown), medians of
//     three starts each;
//   - once with "/all" before the extra services are registered: its private bytes with the
//     full list;
//   - five times with "/all" (every service listed): the time until its window is on screen,
//     until the list holds every row (caption and state, from the enumeration), and until every
//     record is in (the last row's description, the last record the list reads), the longest
//     wait for an answer meanwhile; each beside a start of this program that makes the bare
//     enumeration the list starts from and ends, one that makes the bare SCM calls of one full
//     refresh of the catalogue (every record read once), one that
//     makes the same calls with the records read by two connections at once, and beside
//     Wine's own "wmic path Win32_Service get Name,DisplayName,State,StartMode" listing the same
//     services to a file; all are new processes, whose first pass over the services costs more
//     than any later one in the same process; the orders inside a round alternate. After the
//     last start: how long the window takes to answer a message (asked every 5 ms) during ten
//     timer ticks and during an F5, how long a service's state changed from outside takes to
//     show in its row (from the request), its private bytes, and how long closing it takes;
//   - once more with "/all" and 3000 services more than the machine's own: its private bytes
//     (the working set under Wine) per row beyond the start with none.
// Prints one line per figure; the last are
//   ratio erp_view_flat <ERP view to full list with every extra service / with none>
//   ratio all_complete_vs_one_pass <"/all" start until every record is in / bare full refresh>
//   ratio all_complete_vs_two_connections <the same / bare full refresh with two connections>
//   ratio startup_full_list <"/all" start to full list / a start that makes the same enumeration
//     bare, median of the rounds>
//   ratio startup_vs_peer <"/all" start to full list / wmic's listing, median of the rounds>
// Run it through ./bench.sh, which gives it a throwaway Wine prefix and a display.
#include "bench/bench_support.h"
#include "common/errors.h"
#include "common/format.h"
#include "common/handle.h"
#include "tests/support/registered_service.h"
#include "tests/support/remote_controls.h"
#include "erp/exe_type.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD PollMs = 10;
// How often the answer times are sampled.
constexpr DWORD AnswerPollMs = 5;
constexpr int Pairs = 5;
constexpr int ErpStarts = 5;
constexpr int ErpServices = 7;
constexpr const wchar_t* BareSwitch = L"--bare-full-refresh";
// The same, the records read by two connections at once, as the list fills them in.
constexpr const wchar_t* BareAtOnceSwitch = L"--bare-full-refresh-at-once";
constexpr int FillConnections = 2;
// The enumeration the list starts from (names and states of every service), made bare.
constexpr const wchar_t* BareEnumerationSwitch = L"--bare-enumeration";
// The services beyond the machine's own for the memory per row of "/all".
constexpr int MemoryServices = 3000;
constexpr double GiveUpMs = 120000;
// The main window's Refresh command (F5).
constexpr WPARAM RebuildCommand = 1004;

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

// The services the manager lists now; with erpOnly those the ERP's view lists.
int EnumeratedCount(SC_HANDLE manager, bool erpOnly = false)
{
    DWORD needed = 0, returned = 0, resume = 0;
    EnumServicesStatusW(manager, 0x13F, SERVICE_STATE_ALL, nullptr, 0, &needed, &returned, &resume);
    std::vector<BYTE> buffer(needed + 4096);
    resume = 0;
    if (!EnumServicesStatusW(manager, 0x13F, SERVICE_STATE_ALL, reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data()),
                             static_cast<DWORD>(buffer.size()), &needed, &returned, &resume))
        RaiseLastOSError();
    if (!erpOnly)
        return static_cast<int>(returned);
    const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
    int erp = 0;
    for (DWORD i = 0; i < returned; ++i)
        erp += IsErpService(entries[i].lpServiceName, entries[i].lpDisplayName ? entries[i].lpDisplayName : L"") ? 1 : 0;
    return erp;
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
    // LongestAnswerMs keeps the longest of the waits for an answer meanwhile.
    double WaitForRows(int rows)
    {
        for (;;) {
            const double asked = NowMs();
            const int count = RowCount(Main, static_cast<DWORD>(GiveUpMs));
            LongestAnswerMs = std::max(LongestAnswerMs, NowMs() - asked);
            if (count >= rows)
                break;
            if (NowMs() - Start > GiveUpMs)
                throw Exception(Fmt(L"the list never held %d rows", {rows}));
            Sleep(PollMs);
        }
        return NowMs() - Start;
    }
    // Milliseconds from the start until the list holds `rows` rows and each shows its
    // description: every row read, as a user waits for it. The list's few rows are read with one
    // question at a time.
    double WaitForRowsRead(int rows)
    {
        TRemoteListView list(FindWindowExW(Main, nullptr, WC_LISTVIEWW, nullptr));
        for (;;) {
            const int count = RowCount(Main, static_cast<DWORD>(GiveUpMs));
            bool read = count >= rows;
            for (int row = 0; read && row < count; ++row)
                read = !list.Text(row, 2).empty();
            if (read)
                return NowMs() - Start;
            if (NowMs() - Start > GiveUpMs)
                throw Exception(Fmt(L"the list never showed %d rows read", {rows}));
            Sleep(PollMs);
        }
    }
    // The process's private bytes now; Wine reports none for another process (it gives the
    // swap's use there), so under Wine the working set stands in for them.
    double PrivateBytes() const
    {
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof(counters);
        if (!GetProcessMemoryInfo(FProcess.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                  sizeof(counters)))
            RaiseLastOSError();
        return static_cast<double>(counters.PrivateUsage ? counters.PrivateUsage : counters.WorkingSetSize);
    }
    // Milliseconds from the start until the list's last row shows a description: the list
    // reads the records of the rows in view first, then the others in the rows' order.
    double WaitForLastDescription()
    {
        TRemoteListView list(FindWindowExW(Main, nullptr, WC_LISTVIEWW, nullptr));
        for (;;) {
            const double asked = NowMs();
            const int count = RowCount(Main, static_cast<DWORD>(GiveUpMs));
            const bool in = count > 0 && !list.Text(count - 1, 2).empty();
            LongestAnswerMs = std::max(LongestAnswerMs, NowMs() - asked);
            if (in)
                return NowMs() - Start;
            if (NowMs() - Start > GiveUpMs)
                throw Exception(L"the last row never showed its description");
            Sleep(PollMs);
        }
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
    double LongestAnswerMs = 0;
    DWORD ProcessID = 0;
    HWND Main = nullptr;

private:
    UniqueKernelHandle FProcess;
};

// The times the window takes to answer a message, sampled for a while (5 s by default).
std::vector<double> AnswerTimes(HWND main, double forMs = 5000)
{
    std::vector<double> times;
    const double until = NowMs() + forMs;
    while (NowMs() < until) {
        const double asked = NowMs();
        DWORD_PTR result = 0;
        SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
        times.push_back(NowMs() - asked);
        Sleep(AnswerPollMs);
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

// Milliseconds from the start of Wine's wmic listing every service's name, display name,
// state and start mode to a file until its end.
double PeerListingMs()
{
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring output = std::wstring(temp) + L"sm_bench_wmic.txt";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    UniqueFileHandle file(CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file)
        RaiseLastOSError();
    std::wstring command =
        L"\"" + std::wstring(system) + L"\\wbem\\wmic.exe\" path Win32_Service get Name,DisplayName,State,StartMode";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = file.get();
    si.hStdError = file.get();
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    const double start = NowMs();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        RaiseLastOSError();
    UniqueKernelHandle thread(pi.hThread), process(pi.hProcess);
    if (WaitForSingleObject(process.get(), static_cast<DWORD>(GiveUpMs)) != WAIT_OBJECT_0)
        throw Exception(L"wmic did not end");
    const double ms = NowMs() - start;
    file.reset();
    DeleteFileW(output.c_str());
    return ms;
}

// The longest time from a service's state changed from outside (the clock starts as the
// request is made) until its row shows it, over a few starts and stops.
double RowStateAgeMaxMs(HWND main, const TRegisteredService& service)
{
    TRemoteListView list(FindWindowExW(main, nullptr, WC_LISTVIEWW, nullptr));
    double most = 0;
    double changed = 0;
    auto follow = [&](DWORD state, const wchar_t* word) {
        if (!service.WaitForState(state, static_cast<DWORD>(GiveUpMs)))
            throw Exception(L"the age service did not change its state");
        for (;;) {
            const int row = list.Find(service.DisplayName());
            if (row >= 0 && list.Text(row, 1) == word)
                break;
            if (NowMs() - changed > GiveUpMs)
                throw Exception(L"the row never showed the state");
            Sleep(PollMs);
        }
        most = std::max(most, NowMs() - changed);
    };
    for (int round = 0; round < 3; ++round) {
        // A moment apart, so that the change falls anywhere in the window's second.
        Sleep(300 + 250 * round);
        changed = NowMs();
        service.Start();
        follow(SERVICE_RUNNING, L"Running");
        Sleep(200 + 250 * round);
        changed = NowMs();
        service.Control(SERVICE_CONTROL_STOP);
        follow(SERVICE_STOPPED, L"Stopped");
    }
    return most;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Started by itself: one full refresh's bare calls in a new process, then the end.
    const bool atOnce = argc > 1 && std::wcscmp(argv[1], BareAtOnceSwitch) == 0;
    if (argc > 1 && std::wcscmp(argv[1], BareEnumerationSwitch) == 0) {
        UniqueScHandleOf manager(SystemServiceControlManager(),
                                 SystemServiceControlManager().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        return manager && EnumeratedCount(manager.get()) > 0 ? 0 : 1;
    }
    if (atOnce || (argc > 1 && std::wcscmp(argv[1], BareSwitch) == 0)) {
        UniqueScHandleOf manager(SystemServiceControlManager(),
                                 SystemServiceControlManager().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager)
            return 1;
        if (atOnce)
            BareFullRefreshAtOnce(SystemServiceControlManager(), manager.get(), FillConnections);
        else
            BareFullRefresh(SystemServiceControlManager(), manager.get());
        return 0;
    }
    try {
        const int count = argc > 1 ? std::max(2, _wtoi(argv[1])) : 2000;
        // The parts named after the count run, in their order; none named: all of them.
        std::vector<std::wstring> parts(argv + std::min(argc, 2), argv + argc);
        auto runs = [&](const wchar_t* part) {
            return parts.empty() || std::find(parts.begin(), parts.end(), part) != parts.end();
        };
        UniqueScHandleOf manager(SystemServiceControlManager(),
                                 SystemServiceControlManager().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        // The ERP's view as a user sees it: the ERP's services among more and more others, each
        // count's starts made right after registering them.
        BenchServices erpServices(ErpServices, L"Talvora ERP bench ");
        if (runs(L"erp")) {
            const int erpRows = EnumeratedCount(manager.get(), true);
            auto erpFullList = [&] {
                double best = GiveUpMs;
                for (int i = 0; i < ErpStarts; ++i) {
                    TStartedProgram erp(L"");
                    erp.WaitForWindow();
                    best = std::min(best, erp.WaitForRowsRead(erpRows));
                    erp.Close();
                }
                return best;
            };
            // The prefix's first start of the program loads what every later start finds ready:
            // it is not counted.
            {
                TStartedProgram warmUp(L"");
                warmUp.WaitForWindow();
                warmUp.WaitForRowsRead(erpRows);
                warmUp.Close();
            }
            const double erpNone = erpFullList();
            Print(L"erp_view_full_list_0_ms", erpNone);
            // Display names as long as those of a machine's real services: the list of 2000 then
            // outgrows the room of a first enumeration sized for short names.
            BenchServices firstHalf(count / 2, L"Startup bench other service number ");
            Print(Fmt(L"erp_view_full_list_%d_ms", {count / 2}), erpFullList());
            BenchServices secondHalf(count - count / 2, L"Startup bench other service of the second half, number ");
            const double erpAll = erpFullList();
            Print(Fmt(L"erp_view_full_list_%d_ms", {count}), erpAll);
            {
                TStartedProgram erp(L"");
                Print(L"erp_view_window_on_screen_ms", erp.WaitForWindow());
                erp.WaitForRowsRead(erpRows);
                erp.Close();
            }
            Print(L"ratio erp_view_flat", erpAll / erpNone);
        }
        if (!runs(L"all") && !runs(L"memory"))
            return 0;

        // The private bytes of the full list without the services of the run.
        double bytesBefore = 0;
        const int listedBefore = EnumeratedCount(manager.get());
        {
            TStartedProgram all(L"/all");
            all.WaitForWindow();
            all.WaitForRows(listedBefore);
            Sleep(3000);  // the records filled in
            bytesBefore = all.PrivateBytes();
            all.Close();
        }

        double start = NowMs();
        BenchServices firstHalf(count / 2);
        BenchServices secondHalf(count - count / 2 - 1);
        // The row that sorts last, with a description: the last record the list reads.
        BenchServices last(1, L"zzzz bench last ");
        // A service that runs, whose state changes from outside.
        TRegisteredService ageService({.Name = Fmt(L"SmBenchAge%d", {static_cast<int>(GetCurrentProcessId())})});
        Print(Fmt(L"wine_register_%d_ms", {count}), NowMs() - start);
        const int listed = EnumeratedCount(manager.get());
        PrintCount(L"wine_services_listed", listed);

        if (runs(L"all")) {
            // Rounds of a start with "/all" to the full list and to every record in, a start that
            // makes the bare calls of one full refresh and wmic's listing, in turn in another order,
            // so that all see the same machine (its load moves these times by half); the ratios
            // are the medians of the rounds'.
            auto bareStart = [](const wchar_t* how) { return TStartedProgram(how, ThisProgramPath()).WaitForEnd(); };
            std::vector<double> onScreen, fullList, complete, bare, bareAtOnce, bareEnumeration, peer, ratio, completeRatio,
                completeAtOnceRatio, peerRatio, answers, rebuildAnswers, closing;
            double answerDuringStart = 0, rowAge = 0, bytesAfter = 0;
            for (int pair = 0; pair < Pairs; ++pair) {
                double bareMs = 0, bareAtOnceMs = 0, bareEnumerationMs = 0, peerMs = 0;
                if (pair % 2) {
                    bareEnumerationMs = bareStart(BareEnumerationSwitch);
                    bareMs = bareStart(BareSwitch);
                    bareAtOnceMs = bareStart(BareAtOnceSwitch);
                    peerMs = PeerListingMs();
                }
                TStartedProgram all(L"/all");
                onScreen.push_back(all.WaitForWindow());
                const double fullMs = all.WaitForRows(listed);
                const double completeMs = all.WaitForLastDescription();
                answerDuringStart = std::max(answerDuringStart, all.LongestAnswerMs);
                if (pair == Pairs - 1) {
                    // Ten timer ticks, then an F5 (the list is read anew), sampled for longer than
                    // the start took to read every record.
                    answers = AnswerTimes(all.Main, 10500);
                    PostMessageW(all.Main, WM_COMMAND, RebuildCommand, 0);
                    rebuildAnswers = AnswerTimes(all.Main, std::max(2000.0, 1.5 * (completeMs - onScreen.back())));
                    rowAge = RowStateAgeMaxMs(all.Main, ageService);
                    bytesAfter = all.PrivateBytes();
                    closing.push_back(all.Close());
                } else {
                    all.Close();
                }
                if (!(pair % 2)) {
                    peerMs = PeerListingMs();
                    bareAtOnceMs = bareStart(BareAtOnceSwitch);
                    bareMs = bareStart(BareSwitch);
                    bareEnumerationMs = bareStart(BareEnumerationSwitch);
                }
                fullList.push_back(fullMs);
                bareEnumeration.push_back(bareEnumerationMs);
                complete.push_back(completeMs);
                bare.push_back(bareMs);
                bareAtOnce.push_back(bareAtOnceMs);
                completeAtOnceRatio.push_back(completeMs / bareAtOnceMs);
                peer.push_back(peerMs);
                ratio.push_back(fullMs / bareEnumerationMs);
                completeRatio.push_back(completeMs / bareMs);
                peerRatio.push_back(fullMs / peerMs);
            }
            Print(L"all_window_on_screen_ms", Median(onScreen));
            Print(L"all_first_screen_ms", Median(fullList));
            Print(L"all_full_list_ms", Median(fullList));
            Print(L"all_complete_ms", Median(complete));
            Print(L"wine_bare_full_refresh_ms", Median(bare));
            Print(L"wine_bare_full_refresh_two_connections_ms", Median(bareAtOnce));
            Print(L"wine_bare_enumeration_ms", Median(bareEnumeration));
            Print(L"wine_peer_listing_ms", Median(peer));
            Print(L"all_answer_during_start_max_ms", answerDuringStart);
            Print(L"all_answer_median_ms", Median(answers));
            Print(L"all_answer_during_ticks_max_ms", Largest(answers));
            Print(L"all_answer_during_rebuild_max_ms", Largest(rebuildAnswers));
            Print(L"max_answer_ms", std::max({answerDuringStart, Largest(answers), Largest(rebuildAnswers)}));
            Print(L"row_state_age_max_ms", rowAge);
            Print(L"bytes_per_service", (bytesAfter - bytesBefore) / (count + 1));
            Print(L"all_close_ms", closing.front());
            Print(L"ratio all_complete_vs_one_pass", Median(completeRatio));
            Print(L"ratio all_complete_vs_two_connections", Median(completeAtOnceRatio));
            Print(L"ratio startup_full_list", Median(ratio));
            Print(L"ratio startup_vs_peer", Median(peerRatio));
        }
        // The working set of "/all" with MemoryServices more services than the machine's own,
        // against that of the start before the run's services were registered, per row.
        if (runs(L"memory")) {
            BenchServices more(std::max(0, MemoryServices - (count + 1)));
            const int rows = EnumeratedCount(manager.get());
            TStartedProgram all(L"/all");
            all.WaitForWindow();
            all.WaitForRows(rows);
            all.WaitForLastDescription();
            Print(L"bytes_per_row_all", (all.PrivateBytes() - bytesBefore) / (rows - listedBefore));
            all.Close();
        }
        return 0;
    } catch (...) {
        std::fprintf(stderr, "bench failed: %s\n", ToUtf8(CurrentExceptionMessage()).c_str());
        return 1;
    }
}
