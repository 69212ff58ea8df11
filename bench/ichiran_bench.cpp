// Filling the monthly list for a full month: twelve named items with
// amounts on every day and carried balances, so every cell gets a new text.
#include "bench/qt_application.h"
#include "ledger/cp932.h"
#include "shell/zadud.h"
#include "windows/ichiran.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

void BM_MonthlyListFill(benchmark::State& state) {
    ensureQtApplication();
    TForm1 form1;
    TForm7 form7(&form1);
    for (int i = 1; i <= ShownItems; ++i) {
        form1.Ledger.Items[i].Name = utf8ToCp932("項目" + std::to_string(i));
        form1.Ledger.CarryOver[i] = 1000 * i;
        for (int d = 1; d <= 31; ++d)
            form1.Ledger.Items[i].Days[d] = {d * 1000 + i, d * 10 + i};
    }
    // Shown, so that the view takes each fill as a visible window would.
    form7.show();
    int flip = 0;
    for (auto _ : state) {
        form1.Ledger.CarryOver[1] = (flip ^= 1) ? 1000 : 2000;
        form7.FormActivate();
        benchmark::DoNotOptimize(form7.SG1->cell(31, TForm7::BalanceRow));
    }
}
BENCHMARK(BM_MonthlyListFill)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

} // namespace
