// The report window against the month, line and mark files it reads: the
// list beside the donut, the fold into "その他" (the chart's alone), the
// drill-down summing to its slice, Enter on a line, the window without its
// chart part; and the budgets' pace leaving marked amounts out.
#include "windows/report_feature.h"

#include "windows/budget_feature.h"

#include "late/item_colours.h"
#include "late/late_parts.h"
#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/entry_lines.h"
#include "ledger/month_ledger.h"
#include "ledger/period.h"
#include "ledger/report_marks.h"
#include "tests/windows/main_window_fixture.h"

#include <QChartView>
#include <QLabel>
#include <QPieSeries>
#include <QPieSlice>
#include <QTableWidget>
#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

std::string cp(const char* utf8) {
    return utf8ToCp932(utf8);
}

EntryLine line(int day, const char* item, int32_t amount, const char* memo) {
    EntryLine l;
    l.day = day;
    l.item = cp(item);
    l.amount = amount;
    l.memo = cp(memo);
    return l;
}

class ReportWindowTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        Modal::setRunner([this](QDialog* d) { opened << d->objectName(); });
    }
    void TearDown() override {
        feature.reset();
        MainWindowFixture::TearDown();
    }
    // A new main window over an empty folder, for the next case.
    void restart() {
        TearDown();
        months.clear();
        names = MonthLedger{};
        opened.clear();
        for (const auto& entry : std::filesystem::directory_iterator(tmp.path()))
            std::filesystem::remove_all(entry.path());
        SetUp();
    }
    // Items 食費, then I2 .. I<count>.
    void configure(int count) {
        std::string cfg = "ZADUD=" + tmp.path() + "\r\n" + cp("kamo1=食費\r\n");
        for (int i = 2; i <= count; ++i)
            cfg += "kamo" + std::to_string(i) + "=I" + std::to_string(i) + "\r\n";
        writeBytes(tmp.file("ZADUD.CFG"), cfg);
        names.Items[1].Name = cp("食費");
        for (int i = 2; i <= count; ++i)
            names.Items[i].Name = "I" + std::to_string(i);
    }
    MonthLedger& month(int year, int mon) {
        auto it = months.find({year, mon});
        if (it == months.end()) it = months.emplace(MonthKey{year, mon}, names).first;
        return it->second;
    }
    void write() {
        for (const auto& [key, ledger] : months)
            writeBytes(tmp.file(monthFileName(key.year, key.month)), formatMonth(ledger));
    }
    ReportWindow* open(int y, int m, int d) {
        write();
        setDate(y, m, d);
        form1->FormActivate();
        feature = std::make_unique<ReportFeature>([y, m, d] { return Date{y, m, d}; });
        form1->install(*feature);
        feature->attach(*form1);
        ReportWindow* w = feature->window();
        w->showShownPeriod();
        return w;
    }
    static QString cell(ReportWindow* w, int row, int col) {
        const QTableWidgetItem* it = w->itemTable()->item(row, col);
        return it ? it->text() : QStringLiteral("<none>");
    }

    MonthLedger names;
    std::map<MonthKey, MonthLedger> months;
    std::unique_ptr<ReportFeature> feature;
    QStringList opened;
};

