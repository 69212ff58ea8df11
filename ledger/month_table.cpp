#include "ledger/month_table.h"

MonthTable monthTable(const MonthLedger& ledger, int days) {
    if (days < 1 || days > 31) throwRangeError();
    MonthTable t;
    for (int e = 1; e <= ShownItems; ++e)
        t.carried = checkedAdd(t.carried, ledger.CarryOver[e]);
    int32_t running = t.carried;
    for (int d = 1; d <= days; ++d) {
        for (int e = 1; e <= ShownItems; ++e) {
            const DayCell& cell = ledger.Items[e].Days[d];
            t.net[e][d] = checkedSub(cell.Income, cell.Expense);
            t.dayTotal[d] = checkedAdd(t.dayTotal[d], t.net[e][d]);
            t.income[e] = checkedAdd(t.income[e], cell.Income);
            t.expense[e] = checkedAdd(t.expense[e], cell.Expense);
        }
        running = checkedAdd(running, t.dayTotal[d]);
        t.balance[d] = running;
    }
    for (int e = 1; e <= ShownItems; ++e) {
        t.itemNet[e] = checkedSub(t.income[e], t.expense[e]);
        t.totalIncome = checkedAdd(t.totalIncome, t.income[e]);
        t.totalExpense = checkedAdd(t.totalExpense, t.expense[e]);
    }
    t.totalNet = checkedSub(t.totalIncome, t.totalExpense);
    return t;
}

int daysInMonth(int year, int month) {
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) throwRangeError();
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : lengths[month - 1];
}
