// The daily sheet's entry lines, driven with the keyboard alone: item,
// amount, memo, Enter; Enter on a line to change it, Delete to delete it.
#include "tests/windows/sheet_fixture.h"
#include "windows/ichiran.h"
#include "windows/line_text.h"
#include "windows/sheet_lines.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

namespace {

const QString Food = QStringLiteral("食費");
const QString Pay = QStringLiteral("給与");

class SheetLinesTest : public SheetFixture {
protected:
    void SetUp() override {
        SheetFixture::SetUp();
        start(2026, 12, 4, {{1, Food}, {2, Pay}});
        form1->SpeedButton3->click();
        lines = form2->Lines;
    }
    // Text as an input method hands it over: QTest types ASCII only.
    static void typeText(const QString& text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QApplication::sendEvent(QApplication::focusWidget(), &press);
    }
    // Picks the item with the arrow keys, then amount and memo, Enter.
    void type(const QString& item, const QString& amount, const QString& memo) {
        itemBox()->setFocus();
        QTest::keyClick(itemBox(), Qt::Key_Home);
        for (int i = 0; i < itemBox()->findText(item); ++i)
            QTest::keyClick(itemBox(), Qt::Key_Down);
        QTest::keyClick(itemBox(), Qt::Key_Return);
        typeText(amount);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        typeText(memo);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    QString listed() const {
        QString out;
        for (int r = 0; r < lineList()->rowCount(); ++r)
            out += lineList()->item(r, 0)->text() + " " + lineList()->item(r, 1)->text() + " " +
                   lineList()->item(r, 2)->text() + "\n";
        return out;
    }
    SheetLines* lines = nullptr;
    QTableWidget* lineList() const { return lines->findChild<QTableWidget*>("lineList"); }
    QComboBox* itemBox() const { return lines->findChild<QComboBox*>("lineItem"); }
    QLineEdit* amountEdit() const { return lines->findChild<QLineEdit*>("lineAmount"); }
};

TEST_F(SheetLinesTest, LinesAreTypedChangedAndDeletedWithTheKeyboardAndMoveTheirCells) {
    type(Food, QStringLiteral("1,280"), QStringLiteral("ｽｰﾊﾟｰ #日用品"));
    type(Pay, QStringLiteral("+２５００００"), QStringLiteral("12月分"));
    type(Food, QStringLiteral("300"), QStringLiteral("パン"));
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(listed().toStdString(),
              "食費 1,280 ｽｰﾊﾟｰ #日用品\n給与 +250,000 12月分\n食費 300 パン\n");
    EXPECT_EQ(day(1, 4).Expense, 1580);
    EXPECT_EQ(day(2, 4).Income, 250000);
    EXPECT_EQ(cell(2, 1), amount(1580)) << "the sheet shows the cell at once";
    EXPECT_TRUE(form2->SG1->marked(2, 1));
    EXPECT_TRUE(form2->SG1->marked(1, 2));
    EXPECT_FALSE(form2->SG1->marked(1, 1));
    EXPECT_TRUE(amountEdit()->text().isEmpty()) << "the row is ready for the next line";

    // Enter on the first line takes it in; a new amount and Enter change it.
    lineList()->setFocus();
    lineList()->setCurrentCell(0, 0);
    QTest::keyClick(lineList(), Qt::Key_Return);
    EXPECT_EQ(lines->changing(), 0);
    EXPECT_EQ(amountEdit()->text(), QStringLiteral("1,280"));
    QTest::keyClicks(amountEdit(), QStringLiteral("1480"));
    QTest::keyClick(amountEdit(), Qt::Key_Return);
    EXPECT_EQ(day(1, 4).Expense, 1780);
    EXPECT_EQ(lines->changing(), -1);
    // Escape leaves a line taken in as it was.
    lineList()->setCurrentCell(2, 0);
    QTest::keyClick(lineList(), Qt::Key_Return);
    QTest::keyClicks(amountEdit(), QStringLiteral("9"));
    QTest::keyClick(amountEdit(), Qt::Key_Escape);
    EXPECT_EQ(lines->changing(), -1);
    EXPECT_EQ(day(1, 4).Expense, 1780);
    // Delete deletes the selected line and takes its amount off.
    lineList()->setCurrentCell(1, 0);
    QTest::keyClick(lineList(), Qt::Key_Delete);
    EXPECT_EQ(day(2, 4).Income, 0);
    EXPECT_FALSE(form2->SG1->marked(1, 2));
    EXPECT_EQ(listed().toStdString(), "食費 1,480 ｽｰﾊﾟｰ #日用品\n食費 300 パン\n");
    // One undo step per change.
    ASSERT_TRUE(form1->document().undo());
    EXPECT_EQ(day(2, 4).Income, 250000);
    EXPECT_EQ(listed().count('\n'), 3);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(SheetLinesTest, BadEntriesAndTotalsBelowTheLinesAreRefusedInTheErrorBox) {
    type(Food, QStringLiteral("1000"), QStringLiteral("a"));
    const struct {
        const char* amount;
        const char* error;
    } cases[] = {
        {"0", "内訳の金額は 1 以上の整数"},
        {"-5", "内訳の金額は 1 以上の整数"},
        {"12x", "内訳の金額は 1 以上の整数"},
        {"3000000000", "内訳の金額は 1 以上の整数"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.amount);
        errors.clear();
        type(Food, QString::fromUtf8(c.amount), QStringLiteral("x"));
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].startsWith(QString::fromUtf8(c.error))) << errors[0].toStdString();
        EXPECT_EQ(day(1, 4).Expense, 1000);
    }
    // The amount dialog: a total under the lines is refused, one above
    // them keeps the lines and raises 内訳なし.
    errors.clear();
    form2->SG1->setCurrent(2, 1);
    form2->SG1Click();
    form5->Edit2->setValue(Currency::fromUnits(999));
    form5->Button2->click();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("内訳の合計 1,000 円より少ない")));
    EXPECT_EQ(day(1, 4).Expense, 1000);
    form5->Edit2->setValue(Currency::fromUnits(1500));
    form5->Button2->click();
    EXPECT_EQ(day(1, 4).Expense, 1500);
    EXPECT_EQ(lines->findChild<QLabel*>("lineNote")->text(),
              QStringLiteral("食費 支出: 内訳なし 500"));
    EXPECT_EQ(linesTip(form1->book().lines({2026, 12}), form1->Ledger, 1, 4),
              QStringLiteral("a  1,000\n内訳なし  500"));
}

