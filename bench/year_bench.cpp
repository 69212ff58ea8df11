// The year model for twelve full months: twelve named items with amounts on
// every day, read from their files each time.
#include "ledger/cp932.h"
#include "ledger/text_file.h"
#include "ledger/year_model.h"
#include "storage/disk_store.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>

namespace {
// The disk the benchmarks below work on.
DiskStore disk;
} // namespace

namespace {

void BM_YearModel(benchmark::State& state) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zadud-year-bench";
    std::filesystem::create_directories(dir);
    MonthLedger l;
    for (int i = 1; i <= ShownItems; ++i) {
        l.Items[i].Name = utf8ToCp932("項目" + std::to_string(i));
        for (int d = 1; d <= 31; ++d)
            l.Items[i].Days[d] = {d * 1000 + i, d * 10 + i};
    }
    for (int m = 1; m <= 12; ++m)
        disk.writeSafely((dir / monthFileName(1996, m)).string(), formatMonth(l));
    disk.writeSafely((dir / monthFileName(1995, 12)).string(), formatMonth(l));
    for (auto _ : state)
        benchmark::DoNotOptimize(buildYearModel(disk, l, dir.string(), 1996).totalNet);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_YearModel)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace
