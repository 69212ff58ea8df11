// The balance brought in follows a change of an earlier month by itself,
// within the change's undo step.
#include "ledger/book.h"
#include "storage/disk_store.h"
#include "tests/ledger/book_start.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

constexpr AmountField In = AmountField::Income;
constexpr AmountField Out = AmountField::Expense;

// Four months on file (October 2026 to January 2027) with two items, the
// book showing January 2027.
struct CarryTest : ::testing::Test {
    TempFolder dir;
    std::unique_ptr<Book> book;
    int asked = 0;
    const std::vector<MonthKey> months{{2026, 10}, {2026, 11}, {2026, 12}, {2027, 1}};

    void SetUp() override {
        writeBytes(dir.file("ZADUD.CFG"),
                   "kamo1=\x90\x48\x94\xef\r\nkamo2=\x8f\x5a\x8b\x8f\x94\xef\r\n"
                   "kamo12=zappi\r\n");
        restart({2026, 10});
        int n = 0;
        for (const MonthKey& m : months) {
            book->moveTo(m);
            book->setAmount(m, 1, 1, In, 100000 + n, ChangeSource::Typed);
            book->setAmount(m, 2, 10, Out, 3000 * ++n, ChangeSource::Typed);
        }
        book->saveMonth();
        ASSERT_TRUE(chainIsRight());
    }
    void restart(MonthKey shown) {
        book = startBook(disk, dir.path(), shown,
                         [this](const std::string&) { return ++asked, true; });
    }
    std::map<std::string, std::string> files() {
        std::map<std::string, std::string> out;
        for (const MonthKey& m : months) {
            const std::string name = monthFileName(m.year, m.month);
            out[name] = readBytes(dir.file(name));
        }
        return out;
    }
    // Every stored balance brought in is the closing balance before it.
    bool chainIsRight() {
        return planCarryRepair(disk, book->ledger(), dir.path(), 2026).months.empty();
    }
    int32_t broughtIn(MonthKey m, int item) {
        return readStoredMonth(disk, book->ledger(), dir.path(), m.year, m.month).broughtIn[item];
    }
};

TEST_F(CarryTest, AnImportIntoAnEarlierMonthCarriesThroughAndUndoesAsOneStepWithoutAQuestion) {
    const auto before = files();
    const int32_t januaryBefore = book->ledger().CarryOver[2];
    {
        // Two rows of one day and item, as a statement import posts them.
        Book::ChangeGroup g(*book, ChangeSource::Imported, "明細の取り込み");
        book->addAmount({2026, 10}, 2, 5, Out, 20000, ChangeSource::Imported);
        book->addAmount({2026, 10}, 2, 5, Out, 7641, ChangeSource::Imported);
        g.commit();
    }
    book->saveMonth();
    EXPECT_TRUE(chainIsRight()) << "every later month brings in the new balance at once";
    EXPECT_EQ(broughtIn({2026, 12}, 2), broughtIn({2026, 11}, 2) - 6000);
    EXPECT_EQ(book->ledger().CarryOver[2], januaryBefore - 27641);
    EXPECT_EQ(broughtIn({2027, 1}, 2), januaryBefore - 27641);
    EXPECT_EQ(book->undoText(), "取込 2件") << "the balances carried are part of the step";

    restart({2027, 1});
    ASSERT_TRUE(book->undo());
    book->saveMonth();
    EXPECT_EQ(asked, 0) << "nothing differs from what the step left";
    EXPECT_EQ(files(), before);
    EXPECT_EQ(book->ledger().CarryOver[2], januaryBefore);
    ASSERT_TRUE(book->redo());
    book->saveMonth();
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(chainIsRight());
}

TEST_F(CarryTest, ChangesOfEveryKindCarryForwardAndAValueChangedSinceIsStillAsked) {
    // A typed change in the month shown, an earlier month's change typed in
    // another group, and an undo: after each the chain is right.
    restart({2026, 11});
    book->setAmount({2026, 11}, 1, 3, In, 55, ChangeSource::Typed);
    EXPECT_TRUE(chainIsRight()) << "later files follow the month in memory";
    book->setAmount({2026, 10}, 1, 3, In, 7, ChangeSource::Scheduled);
    book->saveMonth();
    EXPECT_TRUE(chainIsRight());
    EXPECT_EQ(book->ledger().CarryOver[1], broughtIn({2026, 11}, 1));
    ASSERT_TRUE(book->undo());
    book->saveMonth();
    EXPECT_TRUE(chainIsRight());
    EXPECT_EQ(asked, 0);

    // November's file put back from an old copy by hand: undoing the next
    // change of October finds December bringing in another balance.
    const std::string november = readBytes(dir.file("202611.txt"));
    book->setAmount({2026, 10}, 1, 3, In, 8, ChangeSource::Typed);
    book->saveMonth();
    writeBytes(dir.file("202611.txt"), november);
    restart({2027, 1});
    ASSERT_TRUE(book->undo());
    EXPECT_EQ(asked, 1);
}

TEST_F(CarryTest, TheRepairOfFilesEditedByHandUndoesToThemWithoutAQuestion) {
    // October edited by another program: every later month is stale.
    MonthLedger october = book->ledger();
    loadMonthAsEntered(disk, october, dir.path(), {2026, 10});
    october.Items[1].Days[20].Expense = 18960;
    saveMonthFile(disk, october, dir.path(), 2026, 10);
    const auto stale = files();
    ASSERT_FALSE(chainIsRight());
    EXPECT_EQ(book->repairCarry(2026).size(), 3u);
    EXPECT_TRUE(chainIsRight());
    restart({2027, 1});
    ASSERT_TRUE(book->undo());
    book->saveMonth();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(files(), stale) << "the undo gives back what the repair replaced";
}

