#pragma once
// Spreadsheet exports: RFC 4180 fields (quoted when they hold a comma, a
// quote or a line break), CR LF rows, UTF-8 with a byte order mark so that
// spreadsheet programs on either side pick the right characters, and plain
// numbers without grouping commas so that they read as numbers.

#include "ledger/budget_plan.h"
#include "ledger/entry_lines.h"
#include "ledger/month_ledger.h"
#include "ledger/year_model.h"

#include <functional>
#include <string>
#include <vector>

std::string csvField(const std::string& utf8);
// A text cell (a name, a memo) that a spreadsheet would read as a formula
// (=, +, -, @, a tab or CR first) gets a leading apostrophe, so it shows as
// the text it is; numbers never go through here.
std::string csvText(const std::string& utf8);
std::string csvRow(const std::vector<std::string>& utf8Fields);
// The budgets' rows after a blank one (項目, 予算, 使った, 残り), item names
// (CP932) by slot; nothing without budgets.
std::string budgetCsv(const BudgetSummary* budget,
                      const std::function<std::string(int item)>& itemName);

// The year table: items by months with the year's total, then the months'
// income, expense, net and closing balance. A month left out is empty.
std::string yearCsv(const YearModel& model);

// The monthly list: items by days of the month (with each item's carried
// balance first), then the day totals (日計) and the running balance (残高).
// With budgets (`budget` given and holding any), a blank row and a table of
// the budgeted items follow: 予算, 使った, 残り per item.
std::string monthCsv(const MonthLedger& ledger, int year, int month,
                     const BudgetSummary* budget = nullptr);

// The month's entry lines, to follow the monthly list: a blank row, then
// 日付, 項目, 収入, 支出, ﾒﾓ per line, by day and in the order they were
// added. Empty without lines.
std::string linesCsv(const std::vector<EntryLine>& lines, int year, int month);