TEST_F(SheetLinesTest, AHandEditedMonthShowsTheDifferenceAndTheListCarriesTheLines) {
    type(Food, QStringLiteral("1000"), QStringLiteral("a, \"b\""));
    form1->MonthSave();
    // Another program lowers the cell below its line.
    MonthLedger l = form1->Ledger;
    l.Items[1].Days[4].Expense = 400;
    writeBytes(monthFile(2026, 12), formatMonth(l));
    form1->LoadMonths();
    SheetDisp(*form1, *form2);
    EXPECT_EQ(lines->findChild<QLabel*>("lineNote")->text(),
              QStringLiteral("食費 支出: 内訳の合計 1,000 が金額より 600 "
                             "多くなっています"));
    EXPECT_EQ(day(1, 4).Expense, 400) << "never changed by itself";
    EXPECT_EQ(readBytes(dir.file("202612.lin")).find("1000") != std::string::npos, true);

    TForm7 list(form1.get());
    EXPECT_EQ(list.SG1->tipSource(4, 1),
              QStringLiteral("a, \"b\"  1,000\n内訳が金額より 600 多い"));
    EXPECT_EQ(list.SG1->tipSource(5, 1), QString());
    const QString csv = dir.file("m.csv").c_str();
    list.setSavePathAsker([&](const QString&) { return csv; });
    list.CsvExportClick();
    const std::string bytes = readBytes(csv.toStdString());
    EXPECT_NE(
        bytes.find("\r\n\r\n日付,項目,収入,支出,ﾒﾓ\r\n2026-12-04,食費,,1000,\"a, \"\"b\"\"\"\r\n"),
        std::string::npos)
        << bytes;
}

} // namespace
