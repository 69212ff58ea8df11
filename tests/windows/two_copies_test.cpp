// Two copies of the program on one data folder: the second save of a file
// that the other copy changed asks before it replaces anything.
#include "ledger/diary_draft.h"
#include "ledger/month_ledger.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/zadud.h"
#include "storage/disk_store.h"
#include "tests/support/test_support.h"
#include "windows/nikki.h"

#include <QDir>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace fs = std::filesystem;

namespace {

const QString Overwrite = QStringLiteral("上書き");
const QString Reload = QStringLiteral("読み直し");
const QString Cancel = QStringLiteral("ｷｬﾝｾﾙ");

void activate(QWidget* w) {
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
}

struct Copy {
    std::unique_ptr<TForm1> form1 = std::make_unique<TForm1>();
    std::unique_ptr<TForm3> form3 = std::make_unique<TForm3>(form1.get());
    Copy() {
        form1->setDiary(form3.get());
        form1->mc->setDay(1);
        form1->mc->setYear(2024);
        form1->mc->setMonth(6);
        form1->show();
        runGuarded([this] { form1->FormActivate(); });
    }
    ~Copy() { form3->hide(); }
};

class TwoCopies : public ::testing::Test {
protected:
    void SetUp() override {
        QDir::setCurrent(QString::fromStdString(dir.path()));
        writeBytes(dir.file("ZADUD.CFG"), "kamo1=A\r\n");
        ErrorBox::setRecorder([this](const QString& text) { errors << text; });
        // Questions are answered with `answer`; the diary window is shown
        // without a modal loop.
        Modal::setRunner([this](QDialog* d) {
            auto* box = qobject_cast<QMessageBox*>(d);
            if (!box) return activate(d);
            ++questions;
            for (QAbstractButton* b : box->buttons())
                if (b->text() == answer) b->click();
        });
    }
    void TearDown() override {
        Modal::setRunner(nullptr);
        ErrorBox::setRecorder(nullptr);
        QDir::setCurrent(QDir::tempPath());
    }

    TempDir dir;
    QStringList errors;
    QString answer;
    int questions = 0;
};

TEST_F(TwoCopies, MonthSavedByTheOtherCopyIsNotOverwrittenUnasked) {
    struct Case {
        bool fileAtStart; // else a new month for both copies
        QString answer;
        int bMonthAfter;    // the month copy b shows after its step
        int32_t day1, day2; // what the file holds then
    } cases[] = {
        {true, Overwrite, 7, 0, 200},  {true, Reload, 7, 100, 0},  {true, Cancel, 6, 100, 0},
        {false, Overwrite, 7, 0, 200}, {false, Reload, 7, 100, 0}, {false, Cancel, 6, 100, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileAtStart ? "existing month" : "new month");
        SCOPED_TRACE(c.answer.toStdString());
        const std::string file = dir.file("20246.txt");
        std::remove(file.c_str());
        if (c.fileAtStart) {
            Copy start;
            start.form1->MonthSave();
        }
        Copy a, b;
        a.form1->Ledger.Items[1].Days[1].Income = 100;
        b.form1->Ledger.Items[1].Days[2].Income = 200;
        questions = 0;
        answer = c.answer;
        QTest::mouseClick(a.form1->SpeedButton1, Qt::LeftButton);
        EXPECT_EQ(questions, 0);
        QTest::mouseClick(b.form1->SpeedButton1, Qt::LeftButton);
        EXPECT_EQ(questions, 1);
        EXPECT_EQ(b.form1->mc->Month(), c.bMonthAfter);
        MonthLedger onDisk;
        onDisk.Items[1].Name = "A";
        loadMonthFile(disk, onDisk, dir.path(), 2024, 6, LoadMode::Current);
        EXPECT_EQ(onDisk.Items[1].Days[1].Income, c.day1);
        EXPECT_EQ(onDisk.Items[1].Days[2].Income, c.day2);
        if (c.answer == Cancel) {
            // Closing is cancelled the same way, and the window stays.
            EXPECT_FALSE(b.form1->close());
            EXPECT_TRUE(b.form1->isVisible());
            EXPECT_EQ(questions, 2);
        }
        EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    }
}

TEST_F(TwoCopies, OnlyFilesChangedSinceThisCopyWroteOrReadThemAreAskedAbout) {
    Copy a;
    a.form1->Ledger.Items[1].Days[1].Income = 1;
    a.form1->MonthSave();
    a.form1->Ledger.Items[1].Days[1].Income = 2;
    a.form1->MonthSave();
    EXPECT_EQ(questions, 0);
    // Folders this copy never read from: an empty one takes the month
    // unasked, one that holds that month already is asked about.
    for (const char* folder : {"new", "other"})
        fs::create_directory(dir.file(folder));
    a.form1->LedgerDir = QString::fromStdString(dir.file("new"));
    a.form1->MonthSave();
    a.form1->LedgerDir = QString::fromStdString(dir.file("other/../new"));
    a.form1->MonthSave();
    EXPECT_EQ(questions, 0);
    EXPECT_TRUE(fileExists(dir.file("new/20246.txt")));
    writeBytes(dir.file("other/20246.txt"), "A,0,\r\n");
    a.form1->LedgerDir = QString::fromStdString(dir.file("other"));
    answer = Cancel;
    EXPECT_FALSE(a.form1->close());
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(readBytes(dir.file("other/20246.txt")), "A,0,\r\n");
}

TEST_F(TwoCopies, DiaryEntryWrittenByTheOtherCopyIsNotOverwrittenUnasked) {
    struct Case {
        QString answer;
        bool bStaysOpen;
        QString bMemo;
        const char* file;
        bool bDraftLeft; // b's typing kept for a later opening
    } cases[] = {
        {Overwrite, false, "old from b", "old from b\r\n", false},
        {Reload, true, "old from a", "old from a\r\n", false},
        {Cancel, true, "old from b", "old from a\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        writeBytes(dir.file("202461.nik"), "old\r\n");
        Copy a, b;
        for (Copy* copy : {&a, &b}) {
            QTest::mouseClick(copy->form1->SpeedButton4, Qt::LeftButton);
            QTest::keyClick(copy->form3->Memo1, Qt::Key_End, Qt::ControlModifier);
        }
        QTest::keyClicks(a.form3->Memo1, " from a");
        QTest::keyClicks(b.form3->Memo1, " from b");
        questions = 0;
        answer = c.answer;
        activate(a.form3.get());
        QTest::keyClick(a.form3->Memo1, Qt::Key_S, Qt::ControlModifier);
        EXPECT_EQ(questions, 0);
        activate(b.form3.get());
        b.form3->keepDraft();
        QTest::keyClick(b.form3->Memo1, Qt::Key_S, Qt::ControlModifier);
        EXPECT_EQ(questions, 1);
        EXPECT_EQ(fileExists(dir.file(diaryDraftFileName(b.form1->book().pcName()))), c.bDraftLeft);
        EXPECT_EQ(b.form3->isVisible(), c.bStaysOpen);
        EXPECT_EQ(b.form3->Memo1->toPlainText(), c.bMemo);
        EXPECT_EQ(readBytes(dir.file("202461.nik")), c.file);
        EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    }
}

} // namespace
