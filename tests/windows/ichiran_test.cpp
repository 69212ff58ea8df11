#include "storage/disk_store.h"
#include "windows/ichiran.h"

#include "controls/string_grid.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/month_ledger.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/zadud.h"
#include "tests/windows/main_window_fixture.h"
#include "windows/hikei.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <climits>
#include <gtest/gtest.h>

namespace {

// An amount as the list shows it: right-aligned in 12 characters.
QString amount(const char* digits) {
    return QString(digits).rightJustified(12, ' ');
}

class MonthlyList : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        form1->LedgerDir = QString::fromStdString(tmp.path());
        setDate(1998, 1, 1);
        form2 = std::make_unique<TForm2>(form1.get());
        form7 = std::make_unique<TForm7>(form1.get());
        form1->setMonthlyList(form7.get());
    }
    void TearDown() override {
        form7->hide();
        MainWindowFixture::TearDown();
    }

    void name(int item, const char* utf8) { form1->Ledger.Items[item].Name = utf8ToCp932(utf8); }
    DayCell& day(int item, int d) { return form1->Ledger.Items[item].Days[d]; }
    // Opens the list as the main window's button does, then closes it.
    void open() {
        QTest::mouseClick(form1->SpeedButton5, Qt::LeftButton);
        ASSERT_TRUE(form7->isVisible());
        QTest::keyClick(form7->SG1, Qt::Key_X, Qt::ControlModifier);
        ASSERT_FALSE(form7->isVisible()) << "Ctrl+X did not close the list";
    }
    QString cell(int col, int row) const { return form7->SG1->cell(col, row); }

    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm7> form7;
};

