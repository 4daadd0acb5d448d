// What the benchmark programs share: the clock, repeated timings, the bare SCM calls of one
// record's refresh, the simulated manager's bench services, services registered in the real
// manager for a run, and the printing of figures as `<name> <value>` lines.
#pragma once

#include "services/forwarding_scm.h"
#include "tests/sim_scm/sim_scm.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Milliseconds from the performance counter.
double NowMs();
// The time body takes, in milliseconds.
double TimeMs(const std::function<void()>& body);
// The smallest of `runs` timings of body, in milliseconds.
double BestOf(int runs, const std::function<void()>& body);
// The middle value (the mean of the two middle ones for an even count); 0 for none.
double Median(std::vector<double> values);

// One record's reads, as a record's own refresh makes them, without keeping anything:
// OpenServiceW with query access, the description (UTF-16), the status (unless withStatus is
// false: a full refresh takes it from the enumeration), the configuration, CloseServiceHandle.
void BareRecordReads(IServiceControlManager& scm, SC_HANDLE manager, const wchar_t* name, std::vector<BYTE>& buffer,
                     bool withStatus = true);

// The SCM calls the catalogue's full refresh makes, in a bare loop: the enumeration, and every
// record read once as it arrives, its status taken from the enumeration.
void BareFullRefresh(IServiceControlManager& scm, SC_HANDLE manager);
// The same calls with the records read by `connections` threads at once, each through a
// connection of its own, taking the next service as it ends one (as the list fills in).
void BareFullRefreshAtOnce(IServiceControlManager& scm, SC_HANDLE manager, int connections);
// The calls of the earlier full refresh that read every record twice: the enumeration, every
// record read with its status as it arrives, then every record read again.
void BareTwoPassRefresh(IServiceControlManager& scm, SC_HANDLE manager);

// A manager interface that counts the calls passed on to another one.
class TCountingScm final : public TForwardingScm {
public:
    using TForwardingScm::TForwardingScm;
    long long Calls = 0;

protected:
    void Passing() override { ++Calls; }
};

// `count` services named BenchSvc<i>, with descriptions, groups and dependencies (some on
// services listed later), a third of them running. Their display names begin with
// "Talvora ERP" (so the main window lists them) and are not in the order of the names.
void FillSim(TSimServiceControlManager& sim, int count);

// `count` services in the real manager for the run, removed when it ends (also after a failure).
// Their display names are their names, or displayPrefix followed by their index.
class BenchServices {
public:
    explicit BenchServices(int count, const std::wstring& displayPrefix = L"");
    ~BenchServices();
    BenchServices(const BenchServices&) = delete;
    BenchServices& operator=(const BenchServices&) = delete;

    SC_HANDLE Manager() const { return FManager.get(); }

private:
    void RemoveAll();

    UniqueScHandleOf FManager;
    std::vector<std::wstring> FNames;
};

void Print(const std::wstring& label, double value);
void PrintCount(const std::wstring& label, int value);

// A benchmark program's body: the exit code, 1 with the failure on stderr when it raises.
int RunBenchmark(const std::function<void()>& body);
