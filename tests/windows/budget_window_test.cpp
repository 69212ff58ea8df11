// The budget window, the daily sheet's budget panel and the calendar's bars,
// driven through the main window as the program wires them.
#include "ledger/budget_plan.h"
#include "shell/theme.h"
#include "storage/disk_store.h"
#include "tests/windows/sheet_fixture.h"
#include "windows/budget_feature.h"
#include "windows/ichiran.h"
#include "windows/list1.h"
#include "windows/year_overview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>

namespace {

class BudgetTest : public SheetFixture {
protected:
    void SetUp() override {
        SheetFixture::SetUp();
        form1->install(feature);
        feature.attach(*form1);
        budget = feature.window();
        Modal::setRunner([this](QDialog* d) {
            if (auto* box = qobject_cast<QMessageBox*>(d)) {
                asked << box->objectName();
                box->done(answer);
            } else {
                d->show();
            }
        });
    }
    QString panelText() const {
        QTextDocument doc;
        doc.setHtml(form2->BudgetPanel->text());
        return doc.toPlainText();
    }
    std::string bgt() const { return readBytes(dir.file(BudgetFileName)); }

    void openBudget() { form1->findChild<QAction*>(QStringLiteral("budget"))->trigger(); }

    BudgetFeature feature;
    BudgetWindow* budget = nullptr;
    TNewNumEdit* amount(int row) const {
        return budget->findChild<TNewNumEdit*>(QStringLiteral("amount%1").arg(row));
    }
    QComboBox* kind(int row) const {
        return budget->findChild<QComboBox*>(QStringLiteral("kind%1").arg(row));
    }
    QCheckBox* carry(int row) const {
        return budget->findChild<QCheckBox*>(QStringLiteral("carry%1").arg(row));
    }
    QStringList asked;
    int answer = QMessageBox::No;
};

} // namespace