TEST_F(ReportWindowTest, TheListShowsEveryItemAndOnlyTheChartFoldsPastEight) {
    struct Case {
        int items;
        std::size_t slices;
        bool other;
    } cases[] = {{3, 3, false}, {8, 8, false}, {9, 9, true}, {11, 9, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.items);
        restart();
        configure(c.items);
        // Item k spends k thousand this month, half of it the month before.
        for (int k = 1; k <= c.items; ++k) {
            month(2026, 12).Items[k].Days[1].Expense = k * 1000;
            month(2026, 11).Items[k].Days[2].Expense = k * 500;
        }
        ReportWindow* w = open(2026, 12, 10);
        ASSERT_EQ(w->itemTable()->rowCount(), c.items + 2);
        ASSERT_EQ(w->slices().size(), c.slices);
        EXPECT_EQ(w->slices().back().other, c.other);
        int64_t charted = 0;
        for (const ChartSlice& s : w->slices())
            charted += s.amount;
        int64_t total = 0;
        for (int k = 1; k <= c.items; ++k) {
            const int r = k - 1;
            total += k * 1000;
            EXPECT_EQ(cell(w, r, 0), QString::fromStdString(cp932ToUtf8Lossy(names.Items[k].Name)));
            EXPECT_EQ(cell(w, r, 1), QString::fromStdString(groupedAmount(k * 1000)));
            EXPECT_EQ(cell(w, r, 2), QString::fromStdString(groupedAmount(k * 500)));
            EXPECT_EQ(cell(w, r, 3), QString::fromStdString("+" + groupedAmount(k * 500)));
            EXPECT_EQ(cell(w, r, 4), QStringLiteral("+100.0%"));
            EXPECT_EQ(cell(w, r, 5), QStringLiteral("―")); // no file a year before
            EXPECT_EQ(cell(w, r, 7), QStringLiteral("―"));
            EXPECT_EQ(cell(w, r, 8), QString::fromStdString(groupedAmount(k * 500)));
        }
        EXPECT_EQ(charted, total);
        // The smallest slice: the least item, or "その他" with the items
        // folded into it.
        w->pickSlice(w->slices().size() - 1);
        std::vector<std::string> drilled = {names.Items[1].Name};
        for (int k = 2; c.other && k <= c.items - 8; ++k)
            drilled.push_back(names.Items[k].Name);
        EXPECT_EQ(w->drilledItems(), drilled);
        EXPECT_EQ(cell(w, c.items, 0), QStringLiteral("合計"));
        EXPECT_EQ(cell(w, c.items, 1), QString::fromStdString(groupedAmount(total)));
        // No income: no savings rate.
        EXPECT_EQ(cell(w, c.items + 1, 1), QStringLiteral("0"));
        EXPECT_TRUE(w->summaryLabel()->text().contains(QStringLiteral("貯蓄率 ―")))
            << w->summaryLabel()->text().toStdString();
        // The month so far runs to the day the clock gives.
        EXPECT_EQ(w->monthSoFar().day, 10);
        EXPECT_EQ(w->monthSoFar().atDay[0], total);
        EXPECT_EQ(w->monthSoFar().atDay[1], total / 2);
        EXPECT_FALSE(w->monthSoFar().atDay[2].has_value());
        EXPECT_EQ(
            w->findChild<QLabel*>("soFarLabel")->text(),
            QStringLiteral("期間の 10 日目までの支出: 今期 %1 ／ 前期 %2 ／ 2期前 ― ／ 3期前 ―")
                .arg(QString::fromStdString(groupedAmount(total)),
                     QString::fromStdString(groupedAmount(total / 2))));
    }
}

