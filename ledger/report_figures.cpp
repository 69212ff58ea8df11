#include "ledger/report_figures.h"

#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/month_table.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* Dash = "―";

int monthIndex(int year, int month) {
    return year * 12 + month - 1;
}

// Calls fn(year, month, first day, last day) for each calendar month the
// range touches, with the days of that month inside it.
template <typename Fn> void forEachMonth(const PeriodRange& r, Fn fn) {
    const int from = monthIndex(r.first.year, r.first.month);
    const int to = monthIndex(r.last.year, r.last.month);
    for (int k = from; k <= to; ++k) {
        const int year = k / 12, month = k % 12 + 1;
        fn(year, month, k == from ? r.first.day : 1,
           k == to ? r.last.day : daysInMonth(year, month));
    }
}

int64_t cellSide(const DayCell& c, LineSide side) {
    return side == LineSide::Income ? c.Income : c.Expense;
}

// sum * times / count, rounded half away from zero.
int64_t scaledAverage(int64_t sum, int times, int count) {
    const int64_t x = sum * times;
    const int64_t half = x < 0 ? -count : count;
    return (2 * x + half) / (2 * int64_t(count));
}

void addMarked(MarkedTotals& to, const MarkedTotals& from) {
    to.excludedIncome += from.excludedIncome;
    to.excludedExpense += from.excludedExpense;
    to.transferIncome += from.transferIncome;
    to.transferExpense += from.transferExpense;
}

} // namespace

ReportSource reportFileSource(FileStore& files, const MonthLedger& names, const std::string& dir) {
    return [&files, names, dir](int year, int month) {
        ReportMonth r;
        r.ledger = names;
        std::string file;
        const MonthFileState state =
            loadMonthFile(files, r.ledger, dir, year, month, LoadMode::Current, &file);
        if (state == MonthFileState::Unreadable) files.read(file); // names the error
        r.present = state == MonthFileState::Read;
        MonthLineFile lines = loadLineFile(files, dir, year, month);
        r.lines = std::move(lines.lines);
        r.problem = std::move(lines.problem);
        return r;
    };
}

MonthReader countedMonthReader(const ReportSource& source, const MarkSet& marks) {
    return [source, marks](int year, int month) {
        const ReportMonth m = source(year, month);
        return countMonth(m.ledger, year, month, m.lines, marks).counted;
    };
}

Change changeFrom(int64_t now, const std::optional<int64_t>& base) {
    Change c;
    if (!base) return c;
    c.known = true;
    c.amount = now - *base;
    if (*base != 0) {
        c.hasPercent = true;
        c.percent = double(c.amount) * 100.0 / double(std::llabs(*base));
    }
    return c;
}

std::string changeAmountText(const Change& change) {
    if (!change.known) return Dash;
    return (change.amount > 0 ? "+" : "") + groupedAmount(change.amount);
}

std::string changePercentText(const Change& change) {
    if (!change.hasPercent) return Dash;
    char text[48];
    std::snprintf(text, sizeof text, "%+.1f%%", change.percent);
    return text;
}

double SavingsRate::percent() const {
    return known() ? double(income - expense) * 100.0 / double(income) : 0;
}

std::string savingsRateText(const SavingsRate& rate) {
    if (!rate.known()) return Dash;
    char text[48];
    std::snprintf(text, sizeof text, "%.1f%%", rate.percent());
    return text;
}

std::vector<ChartSlice> chartSlices(const std::vector<ReportItem>& items, std::size_t shown) {
    std::vector<ChartSlice> slices;
    for (const ReportItem& item : items)
        if (item.expense.now > 0) slices.push_back({item.name, item.expense.now, false});
    // Equal amounts keep the items' order, so the colours stay put.
    std::stable_sort(slices.begin(), slices.end(),
                     [](const ChartSlice& a, const ChartSlice& b) { return a.amount > b.amount; });
    if (slices.size() > shown) {
        ChartSlice other{utf8ToCp932("その他"), 0, true};
        for (std::size_t i = shown; i < slices.size(); ++i)
            other.amount += slices[i].amount;
        slices.resize(shown);
        slices.push_back(other);
    }
    return slices;
}

ReportBook::ReportBook(PeriodRule rule, ReportSource source, MarkSet marks)
    : rule_(rule), source_(std::move(source)), marks_(std::move(marks)) {}

const ReportBook::Month& ReportBook::month(int year, int mon) {
    const MonthKey key{year, mon};
    auto it = months_.find(key);
    if (it != months_.end()) return it->second;
    ReportMonth read = source_(year, mon);
    if (!read.problem.empty() &&
        std::find(problems_.begin(), problems_.end(), read.problem) == problems_.end())
        problems_.push_back(read.problem);
    Month m;
    m.present = read.present;
    m.counts = countMonth(read.ledger, year, mon, read.lines, marks_);
    m.lines = std::move(read.lines);
    return months_.emplace(key, std::move(m)).first->second;
}

template <typename Fn> void ReportBook::forEachDay(const PeriodRange& range, Fn fn) {
    forEachMonth(range, [&](int year, int mon, int from, int to) {
        const Month& m = month(year, mon);
        for (int d = from; d <= to; ++d)
            fn(m, year, mon, d);
    });
}