TEST_F(BudgetTest, SavedBudgetsShowOnTheSheetAndTheCalendar) {
    start(1996, 12, 31, {{1, QStringLiteral("食費")}, {3, QStringLiteral("家賃")}});
    SheetDisp(*form1, *form2);
    EXPECT_TRUE(form2->BudgetPanel->isHidden()); // no budgets, no panel
    EXPECT_TRUE(form1->mc->budgetBars().isEmpty());

    openBudget();
    amount(0)->setValue(Currency::fromUnits(40000));
    EXPECT_EQ(kind(0)->currentIndex(), BudgetWindow::Variable);
    amount(2)->setValue(Currency::fromUnits(80000));
    kind(2)->setCurrentIndex(BudgetWindow::Fixed);
    EXPECT_FALSE(amount(1)->isEnabled()); // an unnamed slot
    budget->saveAndClose();
    EXPECT_EQ(bgt(), "ZADUD-BUDGET,1\r\n1996-12," + utf8ToCp932("家賃") + ",80000,F,0\r\n1996-12," +
                         utf8ToCp932("食費") + ",40000,V,0\r\n");

    day(1, 3).Expense = 32000;
    SheetDisp(*form1, *form2);
    EXPECT_FALSE(form2->BudgetPanel->isHidden());
    // The last day: the pace is all that is left; the fixed item has none.
    QStringList cells;
    for (const QString& c : panelText().split(QLatin1Char('\n')))
        if (!c.trimmed().isEmpty()) cells << c.trimmed();
    EXPECT_EQ(cells, (QStringList{"予算", "使った", "残り", "1日あたり", "食費", "32,000", "8,000",
                                  "8,000", "家賃", "0", "80,000"}));
    day(1, 4).Expense = 10500;
    SheetDisp(*form1, *form2);
    // Warning red, readable on the window's background.
    EXPECT_TRUE(form2->BudgetPanel->text().contains(
        Theme::warningInk(QApplication::palette(), QPalette::Window).name()));
    EXPECT_TRUE(panelText().contains(QStringLiteral("超過 2,500"))) << panelText().toStdString();

    form1->MonthDisp();
    const QVector<double> bars = form1->mc->budgetBars();
    ASSERT_EQ(bars.size(), 4); // up to the last day with spending
    EXPECT_DOUBLE_EQ(bars[1], 0.0);
    EXPECT_DOUBLE_EQ(bars[2], 32000.0 / (40000 * 3 / 31));
    EXPECT_DOUBLE_EQ(bars[3], 42500.0 / (40000 * 4 / 31));

    // The year overview adds budget, spent and remaining per budgeted item.
    YearOverview overview(form1.get());
    overview.showYear(1996);
    const QTableWidget* table = overview.findChild<QTableWidget*>("table");
    const int rows = table->rowCount();
    ASSERT_EQ(rows, 2 + 4 + 6);
    EXPECT_EQ(table->verticalHeaderItem(rows - 1)->text(), QStringLiteral("家賃 残り"));
    auto text = [&](int row, int col) {
        const QTableWidgetItem* item = table->item(row, col);
        return item ? item->text() : QString();
    };
    EXPECT_EQ(text(rows - 4, 11), QStringLiteral("-2,500"));
    EXPECT_EQ(text(rows - 4, 12), QStringLiteral("-2,500"));
    EXPECT_EQ(text(rows - 4, 10), QString()); // November had no budget

    // The monthly list shows the month's table, without the day's pace.
    TForm7 list(form1.get());
    list.FormActivate();
    ASSERT_FALSE(list.BudgetPanel->isHidden());
    EXPECT_TRUE(list.HeldNotice->isHidden());
    QTextDocument listed;
    listed.setHtml(list.BudgetPanel->text());
    EXPECT_TRUE(listed.toPlainText().contains(QStringLiteral("超過 2,500")));
    EXPECT_FALSE(listed.toPlainText().contains(QStringLiteral("1日あたり")));
    // Each budget in full beside what was spent.
    QStringList listCells;
    for (const QString& c : listed.toPlainText().split(QLatin1Char('\n')))
        if (!c.trimmed().isEmpty()) listCells << c.trimmed();
    EXPECT_EQ(listCells.mid(0, 8), (QStringList{"項目", "予算", "使った", "残り", "食費", "40,000",
                                                "42,500", "超過 2,500"}))
        << listCells.join('|').toStdString();
    EXPECT_EQ(list.windowTitle(), QStringLiteral("月別一覧  %1年%2月")
                                      .arg(form1->document().year())
                                      .arg(form1->document().month()));

    // The printout adds a page of them.
    MonthPrintData data;
    data.ledger = form1->Ledger;
    data.budget = form1->document().monthBudget(0);
    const MonthPrint print = MonthPrintLayout::layout(data);
    ASSERT_EQ(print.pages.size(), 2u);
    QStringList printed;
    for (const PrintText& t : print.pages[1].texts)
        printed << t.text;
    EXPECT_TRUE(printed.contains(QStringLiteral("超過 2,500"))) << printed.join(' ').toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("80,000")));

    // "前月と同じ" shows November's plan: none yet; leaving unsaved keeps December's.
    openBudget();
    budget->takeLastMonth();
    EXPECT_EQ(kind(0)->currentIndex(), BudgetWindow::None);
    budget->closeWithoutSaving();
    EXPECT_EQ(form1->document().budget().plan.at(utf8ToCp932("食費"), 1996, 12)->amount, 40000);
}