TEST_F(ReportWindowTest, TheDrillDownSumsToTheSliceAndEnterOpensTheDay) {
    struct Case {
        const char* what;
        PeriodRule rule;
        int64_t slice;
        QStringList days; // "day amount", oldest first
    } cases[] = {
        // 5,000 less its 振替 line, 800 without lines; day 9 is marked whole.
        {"calendar month", PeriodRule{}, 4300, {"2026/12/3(木) 3,500", "2026/12/7(月) 800"}},
        // 11/25 .. 12/24 takes the end of November's file too.
        {"payday period over two month files",
         PeriodRule{25, PeriodShift::None, PeriodNaming::End},
         5300,
         {"2026/11/28(土) 1,000", "2026/12/3(木) 3,500", "2026/12/7(月) 800"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        configure(2);
        writeBytes(tmp.file(PeriodFileName), formatPeriodRule(c.rule));
        month(2026, 11).Items[1].Days[28].Expense = 1000;
        month(2026, 12).Items[1].Days[3].Expense = 5000;
        month(2026, 12).Items[1].Days[7].Expense = 800;
        month(2026, 12).Items[1].Days[9].Expense = 60000;
        month(2026, 12).Items[2].Days[3].Expense = 100;
        writeBytes(tmp.file(lineFileName(2026, 12)),
                   formatLineFile({line(3, "食費", 2000, "パン"), line(3, "食費", 1500, "#振替"),
                                   line(3, "I2", 100, "other item")},
                                  2026, 12));
        MarkSet marks;
        marks.set({{2026, 12}, 9, LineSide::Expense, cp("食費")}, ReportMark::Excluded);
        writeBytes(tmp.file(MarkFileName), formatMarkFile(marks));
        ReportWindow* w = open(2026, 12, 10);
        ASSERT_GE(w->slices().size(), 1u);
        EXPECT_EQ(w->slices()[0].amount, c.slice);
        w->pickSlice(0);
        QStringList days;
        int64_t sum = 0;
        QTreeWidget* tree = w->drillTree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* day = tree->topLevelItem(i);
            days << day->text(0) + " " + day->text(1);
            const int64_t amount = parseInt32(ConmaCut(day->text(1).toStdString()));
            sum += amount;
            // The day's lines and what has none make the day's amount.
            int64_t parts = 0;
            for (int k = 0; k < day->childCount(); ++k)
                parts += parseInt32(ConmaCut(day->child(k)->text(1).toStdString()));
            EXPECT_EQ(parts, amount) << day->text(0).toStdString();
        }
        EXPECT_EQ(days, c.days);
        EXPECT_EQ(sum, c.slice);
        // Enter on the list's row goes into its days.
        w->show();
        w->itemTable()->setFocus();
        w->itemTable()->setCurrentCell(0, 0);
        w->pickRow(1);
        QTest::keyClick(w->itemTable(), Qt::Key_Return);
        EXPECT_EQ(w->drilledItems(), std::vector<std::string>{cp("食費")});
        EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0));
        w->hide();
        // A row of the list drills the same way.
        w->pickRow(1);
        ASSERT_EQ(w->drilledItems(), std::vector<std::string>{"I2"});
        EXPECT_EQ(tree->topLevelItemCount(), 1);

        // Enter on a line: the main window goes to its day, its sheet opens.
        QDialog sheet;
        sheet.setObjectName(QStringLiteral("sheet"));
        form1->setDailySheet(&sheet);
        w->show(); // reads the files again
        w->pickRow(0);
        QTreeWidgetItem* bread = tree->topLevelItem(tree->topLevelItemCount() - 2)->child(0);
        ASSERT_EQ(bread->text(0), QStringLiteral("パン"));
        tree->setFocus();
        tree->setCurrentItem(bread);
        QTest::keyClick(tree, Qt::Key_Return);
        EXPECT_EQ(form1->document().date(), QDate(2026, 12, 3));
        // The part without lines leads to its day as well.
        QTreeWidgetItem* rest = tree->topLevelItem(tree->topLevelItemCount() - 1)->child(0);
        ASSERT_EQ(rest->text(0), QStringLiteral("（内訳なし）"));
        w->openDrilledDay(rest);
        EXPECT_EQ(form1->document().date(), QDate(2026, 12, 7));
        EXPECT_EQ(opened, (QStringList{"sheet", "sheet"}));
        EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
        w->hide();
        form1->setDailySheet(nullptr);
    }
}