TEST_F(CarryTest, APostingIntoMonthsWithoutFilesYetCarriesThroughThemInOrder) {
    // As a catch-up of scheduled entries posts months ahead in one step,
    // after a change the month shown has not saved yet.
    const int32_t january = book->ledger().CarryOver[1] + 100003;
    // Names that are no month's file are no months.
    for (const char* other : {"20270.txt", "202613.txt", "2026011.txt", "2026x.txt", "20270.TXT"})
        writeBytes(dir.file(other), "x,0,notanumber,\r\n");
    book->setAmount({2026, 10}, 1, 9, In, 1, ChangeSource::Typed);
    {
        Book::ChangeGroup g(*book, ChangeSource::Scheduled);
        for (int m = 2; m <= 4; ++m)
            book->setAmount({2027, m}, 1, 25, In, 1000, ChangeSource::Scheduled);
        g.commit();
    }
    book->saveMonth();
    EXPECT_TRUE(chainIsRight());
    EXPECT_EQ(broughtIn({2027, 2}, 1), january + 1);
    EXPECT_EQ(broughtIn({2027, 4}, 1), january + 2001);
}

TEST_F(CarryTest, AMonthAfterAnUnreadableOneKeepsItsFileAndTheChangeIsMade) {
    writeBytes(dir.file("202612.txt"), "x,0,notanumber,\r\n");
    const std::string january = readBytes(dir.file("20271.txt"));
    book->setAmount({2026, 10}, 1, 2, In, 9, ChangeSource::Typed);
    EXPECT_EQ(book->amount({2026, 10}, 1, 2, In), 9);
    EXPECT_EQ(readBytes(dir.file("20271.txt")), january);
}

// The later months go to disk as one batch after the journal; a batch cut
// short is reported, and every month file is whole: the ones already
// replaced are put back, and none is left half-written.
TEST_F(CarryTest, ABatchOfLaterMonthsFailingHalfWayIsReportedAndLeavesEveryFileAsItWas) {
    book->moveTo({2026, 10});
    const auto before = files();
    disk.setFaults([this](const std::string& path, const std::string& step) {
        return step == "rename" && path == dir.file(monthFileName(2026, 12)) ? EIO : 0;
    });
    EXPECT_THROW(book->setAmount({2026, 10}, 2, 20, Out, 999, ChangeSource::Typed), AppError);
    disk.setFaults(nullptr);
    EXPECT_EQ(files(), before);
    for (const auto& [name, bytes] : files())
        EXPECT_FALSE(bytes.empty()) << name;
    EXPECT_TRUE(chainIsRight());
}

// The disk as a power cut leaves it: month files renamed into place since
// the last flush of their folder may come back as they were, in any mix.
// The journal, flushed with every step, is kept.
struct PowerCutStore : ForwardingStore {
    using ForwardingStore::ForwardingStore;
    std::vector<std::pair<std::string, std::optional<std::string>>> unflushed; // bytes before
    void writeAllDeferred(const std::vector<std::pair<std::string, std::string>>& files) override {
        for (const auto& [path, bytes] : files) {
            std::string old;
            const bool existed = inner().tryRead(path, old) == 0;
            unflushed.emplace_back(path, existed ? std::optional<std::string>(old) : std::nullopt);
        }
        inner().writeAllDeferred(files);
    }
    void flush(const std::string& folder) override {
        unflushed.clear();
        inner().flush(folder);
    }
    void cut(const std::function<bool(std::size_t)>& lost) {
        for (std::size_t i = unflushed.size(); i-- > 0;) {
            if (!lost(i)) continue;
            if (unflushed[i].second)
                writeBytes(unflushed[i].first, *unflushed[i].second);
            else
                inner().remove(unflushed[i].first);
        }
    }
};

TEST_F(CarryTest, LaterMonthsLostToAPowerCutAreCarriedAgainAtTheNextStart) {
    const struct {
        const char* name;
        std::function<bool(std::size_t)> lost;
    } cuts[] = {
        {"nothing lost", [](std::size_t) { return false; }},
        {"every rename lost", [](std::size_t) { return true; }},
        {"every other rename lost", [](std::size_t i) { return i % 2 == 0; }},
        {"the others lost", [](std::size_t i) { return i % 2 == 1; }},
    };
    const auto saved = files();
    for (const auto& c : cuts) {
        SCOPED_TRACE(c.name);
        for (const auto& [name, bytes] : saved)
            writeBytes(dir.file(name), bytes);
        PowerCutStore store(disk);
        book = startBook(store, dir.path(), {2026, 10},
                         [this](const std::string&) { return ++asked, true; });
        // Typed into the month shown, into a later month, and typed again.
        book->setAmount({2026, 10}, 2, 12, Out, 777, ChangeSource::Typed);
        book->setAmount({2026, 12}, 12, 3, In, 5000, ChangeSource::Typed);
        book->setAmount({2026, 10}, 2, 12, Out, 999, ChangeSource::Typed);
        ASSERT_GE(store.unflushed.size(), 3u) << "the later months are written without a flush";
        store.cut(c.lost);
        book.reset(); // the program is gone with the power
        restart({2027, 1});
        EXPECT_TRUE(chainIsRight()) << "every later month brings in the new balance again";
        EXPECT_EQ(book->amount({2026, 10}, 2, 12, Out), 999) << "what was typed is kept";
        EXPECT_EQ(book->amount({2026, 12}, 12, 3, In), 5000);
        EXPECT_EQ(book->amount({2027, 1}, 12, 0, In), 5000) << "the last item carries too";
        EXPECT_EQ(book->journal().settled(), book->journal().lastGroup());
    }
    EXPECT_EQ(asked, 0);
}

} // namespace
