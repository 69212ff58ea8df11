#include "ledger/book.h"
#include "ledger/cp932.h"
#include "ledger/schedule.h"
#include "tests/ledger/book_start.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>

namespace {
DiskStore disk;
}

namespace {

constexpr AmountField Out = AmountField::Expense;
constexpr AmountField In = AmountField::Income;
const MonthKey Nov{2026, 11}, Dec{2026, 12};

EntryLine line(int day, const char* item, int32_t amount, const char* memo,
               LineSide side = LineSide::Expense) {
    EntryLine l;
    l.day = day;
    l.item = utf8ToCp932(item);
    l.amount = amount;
    l.memo = utf8ToCp932(memo);
    l.side = side;
    return l;
}

struct BookLinesTest : ::testing::Test {
    TempFolder dir;
    std::unique_ptr<Book> book;

    void SetUp() override {
        writeBytes(dir.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\nkamo2=給与\r\n"));
        restart();
    }
    void restart() {
        book.reset();
        book = startBook(disk, dir.path(), Dec, [](const std::string&) { return true; });
    }
    // The cell as its month file holds it, read afresh.
    int32_t stored(MonthKey m, int item, int day, AmountField f) {
        Book fresh(dir.path(), disk, fixedStamp);
        fresh.readConfiguration(isDirectory, isDirectory);
        return fresh.amount(m, item, day, f);
    }
    std::vector<EntryLine> filed(MonthKey m) {
        return loadLineFile(disk, dir.path(), m.year, m.month).lines;
    }
};

TEST_F(BookLinesTest, LinesSumIntoTheirCellsAcrossUndoRedoAndRestart) {
    book->setAmount(Dec, 1, 4, Out, 500, ChangeSource::Typed); // 内訳なし
    book->addLine(Dec, line(4, "食費", 1280, "ｽｰﾊﾟｰ #日用品"), ChangeSource::Typed);
    book->addLine(Nov, line(30, "給与", 250000, "11月分", LineSide::Income), ChangeSource::Typed);
    book->addLine(Dec, line(4, "食費", 300, "パン"), ChangeSource::Typed);
    EXPECT_EQ(book->ledger().Items[1].Days[4].Expense, 2080);
    EXPECT_EQ(stored(Nov, 2, 30, In), 250000) << "another month is written at once";
    EXPECT_EQ(book->ledger().CarryOver[2], 250000) << "and carried into the month shown";
    EXPECT_EQ(book->undoText(), "12/4 食費 内訳追加 300 パン");
    const CellParts parts = book->lineParts(Dec, 1, 4, Out);
    EXPECT_EQ(parts.lined, 1580);
    EXPECT_EQ(parts.unlined, 500);

    ASSERT_TRUE(book->undo());
    EXPECT_EQ(book->ledger().Items[1].Days[4].Expense, 1780);
    EXPECT_EQ(book->lines(Dec).size(), 1u);
    EXPECT_EQ(filed(Dec).size(), 1u) << "the line file follows the undo";
    ASSERT_TRUE(book->redo());
    EXPECT_EQ(book->lines(Dec).size(), 2u);
    book->saveMonth();

    restart();
    EXPECT_EQ(book->ledger().Items[1].Days[4].Expense, 2080);
    ASSERT_EQ(book->lines(Dec).size(), 2u);
    EXPECT_EQ(book->lines(Dec)[1].memo, utf8ToCp932("パン"));
    // Deleted, then changed to another cell: the amounts move with the line.
    book->removeLine(Dec, 0, ChangeSource::Typed);
    EXPECT_EQ(book->ledger().Items[1].Days[4].Expense, 800);
    book->changeLine(Dec, 0, line(5, "食費", 450, "パン 2個"), ChangeSource::Typed);
    EXPECT_EQ(book->ledger().Items[1].Days[4].Expense, 500);
    EXPECT_EQ(book->ledger().Items[1].Days[5].Expense, 450);
    book->saveMonth();

    restart();
    ASSERT_TRUE(book->undo()) << "the change";
    ASSERT_TRUE(book->undo()) << "the deletion, put back where it stood";
    ASSERT_EQ(filed(Dec).size(), 2u);
    EXPECT_EQ(filed(Dec)[0].memo, utf8ToCp932("ｽｰﾊﾟｰ #日用品"));
    EXPECT_EQ(filed(Dec)[1].amount, 300);
    EXPECT_EQ(book->ledger().Items[1].Days[4].Expense, 2080);
    EXPECT_EQ(book->ledger().Items[1].Days[5].Expense, 0);
    ASSERT_TRUE(book->undo());
    ASSERT_TRUE(book->undo()) << "November's line";
    EXPECT_TRUE(filed(Nov).empty());
    EXPECT_EQ(stored(Nov, 2, 30, In), 0);
}

TEST_F(BookLinesTest, RefusedChangesLeaveLinesAndCellsAsTheyWere) {
    book->addLine(Dec, line(4, "食費", 1000, "a"), ChangeSource::Typed);
    book->setAmount(Dec, 1, 5, Out, 10, ChangeSource::Typed);
    const std::string bytes = readBytes(dir.file("202612.lin"));
    const struct {
        const char* name;
        std::function<void()> change;
    } cases[] = {
        {"an item not configured", [&] { book->addLine(Dec, line(4, "雑費", 5, "")); }},
        {"no amount", [&] { book->addLine(Dec, line(4, "食費", 0, "")); }},
        {"a day the month lacks", [&] { book->addLine(Nov, line(31, "食費", 5, "")); }},
        {"a cell past 32 bits", [&] { book->addLine(Dec, line(4, "食費", 2147483647, "")); }},
        {"a line that is not there", [&] { book->removeLine(Dec, 1, ChangeSource::Typed); }},
        {"a change of a line that is not there",
         [&] { book->changeLine(Dec, 1, line(4, "食費", 5, "b"), ChangeSource::Typed); }},
        {"a change past 32 bits",
         [&] { book->changeLine(Dec, 0, line(5, "食費", 2147483647, "x"), ChangeSource::Typed); }},
        {"a change to no amount",
         [&] { book->changeLine(Dec, 0, line(4, "食費", 0, "a"), ChangeSource::Typed); }},
        {"a change to a control byte in the memo",
         [&] { book->changeLine(Dec, 0, line(4, "食費", 5, "a\x01"), ChangeSource::Typed); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_ANY_THROW(c.change());
        EXPECT_EQ(book->ledger().Items[1].Days[4].Expense, 1000);
        EXPECT_EQ(book->ledger().Items[1].Days[5].Expense, 10);
        EXPECT_EQ(book->lines(Dec).size(), 1u);
        EXPECT_EQ(readBytes(dir.file("202612.lin")), bytes);
    }
    EXPECT_EQ(book->undoText(), "12/5 食費 支出 10");
}

TEST_F(BookLinesTest, AFailedLineFileWriteLeavesLinesCellsAndFilesAsTheyWere) {
    book->addLine(Dec, line(4, "食費", 1000, "a"), ChangeSource::Typed);
    book->saveMonth();
    const std::string bytes = readBytes(dir.file("202612.lin"));
    const struct {
        const char* name;
        std::function<void()> change;
    } cases[] = {
        {"added", [&] { book->addLine(Dec, line(4, "食費", 5, "b"), ChangeSource::Typed); }},
        {"changed",
         [&] { book->changeLine(Dec, 0, line(6, "食費", 7, "c"), ChangeSource::Typed); }},
        {"removed", [&] { book->removeLine(Dec, 0, ChangeSource::Typed); }},
    };
    for (const char* step : {"open", "write", "chmod", "sync", "close", "rename", "dirsync"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", refused at " + step);
            disk.setFaults([step](const std::string& path, const std::string& s) {
                return path.size() > 4 && path.compare(path.size() - 4, 4, ".lin") == 0 && s == step
                           ? ENOSPC
                           : 0;
            });
            EXPECT_ANY_THROW(c.change());
            disk.setFaults(nullptr);
            for (const bool restarted : {false, true}) {
                if (restarted) restart();
                ASSERT_EQ(book->lines(Dec).size(), 1u) << restarted;
                EXPECT_EQ(book->lines(Dec)[0].memo, "a") << restarted;
                EXPECT_EQ(book->ledger().Items[1].Days[4].Expense, 1000) << restarted;
                EXPECT_EQ(book->ledger().Items[1].Days[6].Expense, 0) << restarted;
                EXPECT_EQ(readBytes(dir.file("202612.lin")), bytes) << restarted;
            }
            EXPECT_EQ(book->undoText(), "12/4 食費 内訳追加 1,000 a");
        }
    }
}

// Another copy of the program saved the month's lines since this one read
// them: a line added or changed here keeps what that copy wrote.
TEST_F(BookLinesTest, AChangeKeepsTheLinesAnotherCopySavedSince) {
    const EntryLine a = line(4, "食費", 100, "a"), other = line(9, "食費", 5, "other"),
                    b = line(4, "食費", 200, "b");
    const struct {
        const char* name;
        std::function<void()> change;
        std::vector<EntryLine> after;
    } cases[] = {
        {"added", [&] { book->addLine(Dec, b, ChangeSource::Typed); }, {a, other, b}},
        {"changed", [&] { book->changeLine(Dec, 0, b, ChangeSource::Typed); }, {b, other}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(dir.file("202612.lin"), formatLineFile({a}, 2026, 12));
        restart();
        ASSERT_EQ(book->lines(Dec).size(), 1u);
        writeBytes(dir.file("202612.lin"), formatLineFile({a, other}, 2026, 12));
        c.change();
        EXPECT_EQ(filed(Dec), c.after);
    }
}

TEST_F(BookLinesTest, ATypedTotalChangesOnlyThePartWithoutLines) {
    book->addLine(Dec, line(4, "食費", 1280, "x"), ChangeSource::Typed);
    EXPECT_THROW(book->checkTypedTotal(Dec, 1, 4, Out, 1279), AppError);
    EXPECT_NO_THROW(book->checkTypedTotal(Dec, 1, 4, Out, 1280));
    EXPECT_NO_THROW(book->checkTypedTotal(Dec, 1, 4, In, -5)) << "the other side has no lines";
    book->setAmount(Dec, 1, 4, Out, 2000, ChangeSource::Typed);
    EXPECT_EQ(book->lineParts(Dec, 1, 4, Out).unlined, 720);
    book->removeLine(Dec, 0, ChangeSource::Typed);
    EXPECT_EQ(book->ledger().Items[1].Days[4].Expense, 720) << "what was typed stays";
    book->addLine(Dec, line(1, "食費", 300, "the month's first day"), ChangeSource::Typed);
    EXPECT_THROW(book->checkTypedTotal(Dec, 1, 1, Out, 299), AppError);
}

TEST_F(BookLinesTest, ADamagedLineFileIsWrittenOverOnlyAfterTheQuestion) {
    const std::string damaged =
        "ZADUD-LINES,1\r\n4,1,\"\x90\x48\x94\xef\",700,T,\"\",\"ok\"\r\nnot a line\r\n";
    writeBytes(dir.file("202612.lin"), damaged);
    restart();
    ASSERT_EQ(book->lines(Dec).size(), 1u) << "the readable line is shown";
    const auto problems = book->takeLineProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("202612.lin の 3 行目"), std::string::npos) << problems[0];
    EXPECT_TRUE(book->takeLineProblems().empty()) << "named once";

    for (const int answer : {-1, 0}) {
        if (answer == 0) book->setLineFileQuestion([](const std::string&) { return false; });
        if (answer < 0)
            EXPECT_THROW(book->addLine(Dec, line(4, "食費", 5, "")), AppError);
        else
            EXPECT_THROW(book->addLine(Dec, line(4, "食費", 5, "")), Cancelled);
        EXPECT_EQ(readBytes(dir.file("202612.lin")), damaged);
        EXPECT_EQ(book->ledger().Items[1].Days[4].Expense, 0);
    }
    book->setLineFileQuestion([](const std::string&) { return true; });
    book->addLine(Dec, line(4, "食費", 5, ""));
    EXPECT_EQ(filed(Dec).size(), 2u);
    EXPECT_EQ(book->ledger().Items[1].Days[4].Expense, 5);
}

TEST(BookLines, AnUndoFindsItsLineOrIsRefused) {
    // What another copy (a merge on another PC) made of the line file.
    struct Row {
        const char* name;
        std::vector<EntryLine> other;
        bool undone;
        std::vector<EntryLine> after; // the line file afterwards
        int32_t cell;
    };
    const EntryLine a = line(4, "食費", 100, "a"), b = line(4, "食費", 200, "b"),
                    c = line(9, "食費", 5, "c");
    const std::vector<Row> rows = {
        {"the line the step added is gone: refused", {a}, false, {a}, 300},
        {"the lines in another order", {b, a}, true, {a}, 100},
        {"another line before it", {c, a, b}, true, {c, a}, 100},
        {"an equal line elsewhere is the one taken", {c, b, a}, true, {c, a}, 100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder dir;
        writeBytes(dir.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\n"));
        auto open = [&] {
            return startBook(disk, dir.path(), Dec, [](const std::string&) { return true; });
        };
        {
            auto book = open();
            book->addLine(Dec, a);
            book->addLine(Dec, b);
            book->saveMonth();
        }
        writeBytes(dir.file("202612.lin"), formatLineFile(row.other, 2026, 12));
        auto book = open();
        if (row.undone)
            EXPECT_TRUE(book->undo());
        else
            EXPECT_THROW(book->undo(), AppError);
        EXPECT_EQ(loadLineFile(disk, dir.path(), 2026, 12).lines, row.after);
        EXPECT_EQ(book->ledger().Items[1].Days[4].Expense, row.cell);
    }
}

TEST_F(BookLinesTest, ARenameReachesLineFilesInTheSameUndoStep) {
    book->addLine(Nov, line(3, "食費", 100, "a"));
    book->addLine(Dec, line(4, "給与", 200, "b", LineSide::Income));
    const std::string nov = readBytes(dir.file("202611.lin"));
    std::array<std::string, ShownItems> names;
    names[0] = utf8ToCp932("外食");
    const Book::RenamePlan plan = book->planRename(names);
    book->renameItems(plan, utf8ToCp932("kamo1=外食\r\nkamo2=給与\r\n"));
    EXPECT_EQ(filed(Nov)[0].item, utf8ToCp932("外食"));
    EXPECT_EQ(filed(Dec)[0].item, utf8ToCp932("給与"));
    book->addLine(Nov, line(3, "外食", 50, "c"));
    EXPECT_EQ(stored(Nov, 1, 3, Out), 150);
    ASSERT_TRUE(book->undo());
    ASSERT_TRUE(book->undo());
    EXPECT_EQ(readBytes(dir.file("202611.lin")), nov);
    EXPECT_EQ(book->lines(Nov)[0].item, utf8ToCp932("食費"));
}

TEST_F(BookLinesTest, ManyLinesInOneStepAdoptedLinesAndLinesOfAnItemNoLongerNamed) {
    writeBytes(dir.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\nkamo12=雑費\r\n"));
    restart();
    {
        Book::ChangeGroup g(*book, ChangeSource::Imported);
        // Twelve: positions of two digits too.
        for (int i = 1; i <= 12; ++i)
            book->addLine(Dec, line(4, "雑費", i, "x"), ChangeSource::Imported);
        g.commit();
    }
    ASSERT_TRUE(book->undo());
    EXPECT_TRUE(book->lines(Dec).empty());
    ASSERT_TRUE(book->redo()) << "each line found where the step left it";
    EXPECT_EQ(book->lines(Dec).size(), 12u);
    EXPECT_EQ(book->ledger().Items[12].Days[4].Expense, 78);
    // The last item's lines hold its cell as the first's do.
    EXPECT_THROW(book->checkTypedTotal(Dec, 12, 4, Out, 77), AppError);
    EXPECT_NO_THROW(book->checkTypedTotal(Dec, 13, 4, Out, 1)) << "no such item";
    EXPECT_NO_THROW(book->checkTypedTotal(Dec, 0, 4, Out, 1));
    book->changeLine(Dec, 11, line(5, "雑費", 20, "moved"), ChangeSource::Typed);
    EXPECT_EQ(book->ledger().Items[12].Days[4].Expense, 66) << "the old cell gives it back";
    EXPECT_EQ(book->ledger().Items[12].Days[5].Expense, 20);
    ASSERT_TRUE(book->undo());

    // Lines for amounts already in their cells leave the cells alone.
    book->adoptLines(Dec, {line(5, "雑費", 7, "y")}, ChangeSource::Imported);
    EXPECT_EQ(book->lines(Dec).size(), 13u);
    EXPECT_EQ(book->ledger().Items[12].Days[5].Expense, 0);
    EXPECT_EQ(book->undoText(), "12/5 雑費 内訳追加 7 y");
    EXPECT_THROW(book->adoptLines(Dec, {line(5, "給与", 7, "")}, ChangeSource::Imported), AppError);
    EXPECT_THROW(book->adoptLines(Dec, {line(5, "雑費", 0, "")}, ChangeSource::Imported), AppError);
    EXPECT_EQ(book->lines(Dec).size(), 13u);

    // A line of an item renamed by other means can still be changed (its
    // old cell has no item to give back to) and deleted.
    writeBytes(dir.file("202611.lin"), formatLineFile({line(3, "旧名", 100, "")}, 2026, 11));
    book->changeLine(Nov, 0, line(3, "雑費", 40, ""), ChangeSource::Typed);
    EXPECT_EQ(stored(Nov, 12, 3, Out), 40);
    ASSERT_TRUE(book->undo());
    book->removeLine(Nov, 0);
    EXPECT_TRUE(book->lines(Nov).empty());
    EXPECT_TRUE(filed(Nov).empty());
}

TEST_F(BookLinesTest, AScheduledPostingIsALineNamedAfterItsEntry) {
    Schedule schedule;
    ScheduleEntry e;
    e.id = 7;
    e.item = utf8ToCp932("給与");
    e.expense = false;
    e.amount = 250000;
    e.day = 25;
    e.fromYear = 2026;
    e.fromMonth = 12;
    schedule.entries.push_back(e);
    const std::string path = book->sideFile(ScheduleFileName);
    writeScheduleFile(disk, path, schedule);
    BookDoor door(*book, "定期入力");
    std::vector<PostingChoice> choices;
    for (const Occurrence& o : dueOccurrences(schedule, {2026, 12, 31}))
        choices.push_back({o, false, e.amount});
    ASSERT_EQ(postChoices(disk, schedule, path, choices, door).size(), 1u);
    ASSERT_EQ(book->lines(Dec).size(), 1u);
    const EntryLine& l = book->lines(Dec)[0];
    EXPECT_EQ(l.origin, LineOrigin::Scheduled);
    EXPECT_EQ(l.source, "7");
    EXPECT_EQ(l.memo, utf8ToCp932("定期 給与"));
    EXPECT_EQ(l.side, LineSide::Income);
    EXPECT_EQ(book->ledger().Items[2].Days[25].Income, 250000);
}

TEST(LineRecord, RoundTripsThroughTheJournalWithCommasAndQuotes) {
    JournalRecord r;
    r.group = 7;
    r.time = "2026-12-24T10:00:00";
    r.kind = JournalRecord::Kind::Line;
    r.month = {2026, 12};
    r.day = 4;
    r.item = utf8ToCp932("食費");
    r.field = AmountField::Expense;
    r.newText = "0;" + formatLineRecord(line(4, "食費", 1280, "ｽｰﾊﾟｰ, \"特売\"\t"));
    JournalRecord back;
    ASSERT_TRUE(parseRecord(formatRecord(r), back));
    EXPECT_EQ(back.newText, r.newText);
    EXPECT_EQ(back.oldText, "");
    EXPECT_EQ(back.kind, JournalRecord::Kind::Line);
    r.newText.clear();
    EXPECT_FALSE(parseRecord(formatRecord(r), back)) << "a line record names a line";
}

} // namespace
