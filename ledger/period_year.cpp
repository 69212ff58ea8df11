#include "ledger/period_year.h"

#include "ledger/errors.h"
#include "ledger/month_table.h"

#include <map>

namespace {

// Calendar months and years read once each for the twelve periods.
class Months {
public:
    Months(FileStore& files, const MonthLedger& names, const std::string& dir,
           const HeldMonth& held)
        : files_(files), names_(names), dir_(dir), held_(held) {}
    const StoredMonth& stored(int y, int m) {
        auto it = stored_.find(y * 12 + m);
        if (it == stored_.end())
            it = stored_.emplace(y * 12 + m, readStoredMonth(files_, names_, dir_, y, m, held_))
                     .first;
        return it->second;
    }
    const YearMonth& calendar(int y, int m) {
        auto it = years_.find(y);
        if (it == years_.end())
            it = years_.emplace(y, buildYearModel(files_, names_, dir_, y, held_)).first;
        return it->second.months[m];
    }

private:
    FileStore& files_;
    const MonthLedger& names_;
    const std::string& dir_;
    const HeldMonth& held_;
    std::map<int, StoredMonth> stored_;
    std::map<int, YearModel> years_;
};

void summarisePeriod(YearMonth& ym, Months& months, const PeriodRange& r) {
    ym.state = MonthFileState::Missing;
    for (int k = r.first.year * 12 + r.first.month - 1; k <= r.last.year * 12 + r.last.month - 1;
         ++k) {
        const int y = k / 12, m = k % 12 + 1;
        const StoredMonth& s = months.stored(y, m);
        const YearMonth& c = months.calendar(y, m);
        if (s.state == MonthFileState::Unreadable || c.state == MonthFileState::Unreadable) {
            ym.state = MonthFileState::Unreadable;
            ym.error = !s.error.empty() ? s.error : c.error;
            return;
        }
        if (s.state == MonthFileState::Read) ym.state = MonthFileState::Read;
        const int from = k == r.first.year * 12 + r.first.month - 1 ? r.first.day : 1;
        const int to = k == r.last.year * 12 + r.last.month - 1 ? r.last.day : daysInMonth(y, m);
        for (int i = 1; i <= ShownItems; ++i)
            for (int d = from; d <= to; ++d) {
                const DayCell& cell = s.ledger.Items[i].Days[d];
                ym.income[i] = checkedAdd(ym.income[i], cell.Income);
                ym.expense[i] = checkedAdd(ym.expense[i], cell.Expense);
            }
    }
    for (int i = 1; i <= ShownItems; ++i) {
        ym.net[i] = checkedSub(ym.income[i], ym.expense[i]);
        ym.totalIncome = checkedAdd(ym.totalIncome, ym.income[i]);
        ym.totalExpense = checkedAdd(ym.totalExpense, ym.expense[i]);
    }
    ym.totalNet = checkedSub(ym.totalIncome, ym.totalExpense);
    // The balance after the last day: the month before it closed with, then
    // its month's days up to it.
    int py = r.last.year, pm = r.last.month;
    stepBack(py, pm);
    const YearMonth& before = months.calendar(py, pm);
    ym.balanceKnown = before.balanceKnown;
    ym.closing = before.closing;
    const StoredMonth& last = months.stored(r.last.year, r.last.month);
    for (int i = 1; i <= ShownItems; ++i)
        for (int d = 1; d <= r.last.day; ++d)
            ym.closing = checkedAdd(ym.closing, checkedSub(last.ledger.Items[i].Days[d].Income,
                                                           last.ledger.Items[i].Days[d].Expense));
    ym.broughtIn = checkedSub(ym.closing, ym.totalNet);
}

} // namespace

YearModel periodYearModel(FileStore& files, const MonthLedger& names, const std::string& dir,
                          int year, const PeriodRule& rule, const HeldMonth& held) {
    YearModel y;
    y.year = year;
    MonthLedger nameOnly;
    for (int i = 1; i <= ShownItems; ++i)
        nameOnly.Items[i].Name = y.names[i] = names.Items[i].Name;
    Months months(files, nameOnly, dir, held);
    for (int m = 1; m <= 12; ++m) {
        YearMonth& ym = y.months[m];
        try {
            summarisePeriod(ym, months, periodRange(rule, {year, m}));
        } catch (const AppError& e) {
            ym = YearMonth{};
            ym.state = MonthFileState::Unreadable;
            ym.error = e.what();
        }
        if (ym.state != MonthFileState::Read) continue;
        addToYear(y, ym);
    }
    return y;
}
