// Months that start on payday through the main window, the daily sheet and
// the settings page: the calendar, its title and buttons, the budget panel
// over a period that spans two month files, and a new rule re-bucketing the
// views with no month file written.
#include "ledger/budget_plan.h"
#include "ledger/period.h"
#include "tests/windows/sheet_fixture.h"
#include "windows/budget_feature.h"
#include "windows/ichiran.h"
#include "windows/list1.h"
#include "windows/month_start_feature.h"
#include "windows/nikiset.h"
#include "windows/year_overview.h"

#include <QComboBox>
#include <QSpinBox>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

namespace {

const std::string Food = "\x90H\x94\xef"; // 食費 in CP932

class PeriodViews : public SheetFixture {
protected:
    void SetUp() override {
        SheetFixture::SetUp();
        form1->install(budget);
        form1->install(monthStart);
    }
    // A month file with 食費's expense on the days given.
    void writeMonth(int y, int m, const std::vector<std::pair<int, int32_t>>& expenses) {
        MonthLedger l;
        l.Items[1].Name = Food;
        for (const auto& [d, v] : expenses)
            l.Items[1].Days[d].Expense = v;
        saveMonthFile(disk, l, dir.path(), y, m);
    }
    // Payday on the 25th: 11/25..12/24 is December's; 40,000 a period for food.
    void startPayday(int y, int m, int d) {
        writePeriodFile(disk, dir.path(), {25, PeriodShift::None, PeriodNaming::End});
        BudgetPlan plan;
        plan.set(Food, 2026, 12, {true, 40000, false, false});
        writeBudgetFile(disk, dir.path(), plan);
        writeMonth(2026, 11, {{24, 7000}, {26, 3000}});
        writeMonth(2026, 12, {{1, 100}, {3, 2000}, {30, 9999}});
        start(y, m, d, {{1, QStringLiteral("食費")}});
    }
    QStringList panelCells() const {
        QTextDocument doc;
        doc.setHtml(form2->BudgetPanel->text());
        QStringList cells;
        for (const QString& c : doc.toPlainText().split(QLatin1Char('\n')))
            if (!c.trimmed().isEmpty()) cells << c.trimmed();
        return cells;
    }
    QString title() const { return form1->nen->text(); }

    BudgetFeature budget;
    MonthStartFeature monthStart;
};

} // namespace

