// The installation at a glance over four simulated computers that answer every call in 20 ms,
// each with 8 ERP services among 300: the window from its launch until every ERP row of every
// computer is in the list with its record read, against the same for each computer alone; and
// the window's longest unanswered wait (asked every 10 ms from another thread) over the launch
// and 20 s of timer ticks while one of the four hangs at every call.
//
//   installation_full_list_ms         launch to every ERP row read, four computers (median of 3)
//   single_full_list_max_ms           the same for the slowest computer alone (medians of 3)
//   ratio installation_full_list      the two against each other (goal: at most 1.2)
//   installation_show_ms              the window made and shown, before it can answer
//   installation_answer_max_ms        the longest wait for an answer from the window's
//                                     appearance on, one computer hung (goal: at most 50)
#include "bench/answer_sampler.h"
#include "bench/bench_support.h"

#include "common/errors.h"
#include "common/format.h"
#include "services/catalogue_reader.h"
#include "services/catalogue_worker.h"
#include "services/command_runner.h"
#include "services/thread.h"
#include "tests/sim_scm/sim_computers.h"
#include "tests/support/message_box_hook.h"
#include "tests/support/workers_ended.h"
#include "ui/base/application.h"
#include "ui/base/delay.h"
#include "ui/main/form_main.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace {
constexpr DWORD CallMs = 20;
constexpr int ServicesPerComputer = 300;
constexpr int ErpPerComputer = 8;
constexpr int Rounds = 3;
constexpr DWORD TicksMs = 20000;
const wchar_t* const Computers[] = {L"erp-db", L"erp-app1", L"erp-app2", L"erp-app3"};

// 8 ERP services (application servers and a database) among 300.
void Fill(TSimServiceControlManager& sim, const std::wstring& computer)
{
    for (int i = 0; i < ServicesPerComputer; ++i) {
        const std::wstring n = std::to_wstring(i);
        const bool erp = i % (ServicesPerComputer / ErpPerComputer) == 0 && i / (ServicesPerComputer / ErpPerComputer) < ErpPerComputer;
        TSimService s = SimService(erp ? (i == 0 ? L"SQLANYs_" + computer : L"App" + n) : L"Other" + n);
        s.DisplayName = erp ? L"Talvora ERP " + computer + L" " + n : L"Other service " + n;
        s.Description = L"Service " + n + L" of " + computer;
        s.State = i % 3 == 0 ? SERVICE_RUNNING : SERVICE_STOPPED;
        sim.AddService(s);
    }
}

bool EveryErpRowRead(TFormMain& form, int rows)
{
    const TInstallation& installation = form.ServiceList().Installation();
    if (installation.Count() != rows)
        return false;
    for (int i = 0; i < rows; ++i)
        if (const TItemData* row = installation.Row(i); !row->Service || !row->Service->RecordRead())
            return false;
    return true;
}

void WaitForThreads()
{
    while (TThread::RunningCount() > 0 || !WorkersEnded())
        DelayWithMessages(20);
}

// Launch to every ERP row read, in milliseconds.
double FullList(TSimComputers& net, const std::vector<std::wstring>& computers)
{
    const int rows = ErpPerComputer * static_cast<int>(computers.size());
    // The window before ended the application.
    Application().ClearTerminated();
    const double start = NowMs();
    double ms = 0;
    {
        auto form = std::make_unique<TFormMain>(net, false, /*readAhead*/ true, computers, false);
        form->Show();
        while (!EveryErpRowRead(*form, rows)) {
            if (NowMs() - start > 60000)
                throw Exception(L"the rows did not come within a minute");
            DelayWithMessages(2);
        }
        ms = NowMs() - start;
    }
    Application().ClearTerminated();
    WaitForThreads();
    return ms;
}

void Bench()
{
    Application().Initialize();
    TSimComputers net;
    for (const wchar_t* computer : Computers) {
        Fill(net.Computer(computer), computer);
        net.SetDelay(computer, CallMs);
    }
    ScriptedMessageBoxes boxes;
    const std::vector<std::wstring> all(std::begin(Computers), std::end(Computers));

    std::vector<double> together;
    std::vector<std::vector<double>> alone(all.size());
    for (int round = 0; round < Rounds; ++round) {
        together.push_back(FullList(net, all));
        for (size_t i = 0; i < all.size(); ++i)
            alone[i].push_back(FullList(net, {all[i]}));
    }
    double slowest = 0;
    for (const std::vector<double>& times : alone)
        slowest = std::max(slowest, Median(times));
    const double installation = Median(together);
    Print(L"installation_full_list_ms", installation);
    Print(L"single_full_list_max_ms", slowest);
    Print(L"ratio installation_full_list", installation / slowest);

    // One computer hangs at every call: the launch and 20 s of the window's timer.
    const wchar_t* hung = Computers[3];
    net.Hang(hung);
    double longest = 0;
    Application().ClearTerminated();
    {
        const double launched = NowMs();
        auto form = std::make_unique<TFormMain>(net, false, /*readAhead*/ true, all, false);
        form->Show();
        Print(L"installation_show_ms", NowMs() - launched);
        // From the window's appearance on: the window is made and shown before it can answer.
        TAnswerSampler sampler(form->Handle());
        const double start = NowMs();
        while (NowMs() - start < TicksMs)
            DelayWithMessages(20);
        longest = sampler.Longest;
        PrintCount(L"installation_hung_rows", form->ServiceList().Installation().Count());
    }
    net.Release(hung);
    Application().ClearTerminated();
    WaitForThreads();
    Print(L"installation_answer_max_ms", longest);
}
}  // namespace

int main() { return RunBenchmark(Bench); }
