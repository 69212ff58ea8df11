// Filling the daily sheet on the last day of a full month: twelve named
// items with amounts on every day, so the sums to date run over the month.
#include "bench/qt_application.h"
#include "ledger/cp932.h"
#include "shell/calendar.h"
#include "shell/zadud.h"
#include "windows/hikei.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

void BM_SheetDispFullMonth(benchmark::State& state) {
    ensureQtApplication();
    TForm1 form1;
    TForm2 form2(&form1);
    for (int i = 1; i <= ShownItems; ++i) {
        form1.Ledger.Items[i].Name = utf8ToCp932("項目" + std::to_string(i));
        form1.Ledger.CarryOver[i] = 1000 * i;
        for (int d = 1; d <= 31; ++d)
            form1.Ledger.Items[i].Days[d] = {d * 100 + i, d * 10 + i};
    }
    form1.mc->setDay(1);
    form1.mc->setMonth(12);
    form1.mc->setYear(1996);
    form1.mc->setDay(31);
    // Alternating days, so that every fill writes new texts into the grid.
    int day = 31;
    for (auto _ : state) {
        day = day == 31 ? 30 : 31;
        form1.mc->setDay(day);
        SheetDisp(form1, form2);
        benchmark::DoNotOptimize(form1.Ledger.CarryOverSum);
    }
}
BENCHMARK(BM_SheetDispFullMonth)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace
