// The catalogue's full refresh, timed: over the simulated manager with 100, 500 and 2000
// services (the catalogue's own cost per service beside a bare loop of the same calls), and over
// Wine's manager with 500 services registered for the run, against a bare loop of the same SCM
// calls in the same run. Prints one line per figure; the last is
//   ratio catalogue_refresh <catalogue time / bare loop time>
// Run it through ./bench.sh, which gives it a throwaway Wine prefix.
#include "common/errors.h"
#include "common/format.h"
#include "services/service_catalogue.h"
#include "tests/sim_scm/sim_scm.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The smallest of `runs` timings of body, in milliseconds.
double BestOf(int runs, const std::function<void()>& body)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        double start = NowMs();
        body();
        best = std::min(best, NowMs() - start);
    }
    return best;
}

// One record's reads, as a refresh makes them, without keeping anything.
void BareRecordReads(IServiceControlManager& scm, SC_HANDLE manager, const wchar_t* name, std::vector<BYTE>& buffer)
{
    SC_HANDLE service = scm.OpenServiceW(manager, name, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS);
    if (!service)
        return;
    DWORD needed = 0;
    buffer.resize(4096);
    if (!scm.QueryServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, buffer.data(), 4096, &needed) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.resize(needed);
        scm.QueryServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, buffer.data(), needed, &needed);
    }
    SERVICE_STATUS status{};
    scm.QueryServiceStatus(service, &status);
    buffer.resize(4096);
    if (!scm.QueryServiceConfigW(service, reinterpret_cast<LPQUERY_SERVICE_CONFIGW>(buffer.data()), 4096, &needed) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.resize(needed);
        scm.QueryServiceConfigW(service, reinterpret_cast<LPQUERY_SERVICE_CONFIGW>(buffer.data()), needed, &needed);
    }
    scm.CloseServiceHandle(service);
}

// A full refresh's SCM calls in a bare loop: the enumeration, every record read as it arrives,
// then every record read again.
void BareRefresh(IServiceControlManager& scm, SC_HANDLE manager)
{
    std::vector<BYTE> enumBuffer, recordBuffer;
    std::vector<std::wstring> names;
    DWORD resume = 0;
    for (;;) {
        DWORD needed = 0, returned = 0;
        BOOL ok = scm.EnumServicesStatusW(manager, 0x13F, SERVICE_STATE_ALL,
                                          enumBuffer.empty() ? nullptr
                                                             : reinterpret_cast<LPENUM_SERVICE_STATUSW>(enumBuffer.data()),
                                          static_cast<DWORD>(enumBuffer.size()), &needed, &returned, &resume);
        DWORD error = GetLastError();
        auto* records = reinterpret_cast<ENUM_SERVICE_STATUSW*>(enumBuffer.data());
        for (DWORD i = 0; i < returned; ++i) {
            names.emplace_back(records[i].lpServiceName);
            BareRecordReads(scm, manager, records[i].lpServiceName, recordBuffer);
        }
        if (ok || error != ERROR_MORE_DATA)
            break;
        enumBuffer.assign(needed, 0);
    }
    for (const std::wstring& name : names)
        BareRecordReads(scm, manager, name.c_str(), recordBuffer);
}

void Print(const std::wstring& label, double value) { std::printf("%s %.3f\n", ToUtf8(label).c_str(), value); }
void PrintCount(const std::wstring& label, int value) { std::printf("%s %d\n", ToUtf8(label).c_str(), value); }

// Services with descriptions, groups and dependencies, some on services listed later.
void FillSim(TSimServiceControlManager& sim, int count)
{
    static const wchar_t* groups[] = {L"", L"TDI", L"Talvora", L"Databases"};
    for (int i = 0; i < count; ++i) {
        TSimService s;
        s.Name = Fmt(L"BenchSvc%d", {i});
        s.DisplayName = Fmt(L"Bench service number %d", {i});
        s.Description = Fmt(L"Description of the bench service number %d, long enough to be a real one.", {i});
        s.LoadOrderGroup = groups[i % 4];
        s.Dependencies = {Fmt(L"BenchSvc%d", {(i * 7 + 3) % count}), Fmt(L"BenchSvc%d", {(i + 1) % count})};
        s.State = i % 3 ? SERVICE_STOPPED : SERVICE_RUNNING;
        sim.AddService(s);
    }
}

