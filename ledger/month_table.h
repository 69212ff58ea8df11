#pragma once
// The month as the monthly list shows it, computed once for the exports
// (printout, CSV): each item's net per day, the day totals, the running
// balance from the carried balance, and each item's month totals. Every sum
// is checked; a value outside 32 bits throws "整数のｵｰﾊﾞｰﾌﾛｰ" and nothing is
// returned, so an export never shows a partial month.

#include "ledger/month_ledger.h"

#include <cstdint>

struct MonthTable {
    int32_t carried = 0; // the balance brought in: CarryOver summed over the items
    RangeArray<RangeArray<int32_t, 1, 31>, 1, ShownItems> net; // income minus expense
    RangeArray<int32_t, 1, 31> dayTotal;
    RangeArray<int32_t, 1, 31> balance;                          // after each day
    RangeArray<int32_t, 1, ShownItems> income, expense, itemNet; // month totals per item
    int32_t totalIncome = 0, totalExpense = 0, totalNet = 0;
};

// Days 1 to `days` (the month's length; 31 covers every day cell).
MonthTable monthTable(const MonthLedger& ledger, int days = 31);

// Days in a month of the Gregorian calendar.
int daysInMonth(int year, int month);
