// The change door: one journal append, and undo and redo of one change of
// the month in memory (the month file itself is saved later, when the month
// is left). Both flush the journal once; the counter says how often.
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

struct BookFolder {
    std::string path;
    BookFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zadudbookXXXXXX").string();
        path = ::mkdtemp(pattern.data());
        std::ofstream(path + "/ZADUD.CFG", std::ios::binary) << utf8ToCp932("kamo1=食費\r\n");
    }
    ~BookFolder() { std::filesystem::remove_all(path); }
};

int g_flushes = 0;

void countFlushes() {
    g_flushes = 0;
    disk.setSync([](int fd) {
        ++g_flushes;
        return ::fsync(fd);
    });
}

void BM_JournalAppend(benchmark::State& state) {
    const BookFolder folder;
    ChangeJournal journal{disk};
    journal.open(folder.path + "/" + JournalFileName);
    JournalRecord r;
    r.time = "2026-12-24T10:00:00";
    r.month = {2026, 12};
    r.day = 24;
    r.item = utf8ToCp932("食費");
    r.field = AmountField::Expense;
    countFlushes();
    for (auto _ : state) {
        r.group = journal.nextGroup();
        ++r.newValue;
        journal.append({r});
    }
    state.counters["flushes"] = benchmark::Counter(g_flushes, benchmark::Counter::kAvgIterations);
    disk.setSync({});
}
BENCHMARK(BM_JournalAppend)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_UndoRedo(benchmark::State& state) {
    const BookFolder folder;
    Book book(folder.path, disk, fixedStamp);
    book.readConfiguration(isDirectory, isDirectory);
    book.setShown({2026, 12});
    book.loadMonths();
    book.setAmount({2026, 12}, 1, 24, AmountField::Expense, 3480, ChangeSource::Typed);
    const bool undo = state.range(0) == 0;
    if (!undo) book.undo();
    countFlushes();
    for (auto _ : state) {
        // Each timed step is followed by its opposite, untimed.
        if (undo) {
            book.undo();
            state.PauseTiming();
            book.redo();
            state.ResumeTiming();
        } else {
            book.redo();
            state.PauseTiming();
            book.undo();
            state.ResumeTiming();
        }
    }
    state.counters["flushes"] =
        benchmark::Counter(g_flushes / 2.0, benchmark::Counter::kAvgIterations);
    disk.setSync({});
}
BENCHMARK(BM_UndoRedo)->ArgName("redo")->Arg(0)->Arg(1)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