void BenchSimulated()
{
    for (int count : {100, 500, 2000}) {
        TSimServiceControlManager sim;
        FillSim(sim, count);
        TSCManager manager(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", sim);
        manager.Refresh(true);  // warm up
        double catalogue = BestOf(5, [&] { manager.Refresh(true); });
        SC_HANDLE h = sim.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        double bare = BestOf(5, [&] { BareRefresh(sim, h); });
        sim.CloseServiceHandle(h);
        Print(Fmt(L"sim_refresh_%d_ms", {count}), catalogue);
        Print(Fmt(L"sim_bare_loop_%d_ms", {count}), bare);
        Print(Fmt(L"sim_catalogue_own_us_per_service_%d", {count}), 1000.0 * (catalogue - bare) / count);
    }
}

// 500 services in Wine's manager for the run, removed afterwards (also after a failure).
class BenchServices {
public:
    explicit BenchServices(int count)
    {
        IServiceControlManager& scm = SystemServiceControlManager();
        FManager = scm.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (!FManager)
            RaiseLastOSError();
        for (int i = 0; i < count; ++i) {
            std::wstring name = Fmt(L"SmBench%d_%d", {static_cast<int>(GetCurrentProcessId()), i});
            std::wstring path = Fmt(L"C:\\Talvora\\bench\\server%d.exe -n %d", {i, i});
            SC_HANDLE h = scm.CreateServiceW(FManager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                             path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
            if (!h)
                RaiseLastOSError();
            std::wstring text = L"Bench service " + name;
            SERVICE_DESCRIPTIONW info{text.data()};
            scm.ChangeServiceConfig2W(h, SERVICE_CONFIG_DESCRIPTION, &info);
            FNames.push_back(name);
            scm.CloseServiceHandle(h);
        }
    }
    ~BenchServices()
    {
        IServiceControlManager& scm = SystemServiceControlManager();
        for (const std::wstring& name : FNames) {
            if (SC_HANDLE h = scm.OpenServiceW(FManager, name.c_str(), DELETE)) {
                scm.DeleteService(h);
                scm.CloseServiceHandle(h);
            }
        }
        scm.CloseServiceHandle(FManager);
    }
    SC_HANDLE Manager() const { return FManager; }

private:
    SC_HANDLE FManager = nullptr;
    std::vector<std::wstring> FNames;
};

void BenchWine()
{
    const int count = 500;
    double start = NowMs();
    BenchServices services(count);
    Print(L"wine_register_500_ms", NowMs() - start);

    IServiceControlManager& scm = SystemServiceControlManager();
    TSCManager manager(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", scm);
    manager.Refresh(true);  // warm up both paths
    BareRefresh(scm, services.Manager());
    PrintCount(L"wine_services_listed", manager.ServiceCount());

    // Alternated, so that both see the same machine; the best of each counts.
    double catalogue = 1e300, bare = 1e300;
    for (int i = 0; i < 5; ++i) {
        bare = std::min(bare, BestOf(1, [&] { BareRefresh(scm, services.Manager()); }));
        catalogue = std::min(catalogue, BestOf(1, [&] { manager.Refresh(true); }));
    }
    Print(L"wine_bare_loop_ms", bare);
    Print(L"wine_catalogue_refresh_ms", catalogue);
    Print(L"ratio catalogue_refresh", catalogue / bare);
}

}  // namespace

int main()
{
    try {
        BenchSimulated();
        BenchWine();
        return 0;
    } catch (...) {
        std::fprintf(stderr, "bench failed: %s\n", ToUtf8(CurrentExceptionMessage()).c_str());
        return 1;
    }
}
