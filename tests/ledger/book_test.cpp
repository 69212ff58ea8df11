#include "ledger/book.h"
#include "ledger/diary_file.h"
#include "storage/disk_store.h"
#include "tests/ledger/book_start.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

constexpr AmountField In = AmountField::Income;
constexpr AmountField Out = AmountField::Expense;

// A data folder with two items ("食費", "住居費" in CP932) and a book on it,
// showing December 2026 as the main window would after its start-up.
struct BookTest : ::testing::Test {
    TempFolder dir;
    std::unique_ptr<Book> book;
    int asked = 0;
    bool answer = true;

    void SetUp() override {
        writeBytes(dir.file("ZADUD.CFG"),
                   "kamo1=\x90\x48\x94\xef\r\nkamo2=\x8f\x5a\x8b\x8f\x94\xef\r\n");
        restart();
    }
    void restart() {
        book = startBook(disk, dir.path(), {2026, 12}, [this](const std::string&) {
            ++asked;
            return answer;
        });
    }
    int32_t stored(int y, int m, int item, int day, AmountField f) {
        MonthLedger l = book->ledger();
        loadMonthAsEntered(disk, l, dir.path(), {y, m});
        const DayCell& c = l.Items[item].Days[day];
        return f == In ? c.Income : c.Expense;
    }
};

TEST_F(BookTest, TypedAmountUndoesAndRedoesWithItsNameInTheCommand) {
    book->setAmount({2026, 12}, 1, 24, Out, 1, ChangeSource::Typed);
    int flushes = 0;
    disk.setSync([&](int) { return ++flushes, 0; });
    book->setAmount({2026, 12}, 1, 24, Out, 3480, ChangeSource::Typed);
    book->setAmount({2026, 12}, 1, 24, Out, 3480, ChangeSource::Typed); // unchanged: no step
    disk.setSync({});
    EXPECT_EQ(flushes, 1) << "the journal line is flushed; the month is saved later";
    EXPECT_EQ(book->undoText(), "12/24 食費 支出 3,480");
    ASSERT_TRUE(book->undo());
    EXPECT_EQ(book->ledger().Items[1].Days[24].Expense, 1);
    EXPECT_EQ(book->redoText(), "12/24 食費 支出 3,480");
    ASSERT_TRUE(book->redo());
    EXPECT_EQ(book->ledger().Items[1].Days[24].Expense, 3480);
    // A new change after an undo drops what could be redone.
    book->undo();
    book->setAmount({2026, 12}, 2, 1, In, 5, ChangeSource::Typed);
    EXPECT_FALSE(book->canRedo());
    EXPECT_EQ(asked, 0);
}

TEST_F(BookTest, ChangesInOtherMonthsAndAfterARestartUndoThroughTheirFiles) {
    // Typed in November, then the month is left (saved) and the program ends.
    book->setShown({2026, 11});
    book->loadMonths();
    book->setAmount({2026, 11}, 2, 30, Out, 80000, ChangeSource::Typed);
    book->moveTo({2026, 12});
    EXPECT_EQ(stored(2026, 11, 2, 30, Out), 80000);
    EXPECT_EQ(book->ledger().CarryOver[2], -80000) << "December brings November's balance in";
    restart();
    ASSERT_TRUE(book->canUndo());
    ASSERT_TRUE(book->undo());
    EXPECT_EQ(stored(2026, 11, 2, 30, Out), 0);
    EXPECT_EQ(book->ledger().CarryOver[2], 0) << "the month shown follows the earlier month";
    restart();
    ASSERT_TRUE(book->redo()) << "the undo itself survives the restart";
    EXPECT_EQ(stored(2026, 11, 2, 30, Out), 80000);
}

TEST_F(BookTest, AGroupIsOneStepAndAGroupNotCommittedLeavesEveryMonthAsItWas) {
    {
        Book::ChangeGroup g(*book, ChangeSource::Imported, "明細");
        book->addAmount({2026, 12}, 1, 3, Out, 100, ChangeSource::Imported);
        book->addAmount({2026, 12}, 1, 3, Out, 200, ChangeSource::Imported);
        book->addAmount({2026, 10}, 1, 9, Out, 50, ChangeSource::Imported);
        g.commit();
    }
    EXPECT_EQ(book->ledger().Items[1].Days[3].Expense, 300);
    EXPECT_EQ(stored(2026, 10, 1, 9, Out), 50);
    EXPECT_EQ(book->undoText(), "取込 3件");
    ASSERT_TRUE(book->undo());
    EXPECT_EQ(book->ledger().Items[1].Days[3].Expense, 0);
    EXPECT_EQ(stored(2026, 10, 1, 9, Out), 0);
    EXPECT_FALSE(book->canUndo());

    const std::string october = readBytes(dir.file("202610.txt"));
    {
        Book::ChangeGroup g(*book, ChangeSource::Scheduled);
        book->addAmount({2026, 12}, 2, 1, In, 7, ChangeSource::Scheduled);
        book->addAmount({2026, 10}, 2, 2, In, 7, ChangeSource::Scheduled);
        // Leaving 32 bits refuses that one change and nothing else.
        EXPECT_THROW(book->addAmount({2026, 10}, 2, 3, In, INT32_MAX, ChangeSource::Scheduled),
                     AppError);
    }
    EXPECT_EQ(book->ledger().Items[2].Days[1].Income, 0);
    EXPECT_EQ(readBytes(dir.file("202610.txt")), october);
    EXPECT_FALSE(book->canUndo());
}

