// The month file: load in both modes, formatting, and the save with and
// without its flushes, for twelve named items with every day filled.
#include "ledger/cp932.h"
#include "ledger/month_ledger.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {
// The disk the benchmarks below work on.
DiskStore disk;
} // namespace

namespace {

MonthLedger fullMonth() {
    MonthLedger l;
    for (int i = 1; i <= ShownItems; ++i) {
        l.Items[i].Name = utf8ToCp932("項目" + std::to_string(i));
        l.CarryOver[i] = 1000 * i;
        for (int d = 1; d <= 31; ++d)
            l.Items[i].Days[d] = {d * 100 + i, d * 10 + i};
    }
    return l;
}

// A folder of its own holding December 1996 and November 1996, removed at the end.
struct MonthFolder {
    std::string path;
    MonthFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zadudbenchXXXXXX").string();
        path = ::mkdtemp(pattern.data());
        saveMonthFile(disk, fullMonth(), path, 1996, 11);
        saveMonthFile(disk, fullMonth(), path, 1996, 12);
    }
    ~MonthFolder() { std::filesystem::remove_all(path); }
};

void BM_MonthLoad(benchmark::State& state) {
    const MonthFolder folder;
    MonthLedger l = fullMonth();
    const auto mode = static_cast<LoadMode>(state.range(0));
    // The main window's current-month load also keeps the file's stamp.
    FileStamp stamp;
    FileStamp* keep = mode == LoadMode::Current ? &stamp : nullptr;
    for (auto _ : state) {
        loadMonthFile(disk, l, folder.path, 1996, 12, mode, nullptr, keep);
        benchmark::DoNotOptimize(l);
    }
}
BENCHMARK(BM_MonthLoad)
    ->ArgName("previous")
    ->Arg(0)
    ->Arg(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_MonthFormat(benchmark::State& state) {
    const MonthLedger l = fullMonth();
    for (auto _ : state) {
        std::string bytes = formatMonth(l);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_MonthFormat)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_MonthSave(benchmark::State& state) {
    const MonthFolder folder;
    const MonthLedger l = fullMonth();
    if (!state.range(0)) disk.setSync([](int) { return 0; });
    for (auto _ : state)
        saveMonthFile(disk, l, folder.path, 1996, 12);
    disk.setSync(nullptr);
}
BENCHMARK(BM_MonthSave)
    ->ArgName("flushed")
    ->Arg(1)
    ->Arg(0)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

} // namespace
