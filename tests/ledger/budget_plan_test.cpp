#include "ledger/budget_plan.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <map>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

const std::string Food = "\x90\x48\x94\xef"; // 食費
const std::string Rent = "Rent";

MonthLedger named() {
    MonthLedger m;
    m.Items[1].Name = Food;
    m.Items[3].Name = Rent;
    m.Items[4].Name = "NoBudget";
    return m;
}

// Months by key year*100+month, each with an expense on day 1 per item slot.
struct Months {
    std::map<int, std::map<int, int32_t>> spent;
    MonthLedger at(int year, int month) const {
        MonthLedger m = named();
        const auto it = spent.find(year * 100 + month);
        if (it != spent.end())
            for (const auto& [item, amount] : it->second)
                m.Items[item].Days[1].Expense = amount;
        return m;
    }
    MonthReader reader() const {
        return [this](int y, int m) { return at(y, m); };
    }
};

} // namespace

TEST(BudgetPlan, MonthRulesCopyForwardLaterEditsAndCarryWithDeficit) {
    BudgetPlan plan;
    plan.set(Food, 1996, 10, {true, 30000, false, true});
    plan.set(Rent, 1996, 11, {true, 80000, true, false});
    // A later edit of December leaves October and November alone.
    plan.set(Food, 1996, 12, {true, 20000, false, true});
    plan.setIfChanged(Rent, 1997, 1, {true, 80000, true, false}); // unchanged: no entry
    plan.set(Rent, 1997, 3, {false, 0, false, false});            // ends the budget

    Months months;
    months.spent[199610] = {{1, 25000}};
    months.spent[199611] = {{1, 41000}, {3, 80000}}; // 6000 over after October's 5000 carried
    months.spent[199612] = {{1, 10000}};
    months.spent[199701] = {{1, 30000}};
    struct Case {
        int year, month, item;
        bool budgeted;
        int64_t budget, spent, remaining;
    } cases[] = {
        {1996, 9, 1, false, 0, 0, 0}, // before the first entry
        {1996, 10, 1, true, 30000, 25000, 5000},
        {1996, 11, 1, true, 35000, 41000, -6000},
        {1996, 12, 1, true, 14000, 10000, 4000}, // the deficit lowers December
        {1997, 1, 1, true, 24000, 30000, -6000},
        {1997, 2, 1, true, 14000, 0, 14000}, // copied forward with its carry
        {1996, 10, 3, false, 0, 0, 0},
        {1997, 2, 3, true, 80000, 0, 80000},
        {1997, 4, 3, false, 0, 0, 0}, // ended
        {1997, 1, 4, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.year) + "-" + std::to_string(c.month) + " item " +
                     std::to_string(c.item));
        const BudgetSummary s =
            budgetSummary(plan, months.at(c.year, c.month), c.year, c.month, 0, months.reader());
        const BudgetLine& l = s.lines[c.item];
        EXPECT_EQ(l.budgeted, c.budgeted);
        EXPECT_EQ(l.budget, c.budget);
        EXPECT_EQ(l.spent, c.spent);
        EXPECT_EQ(l.remaining, c.remaining);
        EXPECT_EQ(l.over(), c.remaining < 0);
        EXPECT_TRUE(s.error.empty());
    }
    // The year: with the carry on all year its rest is December's.
    const YearBudget y = yearBudget(plan, 1997, months.reader());
    EXPECT_EQ(y.year[1].budget, 12 * 20000 + 4000);
    EXPECT_EQ(y.year[1].remaining, 214000);
    EXPECT_EQ(y.months[12].lines[1].remaining, 214000);
    EXPECT_EQ(y.year[3].budget, 2 * 80000); // ended in March
    // A year whose budgets start in October still has them; one before has none.
    EXPECT_TRUE(yearBudget(plan, 1996, months.reader()).any);
    EXPECT_FALSE(yearBudget(plan, 1995, months.reader()).any);
    EXPECT_EQ(plan.at(Food, 1996, 11)->amount, 30000);
    EXPECT_EQ(plan.items().at(Rent).size(), 2u);
}