TEST_F(BookTest, ARefusedChangeLeavesTheMonthsAndTheHistoryAsTheyWere) {
    book->setAmount({2026, 12}, 1, 1, In, 1, ChangeSource::Typed);
    const std::string shown = formatMonth(book->ledger());
    struct Case {
        const char* what;
        MonthKey month;
        int item, day;
        AmountField field;
        int32_t value;
    } cases[] = {
        {"a day past the month's end", {2026, 11}, 1, 31, Out, 5},
        {"no month 13", {2026, 13}, 1, 1, Out, 5},
        {"the balance brought in has no expense", {2026, 12}, 1, 0, Out, 5},
        {"an item without a name", {2026, 12}, 3, 2, Out, 5},
        {"the month's income past 32 bits", {2026, 12}, 1, 2, In, INT32_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_THROW(book->setAmount(c.month, c.item, c.day, c.field, c.value, ChangeSource::Typed),
                     AppError);
        EXPECT_EQ(formatMonth(book->ledger()), shown);
        EXPECT_EQ(book->undoText(), "12/1 食費 収入 1");
        EXPECT_FALSE(fileExists(dir.file("202611.txt")));
    }
}

TEST_F(BookTest, AFailedWriteAtTheEndOfAGroupPutsBackWhatItWrote) {
    const std::string before = readBytes(dir.file("202609.txt"));
    disk.setFaults([](const std::string& path, const std::string& step) {
        return path.find("202611") != std::string::npos && step == "rename" ? ENOSPC : 0;
    });
    {
        Book::ChangeGroup g(*book, ChangeSource::Imported);
        book->addAmount({2026, 9}, 1, 1, Out, 10, ChangeSource::Imported);
        book->addAmount({2026, 11}, 1, 1, Out, 10, ChangeSource::Imported);
        EXPECT_THROW(g.commit(), AppError);
    }
    disk.setFaults({});
    EXPECT_EQ(readBytes(dir.file("202609.txt")), before);
    EXPECT_FALSE(fileExists(dir.file("202611.txt")));
    EXPECT_FALSE(book->canUndo());
}

TEST_F(BookTest, AValueChangedSinceIsAskedAboutBeforeItIsReplaced) {
    book->setAmount({2026, 10}, 1, 5, Out, 100, ChangeSource::Typed);
    // Another copy or a hand edit changes the same cell.
    MonthLedger l = book->ledger();
    loadMonthAsEntered(disk, l, dir.path(), {2026, 10});
    l.Items[1].Days[5].Expense = 999;
    writeBytes(dir.file("202610.txt"), formatMonth(l));

    answer = false;
    EXPECT_FALSE(book->undo());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(stored(2026, 10, 1, 5, Out), 999);
    EXPECT_TRUE(book->canUndo());
    answer = true;
    EXPECT_TRUE(book->undo());
    EXPECT_EQ(stored(2026, 10, 1, 5, Out), 0);
    // A month held read-only is never written by an undo.
    book->setAmount({2026, 12}, 1, 1, In, 1, ChangeSource::Typed);
    writeBytes(dir.file("202611.txt"), "\x90\x48\x94\xef,0,x,\r\n");
    EXPECT_THROW(book->loadMonths(), AppError);
    EXPECT_THROW(book->undo(), AppError);
}

TEST_F(BookTest, ATornJournalCostsOnlyItsTailAndAppendingGoesOn) {
    book->setAmount({2026, 12}, 1, 1, Out, -10, ChangeSource::Typed); // a refund
    book->setAmount({2026, 12}, 1, 2, Out, 20, ChangeSource::Typed);
    book->saveMonth();
    const std::string journal = dir.file(JournalFileName);
    const std::string bytes = readBytes(journal);
    const std::size_t second = bytes.find("\r\n") + 2;
    std::string month13 = bytes.substr(0, second);
    month13.replace(month13.find(",2026,12,"), 9, ",2026,13,");
    struct Damage {
        const char* what;
        std::string bytes;
    } damages[] = {
        {"a power cut in the middle of the second record", bytes.substr(0, bytes.size() - 9)},
        {"a record of month 13", bytes.substr(0, second) + month13 + bytes.substr(second)},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        writeBytes(journal, d.bytes);
        restart();
        const std::string warning = book->takeJournalWarning();
        EXPECT_NE(warning.find(" 2 行目"), std::string::npos) << warning;
        EXPECT_EQ(book->takeJournalWarning(), "") << "said once";
        EXPECT_EQ(book->undoText(), "12/1 食費 支出 -10");
    }
    book->setAmount({2026, 12}, 2, 3, In, 30, ChangeSource::Typed);
    // Ended without a save: the amount comes back from the journal, said once.
    restart();
    // News, not trouble: the note says it, the warning then holds nothing.
    EXPECT_NE(book->takeRecoveryNote().find("1 件"), std::string::npos);
    EXPECT_EQ(book->takeJournalWarning(), "");
    EXPECT_EQ(book->ledger().Items[2].Days[3].Income, 30);
    EXPECT_EQ(book->undoText(), "12/3 住居費 収入 30");
    // Deleted: the history starts again, the months are untouched.
    std::remove(journal.c_str());
    restart();
    EXPECT_FALSE(book->canUndo());
    EXPECT_EQ(book->ledger().Items[1].Days[2].Expense, 20);
}

TEST_F(BookTest, DiaryEditsUndoAndTheHistoryGoesBackToJustAfterARow) {
    // The journal escapes what would break its lines; "日記" ends the text.
    const std::string text = "a,b 100%\r\n\x93\xfa\x8b\x4c";
    book->setDiary(2026, 12, 24, text, ChangeSource::Typed);
    book->setAmount({2026, 12}, 1, 24, Out, 1, ChangeSource::Typed);
    book->setAmount({2026, 12}, 1, 25, Out, 2, ChangeSource::Typed);
    const auto rows = book->history();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].change, "0 -> 2");
    EXPECT_EQ(rows[2].item, "日記");
    book->undoBackTo(rows[2].group);
    EXPECT_EQ(book->ledger().Items[1].Days[24].Expense, 0);
    std::string diary;
    ASSERT_TRUE(readDiaryFile(disk, dir.path(), 2026, 12, 24, diary));
    EXPECT_EQ(diary, text);
    // The rest of the history is read back from the journal.
    book->saveMonth();
    restart();
    EXPECT_EQ(book->takeJournalWarning(), "");
    ASSERT_TRUE(book->undo());
    ASSERT_TRUE(readDiaryFile(disk, dir.path(), 2026, 12, 24, diary));
    EXPECT_EQ(diary, "");
    EXPECT_TRUE(book->history()[2].undone);
    ASSERT_TRUE(book->redo());
    ASSERT_TRUE(readDiaryFile(disk, dir.path(), 2026, 12, 24, diary));
    EXPECT_EQ(diary, text);
    EXPECT_EQ(asked, 0);
}

