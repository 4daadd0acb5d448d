// The main window's service list, timed. Over the simulated manager with 100, 500 and 2000
// listed services: RebuildItems (the catalogue read on its worker thread and handed over) beside
// the catalogue's own full refresh of the same services, and a timer tick (UpdateNow: the
// states from one enumeration, then whole records) beside the record refreshes it makes, so that the difference
// per row is the window's own cost (it should not grow with the count). Over Wine's manager
// with 500 services registered for the run and every service listed: the ticks of one pass
// over every row against the bare SCM calls of one refresh pass over the same services, in the
// same run. Prints one line per figure; the last is
//   ratio timer_tick <time per row refreshed by the ticks / bare time per row>
// Run it through ./bench.sh, on a display. Every service is listed, as with the "all" switch.
#include "bench/bench_support.h"
#include "common/errors.h"
#include "common/format.h"
#include "services/sc_manager.h"
#include "tests/main/list_ticks.h"
#include "tests/support/workers_ended.h"
#include "ui/base/application.h"
#include "ui/main/form_main.h"

#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// Pairs of timings, so that both sides of a pair see the same machine; medians of the rounds.
constexpr int Rounds = 7;
// Wine's manager answers through other processes, and the machine's load moves its times far
// more than anything the window does: more pairs there.
constexpr int WineRounds = 15;

// Times both bodies, in turn first and second by round, so that neither always runs in the
// other's wake (caches it warmed, a drift of the machine's load).
std::pair<double, double> TimePair(int round, const std::function<void()>& first, const std::function<void()>& second)
{
    double firstMs = 0, secondMs = 0;
    if (round % 2) {
        secondMs = TimeMs(second);
        firstMs = TimeMs(first);
    } else {
        firstMs = TimeMs(first);
        secondMs = TimeMs(second);
    }
    return {firstMs, secondMs};
}

// The messages sent to the thread's windows while body runs: the list-view calls of the
// window and the control's notices back to it. Unlike times, the count does not depend on the
// machine's load; Wine's server takes part in most of these messages.
int MessagesOf(const std::function<void()>& body)
{
    static int count = 0;
    count = 0;
    HHOOK hook = SetWindowsHookExW(
        WH_CALLWNDPROC,
        [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (code >= 0)
                ++count;
            return CallNextHookEx(nullptr, code, wParam, lParam);
        },
        nullptr, GetCurrentThreadId());
    if (!hook)
        RaiseLastOSError();
    try {
        body();
    } catch (...) {
        UnhookWindowsHookEx(hook);
        throw;
    }
    UnhookWindowsHookEx(hook);
    return count;
}

// A shown main window over scm that lists every service; the bench makes the ticks itself.
std::unique_ptr<TFormMain> ShowMainWindow(IServiceControlManager& scm)
{
    auto form = std::make_unique<TFormMain>(scm, true);
    form->Show();  // the first show rebuilds the list
    KillTimer(form->Handle(), TFormMain::TimerUpdate);
    Application().ProcessMessages();
    return form;
}

void CloseMainWindow(std::unique_ptr<TFormMain>& form)
{
    form.reset();
    Application().ProcessMessages();
    Application().ClearTerminated();
    // The list's worker ends alone, before the simulator goes.
    while (!WorkersEnded())
        Sleep(5);
}

std::vector<TNtService*> RowServices(TFormMain& form)
{
    std::vector<TNtService*> services;
    for (int i = 0; i < form.List().Count(); ++i)
        services.push_back(form.ItemData(i)->Service);
    return services;
}

// The record refreshes one tick makes, without the window.
void RefreshRecords(const std::vector<TNtService*>& services)
{
    for (TNtService* service : services)
        TServiceListModel::RefreshQuietly(service);
}

