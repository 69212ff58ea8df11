// The restore list and the archive commands on a real main window.
#include "ledger/book.h"
#include "ledger/diary_file.h"
#include "ledger/month_ledger.h"
#include "storage/backup_files.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"
#include "tests/windows/main_window_fixture.h"
#include "windows/backup_window.h"
#include "windows/nikki.h"

#include <QAction>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace {

class BackupWindowTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        disk.setSync([](int) { return 0; });
        writeBytes(tmp.path() + "/ZADUD.CFG", "kamo1=\x90H\x94\xef\r\nkamo2=rent\r\n");
        setDate(1996, 12, 5);
        form1->CfgRead();
        form1->LoadMonths();
        window = std::make_unique<BackupWindow>(form1.get(), &store);
    }
    void TearDown() override {
        window.reset();
        MainWindowFixture::TearDown();
    }
    std::string monthBytes() { return readBytes(tmp.path() + "/199612.txt"); }
    std::time_t now = 850000000;
    FileStore& windowFiles() override { return store; }
    BackupStore store{disk,
                      [this] {
                          return BookFolders{tmp.path(), tmp.path(), tmp.path()};
                      },
                      [this] { return now; }};
    std::unique_ptr<BackupWindow> window;
    QTreeWidget* versions() const { return window->findChild<QTreeWidget*>("versionList"); }
};

TEST_F(BackupWindowTest, ListsWhatEachVersionChangesAndRestoresOneIntoTheMonth) {
    form1->Ledger.Items[1].Days[5].Expense = 1200;
    form1->MonthSave();
    const std::string good = monthBytes();
    now += 3600;
    form1->Ledger.Items[1].Days[5].Expense = 0; // the slip
    form1->Ledger.Items[2].Days[6].Income = 50000;
    form1->MonthSave();

    window->fillMonth();
    ASSERT_EQ(versions()->topLevelItemCount(), 1);
    EXPECT_EQ(versions()->topLevelItem(0)->text(1).toStdString(),
              "食費, rent / 2日 / 収入 50,000→0 / 支出 0→1,200");
    versions()->setCurrentItem(versions()->topLevelItem(0));
    window->restoreSelected();
    EXPECT_EQ(form1->Ledger.Items[1].Days[5].Expense, 1200);
    EXPECT_EQ(form1->Ledger.Items[2].Days[6].Income, 0);
    EXPECT_EQ(monthBytes(), good);
    // The restore kept what it replaced, and is one undo step.
    window->fillMonth();
    EXPECT_EQ(versions()->topLevelItemCount(), 2);
    ASSERT_TRUE(form1->book().undo());
    EXPECT_EQ(form1->Ledger.Items[1].Days[5].Expense, 0);
    EXPECT_EQ(form1->Ledger.Items[2].Days[6].Income, 50000);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(BackupWindowTest, ArchiveReadBackShowsWhatItReplacesAndReloadsTheMonth) {
    form1->Ledger.Items[1].Days[5].Expense = 1200;
    form1->MonthSave();
    const QString zip = QString::fromStdString(tmp.path() + "/book.zip");
    window->setPathAsker([&](bool) { return zip; });
    window->exportBook();
    const std::string saved = monthBytes();

    form1->Ledger.Items[1].Days[5].Expense = 7;
    form1->MonthSave();
    QString asked;
    int answer = QMessageBox::No;
    Modal::setRunner([&](QDialog* d) {
        auto* box = qobject_cast<QMessageBox*>(d);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->objectName(), QStringLiteral("ImportConfirm"));
        asked = box->text();
        box->done(answer);
    });
    window->importBook();
    EXPECT_TRUE(asked.contains("ledger/199612.txt")) << asked.toStdString();
    EXPECT_NE(monthBytes(), saved); // declined: nothing written

    EXPECT_EQ(notes.size(), 1) << "only the archive written was told";
    answer = QMessageBox::Yes;
    window->importBook();
    EXPECT_EQ(notes.last(),
              QStringLiteral("1 個のﾌｧｲﾙを読み込みました: ") + QString::fromStdString(tmp.path()));
    EXPECT_EQ(monthBytes(), saved);
    EXPECT_EQ(form1->Ledger.Items[1].Days[5].Expense, 1200);
}

// An archive read back brings its change journal with it: a change typed
// next is a step of its own, and after a restart it is the one undo offers.
TEST_F(BackupWindowTest, AChangeTypedAfterAnArchiveIsReadIsTheOneUndoOffersAfterARestart) {
    const MonthKey december{1996, 12};
    for (int32_t v : {1, 2, 3})
        form1->book().setAmount(december, 1, 5, AmountField::Expense, v, ChangeSource::Typed);
    const QString zip = QString::fromStdString(tmp.path() + "/book.zip");
    window->setPathAsker([&](bool) { return zip; });
    window->exportBook();
    Modal::setRunner([](QDialog* d) { qobject_cast<QMessageBox*>(d)->done(QMessageBox::Yes); });
    auto restart = [&] {
        window.reset();
        auto next = std::make_unique<BookDocument>(QDir::currentPath().toStdString(), store);
        form1 = std::make_unique<TForm1>(*next);
        doc = std::move(next);
        setDate(1996, 12, 5);
        form1->FormActivate();
        window = std::make_unique<BackupWindow>(form1.get(), &store);
        window->setPathAsker([&](bool) { return zip; });
    };

    // The journal was lost; the copy started again knows one step of its own.
    std::remove((tmp.path() + "/" + JournalFileName).c_str());
    restart();
    form1->book().setAmount(december, 1, 7, AmountField::Expense, 9, ChangeSource::Typed);
    window->importBook();
    EXPECT_EQ(form1->document().undoAction()->text(), QStringLiteral("元に戻す: 12/5 食費 支出 3"));
    form1->book().setAmount(december, 2, 6, AmountField::Income, 777, ChangeSource::Typed);
    form1->MonthSave();

    restart();
    EXPECT_EQ(form1->document().undoAction()->text(),
              QStringLiteral("元に戻す: 12/6 rent 収入 777"));
    ASSERT_TRUE(form1->document().undo());
    EXPECT_EQ(form1->Ledger.Items[2].Days[6].Income, 0);
    EXPECT_EQ(form1->Ledger.Items[1].Days[5].Expense, 3);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(BackupWindowTest, ADiaryDayRestoredFromItsWindowIsOneUndoStep) {
    Book& book = form1->book();
    book.setDiary(1996, 12, 5, "first\r\n", ChangeSource::Typed);
    now += 60;
    book.setDiary(1996, 12, 5, "second\r\n", ChangeSource::Typed);
    window->fillDiary(1996, 12, 5);
    ASSERT_EQ(versions()->topLevelItemCount(), 1);
    EXPECT_EQ(versions()->topLevelItem(0)->text(1).toStdString(), "1 行が異なります (1→1 行)");

    TForm3 form3(form1.get());
    form3.setVersionChooser([&](int y, int m, int d, std::string& bytes) {
        const std::vector<BackupVersion> kept =
            store.versions(tmp.path() + "/" + diaryFileName(y, m, d));
        bytes = store.bytesOf(kept.at(0));
        return true;
    });
    form3.FormActivate();
    form3.Restore1Click();
    EXPECT_EQ(readBytes(tmp.path() + "/" + diaryFileName(1996, 12, 5)), "first\r\n");
    EXPECT_EQ(form3.Memo1->toPlainText(), "first");
    ASSERT_TRUE(book.undo());
    EXPECT_EQ(readBytes(tmp.path() + "/" + diaryFileName(1996, 12, 5)), "second\r\n");
}

} // namespace
