#include "ledger/month_table.h"

#include <gtest/gtest.h>

TEST(MonthTable, NetsTotalsAndBalanceFollowTheCarriedBalance) {
    MonthLedger m;
    m.CarryOver[1] = 1000;
    m.CarryOver[12] = -300;
    m.Items[1].Days[1] = {500, 200};
    m.Items[12].Days[1] = {0, 50};
    m.Items[12].Days[30] = {10, 0};
    m.Items[5].Days[31] = {7, 0}; // beyond a 30-day month
    const MonthTable t = monthTable(m, 30);
    EXPECT_EQ(t.carried, 700);
    EXPECT_EQ(t.net[1][1], 300);
    EXPECT_EQ(t.net[12][1], -50);
    EXPECT_EQ(t.dayTotal[1], 250);
    EXPECT_EQ(t.balance[1], 950);
    EXPECT_EQ(t.balance[29], 950);
    EXPECT_EQ(t.balance[30], 960);
    EXPECT_EQ(t.balance[31], 0) << "past the month's length nothing is counted";
    EXPECT_EQ(t.income[12], 10);
    EXPECT_EQ(t.expense[12], 50);
    EXPECT_EQ(t.itemNet[12], -40);
    EXPECT_EQ(t.income[5], 0);
    EXPECT_EQ(t.totalIncome, 510);
    EXPECT_EQ(t.totalExpense, 250);
    EXPECT_EQ(t.totalNet, 260);
}

TEST(MonthTable, AnyOverflowThrowsInsteadOfAPartialTable) {
    MonthLedger m;
    m.Items[1].Days[3] = {INT32_MAX, 0};
    m.Items[2].Days[4] = {1, 0}; // the balance leaves 32 bits on day 4
    EXPECT_THROW(monthTable(m), AppError);
    MonthLedger difference;
    difference.Items[3].Days[31] = {INT32_MIN, 1}; // income minus expense leaves 32 bits
    EXPECT_THROW(monthTable(difference), AppError);
}

TEST(MonthTable, MonthLengthsFollowTheLeapYearRule) {
    const struct {
        int year, month, days;
    } cases[] = {{1800, 2, 28}, {1900, 2, 28}, {2000, 2, 29}, {2004, 2, 29},
                 {2200, 2, 28}, {2023, 2, 28}, {2024, 4, 30}, {2024, 12, 31}};
    for (const auto& c : cases)
        EXPECT_EQ(daysInMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
}
