#include "storage/disk_store.h"
#include "windows/schedule_feature.h"

#include "ledger/schedule.h"
#include "main_window_fixture.h"
#include "windows/hikei.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <filesystem>

namespace {

class ScheduleWindowTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        writeBytes(tmp.file("ZADUD.CFG"), "kamo1=A\r\nkamo2=B\r\n");
        writeBytes(tmp.file(ScheduleFileName),
                   "ZADUD-TEIKI 1\r\n"
                   "E,1,0,1000,2026-11,D5,1,-,0,N,A,0,A\r\n"        // automatic
                   "E,2,1,300,2026-12,D1,1,-,0,N,C,0,B\r\n"         // on confirmation
                   "E,3,1,?,2026-11,L,1,2026-11-30,0,N,A,0,B\r\n"); // amount asked
        setDate(2026, 12, 8);
        feature = std::make_unique<ScheduleFeature>([] { return Date{2026, 12, 8}; });
        form1->install(*feature);
        feature->attach(*form1);
        window = feature->window();
    }
    int32_t onDisk(int month, int item, int day, bool expense) {
        MonthLedger m = form1->Ledger;
        loadMonthFile(disk, m, tmp.path(), 2026, month, LoadMode::Current);
        return expense ? m.Items[item].Days[day].Expense : m.Items[item].Days[day].Income;
    }
    std::unique_ptr<ScheduleFeature> feature;
    ScheduleWindow* window = nullptr;
    QTableWidget* table() const {
        return window->findChild<QTableWidget*>("table", Qt::FindDirectChildrenOnly);
    }
};

} // namespace

// The catch-up follows the month's entry, whether the feature's window is
// there at the activation or comes after it (start-up makes it after the
// first frame).
TEST_F(ScheduleWindowTest, CatchUpRunsOnceWhenTheWindowComesBeforeOrAfterTheActivation) {
    for (bool before : {true, false}) {
        SCOPED_TRACE(before);
        feature.reset(); // its window goes before its main window
        form1 = std::make_unique<TForm1>();
        feature = std::make_unique<ScheduleFeature>([] { return Date{2026, 12, 8}; });
        form1->install(*feature);
        setDate(2026, 12, 8);
        int shown = 0;
        Modal::setRunner([&](QDialog* d) {
            if (qobject_cast<ScheduleCatchUp*>(d)) ++shown;
        });
        if (before) feature->attach(*form1);
        form1->FormActivate();
        if (!before) feature->attach(*form1);
        QTest::qWait(20);
        EXPECT_EQ(shown, 1);
        feature.reset();
    }
}

TEST_F(ScheduleWindowTest, CatchUpPostsAutomaticOnesListsAllAndAddsToTheDayOnce) {
    MonthLedger typed = form1->Ledger;
    writeBytes(tmp.file("202612.txt"), "");
    int shown = 0;
    Modal::setRunner([&](QDialog* d) {
        auto* catchUp = qobject_cast<ScheduleCatchUp*>(d);
        ASSERT_NE(catchUp, nullptr);
        ++shown;
        ASSERT_EQ(catchUp->findChild<QTableWidget*>("table")->rowCount(), 4);
        EXPECT_EQ(catchUp->findChild<QTableWidget*>("table")->item(0, 4)->text(), "自動"); // 11/5
        EXPECT_EQ(catchUp->findChild<QTableWidget*>("table")->item(1, 0)->text(),
                  "2026-11-30"); // asked
        catchUp->findChild<QTableWidget*>("table")->item(1, 3)->setText("4,500");
        catchUp->findChild<QPushButton*>("postAllButton")->click();
    });
    form1->FormActivate();
    EXPECT_TRUE(errors.isEmpty()) << errors.join("|").toStdString();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(form1->Ledger.Items[1].Days[5].Income, 1000);
    EXPECT_EQ(form1->Ledger.Items[2].Days[1].Expense, 300);
    EXPECT_EQ(onDisk(12, 1, 5, false), 1000); // the shown month saved with the record
    EXPECT_EQ(onDisk(11, 1, 5, false), 1000);
    EXPECT_EQ(onDisk(11, 2, 30, true), 4500);
    EXPECT_EQ(form1->Ledger.CarryOver[1], 1000); // November's posting carried in

    // Nothing is due again; the next month's occurrence is a greyed forecast.
    window->catchUp();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(form1->mc->dayNote(QDate(2026, 12, 5), true), "");
    EXPECT_NE(form1->mc->dayNote(QDate(2026, 12, 5), false).indexOf("A +"), -1);

    // The daily sheet names the day's entries, posted ones too.
    TForm2 sheet(form1.get());
    form1->mc->setDay(5);
    SheetDisp(*form1, sheet);
    EXPECT_TRUE(sheet.Label2->text().startsWith("定期: A +1,000"))
        << sheet.Label2->text().toStdString();

    // The whole catch-up is one undo step, other months included.
    ASSERT_TRUE(form1->book().undo());
    EXPECT_EQ(form1->Ledger.Items[1].Days[5].Income, 0);
    EXPECT_EQ(onDisk(11, 2, 30, true), 0);
    EXPECT_EQ(onDisk(11, 1, 5, false), 0);
    EXPECT_FALSE(form1->book().canUndo());
}

