// Searching ten years of daily diary entries (3,653 files of about 1 KB in
// code page 932) with the folding the window and the command line use.
#include "ledger/cp932.h"
#include "ledger/diary_file.h"
#include "ledger/diary_index.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "windows/diary_search.h"

#include <QDate>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <string>

namespace {
// The disk the benchmarks below work on.
DiskStore disk;
} // namespace

namespace {

const char* const Phrases[] = {
    "朝から雨。",
    "買い物に行った。",
    "ｽｰﾊﾟｰで野菜を買う。",
    "ＡＴＭで現金を下ろした。",
    "夕食はカレーライス。",
    "電気代の請求が来た。",
    "子どもの学校で面談。",
    "庭の草取りをした。",
    "Train was late again.",
    "図書館で本を三冊借りた。",
    "病院の予約は来週。",
    "家計簿をつけた。",
};

// One entry of about 1 KB; every 97th day mentions the trip.
std::string entry(int n) {
    std::string text;
    for (int i = 0; text.size() < 1000; ++i) {
        text += Phrases[(n * 7 + i * 5) % std::size(Phrases)];
        if (i % 4 == 3) text += "\r\n";
    }
    if (n % 97 == 0) text += "温泉旅行の計画を立てた。\r\n";
    return utf8ToCp932(text);
}

// Ten years of days from 2010-01-01, written once for all the runs.
struct TenYears {
    QTemporaryDir dir;
    int files = 0;
    TenYears() {
        const QDate first(2010, 1, 1);
        for (QDate d = first; d < first.addYears(10).addDays(1); d = d.addDays(1), ++files)
            std::ofstream(joinPath(path(), diaryFileName(d.year(), d.month(), d.day())),
                          std::ios::binary)
                << entry(files);
    }
    std::string path() const { return dir.path().toStdString(); }
};

void BM_DiarySearchTenYears(benchmark::State& state) {
    static const TenYears folder;
    std::size_t found = 0;
    for (auto _ : state) {
        const auto hits = searchDiary(disk, folder.path(), "温泉 計画", foldForSearch);
        found = hits.size();
        benchmark::DoNotOptimize(hits.data());
    }
    state.counters["files"] = folder.files;
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_DiarySearchTenYears)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

} // namespace
