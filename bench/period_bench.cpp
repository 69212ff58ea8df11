// The budget summary of a period that spans two month files (payday the
// 25th): twelve budgeted items with amounts on every day, half carrying
// their rest over the year before, months read from memory. The daily
// sheet and the calendar compute it at every redisplay.
#include "ledger/cp932.h"
#include "ledger/period_figures.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

MonthLedger fullMonth() {
    MonthLedger l;
    for (int i = 1; i <= ShownItems; ++i) {
        l.Items[i].Name = utf8ToCp932("項目" + std::to_string(i));
        for (int d = 1; d <= 31; ++d)
            l.Items[i].Days[d] = {d * 1000 + i, d * 10 + i};
    }
    return l;
}

void BM_PeriodBudgetSummary(benchmark::State& state) {
    const bool carry = state.range(0) != 0;
    const MonthLedger month = fullMonth();
    BudgetPlan plan;
    for (int i = 1; i <= ShownItems; ++i)
        plan.set(month.Items[i].Name, 1996, 1, {true, 50000 * i, i % 3 == 0, carry && i % 2 == 0});
    const MonthReader months = [&month](int, int) { return month; };
    const PeriodRule payday{25, PeriodShift::Before, PeriodNaming::End};
    const PeriodRange range = periodRange(payday, {1996, 12});
    for (auto _ : state) {
        const int left = daysLeftInPeriod(range, {1996, 12, 10});
        benchmark::DoNotOptimize(periodBudgetSummary(plan, payday, {1996, 12}, left, months)
                                     .lines[ShownItems]
                                     .remaining);
    }
}
BENCHMARK(BM_PeriodBudgetSummary)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

} // namespace
