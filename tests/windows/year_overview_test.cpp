#include "windows/year_overview_feature.h"

#include "ledger/month_ledger.h"
#include "shell/calendar.h"
#include "tests/windows/main_window_fixture.h"
#include "windows/ichiran.h"

#include <QAction>
#include <QChartView>
#include <QHeaderView>
#include <QMessageBox>
#include <QTableWidget>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class YearWindow : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        writeBytes(tmp.file("ZADUD.CFG"), "kamo1=A\r\n");
        form7 = std::make_unique<TForm7>(form1.get());
        form1->setMonthlyList(form7.get());
        feature = std::make_unique<YearOverviewFeature>();
        form1->install(*feature);
        feature->attach(*form1);
        overview = feature->window();
        Modal::setRunner([this](QDialog* d) {
            shown << d->objectName();
            if (auto* box = qobject_cast<QMessageBox*>(d)) {
                text = box->text();
                box->done(answer);
            } else {
                d->show();
            }
        });
    }
    void TearDown() override {
        feature.reset();
        form7.reset();
        MainWindowFixture::TearDown();
    }
    // A month file of item A with one income on day 1 and the balance it brought in.
    std::string month(int32_t carry, int32_t income, int32_t day2 = 0) {
        MonthLedger l;
        l.Items[1].Name = "A";
        l.CarryOver[1] = carry;
        l.Items[1].Days[1].Income = income;
        l.Items[1].Days[2].Income = day2;
        return formatMonth(l);
    }

    std::unique_ptr<TForm7> form7;
    std::unique_ptr<YearOverviewFeature> feature;
    YearOverview* overview = nullptr;
    QTableWidget* table() const { return overview->findChild<QTableWidget*>("table"); }
    QStringList shown;
    QString text;
    int answer = QMessageBox::Yes;
};

} // namespace

TEST_F(YearWindow, MarksStaleMonthsRepairsThemAndOpensAMonth) {
    writeBytes(tmp.file("19981.txt"), month(0, 100));
    writeBytes(tmp.file("19983.txt"), month(40, 5)); // February had no file
    setDate(1998, 3, 9);
    form1->FormActivate();
    form1->Ledger.Items[1].Days[2].Income = 1; // unsaved: the overview counts it
    form1->findChild<QToolButton*>(QStringLiteral("yearOverviewButton"))->click();
    ASSERT_EQ(shown, QStringList{"YearOverview"});
    EXPECT_EQ(overview->year(), 1998);
    // March's file brings in 40, January closed with 100; the month in
    // memory brings in 100 and shows the edit.
    EXPECT_EQ(table()->horizontalHeaderItem(2)->text(), "3月");
    EXPECT_EQ(table()->item(0, 2)->text(), "6");
    EXPECT_EQ(table()->item(4, 2)->text(), "106");
    overview->recalculateBalances(); // nothing stale while March is held with its new balance
    EXPECT_TRUE(text.startsWith("繰越を書き換える月はありません")) << text.toStdString();

    // January edited and saved elsewhere: March's stored balance is stale.
    writeBytes(tmp.file("19981.txt"), month(0, 300));
    overview->showNextYear();
    overview->showPreviousYear();
    EXPECT_TRUE(table()->horizontalHeaderItem(2)->text().startsWith("※"));
    EXPECT_FALSE(table()->horizontalHeaderItem(2)->toolTip().isEmpty());

    answer = QMessageBox::No;
    overview->recalculateBalances();
    EXPECT_TRUE(text.contains("1998年3月")) << text.toStdString();
    EXPECT_EQ(readBytes(tmp.file("19983.txt")), month(40, 5)); // nothing written before the answer
    answer = QMessageBox::Yes;
    overview->recalculateBalances();
    EXPECT_TRUE(errors.isEmpty()) << errors.join("|").toStdString();
    EXPECT_EQ(readBytes(tmp.file("19983.txt")), month(300, 5, 1));
    EXPECT_EQ(form1->Ledger.CarryOver[1], 300); // the next save keeps the repair
    EXPECT_EQ(table()->horizontalHeaderItem(2)->text(), "3月");
    EXPECT_EQ(table()->item(4, 2)->text(), "306");

    shown.clear();
    emit table()->cellDoubleClicked(0, 0);
    EXPECT_EQ(form1->mc->Month(), 1);
    EXPECT_EQ(form1->mc->Year(), 1998);
    EXPECT_EQ(form1->Ledger.Items[1].Days[1].Income, 300);
    EXPECT_EQ(shown, QStringList{"Form7"});
}

TEST_F(YearWindow, ChartsComeWithTheFirstShowing) {
    writeBytes(tmp.file("19981.txt"), month(0, 100));
    EXPECT_EQ(overview->findChild<QWidget*>("expenseChart"), nullptr) << "built at start-up";
    form1->findChild<QAction*>(QStringLiteral("yearOverview"))->trigger();
    ASSERT_NE(overview->findChild<QWidget*>("expenseChart"), nullptr);
    ASSERT_NE(overview->findChild<QWidget*>("balanceChart"), nullptr);
    EXPECT_TRUE(overview->findChild<QWidget*>("expenseChart")->isVisible());
    auto* balance = qobject_cast<QChartView*>(overview->findChild<QWidget*>("balanceChart"));
    ASSERT_NE(balance, nullptr);
    EXPECT_FALSE(balance->chart()->series().isEmpty());
}

namespace {

TEST_F(YearWindow, TheTableShowsEveryRowAtTheDefaultSizeOnASmallScreen) {
    // Twelve items: the table's longest without budgets.
    std::string cfg;
    MonthLedger l;
    for (int i = 1; i <= 12; ++i) {
        l.Items[i].Name = "I" + std::to_string(i);
        cfg += "kamo" + std::to_string(i) + "=" + l.Items[i].Name + "\r\n";
    }
    writeBytes(tmp.file("ZADUD.CFG"), cfg);
    writeBytes(tmp.file("19981.txt"), formatMonth(l));
    setDate(1998, 1, 9);
    form1->FormActivate();
    form1->findChild<QAction*>(QStringLiteral("yearOverview"))->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(overview));
    EXPECT_LE(overview->width(), 1280);
    EXPECT_LE(overview->height(), 760);
    const int last = table()->rowCount() - 1;
    ASSERT_GE(last, 15);
    const QRect row = table()->visualRect(table()->model()->index(last, 0));
    EXPECT_TRUE(table()->viewport()->rect().contains(row))
        << row.y() << "+" << row.height() << " in " << table()->viewport()->height();
}

} // namespace
