#pragma once
// What a kept version of a month or a diary day changes against the file of
// today: the cells that differ, and a one-line summary for the restore list.

#include "ledger/month_ledger.h"

#include <cstdint>
#include <string>
#include <vector>

// The month a file's bytes give under the configured item names of `names`.
// Throws what loadMonth throws for a malformed file.
MonthLedger monthOfBytes(const MonthLedger& names, const std::string& bytes);

struct CellChange {
    int item;
    int day;
    bool expense;
    int32_t from; // today
    int32_t to;   // the version
};
// Every cell of the twelve named items where `version` differs from `now`.
std::vector<CellChange> cellChanges(const MonthLedger& now, const MonthLedger& version);

// "食費, 光熱費 / 3日 / 収入 12,000→10,000 / 支出 5,000→5,300" (UTF-8), or
// "今日と同じ" when nothing differs. Totals are the months' day amounts.
std::string monthChangeSummary(const MonthLedger& now, const MonthLedger& version);
// "3 行が異なります (12→10 行)", or "今日と同じ".
std::string diaryChangeSummary(const std::string& nowBytes, const std::string& versionBytes);
