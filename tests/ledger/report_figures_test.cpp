#include "ledger/report_figures.h"

#include "ledger/cp932.h"
#include "ledger/period_figures.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const std::string Food = "\x90\x48\x94\xef"; // 食費
const std::string Card = "Card";
const std::string Salary = "Salary";

// Months in memory; a month is there once something is put in it.
struct Months {
    std::map<MonthKey, ReportMonth> held;
    ReportMonth& at(int year, int month) {
        ReportMonth& m = held[{year, month}];
        m.present = true;
        m.ledger.Items[1].Name = Food;
        m.ledger.Items[2].Name = Card;
        m.ledger.Items[3].Name = Salary;
        return m;
    }
    void spend(int year, int month, int day, int32_t amount, int slot = 1) {
        at(year, month).ledger.Items[slot].Days[day].Expense += amount;
    }
    ReportSource source() const {
        return [this](int year, int month) {
            const auto it = held.find({year, month});
            if (it != held.end()) return it->second;
            ReportMonth none;
            none.ledger.Items[1].Name = Food;
            none.ledger.Items[2].Name = Card;
            none.ledger.Items[3].Name = Salary;
            return none;
        };
    }
};

const PeriodRule Calendar{};
const PeriodRule Payday{25, PeriodShift::None, PeriodNaming::End};

EntryLine line(int day, LineSide side, const std::string& item, int32_t amount,
               const std::string& utf8Memo) {
    EntryLine l;
    l.day = day;
    l.side = side;
    l.item = item;
    l.amount = amount;
    l.memo = utf8ToCp932(utf8Memo);
    return l;
}

std::string text(const std::optional<int64_t>& v) {
    return v ? std::to_string(*v) : "none";
}

} // namespace