TEST_F(ScheduleWindowTest, HeldMonthPostsNothingAndSaysSoAndADamagedFileIsLeftAlone) {
    // December's file is a directory: the shown month is held.
    std::filesystem::create_directories(tmp.file("202612.txt"));
    Modal::setRunner([](QDialog* d) {
        auto* catchUp = qobject_cast<ScheduleCatchUp*>(d);
        ASSERT_NE(catchUp, nullptr);
        catchUp->findChild<QPushButton*>("laterButton")->click();
    });
    form1->FormActivate();
    // November's automatic one went in; December's says why it did not.
    EXPECT_EQ(onDisk(11, 1, 5, false), 1000);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_NE(errors[0].indexOf("2026-12-05"), -1) << errors[0].toStdString();
    EXPECT_NE(errors[0].indexOf("読み取り専用"), -1) << errors[0].toStdString();
    Schedule s = readScheduleFile(disk, tmp.file(ScheduleFileName));
    EXPECT_EQ(dueOccurrences(s, {2026, 12, 8}).size(), 3u); // 12/5 and the two that wait

    writeBytes(tmp.file(ScheduleFileName), "ZADUD-TEIKI 1\r\nbroken\r\n");
    errors.clear();
    runGuarded([this] { window->catchUp(); });
    ASSERT_EQ(errors.size(), 1);
    EXPECT_NE(errors[0].indexOf(ScheduleFileName), -1);
    window->setEditorAnswer([](ScheduleEntry& e) {
        e.item = "A";
        return true;
    });
    EXPECT_FALSE(runGuarded([this] { window->addEntry(); }));
    EXPECT_EQ(readBytes(tmp.file(ScheduleFileName)), "ZADUD-TEIKI 1\r\nbroken\r\n");
}

TEST_F(ScheduleWindowTest, AddPauseAndDeleteWriteTheFileAndListTheNextDate) {
    form1->FormActivate();
    window->setEditorAnswer([](ScheduleEntry& e) {
        e.item = "B";
        e.rule = ScheduleRule::LastDay;
        e.amount = 70;
        return true;
    });
    ASSERT_TRUE(runGuarded([this] { window->addEntry(); }));
    ASSERT_EQ(table()->rowCount(), 4);
    EXPECT_EQ(table()->item(3, 5)->text(), "2026-12-31"); // from this month
    table()->setCurrentCell(3, 0);
    ASSERT_TRUE(runGuarded([this] { window->pauseOrResumeSelected(); }));
    EXPECT_EQ(table()->item(3, 5)->text(), "休止中");
    // Left waiting at start-up: 11/30 and 12/1; then 1/1 and 1/5; the paused one adds none.
    EXPECT_EQ(
        dueOccurrences(readScheduleFile(disk, tmp.file(ScheduleFileName)), {2027, 1, 31}).size(),
        4u);
    table()->setCurrentCell(0, 0);
    ASSERT_TRUE(runGuarded([this] { window->deleteSelected(); }));
    const Schedule s = readScheduleFile(disk, tmp.file(ScheduleFileName));
    ASSERT_EQ(s.entries.size(), 3u);
    EXPECT_EQ(s.entries[0].id, 2);
    EXPECT_EQ(s.entries[2].id, 4);
    EXPECT_TRUE(s.entries[2].paused);
}
