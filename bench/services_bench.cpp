// The catalogue's full refresh, timed: over the simulated manager with 100, 500 and 2000
// services (the catalogue's own cost per service beside a bare loop of the same calls), and over
// Wine's manager with 500 services registered for the run, against a bare loop of the same SCM
// calls in the same run. Prints one line per figure; the last is
//   ratio catalogue_refresh <catalogue time / bare loop time>
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

    // Alternated, so that both see the same machine; the best of each counts.
    double catalogue = 1e300, bare = 1e300;
    for (int i = 0; i < 5; ++i) {
        bare = std::min(bare, BestOf(1, [&] { BareFullRefresh(scm, services.Manager()); }));
        catalogue = std::min(catalogue, BestOf(1, [&] { manager.Refresh(true); }));
    }
    Print(L"wine_bare_loop_ms", bare);
    Print(L"wine_catalogue_refresh_ms", catalogue);
    Print(L"ratio catalogue_refresh", catalogue / bare);
}

}  // namespace

int main()
{
    return RunBenchmark([] {
        BenchSimulated();
        BenchWine();
    });
}
