#include "tests/windows/sheet_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace {

const QString Food = QStringLiteral("食費");
const QString Pay = QStringLiteral("給与");

class AmountDialogTest : public SheetFixture {
protected:
    // Opens the sheet from the main window and the dialog on an item row.
    void openOn(int row) {
        form1->SpeedButton3->click();
        ASSERT_EQ(shown.size(), 1u);
        QTest::mouseClick(form2->SG1, Qt::LeftButton, {}, form2->SG1->cellRect(1, row).center());
        ASSERT_EQ(shown.size(), 2u);
        ASSERT_EQ(shown[1], form5);
    }
    void type(const QString& keys) { QTest::keyClicks(QApplication::focusWidget(), keys); }
    void confirm() { QTest::mouseClick(form5->Button2, Qt::LeftButton); }

    QStringList row(int r) const { return {cell(0, r), cell(1, r), cell(2, r)}; }
    QStringList sheet() const {
        QStringList all;
        for (int r = 0; r < 15; ++r)
            all += row(r);
        return all;
    }
};

// Month file line of one item with one amount: the name, the flag, 31 days
// and the total, each followed by a comma.
std::string line(const QString& name, char flag, int day, int32_t value) {
    auto field = [](int32_t v) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%08d,", v < 0 ? -v : v);
        return (v < 0 ? "-" : "") + std::string(digits);
    };
    std::string s = utf8ToCp932(name.toStdString()) + ',' + flag + ',';
    for (int d = 1; d <= 31; ++d)
        s += field(d == day ? value : 0);
    return s + field(value) + "\r\n";
}

