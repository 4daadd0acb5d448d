// The commands against another computer that answers every call in 50 ms (simulated), as a
// user would meet a WAN or VPN: how long the window leaves a message unanswered meanwhile
// (asked every 10 ms from another thread), and what each command costs beyond its own calls.
//
//   slow_max_answer_ms       the longest wait for an answer over Start with a dependency,
//                            Stop with two dependants, Restart, Pause, Resume, F5 and Connect
//   slow_command_overhead    the largest of each command's time over its own calls' (its
//                            worker's calls times 50 ms), each printed beside it with its calls
//   hung_quit_ms             from closing the window while a call hangs to the end of the
//                            program's message loop
#include "bench/answer_sampler.h"
#include "bench/bench_support.h"

#include "common/errors.h"
#include "common/format.h"
#include "services/catalogue_worker.h"
#include "tests/sim_scm/sim_computers.h"
#include "tests/support/message_box_hook.h"
#include "tests/support/workers_ended.h"
#include "ui/base/application.h"
#include "ui/base/delay.h"
#include "ui/main/form_main.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {
constexpr DWORD CallMs = 50;
constexpr const wchar_t* Far = L"erp-far";

// The calls made on the far computer, by thread.
struct TCallCount {
    std::mutex Mutex;
    std::map<DWORD, int> ByThread;
    void Clear()
    {
        std::lock_guard lock(Mutex);
        ByThread.clear();
    }
    // The calls of the thread that made most: the command's worker.
    int MostOfOneThread()
    {
        std::lock_guard lock(Mutex);
        int most = 0;
        for (const auto& [thread, calls] : ByThread)
            most = std::max(most, calls);
        return most;
    }
};

void RunUntilIdle(TFormMain& form)
{
    while (form.CommandRunning())
        Application().HandleMessage();
}

void Bench()
{
    Application().Initialize();
    TSimComputers net;
    TSimServiceControlManager& remote = net.Computer(Far);
    remote.AddService(ListedSimService(L"SQLANYs_db", L"Database far", SERVICE_RUNNING));
    remote.AddService(ListedSimService(L"App1", L"Talvora ERP App 1", SERVICE_RUNNING, {L"SQLANYs_db"}));
    remote.AddService(ListedSimService(L"App2", L"Talvora ERP App 2", SERVICE_RUNNING, {L"SQLANYs_db"}));
    remote.AddService(ListedSimService(L"Net", L"Talvora ERP Network", SERVICE_STOPPED));
    remote.AddService(ListedSimService(L"App3", L"Talvora ERP App 3", SERVICE_STOPPED, {L"Net"}));
    net.Local().AddService(ListedSimService(L"SQLANYs_here", L"Database here", SERVICE_RUNNING));
    ScriptedMessageBoxes boxes;
    // Outlives every thread that calls the far computer (its calls are counted until the end).
    TCallCount calls;
    double worstOverhead = 0;
    double longest = 0;
    {
        auto form = std::make_unique<TFormMain>(net, false, false, Far);
        form->Show();
        net.SetDelay(Far, CallMs);
        // The timer's reads would share the far computer's time with the commands' calls.
        KillTimer(form->Handle(), TFormMain::TimerUpdate);
        remote.OnCall = [&calls](TSimCall, const std::wstring&) {
            std::lock_guard lock(calls.Mutex);
            ++calls.ByThread[GetCurrentThreadId()];
        };
        struct TCommand {
            const wchar_t* Name;
            const wchar_t* Row;
            int Action;
            int Answers;
        };
        const TCommand commands[] = {
            {L"start_with_dependency", L"Talvora ERP App 3", TFormMain::ActStart, 1},
            {L"restart", L"Database far", TFormMain::ActRestart, 2},
            {L"stop_with_two_dependants", L"Database far", TFormMain::ActStop, 2},
            {L"start", L"Database far", TFormMain::ActStart, 0},
            {L"start_dependant", L"Talvora ERP App 1", TFormMain::ActStart, 0},
            {L"pause", L"Talvora ERP App 1", TFormMain::ActPause, 0},
            {L"resume", L"Talvora ERP App 1", TFormMain::ActStart, 0},
        };
        TAnswerSampler sampler(form->Handle());
        for (const TCommand& command : commands) {
            // The monitor of the command before has ended.
            while (TThread::RunningCount() > 0)
                DelayWithMessages(20);
            form->List().Select(form->List().FindCaption(command.Row));
            for (int i = 0; i < command.Answers; ++i)
                boxes.Answer(IDYES);
            calls.Clear();
            const double start = NowMs();
            form->Actions().Execute(command.Action);
            RunUntilIdle(*form);
            const double ms = NowMs() - start;
            const int made = calls.MostOfOneThread();
            if (made == 0)
                throw Exception(Fmt(L"%s was not run", {command.Name}));
            const double overhead = made > 0 ? ms / (made * CallMs) : 0;
            worstOverhead = std::max(worstOverhead, overhead);
            Print(L"slow_" + std::wstring(command.Name) + L"_calls", made);
            Print(L"slow_" + std::wstring(command.Name) + L"_overhead", overhead);
        }
        const double commandsLongest = sampler.Longest;
        sampler.Longest = 0;
        form->RebuildItems(true);
        const double rebuildLongest = sampler.Longest;
        sampler.Longest = 0;
        form->Connect(L"");
        form->Connect(Far);
        Print(L"slow_max_answer_commands_ms", commandsLongest);
        Print(L"slow_max_answer_refresh_ms", rebuildLongest);
        Print(L"slow_max_answer_connect_ms", sampler.Longest);
        longest = std::max({commandsLongest, rebuildLongest, sampler.Longest.load()});
        net.SetDelay(Far, 0);
    }
    // Quitting while a call hangs on the far computer (Stop's wait for a dependant): from the
    // close to the point where the program's message loop ends with its window and it leaves
    // what the window held to the process's end.
    {
        Application().ClearTerminated();
        auto form = std::make_unique<TFormMain>(net, false, false, Far);
        form->Show();
        KillTimer(form->Handle(), TFormMain::TimerUpdate);
        form->List().Select(form->List().FindCaption(L"Database far"));
        // The first stop request hangs the computer (its calls go on once released).
        auto hung = std::make_shared<std::atomic<bool>>(false);
        remote.OnCall = [&net, hung](TSimCall call, const std::wstring&) {
            if (call == TSimCall::ControlService && !hung->exchange(true))
                net.Hang(Far);
        };
        boxes.Answer(IDYES);
        boxes.Answer(IDYES);
        // Stop is enabled once the row's record is read.
        const double hangFrom = NowMs();
        while (!form->Actions().Execute(TFormMain::ActStop)) {
            if (NowMs() - hangFrom > 10000)
                throw Exception(L"Stop was refused");
            DelayWithMessages(20);
        }
        while (net.HungCalls(Far) == 0 && NowMs() - hangFrom < 10000)
            DelayWithMessages(5);
        if (net.HungCalls(Far) > 0) {
            const double start = NowMs();
            PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
            while (form->Handle() && NowMs() - start < 10000)
                DelayWithMessages(1);
            Print(L"hung_quit_ms", NowMs() - start);
        }
        net.Release(Far);
    }
    // Every thread that calls the network ends before it goes.
    while (TThread::RunningCount() > 0 || !WorkersEnded())
        DelayWithMessages(20);
    remote.OnCall = nullptr;
    Print(L"slow_max_answer_ms", longest);
    Print(L"slow_command_overhead", worstOverhead);
}
}  // namespace

int main() { return RunBenchmark(Bench); }
