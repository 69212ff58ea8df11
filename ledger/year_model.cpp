#include "ledger/year_model.h"

#include "ledger/errors.h"

namespace {

void summarise(YearMonth& ym, const StoredMonth& m, const CarryLink& link) {
    ym.state = m.state;
    ym.error = m.error;
    ym.otherNames = m.otherNames;
    if (m.state == MonthFileState::Missing) {
        ym.balanceKnown = link.known;
        if (link.known)
            for (int32_t c : link.closing)
                ym.broughtIn = ym.closing = checkedAdd(ym.closing, c);
        return;
    }
    if (m.state == MonthFileState::Unreadable) return;
    try {
        YearMonth s = ym;
        for (int i = 1; i <= ShownItems; ++i) {
            s.income[i] = m.income[i];
            s.expense[i] = m.expense[i];
            s.net[i] = m.net[i];
            s.totalIncome = checkedAdd(s.totalIncome, m.income[i]);
            s.totalExpense = checkedAdd(s.totalExpense, m.expense[i]);
            s.broughtIn = checkedAdd(s.broughtIn, m.broughtIn[i]);
            s.closing = checkedAdd(s.closing, m.closing[i]);
        }
        s.totalNet = checkedSub(s.totalIncome, s.totalExpense);
        s.balanceKnown = true;
        s.stale = isStale(m, link);
        ym = s;
    } catch (const AppError& e) {
        ym.state = MonthFileState::Unreadable;
        ym.error = e.what();
    }
}

} // namespace

YearModel buildYearModel(FileStore& files, const MonthLedger& names, const std::string& dir,
                         int year, const HeldMonth& held) {
    YearModel y;
    y.year = year;
    MonthLedger nameOnly;
    for (int i = 1; i <= ShownItems; ++i)
        nameOnly.Items[i].Name = y.names[i] = names.Items[i].Name;
    CarryLink link = linkBefore(files, nameOnly, dir, year, 1);
    for (int mo = 1; mo <= 12; ++mo) {
        StoredMonth m = readStoredMonth(files, nameOnly, dir, year, mo, held);
        YearMonth& ym = y.months[mo];
        summarise(ym, m, link);
        if (ym.state == MonthFileState::Unreadable) m.state = MonthFileState::Unreadable;
        link = linkAfter(m, link);
        if (ym.state != MonthFileState::Read) continue;
        addToYear(y, ym);
    }
    return y;
}

std::vector<int> YearModel::staleMonths() const {
    std::vector<int> out;
    for (int m = 1; m <= 12; ++m)
        if (months[m].stale) out.push_back(m);
    return out;
}

std::vector<int> YearModel::unreadableMonths() const {
    std::vector<int> out;
    for (int m = 1; m <= 12; ++m)
        if (months[m].state == MonthFileState::Unreadable) out.push_back(m);
    return out;
}

void addToYear(YearModel& y, const YearMonth& ym) {
    for (int i = 1; i <= ShownItems; ++i) {
        y.income[i] = checkedAdd(y.income[i], ym.income[i]);
        y.expense[i] = checkedAdd(y.expense[i], ym.expense[i]);
        y.net[i] = checkedAdd(y.net[i], ym.net[i]);
    }
    y.totalIncome = checkedAdd(y.totalIncome, ym.totalIncome);
    y.totalExpense = checkedAdd(y.totalExpense, ym.totalExpense);
    y.totalNet = checkedAdd(y.totalNet, ym.totalNet);
}
