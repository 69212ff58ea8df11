#include "ledger/book.h"
#include "ledger/diary_file.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

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
        book = std::make_unique<Book>(dir.path());
        book->clock = [] { return std::string("2026-12-24T10:00:00"); };
        book->setConflictQuestion([this](const std::string&) {
            ++asked;
            return answer;
        });
        book->readConfiguration(isDirectory, isDirectory);
        book->setShown({2026, 12});
        book->loadMonths();
    }
    int32_t stored(int y, int m, int item, int day, AmountField f) {
        MonthLedger l = book->ledger();
        loadMonthAsEntered(l, dir.path(), {y, m});
        const DayCell& c = l.Items[item].Days[day];
        return f == In ? c.Income : c.Expense;
    }
};

TEST_F(BookTest, TypedAmountUndoesAndRedoesWithItsNameInTheCommand) {
    book->setAmount({2026, 12}, 1, 24, Out, 1, ChangeSource::Typed);
    int flushes = 0;
    setSyncCall([&](int) { return ++flushes, 0; });
    book->setAmount({2026, 12}, 1, 24, Out, 3480, ChangeSource::Typed);
    setSyncCall({});
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
        book->addAmount({2026, 10}, 2, 1, In, 7, ChangeSource::Scheduled);
        // Leaving 32 bits refuses that one change and nothing else.
        EXPECT_THROW(book->addAmount({2026, 10}, 2, 2, In, INT32_MAX, ChangeSource::Scheduled),
                     AppError);
    }
    EXPECT_EQ(book->ledger().Items[2].Days[1].Income, 0);
    EXPECT_EQ(readBytes(dir.file("202610.txt")), october);
    EXPECT_FALSE(book->canUndo());
}

TEST_F(BookTest, AFailedWriteAtTheEndOfAGroupPutsBackWhatItWrote) {
    const std::string before = readBytes(dir.file("202609.txt"));
    setWriteFaultHook([](const std::string& path, const std::string& step) {
        return path.find("202611") != std::string::npos && step == "rename" ? ENOSPC : 0;
    });
    {
        Book::ChangeGroup g(*book, ChangeSource::Imported);
        book->addAmount({2026, 9}, 1, 1, Out, 10, ChangeSource::Imported);
        book->addAmount({2026, 11}, 1, 1, Out, 10, ChangeSource::Imported);
        EXPECT_THROW(g.commit(), AppError);
    }
    setWriteFaultHook({});
    EXPECT_EQ(readBytes(dir.file("202609.txt")), before);
    EXPECT_FALSE(fileExists(dir.file("202611.txt")));
    EXPECT_FALSE(book->canUndo());
}

TEST_F(BookTest, AValueChangedSinceIsAskedAboutBeforeItIsReplaced) {
    book->setAmount({2026, 10}, 1, 5, Out, 100, ChangeSource::Typed);
    // Another copy or a hand edit changes the same cell.
    MonthLedger l = book->ledger();
    loadMonthAsEntered(l, dir.path(), {2026, 10});
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
    book->setAmount({2026, 12}, 1, 1, Out, 10, ChangeSource::Typed);
    book->setAmount({2026, 12}, 1, 2, Out, 20, ChangeSource::Typed);
    book->saveMonth();
    const std::string journal = dir.file(JournalFileName);
    const std::string bytes = readBytes(journal);
    // A power cut in the middle of the second record.
    writeBytes(journal, bytes.substr(0, bytes.size() - 9));
    restart();
    const std::string warning = book->takeJournalWarning();
    EXPECT_NE(warning.find("2 行目"), std::string::npos) << warning;
    EXPECT_EQ(book->takeJournalWarning(), "") << "said once";
    EXPECT_EQ(book->undoText(), "12/1 食費 支出 10");
    book->setAmount({2026, 12}, 2, 3, In, 30, ChangeSource::Typed);
    // Ended without a save: the amount comes back from the journal, said once.
    restart();
    EXPECT_NE(book->takeJournalWarning().find("1 件"), std::string::npos);
    EXPECT_EQ(book->ledger().Items[2].Days[3].Income, 30);
    EXPECT_EQ(book->undoText(), "12/3 住居費 収入 30");
    // Deleted: the history starts again, the months are untouched.
    std::remove(journal.c_str());
    restart();
    EXPECT_FALSE(book->canUndo());
    EXPECT_EQ(book->ledger().Items[1].Days[2].Expense, 20);
}

TEST_F(BookTest, DiaryEditsUndoAndTheHistoryGoesBackToJustAfterARow) {
    book->setDiary(2026, 12, 24, "\x93\xfa\x8b\x4c\r\n", ChangeSource::Typed);
    book->setAmount({2026, 12}, 1, 24, Out, 1, ChangeSource::Typed);
    book->setAmount({2026, 12}, 1, 25, Out, 2, ChangeSource::Typed);
    const auto rows = book->history();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].change, "0 -> 2");
    EXPECT_EQ(rows[2].item, "日記");
    book->undoBackTo(rows[2].group);
    EXPECT_EQ(book->ledger().Items[1].Days[24].Expense, 0);
    std::string diary;
    ASSERT_TRUE(readDiaryFile(dir.path(), 2026, 12, 24, diary));
    EXPECT_EQ(diary, "\x93\xfa\x8b\x4c\r\n");
    ASSERT_TRUE(book->undo());
    ASSERT_TRUE(readDiaryFile(dir.path(), 2026, 12, 24, diary));
    EXPECT_EQ(diary, "");
    EXPECT_TRUE(book->history()[2].undone);
}

} // namespace
