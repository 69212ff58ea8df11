// Files another program writes into the ledger folder while the window is
// up are noticed through the system's file notification, with no call from
// the test: the document reads them again and the daily sheet shows them.
#include "ledger/book.h"
#include "ledger/cp932.h"
#include "tests/windows/other_pc.h"
#include "tests/windows/sheet_fixture.h"
#include "windows/sync_feature.h"

#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <functional>

namespace {

// Notification, the watch's quiet time and the reload: far more than any of
// them takes, so a slow machine does not fail the test.
constexpr int Patience = 30000;

class DiskEventTest : public SheetFixture {
protected:
    void SetUp() override {
        SheetFixture::SetUp();
        Modal::setRunner([this](QDialog* d) {
            if (d->objectName() == QStringLiteral("SyncReport")) return void(++told);
            d->show();
        });
    }
    void TearDown() override {
        feature.reset();
        SheetFixture::TearDown();
    }
    int told = 0;
    std::unique_ptr<SyncFeature> feature;
};

// December the way another PC's program leaves it: its month file, or only
// its journal (the month file has not arrived yet).
void monthElsewhere(const std::string& dir, int32_t expense) {
    MonthLedger other;
    other.Items[1].Name = utf8ToCp932("食費");
    other.Items[1].Days[24].Expense = expense;
    DiskStore elsewhere;
    saveMonthFile(elsewhere, other, dir, 2026, 12);
}

void journalElsewhere(const std::string& dir, int32_t expense) {
    TempDir other;
    writeBytes(other.file("ZADUD.CFG"), "kamo1=" + utf8ToCp932("食費") + "\r\n");
    // It went on from the month as this PC left it.
    writeBytes(other.file("202612.txt"), readBytes(dir + "/202612.txt"));
    otherPcBook(other.path(), {2026, 10})
        ->setAmount({2026, 12}, 1, 24, AmountField::Expense, expense, ChangeSource::Typed);
    writeBytes(dir + "/ZADUD-pc-b.JNL", readBytes(other.file("ZADUD-pc-b.JNL")));
}

TEST_F(DiskEventTest, AFileWrittenFromOutsideIsShownWithoutACall) {
    const struct {
        const char* name;
        std::function<void(const std::string&, int32_t)> write;
        int told; // the merge says what it mended
    } cases[] = {
        {"the month file", monthElsewhere, 0},
        {"another PC's journal alone", journalElsewhere, 1},
    };
    start(2026, 12, 24, {{1, QStringLiteral("食費")}});
    doc->book().setPcName("own");
    // A clock far behind the files' times: every file is new enough to read.
    feature = std::make_unique<SyncFeature>([] { return int64_t(10000); }, "own");
    form1->install(*feature);
    feature->attach(*form1);
    QSignalSpy reloads(doc.get(), &BookDocument::changedOnDisk);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int32_t expense = 1000 + reloads.count() * 500;
        told = 0;
        c.write(dir.path(), expense);
        // Events are handled while waiting: the notification, the quiet
        // time, the reload.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return doc->book().amount({2026, 12}, 1, 24, AmountField::Expense) == expense;
            },
            Patience));
        EXPECT_EQ(told, c.told);
        form1->Exit2Click();
        EXPECT_EQ(cell(2, 1), amount(expense));
        form2->hide();
    }
    EXPECT_EQ(reloads.count(), 2);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

} // namespace
