// Names a spreadsheet would run as formulas are exported as text; amounts,
// negative ones too, stay numbers.
#include "ledger/cp932.h"
#include "ledger/csv_export.h"

#include <gtest/gtest.h>

TEST(CsvText, FormulaLikeNamesAreTextAndAmountsStayNumbers) {
    struct Case {
        std::string name, cell;
    } cases[] = {
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"+1", "'+1"},
        {"-1", "'-1"},
        {"\tTab", "'\tTab"},
        {"\rCR", "\"'\rCR\""},
        {"食費", "食費"},
        {"a=b", "a=b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonthLedger l;
        l.Items[1].Name = utf8ToCp932(c.name);
        l.CarryOver[1] = -500;
        l.Items[1].Days[2].Expense = 30;
        const std::string csv = monthCsv(l, 2026, 2);
        EXPECT_NE(csv.find("\r\n" + c.cell + ",-500,0,-30,"), std::string::npos) << csv;
    }
}

// The lines follow the month after a blank row: by day (a day's lines in
// their order), the amount under its side, the memo as text.
TEST(CsvText, LinesGoOutByDayWithTheirSide) {
    const std::string food = utf8ToCp932("食費"), pay = utf8ToCp932("給料");
    const std::vector<EntryLine> lines{
        {28, LineSide::Income, pay, 285000, utf8ToCp932("12月分")},
        {3, LineSide::Expense, food, 398, utf8ToCp932("パン")},
        {3, LineSide::Expense, food, 1280, "=1+1"},
    };
    EXPECT_EQ(linesCsv(lines, 2026, 12), "\r\n日付,項目,収入,支出,ﾒﾓ\r\n"
                                         "2026-12-03,食費,,398,パン\r\n"
                                         "2026-12-03,食費,,1280,'=1+1\r\n"
                                         "2026-12-28,給料,285000,,12月分\r\n");
    EXPECT_EQ(linesCsv({}, 2026, 12), "");
}

// A year's export heads every month and the year's total, and names each
// unreadable month.
TEST(CsvText, AYearHasTwelveMonthsAndItsUnreadableOnesAreNamed) {
    YearModel y;
    for (int m = 1; m <= 12; ++m)
        y.months[m].state = MonthFileState::Read;
    y.months[1].state = y.months[12].state = MonthFileState::Unreadable;
    const std::string csv = yearCsv(y);
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
              "\xEF\xBB\xBF項目,1月,2月,3月,4月,5月,6月,7月,8月,9月,10月,11月,12月,年計");
    EXPECT_EQ(y.unreadableMonths(), (std::vector<int>{1, 12}));
}
