#pragma once
// Budgets: an expense amount per item and month, with a fixed/variable mark
// and an optional carry of the rest. The plan keeps an entry only for the
// months where the user set one; a month without its own entry takes the
// latest earlier month's, so a household sets it once and an edit never
// reaches back into months before it. Items are matched by name, as the
// month files match their lines, so renaming an item and naming it back
// finds its budget again.
//
// The plan lives in ZADUD.BGT in the ledger folder (format in README.md).
// Spent amounts come from a MonthLedger, and the months before it (for the
// carry) from a reader, so the summary does not care where a month is kept.

#include "ledger/file_store.h"
#include "ledger/month_ledger.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

inline constexpr const char* BudgetFileName = "ZADUD.BGT";
inline constexpr int32_t BudgetMax = 2147483647;

// One item's plan from a month on. An entry that is not `budgeted` ends an
// earlier budget from its month on.
struct BudgetEntry {
    bool budgeted = true;
    int32_t amount = 0;
    bool fixed = false; // 固定費: no daily pace
    bool carry = false; // 繰越: the month's rest (or deficit) goes to the next month
    bool operator==(const BudgetEntry& o) const {
        return budgeted == o.budgeted &&
               (!budgeted || (amount == o.amount && fixed == o.fixed && carry == o.carry));
    }
    bool operator!=(const BudgetEntry& o) const { return !(*this == o); }
};

class BudgetPlan {
public:
    // The entry in effect for the month; nullopt (no budget) before the
    // item's first entry or after an entry that ends it.
    std::optional<BudgetEntry> at(const std::string& name, int year, int month) const;
    // The month's own entry: later months keep theirs, earlier months stay.
    // An amount outside 0 .. BudgetMax throws "整数のｵｰﾊﾞｰﾌﾛｰ".
    void set(const std::string& name, int year, int month, const BudgetEntry& entry);
    // Sets the entry only when it differs from the one in effect, so a month
    // saved unchanged keeps following the months before it.
    void setIfChanged(const std::string& name, int year, int month, const BudgetEntry& entry);
    bool empty() const { return items_.empty(); }
    bool operator==(const BudgetPlan& o) const;

    // Months are keyed year * 12 + month - 1.
    using Months = std::map<int, BudgetEntry>;
    const std::map<std::string, Months>& items() const { return items_; }

private:
    std::map<std::string, Months> items_; // CP932 name bytes
};

// The side file's bytes, and back. A malformed text throws naming the line.
std::string formatBudgetPlan(const BudgetPlan& plan);
BudgetPlan parseBudgetPlan(const std::string& bytes);

// The plan as read from the ledger folder. A missing file is an empty plan;
// a file that cannot be read or parsed leaves the plan empty and `damaged`
// set with a message naming the file: the ledger keeps working without
// budgets, and nothing may write over the file until the user chooses to.
struct BudgetFile {
    BudgetPlan plan;
    bool damaged = false;
    std::string error; // UTF-8
    std::string path;
};
BudgetFile readBudgetFile(FileStore& files, const std::string& ledgerDir);
void writeBudgetFile(FileStore& files, const std::string& ledgerDir, const BudgetPlan& plan);

// A budget amount as typed: plain digits (grouping commas allowed), 0 to
// BudgetMax; anything else throws "予算額は 0 から 2,147,483,647 までの整数です".
int32_t parseBudgetAmount(const std::string& text);

// Months before the summarised one, for the carry: the month as the current
// month load reads it (names as configured); throws AppError when its file
// cannot be read.
using MonthReader = std::function<MonthLedger(int year, int month)>;
// The reader over the month files of `dir`; a month without a file is empty.
MonthReader monthFileReader(FileStore& files, const MonthLedger& names, const std::string& dir);

struct BudgetLine {
    bool budgeted = false;
    bool fixed = false;
    bool carry = false;
    int64_t planned = 0; // the plan's amount
    int64_t carried = 0; // the rest brought from the month before (negative: a deficit)
    int64_t budget = 0;  // planned + carried
    int64_t spent = 0;   // the month's expense total
    int64_t remaining = 0;
    int64_t pace = 0; // remaining per day left, variable items with days left and a rest only
    bool hasPace = false;
    bool over() const { return budgeted && remaining < 0; }
};

struct BudgetSummary {
    RangeArray<BudgetLine, 1, ShownItems> lines; // by item slot of the month
    bool any = false;                            // some named item has a budget
    std::string error; // a month the carry needed could not be read (its carry counts 0)
};

// `daysLeft`: days of the month from today on, today included (0 for a month
// that is over); see daysLeftInMonth.
BudgetSummary budgetSummary(const BudgetPlan& plan, const MonthLedger& month, int year, int mon,
                            int daysLeft, const MonthReader& earlier);

// Fills a budgeted item's line (its spent already set) from its plan entry
// `e`: the rest carried through the unbroken chain of earlier spans whose
// entries carry, and the pace over `daysLeft`. A span is a month or a
// period: `entryBack(k)` is the plan's entry of the k-th span before (none
// past the first one there can be), `spentBack(k)` what that span spent. A
// span that cannot be read leaves the carry at 0 and its message in `error`.
void fillBudgetLine(BudgetLine& line, const BudgetEntry& e, int daysLeft,
                    const std::function<std::optional<BudgetEntry>(int k)>& entryBack,
                    const std::function<int64_t(int k)>& spentBack, std::string& error);

// Days of (year, month) from today on, today included: the whole month when
// it is still to come, none when it is over.
int daysLeftInMonth(int year, int month, int todayYear, int todayMonth, int todayDay);

// Per day of the month: the variable items' spending up to and including the
// day, and their budgets prorated over the month up to that day. `days` is
// the month's length.
struct BudgetDay {
    int64_t spent = 0;
    int64_t allowed = 0;
};
RangeArray<BudgetDay, 1, 31> variableBudgetByDay(const BudgetSummary& summary,
                                                 const MonthLedger& month, int days);

// A year of budgets: each month's summary, and per item the year's budget
// (the months' planned amounts and what January brought in), spent and
// remaining. A month the reader cannot give is left out (`read` false).
struct YearBudget {
    RangeArray<BudgetSummary, 1, 12> months;
    RangeArray<bool, 1, 12> read;
    RangeArray<BudgetLine, 1, ShownItems> year;
    bool any = false;
};
YearBudget yearBudget(const BudgetPlan& plan, int year, const MonthReader& months);
// The same over any twelve summaries (a year's periods); one that throws
// AppError is left out.
YearBudget yearBudget(const std::function<BudgetSummary(int month)>& summaryOf);
