// The month's budget summary for twelve budgeted items with amounts on every
// day: the daily sheet and the calendar compute it at every redisplay. Half
// of the items carry their rest, over the year before, read from memory.
#include "ledger/budget_plan.h"
#include "ledger/cp932.h"

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

void BM_BudgetSummary(benchmark::State& state) {
    const bool carry = state.range(0) != 0;
    const MonthLedger month = fullMonth();
    BudgetPlan plan;
    for (int i = 1; i <= ShownItems; ++i)
        plan.set(month.Items[i].Name, 1996, 1, {true, 50000 * i, i % 3 == 0, carry && i % 2 == 0});
    const MonthReader earlier = [&month](int, int) { return month; };
    for (auto _ : state)
        benchmark::DoNotOptimize(
            budgetSummary(plan, month, 1996, 12, 10, earlier).lines[ShownItems].remaining);
}
BENCHMARK(BM_BudgetSummary)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

} // namespace
