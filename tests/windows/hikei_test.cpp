#include "ledger/entry_lines.h"
#include "storage/disk_store.h"
#include "tests/windows/sheet_fixture.h"
#include "windows/ichiran.h"

#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <cerrno>

namespace {

const QString Food = QStringLiteral("食費");
const QString Pay = QStringLiteral("給与");
const QString Zero = QStringLiteral("           0");

// A month file holding one item with one income, and the item's total.
std::string itemFile(const QString& name, int day, int32_t income, int32_t carryOver = 0) {
    MonthLedger l;
    l.Items[1].Name = utf8ToCp932(name.toStdString());
    if (day > 0) l.Items[1].Days[day].Income = income;
    l.CarryOver[1] = carryOver;
    return formatMonth(l);
}

class SheetTest : public SheetFixture {
protected:
    void openSheet() {
        form1->SpeedButton3->click();
        ASSERT_EQ(shown.size(), 1u);
        ASSERT_EQ(shown[0], form2);
    }
    void clickCell(int col, int row) {
        QTest::mouseClick(form2->SG1, Qt::LeftButton, {}, form2->SG1->cellRect(col, row).center());
    }
};

TEST_F(SheetTest, EmptyMonthShowsZeroTextsAndLeavesUnnamedRowsAlone) {
    start(1996, 12, 10, {{1, Food}, {2, Pay}, {4, QStringLiteral("交際費")}});
    form2->SG1->setCell(0, 3, QStringLiteral("old"));
    form2->SG1->setCell(1, 3, QStringLiteral("kept"));
    openSheet();

    EXPECT_EQ(cell(1, 0), QStringLiteral("   収  入"));
    EXPECT_EQ(cell(2, 0), QStringLiteral("   支  出"));
    EXPECT_EQ(cell(0, 13), QStringLiteral("   合  計"));
    EXPECT_EQ(cell(0, 14), QStringLiteral("   残  高"));
    EXPECT_EQ(cell(0, 0), QString());
    EXPECT_EQ(cell(1, 14), QString());
    for (int row : {1, 2, 4, 13}) {
        EXPECT_EQ(cell(1, row), Zero) << row;
        EXPECT_EQ(cell(2, row), Zero) << row;
    }
    EXPECT_EQ(cell(2, 14), Zero);
    EXPECT_EQ(cell(0, 1), Food);
    EXPECT_EQ(cell(0, 4), QStringLiteral("交際費"));
    EXPECT_EQ(cell(0, 3), QStringLiteral("old"));
    EXPECT_EQ(cell(1, 3), QStringLiteral("kept"));
    EXPECT_EQ(cell(0, 5), QString());
    EXPECT_EQ(form2->Label1->text(), QStringLiteral("1996年12月10日"));
}

TEST_F(SheetTest, UnnamedItemCountsInBalanceButNotInDayTotal) {
    start(1997, 3, 5, {{1, Food}, {2, Pay}});
    day(1, 5) = {100, 40};
    day(2, 3) = {0, 30};  // an earlier day: balance only
    day(2, 6) = {900, 0}; // a later day: neither
    day(3, 5) = {700, 5}; // no name
    day(3, 1) = {0, 20};
    form1->Ledger.CarryOver[3] = 1000; // unnamed too
    openSheet();

    EXPECT_EQ(cell(1, 13), amount(100));
    EXPECT_EQ(cell(2, 13), amount(40));
    EXPECT_EQ(cell(2, 14), amount(100 + 700 - 40 - 30 - 5 - 20 + 1000));
    EXPECT_EQ(form1->Ledger.CarryOverSum, 1000);
    EXPECT_EQ(cell(0, 3), QString());
}

TEST_F(SheetTest, NegativeCarriedBalanceFromThePreviousMonthsFile) {
    // November 1996: income total 1000, expense total 3000: -2000 carried.
    MonthLedger l;
    l.Items[1].Name = utf8ToCp932(Food.toStdString());
    l.Items[1].Days[4] = {1000, 3000};
    writeBytes(monthFile(1996, 11), formatMonth(l));
    writeBytes(monthFile(1996, 12), itemFile(Food, 1, 766));
    start(1996, 12, 1, {{1, Food}});
    openSheet();

    EXPECT_EQ(form1->Ledger.CarryOverSum, -2000);
    EXPECT_EQ(cell(1, 1), amount(766));
    EXPECT_EQ(cell(2, 14), QStringLiteral("      -1,234"));
}

TEST_F(SheetTest, TenDigitTotalsAreWidenedAndTheDayStillSteps) {
    start(2001, 5, 2, {{1, Food}, {2, Pay}});
    day(1, 2).Income = 800000000;
    day(2, 2).Income = 800000000;
    form1->Ledger.CarryOver[1] = 500000000;
    openSheet();
    EXPECT_EQ(cell(1, 13), QStringLiteral("1,600,000,000"));
    EXPECT_EQ(cell(2, 14), QStringLiteral("2,100,000,000"));

    form2->SpeedButton1->click();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(date(), QStringLiteral("2001-5-3"));
    EXPECT_EQ(day(1, 2).Income, 800000000);
    EXPECT_EQ(cell(1, 13), Zero);
}

TEST_F(SheetTest, OverflowStopsTheFillAndTheSheetIsNotShown) {
    start(2001, 5, 2, {{1, Food}});
    form1->Ledger.CarryOver[1] = INT32_MAX;
    form1->Ledger.CarryOver[2] = 1;
    form1->SpeedButton3->click();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(errors, QStringList{QStringLiteral("整数のｵｰﾊﾞｰﾌﾛｰ.")});
    EXPECT_EQ(cell(1, 0), QStringLiteral("   収  入")); // written before the sums
    EXPECT_EQ(cell(2, 14), QString());
}

struct Step {
    int y, m, d;
    bool forward;
    int ey, em, ed;
};

class DayStep : public SheetTest, public testing::WithParamInterface<Step> {};

// Across a month end the month left is saved with the sheet's amount and
// the month entered is loaded with its carry-over: forward it comes from
// the file just saved, backward from the month before the one entered.
TEST_P(DayStep, MovesCalendarSavesAndLoads) {
    const Step s = GetParam();
    const bool crosses = s.em != s.m;
    if (crosses) {
        writeBytes(monthFile(s.ey, s.em), itemFile(Food, s.ed, 222));
        if (!s.forward) {
            const int py = s.em == 1 ? s.ey - 1 : s.ey;
            const int pm = s.em == 1 ? 12 : s.em - 1;
            writeBytes(monthFile(py, pm), itemFile(Food, 0, 0, 1000));
        }
    }
    start(s.y, s.m, s.d, {{1, Food}});
    day(1, s.d).Income = 111;
    openSheet();
    QTest::mouseClick(s.forward ? form2->SpeedButton1 : form2->Next, Qt::LeftButton);

    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(date(), QStringLiteral("%1-%2-%3").arg(s.ey).arg(s.em).arg(s.ed));
    EXPECT_EQ(form2->SheetYear, s.ey);
    EXPECT_EQ(form2->SheetMonth, s.em);
    EXPECT_EQ(form2->SheetDay, s.ed);
    EXPECT_EQ(form2->Label1->text(), QStringLiteral("%1年%2月%3日").arg(s.ey).arg(s.em).arg(s.ed));
    if (crosses) {
        const std::string left = readBytes(monthFile(s.y, s.m));
        const std::string field = ",00000111,";
        EXPECT_NE(left.find(field), std::string::npos) << left;
        EXPECT_EQ(cell(1, 1), amount(222));
        EXPECT_EQ(cell(2, 14), amount(s.forward ? 111 + 222 : 1000 + 222));
    } else {
        EXPECT_FALSE(fileExists(monthFile(s.y, s.m)));
        EXPECT_EQ(cell(1, 1), Zero);
        EXPECT_EQ(cell(2, 14), amount(111));
    }
}

const Step kSteps[] = {
    {2000, 3, 1, false, 2000, 2, 29},  {1900, 3, 1, false, 1900, 2, 28},
    {2004, 3, 1, false, 2004, 2, 29},  {2001, 4, 1, false, 2001, 3, 31},
    {1997, 1, 1, false, 1996, 12, 31}, {2001, 2, 28, true, 2001, 3, 1},
    {2004, 2, 28, true, 2004, 2, 29},  {2004, 2, 29, true, 2004, 3, 1},
    {1900, 2, 28, true, 1900, 3, 1},   {2001, 1, 31, true, 2001, 2, 1},
    {1999, 12, 31, true, 2000, 1, 1},  {1800, 3, 1, false, 1800, 2, 28},
    {2000, 2, 28, true, 2000, 2, 29},  {2200, 2, 28, true, 2200, 3, 1},
};

INSTANTIATE_TEST_SUITE_P(Calendar, DayStep, testing::ValuesIn(kSteps),
                         [](const testing::TestParamInfo<Step>& info) {
                             const Step& s = info.param;
                             return std::string(s.forward ? "ForwardFrom" : "BackFrom") +
                                    std::to_string(s.y) + "_" + std::to_string(s.m) + "_" +
                                    std::to_string(s.d);
                         });

TEST_F(SheetTest, FailedSaveEndsTheStepBeforeTheDateMoves) {
    start(1999, 12, 31, {{1, Food}});
    form1->LedgerDir = QString::fromStdString(dir.file("missing"));
    openSheet();
    form2->SpeedButton1->click();
    EXPECT_EQ(errors, QStringList{QStringLiteral("不正なﾌｧｲﾙ名です.")});
    EXPECT_EQ(date(), QStringLiteral("1999-12-31"));
    EXPECT_EQ(form2->SheetYear, 1999);
    EXPECT_EQ(form2->Label1->text(), QStringLiteral("1999年12月31日"));
}

// A step that fails after the date has moved must still leave the item rows
// showing the new day: "終了" and the next step store them into that day.
TEST_F(SheetTest, FailedLoadOrFillAfterTheMoveKeepsTheNewDaysAmounts) {
    // Back from 1 January 1997: November 1996 (the carry-over into December)
    // is damaged, December itself reads fine and holds 766 on the 31st.
    std::string damaged = itemFile(Food, 1, 0);
    damaged.replace(damaged.find("00000000"), 8, "0000000x");
    writeBytes(monthFile(1996, 11), damaged);
    writeBytes(monthFile(1996, 12), itemFile(Food, 31, 766));
    start(1997, 1, 1, {{1, Food}});
    day(1, 1).Income = 500;
    openSheet();
    form2->Next->click();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(date(), QStringLiteral("1996-12-31"));
    EXPECT_EQ(cell(1, 1), amount(766));
    form2->Exit1->trigger();
    EXPECT_EQ(day(1, 31).Income, 766);

    // Within the month: the sums to date overflow on the day entered.
    errors.clear();
    setDate(1996, 12, 30);
    day(1, 30).Income = 5;
    day(1, 31).Income = INT32_MAX;
    form1->SpeedButton3->click();
    ASSERT_EQ(shown.size(), 2u);
    form2->SpeedButton1->click();
    EXPECT_EQ(errors, QStringList{QStringLiteral("整数のｵｰﾊﾞｰﾌﾛｰ.")});
    EXPECT_EQ(date(), QStringLiteral("1996-12-31"));
    EXPECT_EQ(cell(1, 1), amount(INT32_MAX));
    form2->Exit1->trigger();
    EXPECT_EQ(day(1, 31).Income, INT32_MAX);
    EXPECT_EQ(day(1, 30).Income, 5);
}

TEST_F(SheetTest, StepsThenCloseLeaveTheMainWindowOnTheLastDay) {
    start(1996, 12, 30, {{1, Food}});
    openSheet();
    for (int i = 0; i < 3; ++i)
        form2->SpeedButton1->click();
    form2->Next->click();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    form2->Exit1->trigger();
    EXPECT_FALSE(form2->isVisible());
    EXPECT_EQ(date(), QStringLiteral("1997-1-1"));
    EXPECT_EQ(form1->nen->text(), QStringLiteral("1997年1月"));
}

// Only rows that show an item name open the dialog, by mouse or by keys.
TEST_F(SheetTest, OnlyNamedItemRowsOpenTheDialog) {
    start(2002, 6, 15, {{1, Food}, {2, Pay}});
    day(1, 15) = {-1234, 56};
    openSheet();
    const struct {
        int col, row;
        bool opens;
    } clicks[] = {{1, 13, false}, {2, 14, false}, {0, 13, false}, {1, 3, false}, {2, 12, false},
                  {1, 0, false},  {0, 2, false},  {2, 1, true},   {1, 2, true}};
    for (const auto& c : clicks) {
        shown.resize(1);
        form5->hide();
        clickCell(c.col, c.row);
        EXPECT_EQ(shown.size() == 2, c.opens) << c.col << "," << c.row;
    }
    // The fixed header row and column never become current.
    form2->SG1->setCurrent(1, 1);
    clickCell(0, 1);
    clickCell(1, 0);
    EXPECT_EQ(form2->SG1->Row(), 1);
    EXPECT_EQ(form2->SG1->Col(), 1);

    shown.resize(1);
    form5->hide();
    clickCell(2, 1);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(form5->Label1->text(), Food);
    EXPECT_EQ(form5->Edit1->Value(), Currency::fromUnits(-1234));
    EXPECT_EQ(form5->Edit2->Value(), Currency::fromUnits(56));

    // Keys: down onto the next named row opens it, onto an unnamed one not.
    form5->hide();
    shown.resize(1);
    QTest::keyClick(form2->SG1, Qt::Key_Down);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(form5->Label1->text(), Pay);
    form5->hide();
    QTest::keyClick(form2->SG1, Qt::Key_Down);
    EXPECT_EQ(form2->SG1->Row(), 3);
    EXPECT_EQ(shown.size(), 2u);
}

// A month that must not be saved is entered by a day step: May's own file
// fails, or April's that gives May its carry-over (May is then entered
// backward from June). May is read-only until it reads cleanly again.
enum class Fault { MayDamaged, MayOverflows, MayUnopenable, AprilDamaged, AprilUnopenable };
struct Held {
    const char* what;
    Fault fault;
    const char* loadError;
    const char* message;
};

class HeldMonth : public SheetTest, public testing::WithParamInterface<Held> {};

TEST_P(HeldMonth, IsReadOnlyUntilItReadsCleanly) {
    const Held h = GetParam();
    const bool april = h.fault >= Fault::AprilDamaged;
    const std::string may = monthFile(2024, 5), failing = april ? monthFile(2024, 4) : may;
    std::string damaged = itemFile(Food, 1, 1);
    damaged.replace(damaged.find("00000000"), 8, "0000000x");
    writeBytes(monthFile(2024, 4), h.fault == Fault::AprilDamaged ? damaged : itemFile(Food, 1, 1));
    writeBytes(may, h.fault == Fault::MayDamaged
                        ? damaged
                        : itemFile(Food, 31, h.fault == Fault::MayOverflows ? INT32_MAX : 0));
    const std::string before = readBytes(failing), mayBefore = readBytes(may);
    if (h.fault == Fault::MayUnopenable || h.fault == Fault::AprilUnopenable)
        disk.setFaults([failing](const std::string& path, const std::string& step) {
            return step == "read" && path == failing ? EACCES : 0;
        });
    // A line of the day the sheet comes to, beyond what May's cell holds.
    EntryLine line;
    line.day = april ? 31 : 1;
    line.item = utf8ToCp932(Food.toStdString());
    line.amount = 300;
    writeBytes(dir.file(lineFileName(2024, 5)), formatLineFile({line}, 2024, 5));
    start(2024, april ? 6 : 4, april ? 1 : 30, {{1, Pay}, {12, Food}});
    openSheet();
    QTest::mouseClick(april ? form2->Next : form2->SpeedButton1, Qt::LeftButton);
    // The load error says where it is and what it means for the month.
    const QString held = QString::fromUtf8(h.message).arg(QString::fromStdString(failing));
    EXPECT_EQ(errors, h.loadError ? QStringList{QString::fromUtf8(h.loadError) + '\n' + held}
                                  : QStringList{});
    EXPECT_EQ(form2->Label1->text(),
              QStringLiteral("2024年5月%1日 (読み取り専用)").arg(april ? 31 : 1));
    // The monthly list names the file and why, and shows no figure of it.
    TForm7 list(form1.get());
    list.FormActivate();
    EXPECT_FALSE(list.HeldNotice->isHidden());
    EXPECT_EQ(list.HeldNotice->text(),
              held.chopped(1) + QStringLiteral("。この月の読めなかった金額は表示していません。"));
    // A damaged April leaves May's own figures, not its balance.
    for (int row : {1, 12, 13, 14})
        EXPECT_EQ(list.SG1->cell(1, row).isEmpty(), !april || row == 14) << row;
    EXPECT_EQ(list.SG1->cell(0, 12), "食費");
    // The daily sheet says the same and leaves out the same figures.
    EXPECT_FALSE(form2->HeldNotice->isHidden());
    EXPECT_EQ(form2->HeldNotice->text(), list.HeldNotice->text());
    EXPECT_EQ(form2->SG1->cell(0, 12), "食費");
    for (int row : {1, 12, TForm2::TotalRow})
        for (int col : {1, 2})
            EXPECT_EQ(form2->SG1->cell(col, row).isEmpty(), !april) << col << "," << row;
    EXPECT_EQ(form2->SG1->cell(2, TForm2::BalanceRow), QString());
    // The line shows; what it says of a cell only where the cell shows.
    auto* lineNote = form2->findChild<QLabel*>("lineNote");
    EXPECT_EQ(lineNote->text().contains(QStringLiteral("内訳の合計 300")), april)
        << lineNote->text().toStdString();
    EXPECT_EQ(form2->SG1->marked(2, 12), april);
    EXPECT_EQ(form2->findChild<QTableWidget*>("lineList")->rowCount(), 1);

    errors.clear();
    clickCell(1, 12);
    EXPECT_EQ(errors,
              QStringList{QString::fromUtf8(h.message).arg(QString::fromStdString(failing))});
    EXPECT_EQ(shown.size(), 1u) << "the amount dialog opened";
    form2->Exit1->trigger();
    EXPECT_TRUE(form1->close());
    EXPECT_EQ(readBytes(failing), before);
    EXPECT_EQ(readBytes(may), mayBefore);

    // Mended, left and entered again: the hold is lifted.
    disk.setFaults(nullptr);
    writeBytes(failing, itemFile(Food, 31, 5));
    form1->SpeedButton1->click();
    form1->Next->click();
    errors.clear();
    shown.clear();
    form1->SpeedButton3->click();
    EXPECT_EQ(form2->Label1->text(), QStringLiteral("2024年5月1日"));
    EXPECT_TRUE(form2->HeldNotice->isHidden());
    EXPECT_NE(form2->SG1->cell(2, TForm2::BalanceRow), QString());
    clickCell(1, 12);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(form5->Label1->text(), Food);
}

const char* const NotInteger = "'0000000x' は整数ではありません";
const char* const Unread = "ﾌｧｲﾙ %1 を読み込めなかったため、この月は読み取り専用です.";
const char* const PreviousUnread =
    "前月のﾌｧｲﾙ %1 を読み込めなかったため、この月は読み取り専用です.";
const Held kHeld[] = {
    {"MaysFileIsDamaged", Fault::MayDamaged, NotInteger, Unread},
    {"MaysTotalsOverflow", Fault::MayOverflows, "整数のｵｰﾊﾞｰﾌﾛｰ",
     "ﾌｧｲﾙ %1 の合計が整数の範囲を超えるため、この月は読み取り専用です."},
    {"MaysFileCannotBeOpened", Fault::MayUnopenable, nullptr, Unread},
    {"AprilsFileIsDamaged", Fault::AprilDamaged, NotInteger, PreviousUnread},
    {"AprilsFileCannotBeOpened", Fault::AprilUnopenable, nullptr, PreviousUnread},
};

INSTANTIATE_TEST_SUITE_P(Months, HeldMonth, testing::ValuesIn(kHeld),
                         [](const testing::TestParamInfo<Held>& info) { return info.param.what; });

TEST_F(SheetTest, DateLabelEndsFourteenPixelsFromTheRight) {
    start(1997, 1, 5, {});
    openSheet();
    for (int width : {371, 600, 420}) {
        form2->resize(width, 429);
        EXPECT_EQ(form2->Label1->geometry().right() + 1, form2->Panel1->width() - 14) << width;
    }
    EXPECT_EQ(form2->Label1->text(), QStringLiteral("1997年1月5日"));
}

} // namespace
