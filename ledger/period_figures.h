#pragma once
// Figures over a period that need not be a calendar month. Month files stay
// calendar months, so a period's figures are summed from the day amounts of
// the one, two (rarely three) months it touches; changing the rule
// re-buckets all history with nothing rewritten.
//
// Items are matched by name, as the budget and the month files match them.
// Months come from a MonthReader (budget_plan.h): the month files, or the
// document's months with the one being edited in memory.

#include "ledger/budget_plan.h"
#include "ledger/period.h"

#include <cstdint>
#include <vector>

// A period's day amounts per shown item slot, day by day from its first day.
struct PeriodLedger {
    PeriodRange range;
    RangeArray<std::string, 1, ShownItems> names; // CP932, the slots of the first month read
    std::vector<RangeArray<DayCell, 1, ShownItems>> days;
    // The amounts of a day inside the range.
    const RangeArray<DayCell, 1, ShownItems>& at(const Date& day) const;
};
// Throws what the reader throws for a month that cannot be read.
PeriodLedger readPeriodLedger(const PeriodRange& range, const MonthReader& months);

struct PeriodTotal {
    int64_t income = 0;
    int64_t expense = 0;
};
// Per item slot, the period's income and expense.
RangeArray<PeriodTotal, 1, ShownItems> periodItemTotals(const PeriodLedger& period);

// The budget summary of the period named (year, month): a budget entry for
// "2026-12" is the budget of the period named so. Spent is the period's
// expense; the carry brings the rest of the periods before (each read from
// its months); `daysLeft` counts the days of the period from today on
// (daysLeftInPeriod). With the calendar rule it equals budgetSummary of
// that month. A month of the shown period that cannot be read throws; one
// only the carry needs sets `error` and its carry counts 0.
BudgetSummary periodBudgetSummary(const BudgetPlan& plan, const PeriodRule& rule,
                                  const PeriodName& name, int daysLeft, const MonthReader& months);

// Per day of the period, from its first day: the variable items' spending up
// to and including the day, and their budgets prorated over the period.
std::vector<BudgetDay> periodBudgetByDay(const BudgetSummary& summary, const PeriodLedger& period);
