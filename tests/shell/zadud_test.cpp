#include "ledger/cp932.h"
#include "ledger/text_file.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/zadud.h"
#include "storage/disk_store.h"
#include "tests/support/test_support.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

std::string zeros(int count) {
    std::string s;
    for (int i = 0; i < count; ++i)
        s += "00000000,";
    return s;
}

// An income line with `day1` on day 1 and `total` as its total.
std::string incomeLine(const std::string& name, const char* day1, const char* total) {
    return name + ",0," + day1 + "," + zeros(30) + total + ",\r\n";
}

// A main window started in a temporary working folder, with error boxes
// recorded instead of shown. No test here expects a question: one asked
// fails the test, unanswered, where a box would wait for a click forever.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldDir_ = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir_.path()));
        ErrorBox::setRecorder([this](const QString& text) { errors_ << text; });
        Modal::setRunner([](QDialog* d) {
            const auto* box = qobject_cast<QMessageBox*>(d);
            ADD_FAILURE() << "asked: " << (box ? box->text() : d->windowTitle()).toStdString();
        });
        doc_ = std::make_unique<BookDocument>(QDir::currentPath().toStdString(), disk);
        form_ = std::make_unique<TForm1>(*doc_);
    }
    void TearDown() override {
        form_.reset();
        Modal::setRunner(nullptr);
        ErrorBox::setRecorder(nullptr);
        QDir::setCurrent(oldDir_);
    }
    // Starts the window on a month with item 1 named "A".
    void start(int y, int m, int d) {
        form_->mc->setDay(1);
        form_->mc->setYear(y);
        form_->mc->setMonth(m);
        form_->mc->setDay(d);
        if (!fileExists(dir_.file("ZADUD.CFG"))) writeBytes(dir_.file("ZADUD.CFG"), "kamo1=A\r\n");
        runGuarded([this] { form_->FormActivate(); });
    }
    std::string month(const std::string& name) { return readBytes(dir_.file(name)); }

    TempDir dir_;
    QString oldDir_;
    QStringList errors_;
    std::unique_ptr<BookDocument> doc_;
    std::unique_ptr<TForm1> form_;
};

} // namespace

TEST(ErrorBoxTest, CaptionIconButtonAndFinalDot) {
    struct Case {
        QString message, shown;
    } cases[] = {
        {"ﾌｧｲﾙが見つかりません", "ﾌｧｲﾙが見つかりません."},
        {"I/O ｴﾗｰ (5)", "I/O ｴﾗｰ (5)"},
        {"ends with dot.", "ends with dot."},
        {"digit 7", "digit 7."},
        {"", ""},
    };
    for (const Case& c : cases) {
        auto box = ErrorBox::build(c.message);
        EXPECT_EQ(box->text(), c.shown);
        EXPECT_EQ(box->windowTitle(), "家計簿 Ver 1.３");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    }
}

TEST_F(MainWindowTest, LayoutAndTitle) {
    form_->show();
    EXPECT_EQ(form_->windowTitle(), "家計簿  Ver 1.3");
    EXPECT_EQ(form_->centralWidget()->size(), QSize(534, 344));
    EXPECT_EQ(form_->Panel2->height(), 25);
    EXPECT_EQ(form_->mc->size(), QSize(534, 319));
    EXPECT_EQ(form_->SpeedButton3->geometry(), QRect(75, 0, 50, 25));
    EXPECT_FALSE(form_->SpeedButton2->isEnabled());
    EXPECT_EQ(form_->Exit4->shortcut(), QKeySequence("Ctrl+X"));
    EXPECT_EQ(form_->Exit1->title(), "ﾌｧｲﾙ");
    EXPECT_EQ(form_->K1->title(), "設定 ");

    start(1997, 1, 5);
    EXPECT_EQ(form_->nen->text(), "1997年1月");
    // The title's right edge stands 24 pixels from the toolbar's, measured
    // with the width the title had before.
    form_->resize(800, 400);
    form_->MonthDisp();
    EXPECT_EQ(form_->nen->geometry().right() + 1, form_->Panel2->width() - 24);
    const int width = form_->nen->width();
    form_->resize(900, 400);
    EXPECT_EQ(form_->nen->x(), form_->Panel2->width() - width - 24);
}

