// Due occurrences of 50 scheduled entries over ten years, nothing posted
// yet: the catch-up after a long absence. Target: under 5 ms.
#include "ledger/schedule.h"

#include <benchmark/benchmark.h>

static void BM_DueOccurrences50EntriesTenYears(benchmark::State& state) {
    Schedule s;
    for (int i = 0; i < 50; ++i) {
        ScheduleEntry e;
        e.id = i + 1;
        e.item = "A";
        e.amount = 1000 + i;
        e.fromYear = 2016;
        e.fromMonth = 1 + i % 12;
        e.rule = ScheduleRule(i % 3);
        e.day = 1 + i % 31;
        e.nth = 1 + i % 5;
        e.wd = i % 7;
        e.every = i % 10 == 0 ? 12 : 1;
        e.shift = ScheduleShift(i % 3);
        s.entries.push_back(e);
    }
    std::size_t count = 0;
    for (auto _ : state) {
        const auto due = dueOccurrences(s, {2025, 12, 31});
        count = due.size();
        benchmark::DoNotOptimize(due.data());
    }
    state.counters["occurrences"] = double(count);
}
BENCHMARK(BM_DueOccurrences50EntriesTenYears)->Unit(benchmark::kMillisecond);