void BenchSimulated()
{
    for (int count : {100, 500, 2000}) {
        TSimServiceControlManager sim;
        FillSim(sim, count);
        std::unique_ptr<TFormMain> form = ShowMainWindow(sim);
        if (form->List().Count() != count)
            throw Exception(Fmt(L"%d rows listed for %d services", {form->List().Count(), count}));
        TSCManager catalogue(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", sim);
        catalogue.Refresh(true);

        std::vector<double> rebuild, refresh, rebuildOwn;
        for (int i = 0; i < Rounds; ++i) {
            auto [rebuildMs, refreshMs] =
                TimePair(i, [&] { form->RebuildItems(true); }, [&] { catalogue.Refresh(true); });
            Application().ProcessMessages();
            rebuild.push_back(rebuildMs);
            refresh.push_back(refreshMs);
            rebuildOwn.push_back(1000.0 * (rebuildMs - refreshMs) / count);
        }

        // Ticks with nothing changed, then ticks after every service changed its state.
        std::vector<TNtService*> services = RowServices(*form);
        auto tickBody = [&] { UpdateNow(form->ServiceList().Model()); };
        auto recordsBody = [&] { RefreshRecords(services); };
        std::vector<double> tick, records, tickOwn, changedOwn;
        for (int i = 0; i < Rounds; ++i) {
            auto [tickMs, recordsMs] = TimePair(i, tickBody, recordsBody);
            tick.push_back(tickMs);
            records.push_back(recordsMs);
            tickOwn.push_back(1000.0 * (tickMs - recordsMs) / count);
        }
        for (int i = 0; i < Rounds; ++i) {
            for (int s = 0; s < count; ++s)
                sim.SetStatus(Fmt(L"BenchSvc%d", {s}), (s + i) % 2 ? SERVICE_RUNNING : SERVICE_STOPPED);
            auto [tickMs, recordsMs] = TimePair(i, tickBody, recordsBody);
            Application().ProcessMessages();
            changedOwn.push_back(1000.0 * (tickMs - recordsMs) / count);
        }
        // Messages per row: a rebuild, a tick with nothing changed, a tick after every change.
        double rebuildMessages = 1.0 * MessagesOf([&] { form->RebuildItems(true); }) / count;
        Application().ProcessMessages();
        services = RowServices(*form);
        double tickMessages = 1.0 * MessagesOf([&] { UpdateNow(form->ServiceList().Model()); }) / count;
        for (int s = 0; s < count; ++s)
            sim.SetStatus(Fmt(L"BenchSvc%d", {s}), s % 2 ? SERVICE_STOPPED : SERVICE_RUNNING);
        double changedMessages = 1.0 * MessagesOf([&] { UpdateNow(form->ServiceList().Model()); }) / count;
        CloseMainWindow(form);

        Print(Fmt(L"sim_rebuild_%d_ms", {count}), Median(rebuild));
        Print(Fmt(L"sim_catalogue_refresh_%d_ms", {count}), Median(refresh));
        Print(Fmt(L"sim_rebuild_own_us_per_row_%d", {count}), Median(rebuildOwn));
        Print(Fmt(L"sim_tick_%d_ms", {count}), Median(tick));
        Print(Fmt(L"sim_record_refreshes_%d_ms", {count}), Median(records));
        Print(Fmt(L"sim_tick_own_us_per_row_%d", {count}), Median(tickOwn));
        Print(Fmt(L"sim_changed_tick_own_us_per_row_%d", {count}), Median(changedOwn));
        Print(Fmt(L"sim_rebuild_messages_per_row_%d", {count}), rebuildMessages);
        Print(Fmt(L"sim_tick_messages_per_row_%d", {count}), tickMessages);
        Print(Fmt(L"sim_changed_tick_messages_per_row_%d", {count}), changedMessages);
        std::fflush(stdout);
    }
}

// The ERP's view over the counting manager: the SCM calls its first list build and its ticks
// make with 7 ERP services shown, beside none and 2000 other services (which it neither shows
// nor reads).
void BenchCalls()
{
    constexpr int shown = 7, hidden = 2000, ticks = 40;
    long long buildCalls[2] = {}, tickCalls[2] = {};
    for (int withHidden : {0, 1}) {
        TSimServiceControlManager sim;
        for (int i = 0; i < shown; ++i) {
            TSimService s = SimService(Fmt(L"SQLANYs_bench%d", {i}));
            s.State = i % 2 ? SERVICE_RUNNING : SERVICE_STOPPED;
            sim.AddService(s);
        }
        for (int i = 0; withHidden && i < hidden; ++i)
            sim.AddService(SimService(Fmt(L"Other%d", {i})));
        TCountingScm counting(sim);
        auto form = std::make_unique<TFormMain>(counting, false);
        form->Show();  // the first show builds the list
        KillTimer(form->Handle(), TFormMain::TimerUpdate);
        Application().ProcessMessages();
        if (form->List().Count() != shown)
            throw Exception(Fmt(L"%d rows shown for %d services", {form->List().Count(), shown}));
        buildCalls[withHidden] = counting.Calls;
        UpdateNow(form->ServiceList().Model());  // the worker's enumeration buffer takes its size
        const long long before = counting.Calls;
        for (int i = 0; i < ticks; ++i)
            UpdateNow(form->ServiceList().Model());
        tickCalls[withHidden] = counting.Calls - before;
        CloseMainWindow(form);
    }
    PrintCount(L"erp_view_rows_shown", shown);
    Print(L"scm_calls_per_hidden_service", 1.0 * (buildCalls[1] - buildCalls[0]) / hidden);
    Print(L"scm_calls_per_tick", 1.0 * tickCalls[1] / ticks);
    Print(L"scm_calls_per_tick_without_hidden", 1.0 * tickCalls[0] / ticks);
    std::fflush(stdout);
}

void BenchWine()
{
    const int count = 500;
    double start = NowMs();
    BenchServices registered(count);
    Print(L"wine_register_500_ms", NowMs() - start);

    std::unique_ptr<TFormMain> form = ShowMainWindow(SystemServiceControlManager());
    std::vector<std::wstring> names;
    for (TNtService* service : RowServices(*form))
        names.push_back(service->ServiceName());
    PrintCount(L"wine_rows_listed", static_cast<int>(names.size()));

    IServiceControlManager& scm = SystemServiceControlManager();
    std::vector<BYTE> buffer;
    auto barePass = [&] {
        for (const std::wstring& name : names)
            BareRecordReads(scm, registered.Manager(), name.c_str(), buffer);
    };
    // A tick refreshes rows for about 200 ms and the next goes on where it stopped: a pass over
    // every row takes as many ticks as it needs (the last may refresh a few rows a second time,
    // which the per-row comparison takes into account).
    const int rows = static_cast<int>(names.size());
    int refreshed = 0, ticks = 0;
    auto tickPass = [&] {
        refreshed = ticks = 0;
        while (refreshed < rows) {
            refreshed += UpdateNow(form->ServiceList().Model());
            ++ticks;
        }
    };
    barePass();  // warm up both
    tickPass();

    std::vector<double> bare, pass, ticksPerPass, ratio;
    for (int i = 0; i < WineRounds; ++i) {
        auto [passMs, bareMs] = TimePair(i, tickPass, barePass);
        bare.push_back(bareMs);
        pass.push_back(passMs);
        ticksPerPass.push_back(ticks);
        ratio.push_back((passMs / refreshed) / (bareMs / rows));
    }
    CloseMainWindow(form);

    Print(L"wine_bare_pass_ms", Median(bare));
    Print(L"wine_timer_ticks_pass_ms", Median(pass));
    Print(L"wine_timer_ticks_per_pass", Median(ticksPerPass));
    Print(L"ratio timer_tick", Median(ratio));
}

}  // namespace

int main()
{
    return RunBenchmark([] {
        Application().Initialize();
        BenchCalls();
        BenchSimulated();
        BenchWine();
    });
}
