// A command run after a kill finds the book whole: what the journal holds
// and the month files lack is written first, and said once on stderr.
#include "ledger/book.h"
#include "ledger/cp932.h"
#include "storage/disk_store.h"
#include "tests/app/run_zadud.h"

#include <gtest/gtest.h>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
std::string fixedStamp() {
    return "2026-12-24T10:00:00";
}
} // namespace

TEST(RecoveryCommand, ACommandFinishesWhatAKilledRunLeftInTheJournal) {
    TempFolder tmp;
    writeBytes(tmp.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\n"));
    {
        // Typed, then the program was killed before the month was saved.
        Book book(tmp.path(), disk, fixedStamp);
        book.readConfiguration(isDirectory, isDirectory);
        book.setShown({2026, 12});
        book.loadMonths();
        book.setAmount({2026, 12}, 1, 24, AmountField::Expense, 3480, ChangeSource::Typed);
    }
    ASSERT_FALSE(fileExists(tmp.file("202612.txt")));
    auto [code, out, err] = runZadud(tmp, "--backup book.zip");
    EXPECT_EQ(code, 0) << err;
    EXPECT_NE(err.find("1 件"), std::string::npos) << err;
    MonthLedger month;
    month.Items[1].Name = utf8ToCp932("食費");
    loadMonthFile(disk, month, tmp.path(), 2026, 12, LoadMode::Current);
    EXPECT_EQ(month.Items[1].Days[24].Expense, 3480);
    std::tie(code, out, err) = runZadud(tmp, "--backup book.zip");
    EXPECT_EQ(err.find("件"), std::string::npos) << "said once: " << err;
}
