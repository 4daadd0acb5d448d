// The properties dialog's costs, timed:
//  - its opening for an installed service (created, loaded, destroyed) with 100, 500 and 2000
//    services in the catalogue of the simulated manager, and the cost each listed service adds
//    (the Depends on list holds them all), which should stay flat as the count grows;
//  - the executable search over one folder of 100, 1000 and 10000 matching files, against a
//    bare FindFirstFileW/FindNextFileW loop over the same folder. The last line is
//      ratio candidate_search <search time / bare loop time at 10000 files>
// Run it through ./bench.sh, which gives it a throwaway Wine prefix and a virtual display.
#include "bench/bench_support.h"
#include "common/format.h"
#include "common/handle.h"
#include "erp/executables.h"
#include "services/sc_manager.h"
#include "ui/base/application.h"
#include "ui/base/window.h"
#include "ui/props/form_props.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {
class TBackgroundForm : public TWindow {
public:
    TBackgroundForm()
    {
        CreateForm({.ClassName = L"TPropsBenchMain", .Caption = L"bench", .ClientWidth = 100, .ClientHeight = 100});
    }
};

// A catalogue of count services on the simulated manager, and the dialog's opening for its
// first service: created, loaded, destroyed.
class TDialogOpening {
public:
    explicit TDialogOpening(int count)
    {
        FillSim(FSim, count);
        FCatalogue = std::make_unique<TSCManager>(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", FSim);
        FCatalogue->Refresh(true);
        Time();  // warm up
    }

    double Time()
    {
        return TimeMs([this] {
            TFormProps form(*FCatalogue, FCatalogue->GetService(0), etUnknown);
            form.LoadService();
        });
    }

private:
    TSimServiceControlManager FSim;
    std::unique_ptr<TSCManager> FCatalogue;
};

// Medians of seven rounds, each timing the one-service opening and the count's, in alternating
// order; what each listed service adds is their difference divided by the services added.
void BenchDialog()
{
    TDialogOpening single(1);
    for (int count : {100, 500, 2000}) {
        TDialogOpening many(count);
        std::vector<double> base, open;
        for (int round = 0; round < 7; ++round) {
            if (round % 2) {
                open.push_back(many.Time());
                base.push_back(single.Time());
            } else {
                base.push_back(single.Time());
                open.push_back(many.Time());
            }
        }
        const double b = Median(base), o = Median(open);
        Print(Fmt(L"sim_props_open_1_ms_beside_%d", {count}), b);
        Print(Fmt(L"sim_props_open_%d_ms", {count}), o);
        Print(Fmt(L"sim_props_own_us_per_service_%d", {count}), 1000.0 * (o - b) / (count - 1));
    }
}

// A folder of count files that all match "dbsrv*.exe", made for the run and removed after it.
class TBenchFolder {
public:
    explicit TBenchFolder(int count)
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        FPath = Fmt(L"%sprops_bench_%u_%d", {std::wstring(temp), GetCurrentProcessId(), count});
        CreateDirectoryW(FPath.c_str(), nullptr);
        for (int i = 0; i < count; ++i) {
            // Names out of order, as a folder's listing gives them.
            std::wstring name = FPath + Fmt(L"\\dbsrv%d.exe", {(i * 7919) % count});
            UniqueFileHandle file(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file)
                FFiles.push_back(name);
        }
    }
    ~TBenchFolder()
    {
        for (const auto& f : FFiles)
            DeleteFileW(f.c_str());
        RemoveDirectoryW(FPath.c_str());
    }
    TBenchFolder(const TBenchFolder&) = delete;
    TBenchFolder& operator=(const TBenchFolder&) = delete;

    const std::wstring& Path() const { return FPath; }

private:
    std::wstring FPath;
    std::vector<std::wstring> FFiles;
};

int BareSearch(const std::wstring& folder)
{
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\dbsrv*.exe").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

double BenchSearch()
{
    double ratio = 0;
    for (int count : {100, 1000, 10000}) {
        TBenchFolder folder(count);
        int candidates = 0, bareCount = 0;
        auto search = [&] {
            TStringList list = NewPathList();
            FindExecutables(L"dbsrv*.exe", folder.Path(), list);
            candidates = list.Count();
        };
        auto bare = [&] { bareCount = BareSearch(folder.Path()); };
        search();
        bare();
        // Alternated, so that both see the same machine; the best of each counts.
        double searchMs = 1e300, bareMs = 1e300;
        for (int round = 0; round < 5; ++round) {
            searchMs = std::min(searchMs, TimeMs(search));
            bareMs = std::min(bareMs, TimeMs(bare));
        }
        PrintCount(Fmt(L"candidates_%d", {count}), candidates);
        Print(Fmt(L"candidate_search_%d_ms", {count}), searchMs);
        Print(Fmt(L"bare_find_loop_%d_ms", {count}), bareMs);
        if (candidates != bareCount)
            std::fprintf(stderr, "candidate count %d differs from the bare loop's %d\n", candidates, bareCount);
        ratio = searchMs / bareMs;
    }
    return ratio;
}
}  // namespace

int main()
{
    Application().Initialize();
    TBackgroundForm background;
    BenchDialog();
    const double ratio = BenchSearch();
    std::printf("ratio candidate_search %.3f\n", ratio);
    return 0;
}
