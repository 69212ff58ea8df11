#pragma once
// A year of the account book, month by month and item by item, read from
// the month files without ever writing one. A month without a file had no
// movement and passes its balance on; a file that cannot be read or parsed
// is named and left out of every sum. Items are those of the configuration
// in effect: lines of other names count nowhere.

#include "ledger/carry_chain.h"

#include <string>
#include <vector>

struct YearMonth {
    MonthFileState state = MonthFileState::Missing;
    std::string error;  // why an unreadable month was left out (UTF-8)
    bool stale = false; // its balance brought in differs from the month before's closing
    std::vector<std::string> otherNames; // lines of names the configuration does not hold
    RangeArray<int32_t, 1, ShownItems> income, expense, net;
    int32_t totalIncome = 0, totalExpense = 0, totalNet = 0;
    bool balanceKnown = false; // false when unreadable, or without a file after an unreadable one
    int32_t broughtIn = 0;     // as stored in the month's file
    int32_t closing = 0;
};

struct YearModel {
    int year = 0;
    RangeArray<std::string, 1, ShownItems> names; // code page 932
    RangeArray<YearMonth, 1, 12> months;
    RangeArray<int32_t, 1, ShownItems> income, expense, net; // the year per item
    int32_t totalIncome = 0, totalExpense = 0, totalNet = 0;

    std::vector<int> staleMonths() const;
    std::vector<int> unreadableMonths() const;
};

// `names`: a ledger holding the configured item names. A sum outside 32 bits
// in one month leaves that month out as unreadable; in the year's totals it
// throws "整数のｵｰﾊﾞｰﾌﾛｰ".
YearModel buildYearModel(FileStore& files, const MonthLedger& names, const std::string& dir,
                         int year, const HeldMonth& held = {});
// Adds a read month's figures to the year's totals (overflow-checked).
void addToYear(YearModel& y, const YearMonth& ym);