TEST_F(PeriodViews, ThePeriodSpanningTwoMonthsIsShownSteppedAndBudgeted) {
    startPayday(2026, 12, 10);
    EXPECT_EQ(title(), QStringLiteral("2026年12月分 11/25〜12/24"));
    TCalendar* mc = form1->mc;
    // 2026-11-25 is a Wednesday: the grid starts on that week's Sunday, greyed.
    EXPECT_EQ(mc->cellDate(3, 1), QDate(2026, 11, 25));
    EXPECT_EQ(mc->cellText(0, 1), QStringLiteral("22"));
    EXPECT_FALSE(mc->shows(QDate(2026, 11, 24)));
    EXPECT_TRUE(mc->shows(QDate(2026, 12, 24)));
    EXPECT_FALSE(mc->shows(QDate(2026, 12, 25)));
    EXPECT_EQ(mc->cellDate(mc->currentCol(), mc->currentRow()), QDate(2026, 12, 10));

    // Spent over both files (11/26, 12/1 and 12/3), not 11/24 nor 12/30;
    // the pace over the 15 days from 12/10 to 12/24.
    SheetDisp(*form1, *form2);
    EXPECT_EQ(panelCells(), (QStringList{"予算", "使った", "残り", "1日あたり", "食費", "5,100",
                                         "34,900", "2,326"}));
    // Bars from 11/25: the spending to date against the budget to date.
    const QVector<double> bars = mc->budgetBars();
    ASSERT_EQ(bars.size(), 9); // up to 12/3
    EXPECT_DOUBLE_EQ(bars[1], 3000.0 / (40000 * 2 / 30));
    EXPECT_DOUBLE_EQ(bars[8], 5100.0 / (40000 * 9 / 30));

    // The monthly list and its CSV: a column per day of the period, the
    // balance brought from November's days before it.
    TForm7 list(form1.get());
    list.FormActivate();
    EXPECT_EQ(list.windowTitle(), QStringLiteral("月別一覧  2026年12月分 11/25〜12/24"));
    ASSERT_EQ(list.SG1->ColCount(), 31);
    EXPECT_EQ(list.SG1->cell(1, 0).trimmed(), QStringLiteral("11/25"));
    EXPECT_EQ(list.SG1->cell(30, 0).trimmed(), QStringLiteral("12/24"));
    EXPECT_EQ(list.SG1->cell(2, 1), amount(-3000));
    EXPECT_EQ(list.SG1->cell(1, TForm7::BalanceRow), amount(-7000));
    EXPECT_EQ(list.SG1->cell(30, TForm7::BalanceRow), amount(-12100));
    const std::string csv = dir.file("period.csv");
    list.setSavePathAsker([&](const QString& suggested) {
        EXPECT_EQ(suggested, QStringLiteral("2026-12.csv"));
        return QString::fromStdString(csv);
    });
    list.CsvExportClick();
    const std::string written = readBytes(csv);
    EXPECT_EQ(written.substr(0, 29), "\xEF\xBB\xBF項目,繰越,11/25,11/26,");
    EXPECT_NE(written.find("\r\n残高,-7000,-7000,-10000,-10000,"), std::string::npos) << written;
    EXPECT_NE(written.find("\r\n日計,,0,-3000,0,"), std::string::npos) << written;
    EXPECT_NE(written.find("\r\n食費,40000,5100,34900\r\n"), std::string::npos) << written;

    // The printout: the period's title and its days, from the balance brought in.
    TForm8 print(form1.get());
    const MonthPrint printed = MonthPrintLayout::layout(print.currentMonth(false));
    QStringList texts;
    for (const PrintText& t : printed.pages[0].texts)
        texts << t.text;
    for (const char* want : {"2026年12月分 11/25〜12/24", "前期繰越", "11/25(水)", "12/24(木)"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(want))) << want;
    EXPECT_FALSE(texts.contains(QStringLiteral("12/25(金)")));

    // The year overview: twelve periods, each closing after its last day.
    YearOverview overview(form1.get());
    overview.showYear(2026);
    const YearModel& year = overview.model();
    struct Period {
        int month;
        int32_t expense, closing;
    } periods[] = {{1, 0, 0}, {10, 0, 0}, {11, 7000, -7000}, {12, 5100, -12100}};
    for (const Period& p : periods) {
        SCOPED_TRACE(p.month);
        EXPECT_EQ(year.months[p.month].expense[1], p.expense);
        EXPECT_EQ(year.months[p.month].closing, p.closing);
        EXPECT_TRUE(year.months[p.month].balanceKnown);
    }
    EXPECT_EQ(year.expense[1], 12100);

    // Neither a greyed day nor a weekday name is picked; a day of November
    // enters November.
    QTest::mouseClick(mc, Qt::LeftButton, {}, mc->cellRect(0, 1).center());
    QTest::mouseClick(mc, Qt::LeftButton, {}, mc->cellRect(4, 0).center());
    EXPECT_EQ(date(), QStringLiteral("2026-12-10"));
    QTest::mouseClick(mc, Qt::LeftButton, {}, mc->cellRect(4, 1).center());
    EXPECT_EQ(date(), QStringLiteral("2026-11-26"));
    EXPECT_EQ(day(1, 26).Expense, 3000);
    EXPECT_EQ(title(), QStringLiteral("2026年12月分 11/25〜12/24"));

    // The buttons step periods, to their first day.
    QTest::mouseClick(form1->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(date(), QStringLiteral("2026-12-25"));
    EXPECT_EQ(title(), QStringLiteral("2027年1月分 12/25〜1/24"));
    EXPECT_EQ(day(1, 30).Expense, 9999);
    QTest::mouseClick(form1->Next, Qt::LeftButton);
    QTest::mouseClick(form1->Next, Qt::LeftButton);
    EXPECT_EQ(date(), QStringLiteral("2026-10-25"));
    EXPECT_EQ(title(), QStringLiteral("2026年11月分 10/25〜11/24"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
}

TEST_F(PeriodViews, TheDailySheetStepsIntoTheOtherMonthThroughTheDocument) {
    startPayday(2026, 12, 1);
    form1->showDailySheet();
    form2->SG1->setCell(2, 1, QStringLiteral("500")); // typed on 12/1, saved by the step
    QTest::mouseClick(form2->Next, Qt::LeftButton);
    EXPECT_EQ(date(), QStringLiteral("2026-11-30"));
    EXPECT_EQ(form1->document().month(), 11);
    EXPECT_EQ(day(1, 26).Expense, 3000);
    MonthLedger dec;
    dec.Items[1].Name = Food;
    loadMonthFile(disk, dec, dir.path(), 2026, 12, LoadMode::Current);
    EXPECT_EQ(dec.Items[1].Days[1].Expense, 500);
    // Still December's period: 500 more spent.
    EXPECT_TRUE(panelCells().contains(QStringLiteral("5,500")))
        << panelCells().join(' ').toStdString();
}

TEST_F(PeriodViews, TheSettingsPageRebucketsWithoutWritingAMonthFile) {
    startPayday(2026, 12, 10);
    const std::string nov = readBytes(monthFile(2026, 11)), dec = readBytes(monthFile(2026, 12));
    TForm4 form4(form1.get());
    // The folders as the start-up check would have put them on the lists.
    const auto activate = [&] {
        form4.FormActivate();
        form4.Edit1->setText(QString::fromStdString(dir.path()));
        form4.Edit2->setText(QString::fromStdString(dir.path()));
    };
    activate();
    auto* startDay = form4.findChild<QSpinBox*>(QStringLiteral("periodStartDay"));
    auto* naming = form4.findChild<QComboBox*>(QStringLiteral("periodNaming"));
    auto* shift = form4.findChild<QComboBox*>(QStringLiteral("periodShift"));
    ASSERT_TRUE(startDay && naming && shift);
    EXPECT_EQ(startDay->value(), 25);
    EXPECT_EQ(naming->currentIndex(), int(PeriodNaming::End));

    // To the 10th: a stored naming stays the user's.
    startDay->setValue(10);
    EXPECT_EQ(naming->currentIndex(), int(PeriodNaming::End));
    naming->setCurrentIndex(int(PeriodNaming::Start));
    shift->setCurrentIndex(int(PeriodShift::Before));
    form4.Button1Click();
    EXPECT_EQ(readBytes(dir.file(PeriodFileName)), "ZADUD-PERIOD,1\r\n10,before,start\r\n");
    // 2027-01-10 is a Sunday: the next period starts on Friday the 8th.
    EXPECT_EQ(title(), QStringLiteral("2026年12月分 12/10〜1/7"));
    EXPECT_TRUE(form1->mc->shows(QDate(2027, 1, 7)));
    EXPECT_FALSE(form1->mc->shows(QDate(2027, 1, 8)));
    // The same day stays picked, in the new grid.
    EXPECT_EQ(form1->mc->cellDate(form1->mc->currentCol(), form1->mc->currentRow()),
              QDate(2026, 12, 10));

    // Back to day 1: the calendar month, every view as without the file.
    activate();
    startDay->setValue(32); // the last day of any month is the most
    EXPECT_EQ(startDay->value(), 31);
    startDay->setValue(0);
    EXPECT_EQ(startDay->value(), 1);
    EXPECT_FALSE(naming->isEnabled());
    form4.Button1Click();
    EXPECT_EQ(title(), QStringLiteral("2026年12月"));
    EXPECT_FALSE(form1->mc->shows(QDate(2026, 11, 30)));
    EXPECT_EQ(form1->mc->cellDate(2, 1), QDate(2026, 12, 1));
    EXPECT_EQ(readBytes(monthFile(2026, 11)), nov);
    EXPECT_EQ(readBytes(monthFile(2026, 12)), dec);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
}

TEST_F(PeriodViews, DayOneLeavesEveryViewAsTheCalendarMonth) {
    BudgetPlan plan;
    plan.set(Food, 2026, 12, {true, 40000, false, false});
    writeBudgetFile(disk, dir.path(), plan);
    writeMonth(2026, 11, {{24, 7000}, {26, 3000}});
    writeMonth(2026, 12, {{3, 2000}, {30, 9999}});
    start(2026, 12, 10, {{1, QStringLiteral("食費")}});
    const std::string csvPath = dir.file("list.csv");
    // Everything the views show of the month, as text.
    auto views = [&] {
        QStringList all{title()};
        for (int row = 0; row < TCalendar::Rows; ++row)
            for (int col = 0; col < TCalendar::Cols; ++col)
                all << form1->mc->cellText(col, row);
        for (double bar : form1->mc->budgetBars())
            all << QString::number(bar);
        SheetDisp(*form1, *form2);
        all << panelCells();
        TForm7 list(form1.get());
        list.FormActivate();
        all << list.windowTitle();
        for (int row = 0; row < list.SG1->RowCount(); ++row)
            for (int col = 0; col < list.SG1->ColCount(); ++col)
                all << list.SG1->cell(col, row);
        list.setSavePathAsker([&](const QString&) { return QString::fromStdString(csvPath); });
        list.CsvExportClick();
        all << QString::fromStdString(readBytes(csvPath));
        YearOverview overview(form1.get());
        overview.showYear(2026);
        for (int m = 1; m <= 12; ++m)
            all << QString::number(overview.model().months[m].closing)
                << QString::number(overview.model().months[m].totalExpense);
        TForm8 print(form1.get());
        for (const PrintPage& page : MonthPrintLayout::layout(print.currentMonth(false)).pages)
            for (const PrintText& t : page.texts)
                all << t.text;
        return all;
    };
    const QStringList without = views();
    EXPECT_TRUE(without.contains(QStringLiteral("2026年12月")));
    // Day 1 with a shift and end naming is still the calendar month.
    writePeriodFile(disk, dir.path(), {1, PeriodShift::After, PeriodNaming::End});
    form1->document().readPeriod();
    EXPECT_EQ(form1->document().periodRule().shift, PeriodShift::After);
    EXPECT_EQ(views(), without);
}