TEST_F(BudgetTest, BarsShowFromTheStartAndAnAmountOutOfRangeIsRefused) {
    MonthLedger month;
    month.Items[1].Name = utf8ToCp932("食費");
    month.Items[1].Days[3].Expense = 500;
    saveMonthFile(disk, month, dir.path(), 1996, 12);
    writeBytes(dir.file(BudgetFileName),
               "ZADUD-BUDGET,1\r\n1996-12," + utf8ToCp932("食費") + ",31000,V,0\r\n");
    start(1996, 12, 1, {{1, QStringLiteral("食費")}});
    EXPECT_EQ(form1->mc->budgetBars(), (QVector<double>{0.0, 0.0, 500.0 / 3000}));

    openBudget();
    amount(0)->setValue(Currency::fromUnits(2147483648));
    EXPECT_THROW(budget->saveAndClose(), AppError);
    EXPECT_EQ(bgt(), "ZADUD-BUDGET,1\r\n1996-12," + utf8ToCp932("食費") + ",31000,V,0\r\n");
}

TEST_F(BudgetTest, ADamagedFileIsNamedOnceAndReplacedOnlyWhenTheUserSaysSo) {
    writeBytes(dir.file(BudgetFileName), "broken\r\n");
    start(1996, 12, 1, {{1, QStringLiteral("食費")}});
    form1->document().readBudget();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QString::fromStdString(dir.file(BudgetFileName))))
        << errors[0].toStdString();
    SheetDisp(*form1, *form2); // the ledger works on without budgets
    EXPECT_TRUE(form2->BudgetPanel->isHidden());

    openBudget();
    amount(0)->setValue(Currency::fromUnits(1000));
    budget->saveAndClose();
    EXPECT_EQ(asked, QStringList{QStringLiteral("ReplaceDamaged")});
    EXPECT_EQ(bgt(), "broken\r\n");
    answer = QMessageBox::Yes;
    budget->saveAndClose();
    EXPECT_EQ(bgt(), "ZADUD-BUDGET,1\r\n1996-12," + utf8ToCp932("食費") + ",1000,V,0\r\n");
    EXPECT_FALSE(form1->document().budget().damaged);
}

// Leaving with changed rows asks, by the menu, キャンセル, Escape or the close
// box; いいえ keeps the rows, はい leaves the file alone. 保存 saves unasked.
TEST_F(BudgetTest, ClosingWithChangedRowsAsksAndTheButtonSaves) {
    start(1996, 12, 31, {{1, QStringLiteral("食費")}});
    const struct {
        const char* way;
        std::function<void()> close;
    } ways[] = {
        {"menu", [this] { budget->findChild<QAction*>("discardAction")->trigger(); }},
        {"キャンセル", [this] { budget->findChild<QPushButton*>("cancelButton")->click(); }},
        {"Escape", [this] { QTest::keyClick(amount(0), Qt::Key_Escape); }},
        {"close box", [this] { budget->close(); }},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        openBudget();
        w.close();
        EXPECT_FALSE(budget->isVisible());
        EXPECT_TRUE(asked.isEmpty()); // nothing changed: nothing to ask

        openBudget();
        carry(0)->setChecked(true);
        answer = QMessageBox::No;
        w.close();
        EXPECT_EQ(asked, QStringList{QStringLiteral("DiscardConfirm")});
        EXPECT_TRUE(budget->isVisible());
        EXPECT_TRUE(carry(0)->isChecked());
        answer = QMessageBox::Yes;
        w.close();
        EXPECT_FALSE(budget->isVisible());
        EXPECT_FALSE(fileExists(dir.file(BudgetFileName)));
        asked.clear();
    }
    // Enter moves on and presses no button, from a box or a list.
    openBudget();
    amount(0)->setValue(Currency::fromUnits(500));
    for (QWidget* w : {static_cast<QWidget*>(amount(0)), static_cast<QWidget*>(kind(0))})
        QTest::keyClick(w, Qt::Key_Return);
    EXPECT_TRUE(budget->isVisible());
    EXPECT_FALSE(fileExists(dir.file(BudgetFileName)));
    budget->findChild<QPushButton*>("saveButton")->click();
    EXPECT_FALSE(budget->isVisible());
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(bgt(), "ZADUD-BUDGET,1\r\n1996-12," + utf8ToCp932("食費") + ",500,V,0\r\n");
}