TEST(ReportFigures, ComparesWithTheLastPeriodLastYearAndTheUsual) {
    struct Case {
        const char* what;
        PeriodRule rule;
        std::function<void(Months&)> fill;
        PeriodName shown;
        int64_t now;
        std::string last, lastYear, average; // "none" without data
        std::string lastPercent, yearPercent;
    } cases[] = {
        {"a zero base has an amount and no percentage",
         Calendar,
         [](Months& m) {
             m.spend(2025, 12, 5, 1000);
             m.at(2026, 11);
             m.spend(2026, 12, 31, 3000);
         },
         {2026, 12},
         3000,
         "0",
         "1000",
         "500",
         "―",
         "+200.0%"},
        {"last year missing is no data, not zero",
         Calendar,
         [](Months& m) {
             m.spend(2026, 11, 1, 4000);
             m.spend(2026, 12, 1, 3000);
         },
         {2026, 12},
         3000,
         "4000",
         "none",
         "4000",
         "-25.0%",
         "―"},
        {"nothing before the period",
         Calendar,
         [](Months& m) { m.spend(2026, 12, 1, 10); },
         {2026, 12},
         10,
         "none",
         "none",
         "none",
         "―",
         "―"},
        {"a payday period takes its days from two month files",
         Payday,
         [](Months& m) {
             m.spend(2026, 11, 24, 1);    // the period before
             m.spend(2026, 11, 25, 20);   // 2026年12月分 starts
             m.spend(2026, 12, 24, 300);  // and ends
             m.spend(2026, 12, 25, 4000); // 2027年1月分
             m.spend(2025, 11, 25, 50000);
             m.spend(2025, 12, 25, 7); // a year ago, the period after
         },
         {2026, 12},
         320,
         "1",
         "50000",
         "16669",
         "+31900.0%",
         "-99.4%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Months months;
        c.fill(months);
        ReportBook book(c.rule, months.source(), {});
        const PeriodReport r = book.report(c.shown);
        ASSERT_EQ(r.items.size(), 3u);
        const Comparison& food = r.items[0].expense;
        EXPECT_EQ(r.items[0].name, Food);
        EXPECT_EQ(food.now, c.now);
        EXPECT_EQ(text(food.last), c.last);
        EXPECT_EQ(text(food.lastYear), c.lastYear);
        EXPECT_EQ(text(food.average), c.average);
        EXPECT_EQ(changePercentText(changeFrom(food.now, food.last)), c.lastPercent);
        EXPECT_EQ(changePercentText(changeFrom(food.now, food.lastYear)), c.yearPercent);
        // Only one item spends: the total is the item's.
        EXPECT_EQ(r.expense.now, food.now);
        EXPECT_EQ(text(r.expense.last), c.last);
        EXPECT_EQ(text(r.expense.average), c.average);
    }
}

TEST(ReportFigures, ChangeAndRateTexts) {
    struct Case {
        int64_t now;
        std::optional<int64_t> base;
        const char *amount, *percent;
    } changes[] = {
        {1500, 1000, "+500", "+50.0%"},
        {500, 1000, "-500", "-50.0%"},
        {1000, 1000, "0", "+0.0%"},
        {1234567, 0, "+1,234,567", "―"},
        {0, 0, "0", "―"},
        {100, std::nullopt, "―", "―"},
        {100, -200, "+300", "+150.0%"},
    };
    for (const auto& c : changes) {
        const Change change = changeFrom(c.now, c.base);
        EXPECT_EQ(changeAmountText(change), c.amount) << c.now;
        EXPECT_EQ(changePercentText(change), c.percent) << c.now;
    }
    struct Rate {
        int64_t income, expense;
        const char* text;
    } rates[] = {{200000, 150000, "25.0%"},
                 {200000, 260000, "-30.0%"},
                 {0, 5000, "―"},
                 {-100, 0, "―"},
                 {3, 2, "33.3%"}};
    for (const auto& r : rates)
        EXPECT_EQ(savingsRateText({r.income, r.expense}), r.text) << r.income << " " << r.expense;
}

// A refrigerator left out, a card paid off from the bank: neither is
// spending in any figure, both stay in the balance.
TEST(ReportFigures, MarkedAmountsAreLeftOutOfEveryTotalButTheBalance) {
    struct Case {
        const char* what;
        std::function<void(Months&, MarkSet&)> mark;
        int64_t food, card, expense, income;
        MarkedTotals marked;
        std::string rate;
    } cases[] = {
        {"nothing marked", [](Months&, MarkSet&) {}, 180000, 30000, 210000, 300000, {}, "30.0%"},
        {"a line 集計対象外",
         [](Months& m, MarkSet&) {
             m.at(2026, 12).lines.push_back(
                 line(1, LineSide::Expense, Food, 150000, "冷蔵庫 #集計対象外"));
         },
         30000,
         30000,
         60000,
         300000,
         {0, 150000, 0, 0},
         "80.0%"},
        {"a whole cell 振替",
         [](Months&, MarkSet& s) {
             s.set({{2026, 12}, 27, LineSide::Expense, Card}, ReportMark::Transfer);
         },
         180000,
         0,
         180000,
         300000,
         {0, 0, 0, 30000},
         "40.0%"},
        {"income marked 振替",
         [](Months&, MarkSet& s) {
             s.set({{2026, 12}, 25, LineSide::Income, Salary}, ReportMark::Transfer);
         },
         180000,
         30000,
         210000,
         0,
         {0, 0, 300000, 0},
         "―"},
        {"marked lines never take more than the cell",
         [](Months& m, MarkSet&) {
             m.at(2026, 12).lines.push_back(line(27, LineSide::Expense, Card, 90000, "#振替"));
         },
         180000,
         0,
         180000,
         300000,
         {0, 0, 0, 30000},
         "40.0%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Months months;
        months.spend(2026, 12, 1, 150000, 1);
        months.spend(2026, 12, 11, 30000, 1);
        months.spend(2026, 12, 27, 30000, 2);
        months.at(2026, 12).ledger.Items[3].Days[25].Income = 300000;
        MarkSet marks;
        c.mark(months, marks);
        ReportBook book(Calendar, months.source(), marks);
        const PeriodReport r = book.report({2026, 12});
        EXPECT_EQ(r.items[0].expense.now, c.food);
        EXPECT_EQ(r.items[1].expense.now, c.card);
        EXPECT_EQ(r.expense.now, c.expense);
        EXPECT_EQ(r.income.now, c.income);
        EXPECT_EQ(r.marked.excludedExpense, c.marked.excludedExpense);
        EXPECT_EQ(r.marked.transferIncome, c.marked.transferIncome);
        EXPECT_EQ(r.marked.transferExpense, c.marked.transferExpense);
        EXPECT_EQ(savingsRateText(r.savings), c.rate);
        EXPECT_EQ(savingsRateText(r.year), c.rate);
        EXPECT_EQ(book.monthSoFar({2026, 12}, {2026, 12, 31}).atDay[0], c.expense);
        // The budgets' spent counts the same way.
        BudgetPlan plan;
        plan.set(Food, 2026, 12, {true, 200000, false, false});
        const BudgetSummary budget = periodBudgetSummary(
            plan, Calendar, {2026, 12}, 0, countedMonthReader(months.source(), marks));
        EXPECT_EQ(budget.lines[1].spent, c.food);
        EXPECT_EQ(budget.lines[2].spent, c.card);
    }
}

TEST(ReportFigures, DrillDownDaysAndLinesSumToTheSlice) {
    Months months;
    // Payday periods: 2026年12月分 is 11/25..12/24.
    months.spend(2026, 11, 24, 999);
    months.spend(2026, 11, 30, 1500);
    months.spend(2026, 12, 10, 800); // no lines
    months.at(2026, 11).lines = {line(28, LineSide::Expense, Food, 300, "more than the cell"),
                                 line(30, LineSide::Expense, Food, 1000, "a"),
                                 line(30, LineSide::Expense, Card, 77, "other item")};
    months.spend(2026, 12, 3, 5000);
    months.at(2026, 12).lines = {line(3, LineSide::Expense, Food, 2000, "b"),
                                 line(3, LineSide::Expense, Food, 2500, "#振替"),
                                 line(3, LineSide::Income, Food, 9, "income side")};
    months.spend(2026, 12, 20, 700);
    months.at(2026, 12).lines.push_back(line(20, LineSide::Expense, Food, 700, "cell marked"));
    MarkSet marks;
    marks.set({{2026, 12}, 20, LineSide::Expense, Food}, ReportMark::Excluded);
    ReportBook book(Payday, months.source(), marks);
    const PeriodReport r = book.report({2026, 12});
    const std::vector<DrillDay> days = book.drillDown(r.range, Food);

    struct Day {
        Date day;
        int64_t amount;
        std::vector<std::string> memos;
        int64_t unlined;
    } expected[] = {{{2026, 11, 28}, 0, {"more than the cell"}, -300},
                    {{2026, 11, 30}, 1500, {"a"}, 500},
                    {{2026, 12, 3}, 2500, {"b"}, 500},
                    {{2026, 12, 10}, 800, {}, 800}};
    ASSERT_EQ(days.size(), std::size(expected));
    int64_t sum = 0;
    for (std::size_t i = 0; i < days.size(); ++i) {
        EXPECT_EQ(days[i].day, expected[i].day);
        EXPECT_EQ(days[i].amount, expected[i].amount);
        EXPECT_EQ(days[i].unlined, expected[i].unlined);
        std::vector<std::string> memos;
        int64_t lined = 0;
        for (const EntryLine& l : days[i].lines) {
            memos.push_back(l.memo);
            lined += l.amount;
        }
        EXPECT_EQ(memos, expected[i].memos);
        EXPECT_EQ(lined + days[i].unlined, days[i].amount);
        sum += days[i].amount;
    }
    EXPECT_EQ(sum, r.items[0].expense.now);
    EXPECT_TRUE(book.drillDown(r.range, "Nobody").empty());
}

TEST(ReportFigures, MonthSoFarAgainstTheSameDaysOfThreePeriodsBefore) {
    Months months;
    for (int m = 9; m <= 12; ++m)
        for (int d = 1; d <= 30; ++d)
            months.spend(2026, m, d, m * 10);
    months.held.erase({2026, 10}); // no data that month
    ReportBook book(Calendar, months.source(), {});
    struct Case {
        Date today;
        int day;
        std::optional<int64_t> at[4];
    } cases[] = {
        {{2026, 12, 1}, 1, {120, 110, std::nullopt, 90}},
        {{2026, 12, 10}, 10, {1200, 1100, std::nullopt, 900}},
        {{2026, 11, 30}, 0, {0, 0, std::nullopt, 0}},
        {{2027, 1, 5}, 31, {3600, 3300, std::nullopt, 2700}},
    };
    for (const Case& c : cases) {
        const MonthSoFar f = book.monthSoFar({2026, 12}, c.today);
        EXPECT_EQ(f.day, c.day);
        EXPECT_EQ(f.cumulative[0].size(), std::size_t(c.day));
        EXPECT_EQ(f.cumulative[3].size(), 30u); // September, whole
        EXPECT_EQ(f.names[2], (PeriodName{2026, 10}));
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(f.atDay[k], c.at[k]) << isoDate(c.today) << " " << k;
    }
}

TEST(ReportFigures, ChartFoldsPastEightItemsTheListNever) {
    std::vector<ReportItem> items;
    for (int i = 1; i <= 12; ++i)
        items.push_back({"i" + std::to_string(i), {i == 3 ? 0 : i * 100, {}, {}, {}}});
    items[0].expense.now = 1100; // ties with i11 and stays before it
    items[1].expense.now = 1;    // the least piece still shows
    struct Case {
        std::size_t shown;
        std::vector<std::string> names;
        int64_t other;
    } cases[] = {
        {8, {"i12", "i1", "i11", "i10", "i9", "i8", "i7", "i6"}, 500 + 400 + 1},
        {11, {"i12", "i1", "i11", "i10", "i9", "i8", "i7", "i6", "i5", "i4", "i2"}, -1},
    };
    for (const Case& c : cases) {
        const std::vector<ChartSlice> slices = chartSlices(items, c.shown);
        std::vector<std::string> names;
        for (const ChartSlice& s : slices)
            if (!s.other) names.push_back(s.name);
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(slices.back().other, c.other >= 0);
        if (c.other >= 0) {
            EXPECT_EQ(slices.back().amount, c.other);
            EXPECT_EQ(cp932ToUtf8(slices.back().name), "その他");
        }
    }
}