TEST(BudgetPlan, PaceForVariableItemsOverTheDaysLeftIncludingToday) {
    BudgetPlan plan;
    plan.set(Food, 1996, 12, {true, 31000, false, false});
    plan.set(Rent, 1996, 12, {true, 80000, true, false});
    Months months;
    months.spent[199612] = {{1, 1000}};
    struct Case {
        int todayYear, todayMonth, todayDay, daysLeft;
        bool hasPace;
        int64_t pace;
    } cases[] = {
        {1996, 12, 31, 1, true, 30000}, // the last day: all that is left
        {1996, 12, 1, 31, true, 967},
        {1996, 11, 20, 31, true, 967},
        {1997, 1, 1, 0, false, 0}, // the month is over
    };
    for (const Case& c : cases) {
        const int left = daysLeftInMonth(1996, 12, c.todayYear, c.todayMonth, c.todayDay);
        EXPECT_EQ(left, c.daysLeft);
        const BudgetSummary s =
            budgetSummary(plan, months.at(1996, 12), 1996, 12, left, months.reader());
        EXPECT_EQ(s.lines[1].hasPace, c.hasPace);
        EXPECT_EQ(s.lines[1].pace, c.pace);
        EXPECT_FALSE(s.lines[3].hasPace); // fixed
    }
    // Spent exactly or over budget there is no pace, and the bar's day
    // figures count variable items only.
    months.spent[199612] = {{1, 31000}};
    EXPECT_FALSE(
        budgetSummary(plan, months.at(1996, 12), 1996, 12, 5, months.reader()).lines[1].hasPace);
    months.spent[199612] = {{1, 40000}, {3, 80000}};
    const BudgetSummary over =
        budgetSummary(plan, months.at(1996, 12), 1996, 12, 5, months.reader());
    EXPECT_FALSE(over.lines[1].hasPace);
    EXPECT_EQ(over.lines[1].remaining, -9000);
    const auto days = variableBudgetByDay(over, months.at(1996, 12), 31);
    EXPECT_EQ(days[1].spent, 40000);
    EXPECT_EQ(days[1].allowed, 1000);
    EXPECT_EQ(days[31].allowed, 31000);
}

TEST(BudgetPlan, SideFileRoundTripsAndAMalformedFileIsKept) {
    TempFolder dir;
    BudgetPlan plan;
    plan.set(Food, 1996, 12, {true, 2147483647, false, true});
    plan.set(Food, 1997, 2, {false, 0, false, false});
    plan.set(Rent, 1997, 1, {true, 0, true, false});
    writeBudgetFile(disk, dir.path(), plan);
    EXPECT_EQ(readBytes(dir.file(BudgetFileName)),
              "ZADUD-BUDGET,1\r\n1997-01,Rent,0,F,0\r\n1996-12," + Food +
                  ",2147483647,V,1\r\n1997-02," + Food + ",-,V,0\r\n");
    BudgetFile read = readBudgetFile(disk, dir.path());
    EXPECT_FALSE(read.damaged);
    EXPECT_TRUE(read.plan == plan);

    const char* malformed[] = {
        "ZADUD-BUDGET,1\r\n1996-12,A,2147483648,V,0\r\n",
        "ZADUD-BUDGET,1\r\n1996-13,A,1,V,0\r\n",
        "ZADUD-BUDGET,1\r\n1996-00,A,1,V,0\r\n",
        "ZADUD-BUDGET,1\r\n0000-12,A,1,V,0\r\n",
        "ZADUD-BUDGET,1\r\n1996-12,,1,V,0\r\n",
        "ZADUD-BUDGET,1\r\n1996-12,A,-1,V,0\r\n",
        "ZADUD-BUDGET,1\r\n1996-12,A,1,X,0\r\n",
        "ZADUD-BUDGET,1\r\n1996-12,A,1,V\r\n",
        "1996-12,A,1,V,0\r\n",
        "ZADUD-BUDGET,1\r\n1996-12,A,1,V,0\r\n1996-12,A,2,V,0\r\n",
    };
    for (const char* bytes : malformed) {
        SCOPED_TRACE(bytes);
        writeBytes(dir.file(BudgetFileName), bytes);
        read = readBudgetFile(disk, dir.path());
        EXPECT_TRUE(read.damaged);
        EXPECT_TRUE(read.plan.empty());
        EXPECT_NE(read.error.find(dir.file(BudgetFileName)), std::string::npos) << read.error;
        EXPECT_EQ(readBytes(dir.file(BudgetFileName)), bytes);
    }
    EXPECT_FALSE(readBudgetFile(disk, dir.file("none")).damaged); // no file: no budgets

    for (const char* text : {"-1", "2147483648", "", "1.5", "12a"})
        EXPECT_THROW(parseBudgetAmount(text), AppError) << text;
    EXPECT_EQ(parseBudgetAmount("2,147,483,647"), 2147483647);
    EXPECT_THROW(plan.set(Food, 1996, 1, {true, -1, false, false}), AppError);
}