TEST(ChangeJournalTest, PastItsLimitTheOldestWholeStepsAreDropped) {
    TempFolder dir;
    const std::string path = dir.file(JournalFileName);
    auto record = [](uint64_t group, int k) {
        JournalRecord r;
        r.group = group;
        r.time = "2026-12-24T10:00:00";
        r.month = {2027, 1};
        r.day = k + 1;
        r.item = "x";
        r.newValue = k + 1;
        return r;
    };
    // 6666 steps of three records; the next one makes 20001 lines.
    std::string bytes;
    for (uint64_t g = 1; g <= 6666; ++g)
        for (int k = 0; k < 3; ++k)
            bytes += formatRecord(record(g, k)) + "\r\n";
    writeBytes(path, bytes);
    ChangeJournal journal{disk};
    journal.open(path);
    ASSERT_EQ(journal.undoable().size(), 6666u);
    journal.append({record(6667, 0), record(6667, 1), record(6667, 2)});
    // Keeping the last 10000 lines would cut step 3334 in half: it goes whole.
    EXPECT_EQ(journal.undoable().size(), 3333u);
    EXPECT_EQ(journal.undoable().front(), 3335u);
    EXPECT_EQ(journal.step(3335)->records.size(), 3u);
    EXPECT_GT(journal.nextGroup(), 6667u);
    const std::string folded = readBytes(path);
    EXPECT_EQ(std::count(folded.begin(), folded.end(), '\n'), 9999);
    ChangeJournal again{disk};
    again.open(path);
    EXPECT_EQ(again.warning(), "");
    EXPECT_EQ(again.undoable(), journal.undoable());
}

} // namespace
