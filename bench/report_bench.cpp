// The report of one period (payday the 25th, so each period reads two month
// files) with its comparisons: the period before, the same one a year
// before, the average of the twelve before and the year so far, over ten
// years of month files with 250 lines a month, some marked 振替 or
// 集計対象外 and a few whole cells marked. Everything is read from disk on
// every run, as the window and --report do. Target: under 50 ms.
#include "ledger/cp932.h"
#include "ledger/entry_lines.h"
#include "ledger/report_figures.h"
#include "ledger/text_file.h"

#include "storage/disk_store.h"
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <string>

namespace {
DiskStore disk;
}

namespace {

const char* const Memos[] = {"ｽｰﾊﾟｰ 野菜",     "ドラッグストア #日用品", "カード引落 #振替",
                             "駅の売店 #旅行", "冷蔵庫 #集計対象外",     "コンビニ"};

struct TenYears {
    QTemporaryDir dir;
    MonthLedger names;
    MarkSet marks;
    TenYears() {
        for (int i = 1; i <= ShownItems; ++i)
            names.Items[i].Name = utf8ToCp932("項目" + std::to_string(i));
        int n = 0;
        for (int year = 2016; year < 2026; ++year)
            for (int month = 1; month <= 12; ++month) {
                MonthLedger m = names;
                std::vector<EntryLine> lines;
                for (int i = 0; i < 250; ++i, ++n) {
                    EntryLine l;
                    l.day = 1 + i % 28;
                    l.item = names.Items[1 + n % ShownItems].Name;
                    l.amount = 100 + (n * 37) % 9900;
                    l.memo = utf8ToCp932(Memos[(n * 5 + month) % std::size(Memos)]);
                    const int slot = 1 + n % ShownItems;
                    m.Items[slot].Days[l.day].Expense += l.amount;
                    lines.push_back(l);
                }
                m.Items[1].Days[25].Income = 300000;
                saveMonthFile(disk, m, path(), year, month);
                disk.writeSafely(joinPath(path(), lineFileName(year, month)),
                                 formatLineFile(lines, year, month));
                marks.set({{year, month}, 27, LineSide::Expense, names.Items[2].Name},
                          ReportMark::Transfer);
            }
        writeMarkFile(disk, path(), marks);
    }
    std::string path() const { return dir.path().toStdString(); }
};

void BM_ReportOnePeriodTenYears(benchmark::State& state) {
    static const TenYears data;
    const PeriodRule payday{25, PeriodShift::Before, PeriodNaming::End};
    int64_t spent = 0;
    for (auto _ : state) {
        ReportBook book(payday, reportFileSource(disk, data.names, data.path()),
                        readMarkFile(disk, data.path()).marks);
        const PeriodReport r = book.report({2025, 6});
        spent = r.expense.now;
        benchmark::DoNotOptimize(r.items.data());
    }
    state.counters["spent"] = static_cast<double>(spent);
}
BENCHMARK(BM_ReportOnePeriodTenYears)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

} // namespace
