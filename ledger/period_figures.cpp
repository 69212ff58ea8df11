#include "ledger/period_figures.h"

#include "ledger/month_table.h"

#include <map>

namespace {

int monthKey(int year, int month) {
    return year * 12 + month - 1;
}

// Months read once each, for all items and periods of one computation.
class MonthCache {
public:
    explicit MonthCache(const MonthReader& reader) : reader_(reader) {}
    const MonthLedger& get(int year, int month) {
        const int k = monthKey(year, month);
        auto it = read_.find(k);
        if (it == read_.end()) it = read_.emplace(k, reader_(year, month)).first;
        return it->second;
    }

private:
    const MonthReader& reader_;
    std::map<int, MonthLedger> read_;
};

// Calls fn(month, first day, last day) for each calendar month the range
// touches, with the days of that month inside the range.
template <typename Fn> void forEachMonth(const PeriodRange& r, Fn fn) {
    for (int k = monthKey(r.first.year, r.first.month); k <= monthKey(r.last.year, r.last.month);
         ++k) {
        const int year = k / 12, month = k % 12 + 1;
        const int from = k == monthKey(r.first.year, r.first.month) ? r.first.day : 1;
        const int to =
            k == monthKey(r.last.year, r.last.month) ? r.last.day : daysInMonth(year, month);
        fn(year, month, from, to);
    }
}

int64_t spentOver(MonthCache& cache, const PeriodRange& r, const std::string& name) {
    int64_t sum = 0;
    forEachMonth(r, [&](int year, int month, int from, int to) {
        const MonthLedger& m = cache.get(year, month);
        const int slot = itemSlot(m, name);
        if (slot == 0) return;
        for (int d = from; d <= to; ++d)
            sum += m.Items[slot].Days[d].Expense;
    });
    return sum;
}

} // namespace

const RangeArray<DayCell, 1, ShownItems>& PeriodLedger::at(const Date& day) const {
    if (!range.contains(day)) throwRangeError();
    return days[std::size_t(dayNumber(day) - dayNumber(range.first))];
}

PeriodLedger readPeriodLedger(const PeriodRange& range, const MonthReader& months) {
    PeriodLedger p;
    p.range = range;
    p.days.reserve(std::size_t(range.days()));
    bool named = false;
    forEachMonth(range, [&](int year, int month, int from, int to) {
        const MonthLedger m = months(year, month);
        if (!named) {
            for (int i = 1; i <= ShownItems; ++i)
                p.names[i] = m.Items[i].Name;
            named = true;
        }
        int slots[ShownItems + 1] = {};
        for (int i = 1; i <= ShownItems; ++i)
            slots[i] = itemSlot(m, p.names[i]);
        for (int d = from; d <= to; ++d) {
            RangeArray<DayCell, 1, ShownItems>& day = p.days.emplace_back();
            for (int i = 1; i <= ShownItems; ++i)
                if (slots[i]) day[i] = m.Items[slots[i]].Days[d];
        }
    });
    return p;
}

RangeArray<PeriodTotal, 1, ShownItems> periodItemTotals(const PeriodLedger& period) {
    RangeArray<PeriodTotal, 1, ShownItems> totals;
    for (const auto& day : period.days)
        for (int i = 1; i <= ShownItems; ++i) {
            totals[i].income += day[i].Income;
            totals[i].expense += day[i].Expense;
        }
    return totals;
}

BudgetSummary periodBudgetSummary(const BudgetPlan& plan, const PeriodRule& rule,
                                  const PeriodName& name, int daysLeft, const MonthReader& months) {
    // The walk back for the carry ends at the item's first entry; this
    // bounds a plan whose first entry lies centuries back, as the month
    // summary does.
    constexpr int CarryLookBack = 1200;
    BudgetSummary s;
    MonthCache cache(months);
    const PeriodRange range = periodRange(rule, name);
    const MonthLedger& names = cache.get(range.first.year, range.first.month);
    // Every month of the shown period is read before anything is summed, so
    // one that cannot be read fails the summary, not just the carry.
    forEachMonth(range, [&](int year, int month, int, int) { cache.get(year, month); });
    // Ranges of the earlier periods, shared by every item's carry: each asks
    // the holiday rules.
    std::map<int, PeriodRange> ranges;
    auto rangeOf = [&](const PeriodName& n) -> const PeriodRange& {
        const int k = monthKey(n.year, n.month);
        auto it = ranges.find(k);
        if (it == ranges.end()) it = ranges.emplace(k, periodRange(rule, n)).first;
        return it->second;
    };
    for (int i = 1; i <= ShownItems; ++i) {
        const std::string& item = names.Items[i].Name;
        if (item.empty()) continue;
        BudgetLine& line = s.lines[i];
        // What was spent counts for every item, budget or not.
        line.spent = spentOver(cache, range, item);
        const std::optional<BudgetEntry> e = plan.at(item, name.year, name.month);
        if (!e) continue;
        fillBudgetLine(
            line, *e, daysLeft,
            [&](int k) -> std::optional<BudgetEntry> {
                const PeriodName earlier = stepPeriod(name, -k);
                if (k > CarryLookBack || earlier.year < 1) return std::nullopt;
                return plan.at(item, earlier.year, earlier.month);
            },
            [&](int k) { return spentOver(cache, rangeOf(stepPeriod(name, -k)), item); }, s.error);
        s.any = true;
    }
    return s;
}

std::vector<BudgetDay> periodBudgetByDay(const BudgetSummary& summary, const PeriodLedger& period) {
    int64_t budget = 0;
    for (int i = 1; i <= ShownItems; ++i) {
        const BudgetLine& l = summary.lines[i];
        if (l.budgeted && !l.fixed) budget += l.budget;
    }
    std::vector<BudgetDay> out(period.days.size());
    const int64_t days = int64_t(period.days.size());
    int64_t spent = 0;
    for (std::size_t d = 0; d < period.days.size(); ++d) {
        for (int i = 1; i <= ShownItems; ++i) {
            const BudgetLine& l = summary.lines[i];
            if (l.budgeted && !l.fixed) spent += period.days[d][i].Expense;
        }
        out[d].spent = spent;
        out[d].allowed = budget * int64_t(d + 1) / days;
    }
    return out;
}
