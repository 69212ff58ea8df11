// The month's printout as a PDF file, in process: a full month (twelve named
// items, every day filled) laid out, painted and written safely.
#include "bench/qt_application.h"
#include "ledger/cp932.h"
#include "storage/disk_store.h"
#include "windows/list1.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <string>

namespace {
// The disk the benchmarks below work on.
DiskStore disk;
} // namespace

namespace {

void BM_MonthPdf(benchmark::State& state) {
    ensureQtApplication();
    MonthPrintData data;
    for (int i = 1; i <= ShownItems; ++i) {
        data.ledger.Items[i].Name = utf8ToCp932("項目" + std::to_string(i));
        data.ledger.CarryOver[i] = 1000 * i;
        for (int d = 1; d <= 31; ++d)
            data.ledger.Items[i].Days[d] = {d * 1000 + i, d * 10 + i};
    }
    QTemporaryDir dir;
    data.folder = dir.path();
    const std::string path = dir.filePath(QStringLiteral("month.pdf")).toStdString();
    for (auto _ : state)
        writeMonthPdf(disk, data, path);
}
BENCHMARK(BM_MonthPdf)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace
