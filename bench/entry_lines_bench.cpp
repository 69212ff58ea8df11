// Entry lines (内訳): a search over ten years of 3,000 lines a year (one file
// a month, read and parsed on every search, folded as the window and the
// command line fold). Target: under 100 ms. And one line added in memory,
// with its cell's lined sum, without the file's save. Target: under 1 ms.
#include "ledger/book.h"
#include "ledger/cp932.h"
#include "ledger/entry_lines.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "windows/diary_search.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <string>

namespace {
// The disk the benchmarks below work on.
DiskStore disk;
} // namespace

namespace {

const char* const Items[] = {"食費", "日用品", "交通費", "交際費", "雑費", "医療費"};
const char* const Memos[] = {
    "ｽｰﾊﾟｰ 野菜と牛乳",  "ドラッグストア 洗剤 #日用品",
    "ＡＴＭ手数料",      "駅の売店 #旅行",
    "Amazon 本",         "コンビニ おにぎり",
    "病院 #通院",        "ホームセンター 電球",
    "外食 ランチ #実家", "ｶﾞｿﾘﾝｽﾀﾝﾄﾞ",
};

// 250 lines a month from 2016 to 2025, written once for all the runs.
struct TenYears {
    QTemporaryDir dir;
    int lines = 0;
    TenYears() {
        for (int year = 2016; year < 2026; ++year)
            for (int month = 1; month <= 12; ++month) {
                std::vector<EntryLine> ls;
                for (int i = 0; i < 250; ++i, ++lines) {
                    EntryLine l;
                    l.day = 1 + i % 28;
                    l.item = utf8ToCp932(Items[(lines * 7) % std::size(Items)]);
                    l.amount = 100 + (lines * 37) % 9900;
                    l.memo = utf8ToCp932(Memos[(lines * 3 + month) % std::size(Memos)]);
                    ls.push_back(l);
                }
                disk.writeSafely(joinPath(path(), lineFileName(year, month)),
                                 formatLineFile(ls, year, month));
            }
    }
    std::string path() const { return dir.path().toStdString(); }
};

const TenYears& folder() {
    static const TenYears f;
    return f;
}

void search(benchmark::State& state, const char* query) {
    const TenYears& f = folder();
    const LineQuery q = parseLineQuery(query, foldForSearch);
    std::size_t found = 0;
    for (auto _ : state) {
        const LineSearchResult r = searchLines(disk, f.path(), q, foldForSearch);
        found = r.hits.size();
        benchmark::DoNotOptimize(r.hits.data());
    }
    state.counters["lines"] = f.lines;
    state.counters["found"] = static_cast<double>(found);
}

// A word and a tag: every line's memo is folded.
void BM_LineSearchWordTenYears(benchmark::State& state) {
    search(state, "ドラッグストア #日用品");
}
BENCHMARK(BM_LineSearchWordTenYears)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// Amounts only: the files are read, nothing is folded.
void BM_LineSearchAmountTenYears(benchmark::State& state) {
    search(state, "1000-2000");
}
BENCHMARK(BM_LineSearchAmountTenYears)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// One line added to a month of 250 and its cell summed again; removed
// again after each add, so that the month keeps its size.
void BM_LineAddInMemory(benchmark::State& state) {
    LineStore store(disk, folder().path());
    const std::size_t before = store.lines(2025, 12).size();
    EntryLine l;
    l.day = 4;
    l.item = utf8ToCp932("食費");
    l.amount = 1280;
    l.memo = utf8ToCp932("ドラッグストア #日用品");
    int64_t sum = 0;
    for (auto _ : state) {
        store.add(2025, 12, l);
        sum = linedSum(store.lines(2025, 12), l.item, l.day, l.side);
        benchmark::DoNotOptimize(sum);
        store.remove(2025, 12, before);
    }
    state.counters["cell"] = static_cast<double>(sum);
}
BENCHMARK(BM_LineAddInMemory)->Unit(benchmark::kMicrosecond);

// The same line through the book's door: its cell, the journal's flushed
// record and the month's line file written safely; undone again after each
// add (that undo is timed apart and left out). For comparison with the
// in-memory figure: the file save is most of it.
void BM_LineAddThroughBook(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString();
    disk.writeSafely(joinPath(path, "ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\n"));
    std::vector<EntryLine> month;
    EntryLine l;
    l.day = 4;
    l.item = utf8ToCp932("食費");
    l.amount = 1280;
    l.memo = utf8ToCp932("ドラッグストア #日用品");
    for (int i = 0; i < 250; ++i)
        month.push_back(l);
    disk.writeSafely(joinPath(path, lineFileName(2025, 12)), formatLineFile(month, 2025, 12));
    Book book(path, disk, [] { return std::string("2026-12-24T10:00:00"); });
    book.readConfiguration(isDirectory, isDirectory);
    for (auto _ : state) {
        book.addLine({2025, 12}, l, ChangeSource::Typed);
        state.PauseTiming();
        book.removeLine({2025, 12}, 250, ChangeSource::Typed);
        state.ResumeTiming();
    }
    state.counters["lines"] = static_cast<double>(book.lines({2025, 12}).size());
}
BENCHMARK(BM_LineAddThroughBook)->Unit(benchmark::kMicrosecond)->Iterations(200);

} // namespace
