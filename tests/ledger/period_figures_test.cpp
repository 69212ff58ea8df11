#include "ledger/month_table.h"
#include "ledger/period_figures.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

const std::string Food = "\x90\x48\x94\xef"; // 食費
const std::string Salary = "Salary";
const std::string Rent = "Rent";

MonthLedger named() {
    MonthLedger m;
    m.Items[1].Name = Food;
    m.Items[2].Name = Salary;
    m.Items[3].Name = Rent;
    return m;
}

bool sameLine(const BudgetLine& a, const BudgetLine& b) {
    return a.budgeted == b.budgeted && a.fixed == b.fixed && a.carry == b.carry &&
           a.planned == b.planned && a.carried == b.carried && a.budget == b.budget &&
           a.spent == b.spent && a.remaining == b.remaining && a.pace == b.pace &&
           a.hasPace == b.hasPace;
}

} // namespace

// Payday the 25th: 2026年12月分 is 11/25 to 12/24, in two month files.
TEST(PeriodFigures, BudgetAndTotalsAcrossTwoMonthFiles) {
    TempFolder dir;
    MonthLedger oct = named(), nov = named(), dec = named();
    oct.Items[12].Name = nov.Items[12].Name = dec.Items[12].Name = "Last";
    nov.Items[12].Days[30].Expense = 600;
    dec.Items[12].Days[1].Expense = 400;
    oct.Items[1].Days[24].Expense = 600; // 11月分 starts on 10/25
    oct.Items[1].Days[25].Expense = 500;
    nov.Items[1].Days[24].Expense = 1000;
    nov.Items[1].Days[25].Expense = 2000;
    nov.Items[1].Days[30].Expense = 3000;
    nov.Items[2].Days[25].Income = 300000;
    nov.Items[3].Days[27].Expense = 80000;
    dec.Items[1].Days[24].Expense = 4000;
    dec.Items[1].Days[25].Expense = 6000;
    dec.Items[2].Days[25].Income = 310000;
    saveMonthFile(disk, oct, dir.path(), 2026, 10);
    saveMonthFile(disk, nov, dir.path(), 2026, 11);
    saveMonthFile(disk, dec, dir.path(), 2026, 12);
    const std::string before =
        readBytes(dir.file("202611.txt")) + readBytes(dir.file("202612.txt"));

    BudgetPlan plan;
    plan.set(Food, 2026, 11, {true, 10000, false, true});
    plan.set(Rent, 2026, 12, {true, 80000, true, false});
    plan.set("Last", 2026, 12, {true, 1001, false, false});
    MonthLedger names = named();
    names.Items[12].Name = "Last";
    const MonthReader reader = monthFileReader(disk, names, dir.path());
    const PeriodRule payday{25, PeriodShift::None, PeriodNaming::End};
    const PeriodRange range = periodRange(payday, {2026, 12});

    const PeriodLedger period = readPeriodLedger(range, reader);
    ASSERT_EQ(period.days.size(), 30u);
    EXPECT_EQ(period.names[1], Food);
    EXPECT_EQ(period.at({2026, 11, 25})[2].Income, 300000);
    EXPECT_EQ(period.at({2026, 12, 24})[1].Expense, 4000);
    EXPECT_THROW(period.at({2026, 12, 25}), AppError);
    const auto totals = periodItemTotals(period);
    EXPECT_EQ(totals[1].expense, 9000);
    EXPECT_EQ(totals[2].income, 300000);
    EXPECT_EQ(totals[3].expense, 80000);
    EXPECT_EQ(totals[12].expense, 1000);

    // Today 12/20: five days left, 12/20 to 12/24.
    const int left = daysLeftInPeriod(range, {2026, 12, 20});
    ASSERT_EQ(left, 5);
    const BudgetSummary s = periodBudgetSummary(plan, payday, {2026, 12}, left, reader);
    EXPECT_TRUE(s.any);
    EXPECT_TRUE(s.error.empty()) << s.error;
    const BudgetLine& food = s.lines[1];
    EXPECT_EQ(food.carried, 8500); // 10000 less 11月分's 500 + 1000
    EXPECT_EQ(food.spent, 9000);
    EXPECT_EQ(food.remaining, 9500);
    EXPECT_TRUE(food.hasPace);
    EXPECT_EQ(food.pace, 1900);
    EXPECT_FALSE(s.lines[2].budgeted);
    EXPECT_EQ(s.lines[3].spent, 80000);
    EXPECT_EQ(s.lines[3].remaining, 0);
    EXPECT_FALSE(s.lines[3].hasPace);
    // One yen left still has a pace, of nothing a day.
    EXPECT_EQ(s.lines[12].remaining, 1);
    EXPECT_TRUE(s.lines[12].hasPace);
    EXPECT_EQ(s.lines[12].pace, 0);

    const std::vector<BudgetDay> byDay = periodBudgetByDay(s, period);
    ASSERT_EQ(byDay.size(), 30u);
    EXPECT_EQ(byDay[0].spent, 2000); // 11/25, the fixed rent left out
    EXPECT_EQ(byDay[0].allowed, (18500 + 1001) / 30);
    EXPECT_EQ(byDay[5].spent, 5000 + 600); // 11/30
    EXPECT_EQ(byDay[29].spent, 9000 + 1000);
    EXPECT_EQ(byDay[29].allowed, 18500 + 1001);

    // Another start day re-buckets the same files: 12/10 to 1/9 is 12月分.
    const PeriodRule tenth{10, PeriodShift::None, PeriodNaming::Start};
    const BudgetSummary t = periodBudgetSummary(plan, tenth, {2026, 12}, 0, reader);
    EXPECT_EQ(t.lines[1].spent, 10000);
    EXPECT_EQ(t.lines[1].carried, 10000 - (3000 + 1000 + 2000)); // 11/10 to 12/9
    EXPECT_EQ(readBytes(dir.file("202611.txt")) + readBytes(dir.file("202612.txt")), before);
}