const ReportBook::Sums& ReportBook::period(const PeriodName& name) {
    auto it = periods_.find(name);
    if (it != periods_.end()) return it->second;
    Sums s;
    forEachDay(periodRange(rule_, name), [&](const Month& m, int, int, int d) {
        s.present = s.present || m.present;
        for (int i = 1; i <= ShownItems; ++i) {
            const LedgerItem& item = m.counts.counted.Items[i];
            if (item.Name.empty()) continue;
            s.expense[item.Name] += item.Days[d].Expense;
            s.spent += item.Days[d].Expense;
            s.income += item.Days[d].Income;
            const DayCell& x = m.counts.excluded[i][d];
            const DayCell& t = m.counts.transfer[i][d];
            s.marked.excludedIncome += x.Income;
            s.marked.excludedExpense += x.Expense;
            s.marked.transferIncome += t.Income;
            s.marked.transferExpense += t.Expense;
        }
    });
    return periods_.emplace(name, std::move(s)).first->second;
}

ReportBook::Sums ReportBook::span(const PeriodName& first, int count) {
    Sums s;
    for (int k = 0; k < count; ++k) {
        const Sums& p = period(stepPeriod(first, k));
        s.present = s.present || p.present;
        for (const auto& [name, amount] : p.expense)
            s.expense[name] += amount;
        s.income += p.income;
        s.spent += p.spent;
        addMarked(s.marked, p.marked);
    }
    return s;
}

PeriodReport ReportBook::report(const PeriodName& first, const PeriodName& last) {
    PeriodReport r;
    r.first = std::min(first, last);
    r.last = std::max(first, last);
    r.periods = monthIndex(r.last.year, r.last.month) - monthIndex(r.first.year, r.first.month) + 1;
    r.range = {periodRange(rule_, r.first).first, periodRange(rule_, r.last).last};
    const int n = r.periods;

    const Sums now = span(r.first, n);
    const Sums before = span(stepPeriod(r.first, -n), n);
    const Sums yearAgo = span(stepPeriod(r.first, -12), n);
    // The usual: the twelve single periods before, over those with data.
    Sums twelve;
    int withData = 0;
    for (int k = 1; k <= 12; ++k) {
        const Sums& p = period(stepPeriod(r.first, -k));
        if (!p.present) continue;
        ++withData;
        for (const auto& [name, amount] : p.expense)
            twelve.expense[name] += amount;
        twelve.income += p.income;
        twelve.spent += p.spent;
    }

    auto compare = [&](auto figure) {
        Comparison c;
        c.now = figure(now);
        if (before.present) c.last = figure(before);
        if (yearAgo.present) c.lastYear = figure(yearAgo);
        if (withData) c.average = scaledAverage(figure(twelve), n, withData);
        return c;
    };
    const MonthLedger& names = month(r.range.first.year, r.range.first.month).counts.counted;
    for (int i = 1; i <= ShownItems; ++i) {
        const std::string& name = names.Items[i].Name;
        if (name.empty()) continue;
        r.items.push_back({name, compare([&](const Sums& s) {
                               const auto it = s.expense.find(name);
                               return it == s.expense.end() ? int64_t(0) : it->second;
                           })});
    }
    r.expense = compare([](const Sums& s) { return s.spent; });
    r.income = compare([](const Sums& s) { return s.income; });
    r.marked = now.marked;
    r.savings = {now.income, now.spent};
    for (int m = 1; m <= r.last.month; ++m) {
        const Sums& p = period({r.last.year, m});
        r.year.income += p.income;
        r.year.expense += p.spent;
    }
    r.problems = problems_;
    return r;
}

std::vector<DrillDay> ReportBook::drillDown(const PeriodRange& range, const std::string& item,
                                            LineSide side) {
    std::vector<DrillDay> days;
    forEachDay(range, [&](const Month& m, int year, int mon, int d) {
        const int slot = itemSlot(m.counts.counted, item);
        if (slot == 0) return;
        DrillDay day;
        day.day = {year, mon, d};
        day.amount = cellSide(m.counts.counted.Items[slot].Days[d], side);
        int64_t lined = 0;
        for (const EntryLine& l : m.lines)
            if (l.day == d && l.side == side && l.item == item &&
                lineCounted(l, year, mon, marks_)) {
                day.lines.push_back(l);
                lined += l.amount;
            }
        if (day.amount == 0 && day.lines.empty()) return;
        day.unlined = day.amount - lined;
        days.push_back(std::move(day));
    });
    return days;
}

MonthSoFar ReportBook::monthSoFar(const PeriodName& name, const Date& today) {
    MonthSoFar f;
    const PeriodRange shown = periodRange(rule_, name);
    if (!(today < shown.first))
        f.day = int(std::min<int64_t>(shown.days(), dayNumber(today) - dayNumber(shown.first) + 1));
    for (int k = 0; k < 4; ++k) {
        f.names[std::size_t(k)] = stepPeriod(name, -k);
        const PeriodRange range = periodRange(rule_, f.names[std::size_t(k)]);
        std::vector<int64_t>& sums = f.cumulative[std::size_t(k)];
        bool present = false;
        int64_t total = 0;
        forEachDay(range, [&](const Month& m, int, int, int d) {
            present = present || m.present;
            for (int i = 1; i <= ShownItems; ++i)
                total += m.counts.counted.Items[i].Days[d].Expense;
            sums.push_back(total);
        });
        if (present) {
            const int upTo = std::min(f.day, int(sums.size()));
            f.atDay[std::size_t(k)] = upTo > 0 ? sums[std::size_t(upTo - 1)] : 0;
        }
        // The shown period's line stops at the day asked.
        if (k == 0) sums.resize(std::size_t(f.day));
    }
    return f;
}
