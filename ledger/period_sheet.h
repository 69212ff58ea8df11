#pragma once
// A period laid out as the monthly list lays out a month: each item's net
// per day from the period's first day, the day totals, and the running
// balance from the balance brought to that day (the first month's
// carry-over and its days before the period). Every sum is checked, as for a
// month ("整数のｵｰﾊﾞｰﾌﾛｰ"), so an export never shows a partial period.

#include "ledger/budget_plan.h"
#include "ledger/period.h"

#include <cstdint>
#include <string>
#include <vector>

struct PeriodSheet {
    PeriodRange range;
    RangeArray<std::string, 1, ShownItems> names;        // CP932, the first month's slots
    RangeArray<int32_t, 1, ShownItems> carryOver;        // per item, brought to the first day
    int32_t carried = 0;                                 // their sum
    std::vector<Date> dates;                             // the period's days, in order
    std::vector<RangeArray<int32_t, 1, ShownItems>> net; // per day: income minus expense
    std::vector<int32_t> dayTotal, balance;              // per day; balance after it
    RangeArray<int32_t, 1, ShownItems> income, expense;  // the period's, per item
};

// `months` gives each month as entering it would (its carry-over, then its
// days): the document's reader, or the month files read for an export.
PeriodSheet periodSheet(const PeriodRange& range, const MonthReader& months);

// The period as CSV, as monthCsv writes a month: a column per day headed by
// its date ("11/25"), then the budgets when there are any.
std::string periodCsv(const PeriodSheet& sheet, const BudgetSummary* budget);