TEST_F(MainWindowTest, PreviousMonthFromJanuaryCarriesNovembersBalance) {
    writeBytes(dir_.file("199611.txt"),
               incomeLine("A", "00000100", "00000700") + "A,1," + zeros(31) + "00000200,\r\n");
    writeBytes(dir_.file("199612.txt"), incomeLine("A", "00000042", "00000542"));
    start(1997, 1, 20);
    form_->Ledger.Items[1].Days[3].Income = 77;

    QTest::mouseClick(form_->Next, Qt::LeftButton);
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("|").toStdString();
    EXPECT_EQ(form_->mc->Year(), 1996);
    EXPECT_EQ(form_->mc->Month(), 12);
    EXPECT_EQ(form_->mc->Day(), 1);
    EXPECT_EQ(form_->nen->text(), "1996年12月");
    EXPECT_EQ(form_->Ledger.CarryOver[1], 500);
    EXPECT_EQ(form_->Ledger.Items[1].Days[1].Income, 42);
    EXPECT_EQ(form_->Ledger.Items[1].Days[3].Income, 0);
    // January was saved on the way out, with December's old closing balance.
    EXPECT_EQ(month("19971.txt").substr(0, 24), "A,0,00000000,00000000,00");

    QTest::mouseClick(form_->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(form_->mc->Year(), 1997);
    EXPECT_EQ(form_->mc->Month(), 1);
    EXPECT_EQ(form_->Ledger.Items[1].Days[3].Income, 77);
    // December saved with its carry-over: 500 + 42.
    EXPECT_EQ(month("199612.txt"),
              incomeLine("A", "00000042", "00000542") + "A,1," + zeros(32) + "\r\n");
    EXPECT_EQ(form_->Ledger.CarryOver[1], 542);
}

TEST_F(MainWindowTest, SkippedMonthKeepsTheBalanceAtStartUp) {
    // Nobody opened February: March starts from January's closing balance,
    // and saving it leaves the missing month missing.
    writeBytes(dir_.file("19971.txt"),
               incomeLine("A", "00000100", "00000700") + "A,1," + zeros(31) + "00000200,\r\n");
    start(1997, 3, 4);
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("|").toStdString();
    EXPECT_EQ(form_->Ledger.CarryOver[1], 500);
    QTest::mouseClick(form_->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(month("19973.txt"),
              incomeLine("A", "00000000", "00000500") + "A,1," + zeros(32) + "\r\n");
    EXPECT_FALSE(fileExists(dir_.file("19972.txt")));
    EXPECT_EQ(form_->Ledger.CarryOver[1], 500);
}

TEST_F(MainWindowTest, ThirtyFirstOfMarchStepsBackToFirstOfFebruary) {
    start(2023, 3, 31);
    QTest::mouseClick(form_->Next, Qt::LeftButton);
    EXPECT_TRUE(errors_.isEmpty());
    EXPECT_EQ(QDate(form_->mc->Year(), form_->mc->Month(), form_->mc->Day()), QDate(2023, 2, 1));
}

TEST_F(MainWindowTest, MissingLedgerDirKeepsTheMonthAndTheWindowOpen) {
    start(2024, 5, 10);
    form_->show();
    form_->LedgerDir = QString::fromStdString(dir_.file("gone"));
    QTest::mouseClick(form_->Next, Qt::LeftButton);
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_EQ(errors_[0], "不正なﾌｧｲﾙ名です.");
    EXPECT_EQ(form_->mc->Month(), 5);
    EXPECT_EQ(form_->mc->Day(), 10);

    EXPECT_FALSE(form_->close());
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(errors_.size(), 2);

    form_->LedgerDir = QString::fromStdString(dir_.path());
    EXPECT_TRUE(form_->close());
    EXPECT_TRUE(fileExists(dir_.file("20245.txt")));
}

TEST_F(MainWindowTest, FailedSaveOnMonthChangeLeavesTheOldFile) {
    const std::string old = incomeLine("A", "00000001", "00000001");
    writeBytes(dir_.file("20246.txt"), old);
    start(2024, 6, 3);
    form_->Ledger.Items[1].Days[1].Income = 5;
    disk.setFaults(
        [](const std::string&, const std::string& step) { return step == "write" ? ENOSPC : 0; });
    QTest::mouseClick(form_->SpeedButton1, Qt::LeftButton);
    disk.setFaults(nullptr);
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_EQ(errors_[0], "ﾃﾞｨｽｸがいっぱいです.");
    EXPECT_EQ(month("20246.txt"), old);
    EXPECT_EQ(form_->mc->Month(), 6);
    EXPECT_EQ(form_->Ledger.Items[1].Days[1].Income, 5);
}

TEST_F(MainWindowTest, OverflowingTotalIsReportedAndTheFileKept) {
    const std::string old = incomeLine("A", "00000001", "00000001");
    writeBytes(dir_.file("20247.txt"), old);
    start(2024, 7, 3);
    form_->Ledger.Items[1].Days[1].Income = INT32_MAX;
    form_->Ledger.Items[1].Days[2].Income = 1;
    QTest::mouseClick(form_->SpeedButton1, Qt::LeftButton);
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_EQ(errors_[0], "整数のｵｰﾊﾞｰﾌﾛｰ.");
    EXPECT_EQ(month("20247.txt"), old);
    EXPECT_EQ(form_->mc->Month(), 7);
}

TEST_F(MainWindowTest, MonthThatFailedToLoadIsNeverWrittenOver) {
    // The bad field stops the load half-way; saving would lose day 2 onward.
    const std::string bad = "A,0,00000005,0000x,00000009,\r\nA,1,00000003,\r\n";
    writeBytes(dir_.file("20248.txt"), bad);
    start(2024, 8, 1);
    ASSERT_EQ(errors_.size(), 1);
    // The error names the bad text, the file and what holding it means.
    EXPECT_EQ(errors_[0].toStdString(), "'0000x' は整数ではありません\nﾌｧｲﾙ " +
                                            dir_.file("20248.txt") +
                                            " を読み込めなかったため、この月は読み取り専用です.");
    EXPECT_FALSE(form_->monthSavable());

    form_->Ledger.Items[1].Days[4].Income = 11;
    QTest::mouseClick(form_->SpeedButton1, Qt::LeftButton); // leaves August: not saved
    EXPECT_EQ(form_->mc->Month(), 9);
    EXPECT_EQ(month("20248.txt"), bad);
    EXPECT_FALSE(fileExists(dir_.file("20249.txt")) &&
                 month("20249.txt").find("0000x") != std::string::npos);

    // Coming back fails again; closing there still leaves the file alone.
    QTest::mouseClick(form_->Next, Qt::LeftButton);
    EXPECT_EQ(form_->mc->Month(), 8);
    form_->close();
    EXPECT_EQ(month("20248.txt"), bad);
}

TEST_F(MainWindowTest, MonthFileThatCouldNotBeOpenedIsNotReplaced) {
    const std::string old = incomeLine("A", "00000009", "00000009");
    writeBytes(dir_.file("20243.txt"), old);
    // The file is there but cannot be opened: it reads as zero, silently.
    disk.setFaults([](const std::string& path, const std::string& step) {
        return step == "read" && path.find("20243.txt") != std::string::npos ? EACCES : 0;
    });
    start(2024, 3, 1);
    disk.setFaults(nullptr);
    EXPECT_TRUE(errors_.isEmpty());
    EXPECT_EQ(form_->Ledger.Items[1].Days[1].Income, 0);
    // However the folder is spelled, nothing is saved, nor into another folder.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir_.file("other"))));
    ASSERT_TRUE(QFile::link(QString::fromStdString(dir_.path()),
                            QString::fromStdString(dir_.file("link"))));
    for (const std::string& spelling :
         {dir_.path() + "/", dir_.file("other/.."), dir_.file("link"), dir_.file("other")}) {
        form_->LedgerDir = QString::fromStdString(spelling);
        EXPECT_TRUE(form_->close()) << spelling;
        EXPECT_EQ(month("20243.txt"), old) << spelling;
    }
    EXPECT_FALSE(fileExists(dir_.file("other/20243.txt")));
    form_->LedgerDir = QString::fromStdString(dir_.path());
    form_->Ledger.Items[1].Days[2].Income = 4;
    QTest::mouseClick(form_->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(form_->mc->Month(), 4);
    EXPECT_EQ(month("20243.txt"), old);
    // A month without a file is saved as ever.
    form_->Ledger.Items[1].Days[2].Income = 4;
    QTest::mouseClick(form_->SpeedButton1, Qt::LeftButton);
    EXPECT_NE(month("20244.txt").find("00000004"), std::string::npos);
}

TEST_F(MainWindowTest, FailedPreviousMonthStillLoadsTheMonthShown) {
    writeBytes(dir_.file("20249.txt"), "A,0," + zeros(31) + "bad,\r\n");
    writeBytes(dir_.file("202410.txt"), incomeLine("A", "00000015", "00000015"));
    start(2024, 10, 1);
    const std::string september = "'bad' は整数ではありません\n前月のﾌｧｲﾙ " +
                                  dir_.file("20249.txt") +
                                  " を読み込めなかったため、この月は読み取り専用です.";
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_EQ(errors_[0].toStdString(), september);
    EXPECT_EQ(form_->mc->Month(), 10);
    // October's own days are in memory, but its carry-over is not: saving
    // it would write wrong income totals.
    EXPECT_EQ(form_->Ledger.Items[1].Days[1].Income, 15);
    EXPECT_EQ(form_->book().hold(), Book::Hold::PreviousMonthFile);
    EXPECT_EQ(form_->book().heldFile(), dir_.file("20249.txt"));
    // Stepping back into October from November after October's file went
    // bad: the first error is shown, the title follows the move, and the
    // half-read October is never saved.
    QTest::mouseClick(form_->SpeedButton1, Qt::LeftButton);
    writeBytes(dir_.file("202410.txt"), "A,0,1x,\r\n");
    QTest::mouseClick(form_->Next, Qt::LeftButton);
    ASSERT_EQ(errors_.size(), 2);
    EXPECT_EQ(errors_[1].toStdString(), september);
    EXPECT_EQ(form_->nen->text(), "2024年10月");
    EXPECT_FALSE(form_->monthSavable());
    form_->close();
    EXPECT_EQ(month("202410.txt"), "A,0,1x,\r\n");
}

TEST_F(MainWindowTest, NameGivenBackInTheSettingsShowsItsAmountsAtOnce) {
    writeBytes(dir_.file("20245.txt"), incomeLine("Old", "00000005", "00000005"));
    start(2024, 5, 1);
    ASSERT_EQ(form_->Ledger.OtherLines.size(), 1u);
    form_->Ledger.Items[2].Name = "Old"; // as the settings dialog confirms it
    form_->configurationWritten();
    EXPECT_EQ(form_->Ledger.Items[2].Days[1].Income, 5);
    EXPECT_TRUE(form_->Ledger.OtherLines.empty());
}

TEST_F(MainWindowTest, MovingMonthsAfterAFailedConfigurationReadEmptiesNoFile) {
    // Without ZADUD.CFG no item has a name: a month read now matches none of
    // its lines, and saving it would leave an empty file.
    const std::string april = incomeLine("A", "00000004", "00000004");
    const std::string may = incomeLine("A", "00000005", "00000005");
    writeBytes(dir_.file("20244.txt"), april);
    writeBytes(dir_.file("20245.txt"), may);
    form_->mc->setDay(1);
    form_->mc->setYear(2024);
    form_->mc->setMonth(5);
    runGuarded([this] { form_->FormActivate(); });
    ASSERT_EQ(errors_, QStringList{"ﾌｧｲﾙが見つかりません."});
    EXPECT_EQ(form_->book().heldMessage(), "ﾌｧｲﾙ " + dir_.file("ZADUD.CFG") +
                                               " を読み込めなかったため、この月は読み取り専用です");

    QTest::mouseClick(form_->Next, Qt::LeftButton);
    QTest::mouseClick(form_->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(form_->mc->Month(), 5);
    EXPECT_TRUE(form_->close());
    EXPECT_EQ(month("20244.txt"), april);
    EXPECT_EQ(month("20245.txt"), may);
    EXPECT_EQ(errors_.size(), 1);
}

TEST_F(MainWindowTest, StepPastTheLastYearKeepsTheMonthShown) {
    const std::string next = incomeLine("A", "00000001", "00000001");
    writeBytes(dir_.file("99991.txt"), next);
    start(9999, 12, 15);
    form_->Ledger.Items[1].Days[15].Income = 7;
    QTest::mouseClick(form_->SpeedButton1, Qt::LeftButton);
    ASSERT_EQ(errors_, QStringList{"日付に変換できない値が渡されました."});
    EXPECT_EQ(QDate(form_->mc->Year(), form_->mc->Month(), form_->mc->Day()).toString(Qt::ISODate),
              "9999-12-15");
    // December stays in memory under December's name: closing saves it
    // there, and January's file is not written with December's values.
    EXPECT_TRUE(form_->close());
    EXPECT_EQ(month("99991.txt"), next);
    EXPECT_NE(month("999912.txt").find("00000007"), std::string::npos);
}

TEST_F(MainWindowTest, NothingIsSavedBeforeAMonthWasLoaded) {
    const std::string old = incomeLine("A", "00000123", "00000123");
    writeBytes(dir_.file("202411.txt"), old);
    form_->mc->setDay(1);
    form_->mc->setYear(2024);
    form_->mc->setMonth(11);
    // Without a completed activation the month was never read.
    EXPECT_TRUE(form_->monthNeverLoaded());
    form_->close();
    QTest::mouseClick(form_->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(month("202411.txt"), old);
}