TEST_F(MonthlyList, EmptyMonthShowsHeadersAndZeroEverywhere) {
    name(1, "食費");
    open();
    EXPECT_EQ(cell(0, 0), "");
    EXPECT_EQ(cell(1, 0), "     1  日");
    EXPECT_EQ(cell(12, 0), "     12  日");
    EXPECT_EQ(cell(31, 0), "     31  日");
    EXPECT_EQ(cell(0, 1), "食費");
    EXPECT_EQ(cell(0, 13), "   日  計");
    EXPECT_EQ(cell(0, 14), "   残  高");
    for (int d = 1; d <= 31; ++d)
        for (int r = 1; r <= 14; ++r)
            ASSERT_EQ(cell(d, r), amount("0")) << d << "," << r;
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(MonthlyList, NetAmountsTotalsAndBalance) {
    name(1, "給与");
    name(2, "食費");
    name(4, "雑費");
    form1->Ledger.CarryOver[1] = 5000;
    form1->Ledger.CarryOver[12] = -200; // an unnamed item's balance counts too
    day(2, 3) = {1000, 300};            // income and expense on one day
    day(4, 5) = {0, 2500};              // expenses only
    day(7, 6) = {40, 0};                // unnamed item
    open();

    struct Expect {
        int col, row;
        const char* text;
    } cells[] = {
        {3, 2, "700"},    {3, 13, "700"},    {2, 14, "4,800"},  {3, 14, "5,500"},
        {5, 4, "-2,500"}, {5, 13, "-2,500"}, {5, 14, "3,000"},  {6, 7, "40"},
        {6, 13, "40"},    {6, 14, "3,040"},  {31, 14, "3,040"}, {3, 1, "0"},
        {1, 14, "4,800"}, {4, 14, "5,500"},  {4, 2, "0"},       {5, 2, "0"},
    };
    for (const Expect& c : cells)
        EXPECT_EQ(cell(c.col, c.row), amount(c.text)) << c.col << "," << c.row;
    EXPECT_EQ(cell(5, 4), "      -2,500");
    EXPECT_EQ(cell(0, 7), "") << "an unnamed item shows no name";
    EXPECT_EQ(cell(0, 4), "雑費");
}

TEST_F(MonthlyList, ThirtyDayMonthShowsZeroInColumn31) {
    setDate(1998, 4, 1);
    name(1, "給与");
    form1->Ledger.CarryOver[1] = 100;
    for (int d = 1; d <= 30; ++d)
        day(1, d) = {d, 0};
    saveMonthFile(disk, form1->Ledger, tmp.path(), 1998, 4);
    day(1, 31) = {999, 0}; // left over in memory; the load zeroes it
    form1->LoadMonths();
    form1->Ledger.CarryOver[1] = 100;
    open();
    EXPECT_EQ(cell(30, 1), amount("30"));
    EXPECT_EQ(cell(31, 1), amount("0"));
    EXPECT_EQ(cell(31, 13), amount("0"));
    EXPECT_EQ(cell(30, 14), amount("565")); // 100 + 1 + 2 + ... + 30
    EXPECT_EQ(cell(31, 14), cell(30, 14));
}

TEST_F(MonthlyList, BalanceOfEachDayEqualsTheDailySheets) {
    name(1, "給与");
    name(3, "食費");
    name(12, "光熱費");
    form1->Ledger.CarryOver[1] = 120000;
    form1->Ledger.CarryOver[3] = -45000;
    form1->Ledger.CarryOver[9] = 777; // unnamed
    for (int d = 1; d <= 31; ++d) {
        day(1, d) = {d % 10 == 0 ? 250000 : 0, 0};
        day(3, d) = {d % 7 == 0 ? 500 : 0, 1234 * (d % 4)};
        day(12, d) = {0, d == 15 ? 98765 : 0};
        day(9, d) = {d, d / 2}; // unnamed, still in the balance
    }
    open();
    for (int d = 1; d <= 31; ++d) {
        form1->mc->setDay(d);
        SheetDisp(*form1, *form2);
        ASSERT_EQ(cell(d, 14), form2->SG1->cell(2, TForm2::BalanceRow)) << "day " << d;
    }
    // 120000 - 45000 + 777 + 750000 + 4 * 500 - 1234 * 48 - 98765 + 496 - 240
    EXPECT_EQ(cell(31, 14), amount("670,036"));
}

TEST_F(MonthlyList, EachShowingRefillsFromTheLedger) {
    name(1, "給与");
    day(1, 2) = {10, 0};
    open();
    EXPECT_EQ(cell(2, 1), amount("10"));
    name(1, "賞与");
    day(1, 2) = {20, 0};
    form1->Ledger.Items[1].Name.clear();
    name(2, "食費");
    open();
    EXPECT_EQ(cell(2, 1), amount("20"));
    EXPECT_EQ(cell(0, 1), "") << "a name removed since the last showing is cleared";
    EXPECT_EQ(cell(0, 2), "食費");
}

TEST_F(MonthlyList, OverflowStopsTheFillWhereItHappens) {
    for (int d = 1; d <= 31; ++d)
        day(3, d) = {5, 0};
    open();
    ASSERT_EQ(cell(11, 3), amount("5"));

    for (int d = 1; d <= 31; ++d)
        day(3, d) = {7, 0};
    day(1, 10) = {INT32_MAX, 0};
    day(2, 10) = {1, 0}; // the day's total leaves 32 bits here
    open();
    EXPECT_EQ(errors, QStringList{QStringLiteral("整数のｵｰﾊﾞｰﾌﾛｰ.")});
    EXPECT_EQ(cell(9, 3), amount("7"));
    EXPECT_EQ(cell(9, 14), amount("63"));
    EXPECT_EQ(cell(10, 2), amount("1")) << "written before the sum overflowed";
    EXPECT_EQ(cell(10, 3), amount("5")) << "not reached: keeps the last showing's text";
    EXPECT_EQ(cell(10, 13), amount("5"));
    EXPECT_EQ(cell(11, 3), amount("5"));

    // A difference that leaves 32 bits stops the fill too.
    errors.clear();
    day(1, 10) = {0, 0};
    day(2, 10) = {0, 0};
    for (int d = 1; d <= 31; ++d)
        day(3, d) = {9, 0};
    day(5, 1) = {INT32_MIN, 1};
    open();
    EXPECT_EQ(errors, QStringList{QStringLiteral("整数のｵｰﾊﾞｰﾌﾛｰ.")});
    EXPECT_EQ(cell(1, 3), amount("9"));
    EXPECT_EQ(cell(1, 13), amount("7")) << "day 1 was not finished";
    EXPECT_EQ(cell(2, 3), amount("7"));
}

TEST_F(MonthlyList, DayColumnsScrollUnderTheFixedNameColumn) {
    form7->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form7.get()));
    ListGrid* grid = form7->SG1;
    EXPECT_FALSE(grid->verticalScrollBar()->isVisible()) << "all rows fit at the design height";
    EXPECT_EQ(form7->windowTitle(), QStringLiteral("月別一覧  1998年1月"));
    QScrollBar* bar = grid->horizontalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_GE(grid->viewport()->height(), 14 * 24) << "all rows fit at the design size";

    bar->setValue(bar->maximum());
    EXPECT_TRUE(grid->verticalHeader()->isVisible());
    EXPECT_EQ(grid->verticalHeader()->geometry().left(), grid->frameWidth());
    const QRect last = grid->visualRect(grid->model()->index(0, 30));
    EXPECT_TRUE(grid->viewport()->rect().contains(last)) << "column 31 scrolled into view";
    EXPECT_EQ(grid->horizontalHeader()->sectionSize(0), 100);
    EXPECT_EQ(grid->verticalHeader()->width(), 100);

    // A smaller window (or larger text) scrolls to the last rows.
    form7->resize(form7->width(), 200);
    QApplication::processEvents();
    EXPECT_TRUE(grid->verticalScrollBar()->isVisible());
}

} // namespace
