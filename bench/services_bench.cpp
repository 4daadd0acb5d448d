// The catalogue's full refresh: its SCM calls per service counted, beside those of the earlier
// refresh that read every record twice; timed over the simulated manager with 100, 500 and
// 2000 services (the catalogue's own cost per service beside a bare loop of the same calls), and
// over Wine's manager with 500 services registered for the run, against bare loops of the same
// calls and of the two-pass calls in the same run. Prints one line per figure; the last are
//   ratio catalogue_refresh <catalogue time / bare loop of its calls>
//   ratio catalogue_refresh_vs_two_pass <catalogue time / bare loop of the two-pass calls>
// Run it through ./bench.sh, which gives it a throwaway Wine prefix.
#include "bench/bench_support.h"
#include "common/errors.h"
#include "common/format.h"
#include "services/sc_manager.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// Counted, not timed: free of the machine's noise.
void CountCalls()
{
    const int count = 500;
    TSimServiceControlManager sim;
    FillSim(sim, count);
    TCountingScm counting(sim);
    TSCManager manager(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", counting);
    manager.Active(true);
    counting.Calls = 0;
    manager.Refresh(true);
    Print(L"scm_calls_per_service_catalogue", 1.0 * static_cast<double>(counting.Calls) / count);
    UniqueScHandleOf bareManager(sim, sim.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    counting.Calls = 0;
    BareTwoPassRefresh(counting, bareManager.get());
    Print(L"scm_calls_per_service_two_pass", 1.0 * static_cast<double>(counting.Calls) / count);
}

void BenchSimulated()
{
    for (int count : {100, 500, 2000}) {
        TSimServiceControlManager sim;
        FillSim(sim, count);
        TSCManager manager(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", sim);
        manager.Refresh(true);  // warm up
        double catalogue = BestOf(5, [&] { manager.Refresh(true); });
        UniqueScHandleOf bareManager(sim, sim.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        double bare = BestOf(5, [&] { BareFullRefresh(sim, bareManager.get()); });
        bareManager.reset();
        Print(Fmt(L"sim_refresh_%d_ms", {count}), catalogue);
        Print(Fmt(L"sim_bare_loop_%d_ms", {count}), bare);
        Print(Fmt(L"sim_catalogue_own_us_per_service_%d", {count}), 1000.0 * (catalogue - bare) / count);
    }
}

void BenchWine()
{
    const int count = 500;
    double start = NowMs();
    BenchServices services(count);
    Print(L"wine_register_500_ms", NowMs() - start);

    IServiceControlManager& scm = SystemServiceControlManager();
    TSCManager manager(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", scm);
    manager.Refresh(true);  // warm up both paths
    BareFullRefresh(scm, services.Manager());
    PrintCount(L"wine_services_listed", manager.ServiceCount());

    // Alternated, so that all three see the same machine; the best of each counts.
    double catalogue = 1e300, bare = 1e300, twoPass = 1e300;
    for (int i = 0; i < 5; ++i) {
        bare = std::min(bare, BestOf(1, [&] { BareFullRefresh(scm, services.Manager()); }));
        catalogue = std::min(catalogue, BestOf(1, [&] { manager.Refresh(true); }));
        twoPass = std::min(twoPass, BestOf(1, [&] { BareTwoPassRefresh(scm, services.Manager()); }));
    }
    Print(L"wine_bare_loop_ms", bare);
    Print(L"wine_two_pass_loop_ms", twoPass);
    Print(L"wine_catalogue_refresh_ms", catalogue);
    Print(L"ratio catalogue_refresh", catalogue / bare);
    Print(L"ratio catalogue_refresh_vs_two_pass", catalogue / twoPass);
}

}  // namespace

int main()
{
    return RunBenchmark([] {
        CountCalls();
        BenchSimulated();
        BenchWine();
    });
}