TEST_F(ReportWindowTest, WithoutTheChartPartTheListsStillShow) {
    for (const bool missing : {true, false}) {
        SCOPED_TRACE(missing);
        restart();
        configure(2);
        month(2026, 12).Items[1].Days[1].Expense = 3000;
        month(2026, 12).Items[2].Days[1].Income = 10000;
        month(2026, 11).Items[1].Days[3].Expense = 2000;
        write();
        setDate(2026, 12, 10);
        form1->FormActivate();
        feature = std::make_unique<ReportFeature>([] { return Date{2026, 12, 10}; });
        form1->install(*feature);
        feature->attach(*form1);
        ReportWindow* w = feature->window();
        if (missing) w->setChartParts([]() -> const LateParts* { return nullptr; });
        w->showShownPeriod();
        EXPECT_EQ(w->chartNote()->isHidden(), !missing);
        EXPECT_EQ(w->donutView() == nullptr, missing);
        EXPECT_EQ(cell(w, 0, 1), QStringLiteral("3,000"));
        EXPECT_TRUE(w->summaryLabel()->text().contains(QStringLiteral("貯蓄率 70.0%")))
            << w->summaryLabel()->text().toStdString();
        if (!missing) {
            // The donut's slice in its item's colour; the month so far has
            // this period and the one before (the two before that have no file).
            auto* donut = qobject_cast<QChartView*>(w->donutView());
            ASSERT_NE(donut, nullptr);
            auto* pie = qobject_cast<QPieSeries*>(donut->chart()->series().value(0));
            ASSERT_NE(pie, nullptr);
            ASSERT_EQ(pie->count(), 1);
            EXPECT_EQ(pie->slices()[0]->color(), ItemColours::of(1));
            auto* soFar = w->findChild<QChartView*>("soFarChart");
            ASSERT_NE(soFar, nullptr);
            EXPECT_EQ(soFar->chart()->series().size(), 2);
        }
        // PageDown: a period without records says so; PageUp steps back.
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        QTest::keyClick(w->itemTable(), Qt::Key_PageDown);
        EXPECT_EQ(w->lastPeriod(), (PeriodName{2027, 1}));
        EXPECT_TRUE(
            w->summaryLabel()->text().startsWith(QStringLiteral("この期間の記録がありません")));
        EXPECT_TRUE(w->slices().empty());
        QTest::keyClick(w->itemTable(), Qt::Key_PageUp);
        QTest::keyClick(w->itemTable(), Qt::Key_PageUp);
        EXPECT_EQ(w->lastPeriod(), (PeriodName{2026, 11}));
        EXPECT_EQ(cell(w, 0, 1), QStringLiteral("2,000"));
        w->hide();
    }
}

TEST_F(ReportWindowTest, TheBudgetPaceLeavesMarkedAmountsOut) {
    struct Case {
        const char* what;
        std::vector<EntryLine> lines;
        ReportMark cellMark; // of day 2's cell
        int64_t spent;
        QVector<double> bars; // day 1, day 2 against 1,000 a day
    } cases[] = {
        {"nothing marked", {line(2, "食費", 4000, "冷蔵庫")}, ReportMark::None, 10000, {4.0, 5.0}},
        {"a line 集計対象外",
         {line(2, "食費", 4000, "冷蔵庫 #集計対象外")},
         ReportMark::None,
         6000,
         {4.0, 3.0}},
        {"a line 振替", {line(2, "食費", 4000, "#振替")}, ReportMark::None, 6000, {4.0, 3.0}},
        {"the whole cell 振替", {}, ReportMark::Transfer, 4000, {4.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        configure(1);
        month(2026, 12).Items[1].Days[1].Expense = 4000;
        month(2026, 12).Items[1].Days[2].Expense = 6000;
        write();
        if (!c.lines.empty())
            writeBytes(tmp.file(lineFileName(2026, 12)), formatLineFile(c.lines, 2026, 12));
        MarkSet marks;
        if (c.cellMark != ReportMark::None)
            marks.set({{2026, 12}, 2, LineSide::Expense, cp("食費")}, c.cellMark);
        writeBytes(tmp.file(MarkFileName), formatMarkFile(marks));
        BudgetPlan plan;
        plan.set(cp("食費"), 2026, 12, {true, 31000, false, false});
        writeBudgetFile(disk, tmp.path(), plan);
        setDate(2026, 12, 22);
        form1->FormActivate();
        const BudgetSummary s = form1->document().monthBudget(10);
        EXPECT_EQ(s.lines[1].spent, c.spent);
        EXPECT_EQ(s.lines[1].remaining, 31000 - c.spent);
        EXPECT_EQ(s.lines[1].pace, (31000 - c.spent) / 10);
        // The calendar's bars: the spending to date against each day's share.
        EXPECT_EQ(BudgetFeature::dayBars(form1->document()), c.bars)
            << "nothing more spent on day 2: no bar";
    }
}

} // namespace
