#pragma once
// Where the money went: spending by item over a period (or a run of
// periods) against the last one, the same one a year before and the usual
// (the average of the twelve before), the month so far against the same days
// of earlier periods, the savings rate, and the days and lines behind an
// item's figure.
//
// Months are read through a ReportSource, each once per ReportBook, and
// counted without what is marked 集計対象外 or 振替 (report_marks.h), so a
// one-off cost or money moved between accounts never shows as spending.
// Items are matched by name, as the budgets and period figures match them.

#include "ledger/budget_plan.h"
#include "ledger/entry_lines.h"
#include "ledger/period.h"
#include "ledger/report_marks.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// One calendar month as the figures read it.
struct ReportMonth {
    bool present = false; // a month file was there: a month without one is no data, not zero
    MonthLedger ledger;   // items in the configured slots
    std::vector<EntryLine> lines;
    std::string problem; // a line file read only in part, or not at all
};
using ReportSource = std::function<ReportMonth(int year, int month)>;
// The month and line files of `dir`, items in the slots of `names`. A month
// file that is there but cannot be read throws its file error.
ReportSource reportFileSource(FileStore& files, const MonthLedger& names, const std::string& dir);

// The months as budgets count what was spent: marked amounts taken out.
MonthReader countedMonthReader(const ReportSource& source, const MarkSet& marks);

// A figure and what it is compared with; nullopt where there are no data
// (no month file in that span).
struct Comparison {
    int64_t now = 0;
    std::optional<int64_t> last;
    std::optional<int64_t> lastYear;
    std::optional<int64_t> average;
};

// How much a figure moved from its base. Without a base nothing is known;
// with a zero base the amount is, but no percentage.
struct Change {
    bool known = false;
    int64_t amount = 0;
    bool hasPercent = false;
    double percent = 0;
};
Change changeFrom(int64_t now, const std::optional<int64_t>& base);
// "+1,200", "-300", "0"; "―" when not known.
std::string changeAmountText(const Change& change);
// "+12.5%", "-3.0%"; "―" without a percentage.
std::string changePercentText(const Change& change);

// (income − expense) / income.
struct SavingsRate {
    int64_t income = 0;
    int64_t expense = 0;
    bool known() const { return income > 0; }
    double percent() const;
};
// "23.4%", "-5.0%" where spending passed income; "―" without income.
std::string savingsRateText(const SavingsRate& rate);

struct ReportItem {
    std::string name; // CP932
    Comparison expense;
};

// What the marks left out of a span, income and expense apart.
struct MarkedTotals {
    int64_t excludedIncome = 0, excludedExpense = 0;
    int64_t transferIncome = 0, transferExpense = 0;
};

struct PeriodReport {
    PeriodName first, last; // the periods shown, `last` included
    PeriodRange range;
    int periods = 1;
    std::vector<ReportItem> items; // every named item, in slot order
    Comparison expense;            // all items
    Comparison income;
    MarkedTotals marked;
    SavingsRate savings;               // the span shown
    SavingsRate year;                  // the periods named in the year of `last`, up to it
    std::vector<std::string> problems; // line files read in part, each once
};

// A piece of the donut: the items with spending, largest first; past
// `shown` items the rest are one piece, "その他" (`other`).
struct ChartSlice {
    std::string name; // CP932
    int64_t amount = 0;
    bool other = false;
};
std::vector<ChartSlice> chartSlices(const std::vector<ReportItem>& items, std::size_t shown = 8);

// A day of an item's drill-down: its counted amount, the lines that count
// and what was typed without a line (内訳なし), which together make the
// amount.
struct DrillDay {
    Date day;
    int64_t amount = 0;
    std::vector<EntryLine> lines;
    int64_t unlined = 0;
};

// Cumulative spending of all items per day of a period, from its first
// day: the shown period up to the day asked, then the three before, whole.
// `atDay` is each one's spending up to the same day of its period (its last
// day for a shorter one); nullopt for a period without data.
struct MonthSoFar {
    int day = 0; // of the shown period, from 1; 0 before it starts
    std::array<PeriodName, 4> names;
    std::array<std::vector<int64_t>, 4> cumulative;
    std::array<std::optional<int64_t>, 4> atDay;
};

class ReportBook {
public:
    ReportBook(PeriodRule rule, ReportSource source, MarkSet marks);

    // The periods `first` to `last` (the same for one period), compared with
    // as many periods before, the same ones a year before and the average of
    // the twelve periods before `first` (over those with data) times their
    // count. Throws what the source throws.
    PeriodReport report(const PeriodName& first, const PeriodName& last);
    PeriodReport report(const PeriodName& period) { return report(period, period); }

    // The days of `range` on which `item` has a counted amount on `side`,
    // oldest first.
    std::vector<DrillDay> drillDown(const PeriodRange& range, const std::string& item,
                                    LineSide side = LineSide::Expense);

    MonthSoFar monthSoFar(const PeriodName& period, const Date& today);

private:
    struct Month {
        bool present = false;
        CountedMonth counts;
        std::vector<EntryLine> lines;
    };
    struct Sums {
        bool present = false;
        std::map<std::string, int64_t> expense; // by item name
        int64_t income = 0, spent = 0;
        MarkedTotals marked;
    };
    const Month& month(int year, int month);
    const Sums& period(const PeriodName& name);
    Sums span(const PeriodName& first, int count);
    template <typename Fn> void forEachDay(const PeriodRange& range, Fn fn);

    PeriodRule rule_;
    ReportSource source_;
    MarkSet marks_;
    std::map<MonthKey, Month> months_;
    std::map<PeriodName, Sums> periods_;
    std::vector<std::string> problems_;
};