// The road of one entry, from the calendar to the month file and back.
TEST_F(AmountDialogTest, OneEntryFromTheCalendarToTheFileAndBack) {
    MonthLedger dec;
    dec.Items[2].Name = utf8ToCp932(Pay.toStdString());
    dec.Items[2].Days[3].Income = 5000;
    writeBytes(monthFile(1996, 12), formatMonth(dec));
    start(1996, 12, 1, {{1, Food}, {2, Pay}});
    form1->show();

    auto doubleClickDay = [this](const QString& dayText) {
        for (int r = 1; r < TCalendar::Rows; ++r)
            for (int c = 0; c < TCalendar::Cols; ++c)
                if (form1->mc->cellText(c, r) == dayText) {
                    QTest::mouseDClick(form1->mc, Qt::LeftButton, {},
                                       form1->mc->cellRect(c, r).center());
                    return;
                }
        FAIL() << "no day " << dayText.toStdString();
    };
    doubleClickDay(QStringLiteral("10"));
    ASSERT_EQ(shown, std::vector<QDialog*>{form2});
    EXPECT_EQ(form2->Label1->text(), QStringLiteral("1996年12月10日"));
    EXPECT_EQ(cell(2, 14), amount(5000));

    QTest::mouseClick(form2->SG1, Qt::LeftButton, {}, form2->SG1->cellRect(2, 1).center());
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(form5->Label1->text(), Food);
    ASSERT_EQ(QApplication::focusWidget(), form5->Edit1);
    type(QStringLiteral("1234"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form5->Edit2);
    type(QStringLiteral("500-"));
    confirm();

    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_FALSE(form5->isVisible());
    EXPECT_EQ(row(1),
              (QStringList{Food, QStringLiteral("       1,234"), QStringLiteral("        -500")}));
    EXPECT_EQ(row(13), (QStringList{QStringLiteral("   合  計"), QStringLiteral("       1,234"),
                                    QStringLiteral("        -500")}));
    EXPECT_EQ(cell(2, 14), QStringLiteral("       6,734"));
    EXPECT_EQ(day(1, 10).Income, 1234);
    EXPECT_EQ(day(1, 10).Expense, -500);

    form2->Exit1->trigger();
    EXPECT_FALSE(form2->isVisible());
    form1->SpeedButton1->click();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(date(), QStringLiteral("1997-1-1"));
    EXPECT_EQ(readBytes(monthFile(1996, 12)), line(Food, '0', 10, 1234) +
                                                  line(Food, '1', 10, -500) +
                                                  line(Pay, '0', 3, 5000) + line(Pay, '1', 0, 0));

    form1->Next->click();
    shown.clear();
    doubleClickDay(QStringLiteral("10"));
    ASSERT_EQ(shown, std::vector<QDialog*>{form2});
    EXPECT_EQ(row(1),
              (QStringList{Food, QStringLiteral("       1,234"), QStringLiteral("        -500")}));
    EXPECT_EQ(cell(2, 14), QStringLiteral("       6,734"));
}

TEST_F(AmountDialogTest, OpensWithTheRowsAmountsAndIncomeSelected) {
    start(2003, 4, 2, {{1, Food}});
    day(1, 2) = {1234, 0};
    openOn(1);
    EXPECT_EQ(form5->Edit1->text(), QStringLiteral("1,234"));
    EXPECT_EQ(form5->Edit2->text(), QStringLiteral("0"));
    EXPECT_EQ(QApplication::focusWidget(), form5->Edit1);
    EXPECT_EQ(form5->Edit1->selectedText(), form5->Edit1->text());
    // The first digit replaces the amount.
    type(QStringLiteral("7"));
    EXPECT_EQ(form5->Edit1->Value(), Currency::fromUnits(7));
}

TEST_F(AmountDialogTest, CancelCloseBoxAndKeysChangeNothing) {
    start(2003, 4, 2, {{1, Food}, {2, Pay}});
    day(1, 2) = {300, 20};
    day(2, 1) = {0, 7};
    using Leave = std::function<void()>;
    const std::pair<const char*, Leave> ways[] = {
        {"cancel", [this] { QTest::mouseClick(form5->Button1, Qt::LeftButton); }},
        {"close box", [this] { form5->close(); }},
    };
    for (const auto& [what, leave] : ways) {
        shown.clear();
        openOn(1);
        const QStringList before = sheet();
        type(QStringLiteral("99"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        type(QStringLiteral("55"));
        // Enter and Escape have no meaning in this dialog.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_TRUE(form5->isVisible()) << what;
        leave();
        EXPECT_FALSE(form5->isVisible()) << what;
        EXPECT_EQ(sheet(), before) << what;
        EXPECT_EQ(day(1, 2).Income, 300) << what;
        EXPECT_EQ(day(1, 2).Expense, 20) << what;
        form2->hide();
    }
}

TEST_F(AmountDialogTest, ConfirmWithoutChangeKeepsTheSheet) {
    start(2003, 4, 2, {{1, Food}, {2, Pay}});
    day(1, 2) = {-1234, 99999999};
    day(2, 2) = {5, 0};
    openOn(1);
    const QStringList before = sheet();
    confirm();
    EXPECT_EQ(sheet(), before);
    EXPECT_EQ(day(1, 2).Income, -1234);
    EXPECT_EQ(day(1, 2).Expense, 99999999);
}

TEST_F(AmountDialogTest, EightDigitsAreAcceptedANinthIsRefused) {
    start(2003, 4, 2, {{1, Food}});
    openOn(1);
    type(QStringLiteral("999999999"));
    confirm();
    EXPECT_EQ(cell(1, 1), QStringLiteral("  99,999,999"));
    EXPECT_EQ(day(1, 2).Income, 99999999);
}

// Two receipts added in the box, and a price times a count: the results are
// what the sheet, the month and its file get.
TEST_F(AmountDialogTest, SumsAndProductsAreStoredAsTheirResults) {
    start(2003, 4, 2, {{1, Food}});
    openOn(1);
    type(QStringLiteral("398+1280"));
    EXPECT_EQ(form5->Edit1->text(), QStringLiteral("398 + 1,280"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(form5->Edit1->text(), QStringLiteral("1,678"));
    type(QStringLiteral("3*298"));
    confirm();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(row(1),
              (QStringList{Food, QStringLiteral("       1,678"), QStringLiteral("         894")}));
    EXPECT_EQ(day(1, 2).Income, 1678);
    EXPECT_EQ(day(1, 2).Expense, 894);
    form2->Exit1->trigger();
    form1->SpeedButton1->click();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(readBytes(monthFile(2003, 4)), line(Food, '0', 2, 1678) + line(Food, '1', 2, 894));
}

// What the amount boxes show after a paste or a cut is what the dialog
// stores.
TEST_F(AmountDialogTest, PastedAndCutAmountsAreStoredAsShown) {
    start(2003, 4, 2, {{1, Food}});
    day(1, 2) = {1234, 99};
    openOn(1);
    QApplication::clipboard()->setText(QStringLiteral("5,000"));
    QWidget* income = QApplication::focusWidget(); // all of it selected on opening
    QTest::keyClick(income, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(income, Qt::Key_Tab);
    QWidget* expense = QApplication::focusWidget();
    ASSERT_NE(expense, income);
    QTest::keyClick(expense, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(expense, Qt::Key_Delete, Qt::ShiftModifier); // cut
    QApplication::clipboard()->setText(QStringLiteral("12x"));
    QTest::keyClick(expense, Qt::Key_Insert, Qt::ShiftModifier); // refused
    confirm();
    EXPECT_EQ(row(1),
              (QStringList{Food, QStringLiteral("       5,000"), QStringLiteral("           0")}));
    EXPECT_EQ(day(1, 2).Income, 5000);
    EXPECT_EQ(day(1, 2).Expense, 0);
}

// The refill overflows: the dialog stays open, the new amount is already in
// the row and in the month.
TEST_F(AmountDialogTest, OverflowOnRefillKeepsTheDialogOpen) {
    start(2003, 4, 2, {{1, Food}, {2, Pay}});
    day(2, 2).Income = 2100000000;
    openOn(1);
    type(QStringLiteral("99999999"));
    confirm();
    EXPECT_EQ(errors, QStringList{QStringLiteral("整数のｵｰﾊﾞｰﾌﾛｰ.")});
    EXPECT_TRUE(form5->isVisible());
    EXPECT_EQ(cell(1, 1), QStringLiteral("  99,999,999"));
    EXPECT_EQ(day(1, 2).Income, 99999999);
}

} // namespace