TEST(PeriodFigures, StartDayOneGivesTheMonthSummaryAndUnreadableMonthsAreNamed) {
    // Spending on the first and last days of each month, carry on for Food.
    std::map<int, MonthLedger> months;
    for (int k = 2026 * 12; k < 2027 * 12 + 3; ++k) {
        MonthLedger m = named();
        const int year = k / 12, month = k % 12 + 1;
        m.Items[1].Days[1].Expense = 1000 * month;
        m.Items[1].Days[daysInMonth(year, month)].Expense = 7 * year % 1000 + month;
        m.Items[3].Days[15].Expense = 79000 + month;
        months[k] = m;
    }
    std::set<int> unreadable;
    const MonthReader reader = [&](int year, int month) {
        if (unreadable.count(year * 12 + month - 1)) throw AppError("読めません");
        const auto it = months.find(year * 12 + month - 1);
        return it == months.end() ? named() : it->second;
    };
    BudgetPlan plan;
    plan.set(Food, 2026, 3, {true, 20000, false, true});
    plan.set(Rent, 2026, 1, {true, 80000, true, false});
    for (PeriodShift shift : {PeriodShift::None, PeriodShift::After})
        for (int k = 2026 * 12; k < 2027 * 12 + 3; ++k) {
            const int year = k / 12, month = k % 12 + 1;
            SCOPED_TRACE(std::to_string(year) + "-" + std::to_string(month));
            const BudgetSummary want =
                budgetSummary(plan, reader(year, month), year, month, 9, reader);
            const BudgetSummary got =
                periodBudgetSummary(plan, {1, shift, PeriodNaming::End}, {year, month}, 9, reader);
            EXPECT_EQ(got.any, want.any);
            for (int i = 1; i <= ShownItems; ++i)
                EXPECT_TRUE(sameLine(got.lines[i], want.lines[i])) << i;
        }

    // A month only the carry needs: named, its carry counted 0. A month of the
    // period itself: the summary fails.
    const PeriodRule payday{25, PeriodShift::None, PeriodNaming::End};
    unreadable = {2026 * 12 + 9}; // 2026-10, in 11月分
    BudgetSummary s = periodBudgetSummary(plan, payday, {2026, 12}, 0, reader);
    EXPECT_EQ(s.error, "読めません");
    EXPECT_EQ(s.lines[1].carried, 0);
    EXPECT_EQ(s.lines[1].spent, (7 * 2026 % 1000 + 11) + 1000 * 12); // 11/30 and 12/1
    unreadable = {2026 * 12 + 11};                                   // 2026-12
    EXPECT_THROW(periodBudgetSummary(plan, payday, {2026, 12}, 0, reader), AppError);
}
