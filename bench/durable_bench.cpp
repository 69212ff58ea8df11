// A typed amount made durable, the two ways it could be: the journal's flush
// alone (the month file is written when the month is left, the window closes
// or the session ends, and a start after a kill finishes it from the
// journal), or that flush and the month file saved at once.
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

struct Folder {
    std::string path;
    Folder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zaduddurableXXXXXX").string();
        path = ::mkdtemp(pattern.data());
        std::ofstream(path + "/ZADUD.CFG", std::ios::binary)
            << utf8ToCp932("kamo1=食費\r\nkamo2=住居費\r\nkamo3=光熱費\r\n");
    }
    ~Folder() { std::filesystem::remove_all(path); }
};

void typed(benchmark::State& state, bool saveAtOnce) {
    const Folder folder;
    Book book(folder.path, disk, fixedStamp);
    book.readConfiguration(isDirectory, isDirectory);
    book.setShown({2026, 12});
    book.loadMonths();
    int flushes = 0;
    disk.setSync([&flushes](int fd) {
        ++flushes;
        return ::fsync(fd);
    });
    int32_t v = 0;
    for (auto _ : state) {
        ++v;
        book.setAmount({2026, 12}, 1 + v % 3, 1 + v % 28, AmountField::Expense, v,
                       ChangeSource::Typed);
        if (saveAtOnce) book.saveMonth();
    }
    state.counters["flushes"] = benchmark::Counter(flushes, benchmark::Counter::kAvgIterations);
    disk.setSync({});
}

void BM_TypedJournalOnly(benchmark::State& state) {
    typed(state, false);
}
BENCHMARK(BM_TypedJournalOnly)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_TypedJournalAndMonthSave(benchmark::State& state) {
    typed(state, true);
}
BENCHMARK(BM_TypedJournalAndMonthSave)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace
