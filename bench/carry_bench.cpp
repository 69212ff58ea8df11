// A change of a month with twelve later month files: the book carries the
// new balance into every one of them within the change's step (each later
// file read, its totals rewritten and saved, the month typed in saved too).
#include "ledger/book.h"
#include "ledger/cp932.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {
// The disk the benchmarks below work on.
DiskStore disk;
std::string fixedStamp() {
    return "2026-12-24T10:00:00";
}
} // namespace

namespace {

void BM_CarryThroughTwelveMonths(benchmark::State& state) {
    std::string pattern = (std::filesystem::temp_directory_path() / "zadudcarryXXXXXX").string();
    const std::string dir = ::mkdtemp(pattern.data());
    std::ofstream(dir + "/ZADUD.CFG", std::ios::binary)
        << utf8ToCp932("kamo1=食費\r\nkamo2=住居費\r\nkamo3=給与\r\n");
    Book book(dir, disk, fixedStamp);
    book.readConfiguration(isDirectory, isDirectory);
    for (int k = 0; k <= 12; ++k) {
        const MonthKey m{2026 + k / 12, k % 12 + 1};
        book.moveTo(m);
        for (int d = 1; d <= 28; ++d)
            book.setAmount(m, 1, d, AmountField::Expense, 1000 + d, ChangeSource::Typed);
        book.setAmount(m, 3, 25, AmountField::Income, 300000, ChangeSource::Typed);
    }
    // Typing in January 2026, the month shown: February to next January follow.
    book.moveTo({2026, 1});
    // flushed 0: the book's own work; 1: each of the fourteen files and the
    // journal also waits for the disk.
    if (!state.range(0)) disk.setSync([](int) { return 0; });
    int32_t value = 0;
    for (auto _ : state)
        book.setAmount({2026, 1}, 2, 27, AmountField::Expense, ++value, ChangeSource::Typed);
    disk.setSync(nullptr);
    const MonthLedger last = book.month({2027, 1});
    if (last.CarryOver[2] != -value) state.SkipWithError("the balance did not arrive");
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CarryThroughTwelveMonths)
    ->ArgName("flushed")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
