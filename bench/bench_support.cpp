#include "bench/bench_support.h"

#include "common/errors.h"
#include "common/format.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

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

double TimeMs(const std::function<void()>& body)
{
    double start = NowMs();
    body();
    return NowMs() - start;
}

double BestOf(int runs, const std::function<void()>& body)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, TimeMs(body));
    return best;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void BareRecordReads(IServiceControlManager& scm, SC_HANDLE manager, const wchar_t* name, std::vector<BYTE>& buffer,
                     bool withStatus)
{
    UniqueScHandleOf owner(scm, scm.OpenServiceW(manager, name, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    if (!owner)
        return;
    SC_HANDLE service = owner.get();
    DWORD needed = 0;
    buffer.resize(4096);
    if (!scm.QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, buffer.data(), 4096, &needed) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.resize(needed);
        scm.QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, buffer.data(), needed, &needed);
    }
    if (withStatus) {
        SERVICE_STATUS status{};
        scm.QueryServiceStatus(service, &status);
    }
    buffer.resize(4096);
    if (!scm.QueryServiceConfigW(service, reinterpret_cast<LPQUERY_SERVICE_CONFIGW>(buffer.data()), 4096, &needed) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.resize(needed);
        scm.QueryServiceConfigW(service, reinterpret_cast<LPQUERY_SERVICE_CONFIGW>(buffer.data()), needed, &needed);
    }
}  // the handle is closed here, as the bare sequence ends

namespace {
// The enumeration, with read(name) for every service as it arrives; returns the names.
template <typename Read>
std::vector<std::wstring> BareEnumeration(IServiceControlManager& scm, SC_HANDLE manager, Read&& read)
{
    std::vector<BYTE> enumBuffer;
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
            read(records[i].lpServiceName);
        }
        if (ok || error != ERROR_MORE_DATA)
            break;
        enumBuffer.assign(needed, 0);
    }
    return names;
}
}  // namespace

void BareFullRefresh(IServiceControlManager& scm, SC_HANDLE manager)
{
    std::vector<BYTE> recordBuffer;
    BareEnumeration(scm, manager, [&](const wchar_t* name) { BareRecordReads(scm, manager, name, recordBuffer, false); });
}

void BareFullRefreshAtOnce(IServiceControlManager& scm, SC_HANDLE manager, int connections)
{
    const std::vector<std::wstring> names = BareEnumeration(scm, manager, [](const wchar_t*) {});
    std::atomic<size_t> next{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < connections; ++i)
        readers.emplace_back([&] {
            UniqueScHandleOf own(scm, scm.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
            std::vector<BYTE> recordBuffer;
            for (size_t at; own && (at = next++) < names.size();)
                BareRecordReads(scm, own.get(), names[at].c_str(), recordBuffer, false);
        });
    for (std::thread& reader : readers)
        reader.join();
}

void BareTwoPassRefresh(IServiceControlManager& scm, SC_HANDLE manager)
{
    std::vector<BYTE> recordBuffer;
    const std::vector<std::wstring> names =
        BareEnumeration(scm, manager, [&](const wchar_t* name) { BareRecordReads(scm, manager, name, recordBuffer); });
    for (const std::wstring& name : names)
        BareRecordReads(scm, manager, name.c_str(), recordBuffer);
}

void FillSim(TSimServiceControlManager& sim, int count)
{
    static const wchar_t* groups[] = {L"", L"TDI", L"Talvora", L"Databases"};
    for (int i = 0; i < count; ++i) {
        TSimService s;
        s.Name = Fmt(L"BenchSvc%d", {i});
        // 7919 is a prime: the numbers are a permutation of 0..count-1 in another order.
        s.DisplayName = Fmt(L"Talvora ERP bench service %d", {static_cast<int>((i * 7919LL) % count)});
        s.Description = Fmt(L"Description of the bench service number %d, long enough to be a real one.", {i});
        s.LoadOrderGroup = groups[i % 4];
        s.Dependencies = {Fmt(L"BenchSvc%d", {(i * 7 + 3) % count}), Fmt(L"BenchSvc%d", {(i + 1) % count})};
        s.State = i % 3 ? SERVICE_STOPPED : SERVICE_RUNNING;
        sim.AddService(s);
    }
}

BenchServices::BenchServices(int count, const std::wstring& displayPrefix)
{
    static int made = 0;  // names stay apart across the sets of one run
    IServiceControlManager& scm = SystemServiceControlManager();
    FManager = UniqueScHandleOf(scm, scm.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!FManager)
        RaiseLastOSError();
    try {
        for (int i = 0; i < count; ++i) {
            std::wstring name = Fmt(L"SmBench%d_%d", {static_cast<int>(GetCurrentProcessId()), made++});
            std::wstring path = Fmt(L"C:\\Talvora\\bench\\server%d.exe -n %d", {i, i});
            std::wstring display = displayPrefix.empty() ? name : displayPrefix + std::to_wstring(i);
            UniqueScHandleOf service(scm, scm.CreateServiceW(FManager.get(), name.c_str(), display.c_str(),
                                                             SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                                             SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, path.c_str(),
                                                             nullptr, nullptr, nullptr, nullptr, nullptr));
            if (!service)
                RaiseLastOSError();
            FNames.push_back(name);
            std::wstring text = L"Bench service " + name;
            SERVICE_DESCRIPTIONW info{text.data()};
            scm.ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &info);
        }
    } catch (...) {
        RemoveAll();  // the destructor does not run for a constructor that throws
        throw;
    }
}

BenchServices::~BenchServices() { RemoveAll(); }

void BenchServices::RemoveAll()
{
    IServiceControlManager& scm = SystemServiceControlManager();
    for (const std::wstring& name : FNames) {
        if (UniqueScHandleOf service{scm, scm.OpenServiceW(FManager.get(), name.c_str(), DELETE)})
            scm.DeleteService(service.get());
    }
    FNames.clear();
    FManager.reset();
}

void Print(const std::wstring& label, double value) { std::printf("%s %.3f\n", ToUtf8(label).c_str(), value); }
void PrintCount(const std::wstring& label, int value) { std::printf("%s %d\n", ToUtf8(label).c_str(), value); }

int RunBenchmark(const std::function<void()>& body)
{
    try {
        body();
        return 0;
    } catch (...) {
        std::fprintf(stderr, "bench failed: %s\n", ToUtf8(CurrentExceptionMessage()).c_str());
        return 1;
    }
}
