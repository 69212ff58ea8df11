// The settings dialog renames an item in every month of the book, says how
// many months it touches, and one undo gives every file back.
#include "ledger/config_file.h"
#include "ledger/cp932.h"
#include "ledger/month_ledger.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/zadud.h"
#include "storage/disk_store.h"
#include "tests/support/test_support.h"
#include "windows/nikiset.h"

#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <gtest/gtest.h>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

TEST(RenameItems, TheDialogAsksWithTheMonthsAndRenamesThemAsOneStep) {
    TempDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.path()));
    QStringList errors;
    ErrorBox::setRecorder([&](const QString& text) { errors << text; });
    const std::string zappi = utf8ToCp932("雑費"), zeikin = utf8ToCp932("税金");
    writeBytes(dir.file("ZADUD.CFG"),
               "ZADUD=" + dir.path() + "\r\nMEMO=" + dir.path() + "\r\nkamo1=" + zappi + "\r\n");
    MonthLedger l;
    l.Items[1].Name = zappi;
    for (int m = 9; m <= 11; ++m) {
        l.Items[1].Days[m].Expense = 45300;
        saveMonthFile(disk, l, dir.path(), 2026, m);
    }
    const std::string cfgBefore = readBytes(dir.file("ZADUD.CFG"));
    {
        TForm1 form1;
        TForm4 form4(&form1);
        form1.document().setLocationChecks(
            [&](const QString& p) { return form4.checkLedgerLocation(p); },
            [&](const QString& p) { return form4.checkDiaryLocation(p); });
        form1.mc->setDay(1);
        form1.mc->setYear(2026);
        form1.mc->setMonth(11);
        runGuarded([&] {
            form1.CfgRead();
            form1.LoadMonths();
        });
        form1.MonthSave();
        const std::string september = readBytes(dir.file("20269.txt"));
        form4.FormActivate();
        QStringList asked;
        bool answer = false;
        Modal::setRunner([&](QDialog* d) {
            auto* box = qobject_cast<QMessageBox*>(d);
            ASSERT_TRUE(box);
            asked << box->text();
            box->done(answer ? QMessageBox::Yes : QMessageBox::No);
        });
        form4.findEdit(3)->setText(QStringLiteral("税金"));
        // Declined: nothing is written.
        EXPECT_FALSE(runGuarded([&] { form4.CfgWrite(); }));
        ASSERT_EQ(asked.size(), 1);
        EXPECT_TRUE(asked[0].contains(QStringLiteral("3 か月"))) << asked[0].toStdString();
        EXPECT_EQ(readBytes(dir.file("ZADUD.CFG")), cfgBefore);
        EXPECT_EQ(readBytes(dir.file("20269.txt")), september);

        answer = true;
        ASSERT_TRUE(runGuarded([&] { form4.CfgWrite(); }));
        EXPECT_EQ(form1.Ledger.Items[1].Name, zeikin);
        EXPECT_EQ(form1.Ledger.Items[1].Days[11].Expense, 45300);
        // Every month file and the undo of the whole step are the book's
        // own tests; here the dialog reaches them as one step.
        EXPECT_EQ(form1.book().undoText(), "名前変更 4件");
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    ErrorBox::setRecorder(nullptr);
    Modal::setRunner(nullptr);
    QDir::setCurrent(old);
}
