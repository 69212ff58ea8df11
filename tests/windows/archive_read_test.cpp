// "データの読み込み..." in a fresh data folder: the book comes to live there, and a
// folder the archive names outside its own book is asked about.
#include "late/late_parts.h"
#include "ledger/book_archive.h"
#include "ledger/config_file.h"
#include "ledger/month_ledger.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"
#include "tests/windows/main_window_fixture.h"
#include "windows/backup_window.h"

#include <QMessageBox>
#include <filesystem>

TEST_F(MainWindowFixture, AnArchiveReadIntoAFreshFolderLivesThereAndAsksAboutOutsideFolders) {
    // The original book keeps its months in a folder outside its data folder.
    TempFolder original, outside;
    writeBytes(original.file("ZADUD.CFG"),
               "ZADUD=" + outside.path() + "\r\nMEMO=" + original.path() + "\r\nkamo1=rent\r\n");
    MonthLedger month;
    month.Items[1].Name = "rent";
    month.Items[1].Days[5].Expense = 1200;
    saveMonthFile(disk, month, outside.path(), 1996, 12);
    const std::string monthBytes = readBytes(outside.file("199612.txt"));
    const std::string zip = original.file("book.zip");
    writeBookArchive(disk, lateZip(), {original.path(), outside.path(), original.path()}, zip);
    const std::string outsideBefore = readBytes(outside.file("199612.txt"));

    setDate(1996, 12, 5);
    BackupStore store(disk, [this] { return BookFolders{tmp.path(), tmp.path(), tmp.path()}; });
    BackupWindow window(form1.get(), &store);
    window.setPathAsker([&](bool) { return QString::fromStdString(zip); });
    QStringList asked;
    Modal::setRunner([&](QDialog* d) {
        auto* box = qobject_cast<QMessageBox*>(d);
        ASSERT_TRUE(box);
        asked << box->text();
        // The outside folder: no; the files to write: yes.
        box->done(box->text().contains(QStringLiteral("格納場所")) ? QMessageBox::No
                                                                   : QMessageBox::Yes);
    });
    window.importBook();
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[0].contains(QString::fromStdString(outside.path())))
        << asked[0].toStdString();
    EXPECT_EQ(readBytes(tmp.file("199612.txt")), monthBytes);
    EXPECT_EQ(form1->LedgerDir.toStdString(), tmp.path()) << "the copy reads and writes here";
    MonthLedger names;
    std::string ledgerDir, diaryDir;
    readConfig(disk, tmp.path(), names, ledgerDir, diaryDir, isDirectory, isDirectory);
    EXPECT_EQ(ledgerDir, tmp.path());
    EXPECT_EQ(diaryDir, tmp.path());
    EXPECT_EQ(readBytes(outside.file("199612.txt")), outsideBefore);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}
