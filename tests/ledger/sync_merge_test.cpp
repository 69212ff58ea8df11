// Two PCs on one book, each in a folder of its own; what a sync tool would
// do (whole files copied, one side's copy of a file changed on both winning)
// is done here by hand, so the merge rules are tried without one.
#include "ledger/book.h"
#include "ledger/budget_plan.h"
#include "ledger/diary_file.h"
#include "ledger/entry_lines.h"
#include "ledger/errors.h"
#include "ledger/schedule.h"
#include "ledger/sync_files.h"
#include "ledger/sync_merge.h"
#include "storage/disk_store.h"
#include "tests/ledger/two_pcs.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

DiskStore& disk = twopcs::disk();
constexpr AmountField In = AmountField::Income;
constexpr AmountField Out = AmountField::Expense;
constexpr MonthKey Dec{2026, 12};
const std::string Food = "\x90\x48\x94\xef"; // 食費

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> names;
    disk.list(dir, names);
    std::vector<std::string> out;
    for (const std::string& n : names)
        if (!disk.isDirectory(dir + "/" + n)) out.push_back(n);
    return out;
}

// One PC, and the cells of its December as the file holds them.
struct Pc : twopcs::PcBook {
    using PcBook::PcBook;
    int32_t cell(int item, int day, AmountField f) {
        MonthLedger l = book->ledger();
        loadMonthAsEntered(disk, l, dir.path(), Dec);
        const DayCell& c = l.Items[item].Days[day];
        return f == In ? c.Income : c.Expense;
    }
};

using twopcs::syncFolders;
using twopcs::Winner;

void post(Pc& pc, int32_t amount) {
    Schedule s = readScheduleFile(disk, pc.dir.file(ScheduleFileName));
    learnPostings(*pc.book, s);
    BookDoor door(*pc.book, "定期入力");
    std::vector<PostingChoice> choices;
    for (const Occurrence& o : dueOccurrences(s, {2026, 12, 31}))
        choices.push_back({o, false, amount});
    postChoices(disk, s, pc.dir.file(ScheduleFileName), choices, door);
}

// The salary on the 20th, from December 2026.
void writeSalary(Pc& pc) {
    ScheduleEntry e;
    e.id = 1;
    e.item = "\x8b\x8b\x97\x5e";
    e.expense = false;
    e.amount = 300000;
    e.fromYear = 2026;
    e.fromMonth = 12;
    e.day = 20;
    Schedule s;
    s.entries.push_back(e);
    writeScheduleFile(disk, pc.dir.file(ScheduleFileName), s);
}

// A food line of December.
EntryLine food(int day, int32_t amount, const char* memo = "") {
    EntryLine l;
    l.day = day;
    l.side = LineSide::Expense;
    l.item = "\x90\x48\x94\xef";
    l.amount = amount;
    l.memo = memo;
    return l;
}

struct Expect {
    int item, day;
    AmountField field;
    int32_t value;
};

struct Case {
    const char* name;
    // Changes while apart; may sync in between.
    std::function<void(Pc& a, Pc& b)> apart;
    Winner winner;
    bool leaveCopy;
    std::vector<Expect> onA; // December on A after A merged
    std::size_t mended, conflicts, aside;
    std::string diary1; // A's diary of 12/1 afterwards, when not empty
    int lines = -1;     // December's entry lines on A afterwards, when known
    std::size_t notes = 0;
    bool linesFit = true;          // every cell covers its lines afterwards
    std::map<int, int32_t> budget; // 食費's budget on A afterwards, by month of 2026
    std::size_t blind = 0;         // copies set aside without being compared
};

TEST(SyncMerge, ChangesOfTwoPcsAreKeptOnceAndDifferencesAskedOnce) {
    const std::vector<Case> cases = {
        {"different diary days and the incomes of one day",
         [](Pc& a, Pc& b) {
             a.book->setDiary(2026, 12, 1, "a\r\n", ChangeSource::Typed);
             b.book->setDiary(2026, 12, 2, "b\r\n", ChangeSource::Typed);
             a.book->setAmount(Dec, 2, 25, In, 1000, ChangeSource::Typed);
             b.book->setAmount(Dec, 1, 25, In, 7, ChangeSource::Typed);
         },
         Winner::A,
         false,
         {{2, 25, In, 1000}, {1, 25, In, 7}},
         1,
         0,
         0,
         "a\r\n"},
        {"a diary day changed after seeing the other's change is mended",
         [](Pc& a, Pc& b) {
             a.book->setDiary(2026, 12, 1, "a\r\n", ChangeSource::Typed);
             syncFolders(a, b, Winner::A, false);
             b.open().setDiary(2026, 12, 1, "b\r\n", ChangeSource::Typed);
         },
         Winner::A,
         false,
         {},
         1,
         0,
         0,
         "b\r\n"},
        {"diary copies: a text the records left is not asked; a name two days share is not read",
         [](Pc& a, Pc& b) {
             a.book->setDiary(2026, 12, 1, "a\r\n", ChangeSource::Typed);
             syncFolders(a, b, Winner::A, false);
             b.open().setDiary(2026, 12, 1, "b\r\n", ChangeSource::Typed);
             // 12/1 or 1/21 by the old rule: which day it was is not known.
             writeBytes(b.dir.file("2026121.sync-conflict-20261224-100000-ABCDEFG.nik"), "x\r\n");
             // Written by hand alike on both: nothing differs.
             for (Pc* pc : {&a, &b})
                 saveDiaryFile(disk, pc->dir.path(), 2026, 1, 5, "same\r\n");
             writeBytes(b.dir.file("202615.sync-conflict-20261224-100000-ABCDEFG.nik"), "same\r\n");
         },
         Winner::B,
         true,
         {},
         0,
         0,
         3,
         "b\r\n",
         -1,
         0,
         true,
         {},
         1},
        {"a diary day's copy with a text no record explains is asked, the file left",
         [](Pc& a, Pc& b) {
             a.book->setDiary(2026, 12, 1, "a\r\n", ChangeSource::Typed);
             // Written by hand on B: no record has it.
             saveDiaryFile(disk, b.dir.path(), 2026, 12, 1, "hand\r\n");
         },
         Winner::A,
         true,
         {},
         0,
         1,
         1,
         "a\r\n"},
        {"cells of the month before changed on both: the balances carried are no question",
         [](Pc& a, Pc& b) {
             for (Pc* pc : {&a, &b})
                 pc->book->setAmount(Dec, 1, 1, Out, 1, ChangeSource::Typed);
             syncFolders(a, b, Winner::A, false);
             a.open().setAmount({2026, 11}, 1, 5, Out, 100, ChangeSource::Typed);
             b.open().setAmount({2026, 11}, 1, 6, Out, 200, ChangeSource::Typed);
         },
         Winner::B,
         false,
         {{1, 1, Out, 1}},
         1,
         0,
         0,
         ""},
        {"the same value on both sides is one change",
         [](Pc& a, Pc& b) {
             a.book->setAmount(Dec, 1, 3, Out, 500, ChangeSource::Typed);
             b.book->setAmount(Dec, 1, 3, Out, 500, ChangeSource::Typed);
         },
         Winner::B,
         false,
         {{1, 3, Out, 500}},
         0,
         0,
         0,
         ""},
        {"the same cell changed differently is asked, the file left",
         [](Pc& a, Pc& b) {
             a.book->setAmount(Dec, 1, 3, Out, 500, ChangeSource::Typed);
             b.book->setAmount(Dec, 1, 3, Out, 300, ChangeSource::Typed);
         },
         Winner::B,
         false,
         {{1, 3, Out, 300}},
         0,
         1,
         0,
         ""},
        {"a change made after seeing the other's wins without a question",
         [](Pc& a, Pc& b) {
             a.book->setAmount(Dec, 1, 3, Out, 500, ChangeSource::Typed);
             syncFolders(a, b, Winner::A, false);
             b.open().setAmount(Dec, 1, 3, Out, 700, ChangeSource::Typed);
         },
         Winner::A,
         false,
         {{1, 3, Out, 700}},
         1,
         0,
         0,
         ""},
        {"an undo of the other PC's step reaches the other's file",
         [](Pc& a, Pc& b) {
             a.book->setAmount(Dec, 1, 4, Out, 900, ChangeSource::Typed);
             syncFolders(a, b, Winner::A, false);
             Book& bb = b.open();
             ASSERT_TRUE(bb.canUndo());
             ASSERT_TRUE(bb.undo());
         },
         Winner::A,
         false,
         {{1, 4, Out, 0}},
         1,
         0,
         0,
         ""},
        {"different cells: the overwritten one is mended, the copy set aside unasked",
         [](Pc& a, Pc& b) {
             a.book->setAmount(Dec, 1, 5, Out, 100, ChangeSource::Typed);
             b.book->setAmount(Dec, 1, 1, Out, 50, ChangeSource::Typed);
             b.book->setAmount(Dec, 1, 31, Out, 60, ChangeSource::Typed);
         },
         Winner::A,
         true,
         {{1, 5, Out, 100}, {1, 1, Out, 50}, {1, 31, Out, 60}},
         2,
         0,
         1,
         ""},
        {"a conflict copy with a value no record explains is asked",
         [](Pc& a, Pc& b) {
             a.book->setAmount(Dec, 1, 5, Out, 100, ChangeSource::Typed);
             b.book->setAmount(Dec, 1, 5, Out, 100, ChangeSource::Typed);
             // Edited by hand on B: no record has 40 on 12/31.
             MonthLedger l = b.book->month(Dec);
             l.Items[1].Days[31].Expense = 40;
             disk.writeSafely(b.dir.file(monthFileName(2026, 12)), formatMonth(l));
         },
         Winner::A,
         true,
         {{1, 5, Out, 100}, {1, 31, Out, 0}},
         0,
         1,
         1,
         ""},
        {"a posting another PC recorded is not made again",
         [](Pc& a, Pc& b) {
             writeSalary(a);
             writeSalary(b);
             post(a, 300000);
             // A's journal and month came over, its schedule file did not.
             syncFolders(a, b, Winner::A, false, true, false);
             for (const std::string& n : {monthFileName(2026, 12), lineFileName(2026, 12)})
                 writeBytes(b.dir.file(n), readBytes(a.dir.file(n)));
             b.open();
             post(b, 300000);
         },
         Winner::B,
         false,
         {{2, 20, In, 300000}},
         0,
         0,
         0,
         "",
         1},
        {"a scheduled posting made twice is taken back once",
         [](Pc& a, Pc& b) {
             writeSalary(a);
             writeSalary(b);
             post(a, 300000);
             // The month came over, A's journal and schedule did not yet.
             for (const std::string& n : {monthFileName(2026, 12), lineFileName(2026, 12)})
                 writeBytes(b.dir.file(n), readBytes(a.dir.file(n)));
             b.open();
             post(b, 300000);
         },
         Winner::B,
         false,
         {{2, 20, In, 300000}},
         1,
         0,
         0,
         "",
         1,
         1},
        {"budget months set on both sides: both kept; a month set differently stays and is told",
         [](Pc& a, Pc& b) {
             for (auto [pc, only, both] : {std::tuple{&a, 7, 1000}, std::tuple{&b, 8, 2000}}) {
                 BudgetPlan plan;
                 plan.set(Food, 2026, only, {true, only * 1000});
                 plan.set(Food, 2026, 12, {true, both});
                 writeBudgetFile(disk, pc->dir.path(), plan);
             }
         },
         Winner::B,
         true,
         {},
         1,
         0,
         1,
         "",
         -1,
         1,
         true,
         {{7, 7000}, {8, 8000}, {12, 2000}}},
        {"lines added to one cell on both PCs are two lines, the cell their sum",
         [](Pc& a, Pc& b) {
             a.book->addLine(Dec, food(3, 100, "a"));
             b.book->addLine(Dec, food(3, 200, "b"));
         },
         Winner::B,
         false,
         {{1, 3, Out, 300}},
         1,
         0,
         0,
         "",
         2},
        {"the same line added on both PCs is two lines",
         [](Pc& a, Pc& b) {
             a.book->addLine(Dec, food(3, 100));
             b.book->addLine(Dec, food(3, 100));
         },
         Winner::A,
         false,
         {{1, 3, Out, 200}},
         1,
         0,
         0,
         "",
         2},
        {"lines of other cells lost with the line file come back, their month's copy unasked",
         [](Pc& a, Pc& b) {
             a.book->addLine(Dec, food(4, 100));
             a.book->addLine(Dec, food(6, 70));
             b.book->addLine(Dec, food(5, 50));
         },
         Winner::B,
         true,
         {{1, 4, Out, 100}, {1, 5, Out, 50}, {1, 6, Out, 70}},
         2,
         0,
         2,
         "",
         3,
         0,
         true,
         {},
         1},
        {"a line deleted after seeing it goes from the other's copy",
         [](Pc& a, Pc& b) {
             a.book->addLine(Dec, food(3, 100));
             a.book->addLine(Dec, food(3, 40));
             syncFolders(a, b, Winner::A, false);
             b.open().removeLine(Dec, 0);
         },
         Winner::A,
         false,
         {{1, 3, Out, 40}},
         1,
         0,
         0,
         "",
         1},
        {"a line changed and moved after seeing it is so in the other's copy",
         [](Pc& a, Pc& b) {
             a.book->addLine(Dec, food(3, 100));
             syncFolders(a, b, Winner::A, false);
             b.open().changeLine(Dec, 0, food(8, 150, "x"));
         },
         Winner::A,
         false,
         {{1, 3, Out, 0}, {1, 8, Out, 150}},
         1,
         0,
         0,
         "",
         1},
        {"one line changed differently on both sides is asked, no sum, the file left",
         [](Pc& a, Pc& b) {
             a.book->addLine(Dec, food(3, 100));
             syncFolders(a, b, Winner::A, false);
             b.open().changeLine(Dec, 0, food(3, 150));
             a.open().changeLine(Dec, 0, food(3, 170));
         },
         Winner::B,
         false,
         {{1, 3, Out, 150}},
         0,
         1,
         0,
         "",
         1},
        {"two equal lines, each changed on one PC, are two changes",
         [](Pc& a, Pc& b) {
             a.book->addLine(Dec, food(3, 100));
             a.book->addLine(Dec, food(3, 100));
             syncFolders(a, b, Winner::A, false);
             b.open().changeLine(Dec, 0, food(3, 150));
             a.open().changeLine(Dec, 1, food(3, 170));
         },
         Winner::B,
         false,
         {{1, 3, Out, 320}},
         1,
         0,
         0,
         "",
         2},
        {"one line changed the same way on both sides is one change",
         [](Pc& a, Pc& b) {
             a.book->addLine(Dec, food(3, 100));
             syncFolders(a, b, Winner::A, false);
             b.open().changeLine(Dec, 0, food(3, 150));
             a.open().changeLine(Dec, 0, food(3, 150));
         },
         Winner::B,
         false,
         {{1, 3, Out, 150}},
         0,
         0,
         0,
         "",
         1},
        {"a typed amount and a line added to its cell on the other PC are asked, the file left",
         [](Pc& a, Pc& b) {
             a.book->setAmount(Dec, 1, 3, Out, 500, ChangeSource::Typed);
             b.book->addLine(Dec, food(3, 200));
         },
         Winner::B,
         false,
         {{1, 3, Out, 200}},
         0,
         1,
         0,
         "",
         1},
        {"an amount typed after the other PC's line, apart, whose file won: asked, the line kept",
         [](Pc& a, Pc& b) {
             b.book->addLine(Dec, food(3, 200));
             a.book->setAmount(Dec, 1, 3, Out, 500, ChangeSource::Typed);
         },
         Winner::A,
         false,
         {{1, 3, Out, 500}},
         0,
         1,
         0,
         "",
         1},
        {"an amount typed after seeing the other's line is no question",
         [](Pc& a, Pc& b) {
             b.book->addLine(Dec, food(3, 200));
             syncFolders(a, b, Winner::B, false);
             a.open().setAmount(Dec, 1, 3, Out, 500, ChangeSource::Typed);
         },
         Winner::B,
         false,
         {{1, 3, Out, 500}},
         1,
         0,
         0,
         "",
         1},
        {"a line no record explains is left alone",
         [](Pc& a, Pc& b) {
             a.book->addLine(Dec, food(3, 100));
             b.book->setAmount(Dec, 1, 20, Out, 5, ChangeSource::Typed);
             // Written by hand on B, and never recorded.
             MonthLineFile file = loadLineFile(disk, b.dir.path(), 2026, 12);
             saveLineFile(disk, file, b.dir.path(), {food(9, 30, "hand")}, true);
         },
         Winner::B,
         false,
         {{1, 3, Out, 100}, {1, 9, Out, 0}, {1, 20, Out, 5}},
         1,
         0,
         0,
         "",
         2,
         0,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int tick = 0;
        Pc a("pc-a", &tick), b("pc-b", &tick);
        a.open();
        b.open();
        c.apart(a, b);
        syncFolders(a, b, c.winner, c.leaveCopy);
        Book& book = a.open();
        // A book opened read-only is never written, so it merges nothing.
        book.setReadOnly(true);
        EXPECT_TRUE(syncBook(book).lines().empty());
        book.setReadOnly(false);
        const SyncReport r = syncBook(book);
        for (const Expect& e : c.onA)
            EXPECT_EQ(a.cell(e.item, e.day, e.field), e.value) << e.item << "/" << e.day;
        EXPECT_EQ(r.mended.size(), c.mended);
        EXPECT_EQ(r.conflicts.size(), c.conflicts);
        EXPECT_EQ(r.setAside.size(), c.aside);
        EXPECT_EQ(std::count_if(r.setAside.begin(), r.setAside.end(),
                                [](const std::string& l) {
                                    return l.find("比べていません") != std::string::npos;
                                }),
                  static_cast<std::ptrdiff_t>(c.blind));
        EXPECT_EQ(r.notes.size(), c.notes);
        EXPECT_EQ(syncConflicts(book).size(), c.conflicts);
        if (c.lines >= 0) EXPECT_EQ(book.lines(Dec).size(), static_cast<std::size_t>(c.lines));
        const BudgetPlan plan = readBudgetFile(disk, a.dir.path()).plan;
        for (const auto& [month, amount] : c.budget) {
            const auto entry = plan.at(Food, 2026, month);
            EXPECT_EQ(entry ? entry->amount : -1, amount) << month;
        }
        if (c.linesFit) EXPECT_TRUE(lineMismatches(book.lines(Dec), book.month(Dec)).empty());
        if (!c.diary1.empty()) {
            std::string bytes;
            readDiaryFile(disk, a.dir.path(), 2026, 12, 1, bytes);
            EXPECT_EQ(bytes, c.diary1);
        }
        // Nothing left behind: a second merge finds nothing new, and the
        // copies are kept, not deleted.
        const SyncReport again = syncBook(a.open());
        EXPECT_TRUE(again.mended.empty());
        EXPECT_EQ(again.conflicts.size(), c.conflicts);
        EXPECT_EQ(filesIn(a.dir.file(ConflictFolderName)).size(), c.aside);
        // A's merged files reach B, whose merge finds nothing more to do.
        syncFolders(a, b, Winner::A, false);
        const SyncReport onB = syncBook(b.open());
        EXPECT_TRUE(onB.mended.empty()) << (onB.mended.empty() ? "" : onB.mended[0]);
        EXPECT_EQ(onB.conflicts.size(), c.conflicts);
        EXPECT_EQ(b.book->lines(Dec), a.open().lines(Dec));
    }
}

} // namespace

namespace {} // namespace

namespace {

// A conflict settled on one PC is asked on neither again, and the value
// chosen reaches the other PC's files at its next merge. B's side is a typed
// amount, or a line of 300 added to the cell; a line stays whatever is kept,
// so a kept value below it is refused.
TEST(SyncMerge, ASettledConflictIsAskedOnce) {
    struct Row {
        SyncChoice choice;
        bool line;
        int32_t first; // A's typed value
        int32_t value; // the cell on both PCs afterwards; -1: refused, asked again
    };
    for (const Row& row : std::vector<Row>{{SyncChoice::KeepFirst, false, 1500, 1500},
                                           {SyncChoice::KeepSecond, false, 1500, 1300},
                                           {SyncChoice::Sum, false, 1500, 1800},
                                           {SyncChoice::KeepFirst, true, 1500, 1500},
                                           {SyncChoice::KeepSecond, true, 1500, 1300},
                                           {SyncChoice::Sum, true, 1500, 1800},
                                           {SyncChoice::KeepFirst, true, 200, -1}}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(row.choice)) + (row.line ? " line" : ""));
        int tick = 0;
        Pc a("pc-a", &tick), b("pc-b", &tick);
        a.open().setAmount(Dec, 1, 9, Out, 1000, ChangeSource::Typed);
        syncFolders(a, b, Winner::A, false);
        b.open();
        a.book->setAmount(Dec, 1, 9, Out, row.first, ChangeSource::Typed);
        if (row.line)
            b.book->addLine(Dec, food(9, 300));
        else
            b.book->setAmount(Dec, 1, 9, Out, 1300, ChangeSource::Typed);
        syncFolders(a, b, Winner::A, false);
        std::vector<SyncConflict> open = syncConflicts(b.open());
        ASSERT_EQ(open.size(), 1u);
        EXPECT_EQ(open[0].first.pc, "pc-a");
        EXPECT_EQ(open[0].second.pc, "pc-b");
        EXPECT_EQ(open[0].second.shown, row.line ? "1,300 (\xe5\x86\x85\xe8\xa8\xb3)" : "1,300");
        EXPECT_EQ(open[0].start, "1,000");
        EXPECT_EQ(open[0].unit, "2026/12/9 \xe9\xa3\x9f\xe8\xb2\xbb \xe6\x94\xaf\xe5\x87\xba");
        if (row.value < 0) {
            EXPECT_THROW(settleConflict(*b.book, open[0], row.choice), AppError);
            EXPECT_EQ(syncConflicts(*b.book).size(), 1u);
            continue;
        }
        settleConflict(*b.book, open[0], row.choice);
        EXPECT_EQ(b.cell(1, 9, Out), row.value);
        EXPECT_TRUE(syncConflicts(*b.book).empty());
        syncFolders(a, b, Winner::A, false);
        const SyncReport r = syncBook(a.open());
        EXPECT_TRUE(r.conflicts.empty());
        EXPECT_EQ(a.cell(1, 9, Out), row.value);
        EXPECT_EQ(a.book->lines(Dec).size(), row.line ? 1u : 0u);
    }
}

// A line changed differently on two PCs: the side kept is the line on both
// PCs, its cell with it, and neither asks again; lines have no sum.
TEST(SyncMerge, ASettledLineConflictKeepsOneSide) {
    struct Row {
        SyncChoice choice;
        bool settles;
        int32_t value; // the cell on both PCs afterwards
        const char* memo;
    };
    for (const Row& row : std::vector<Row>{{SyncChoice::KeepFirst, true, 170, "a"},
                                           {SyncChoice::KeepSecond, true, 150, "b"},
                                           {SyncChoice::Sum, false, 150, "b"}}) {
        SCOPED_TRACE(static_cast<int>(row.choice));
        int tick = 0;
        Pc a("pc-a", &tick), b("pc-b", &tick);
        a.open().addLine(Dec, food(3, 100));
        syncFolders(a, b, Winner::A, false);
        b.open();
        a.book->changeLine(Dec, 0, food(3, 170, "a"));
        b.book->changeLine(Dec, 0, food(3, 150, "b"));
        syncFolders(a, b, Winner::B, false);
        std::vector<SyncConflict> open = syncConflicts(b.open());
        ASSERT_EQ(open.size(), 1u);
        EXPECT_EQ(open[0].first.pc, "pc-a");
        EXPECT_EQ(open[0].second.shown, "150 b");
        EXPECT_EQ(open[0].start, "100");
        EXPECT_FALSE(open[0].canSum);
        if (row.settles)
            settleConflict(*b.book, open[0], row.choice);
        else
            EXPECT_THROW(settleConflict(*b.book, open[0], row.choice), AppError);
        EXPECT_EQ(syncConflicts(*b.book).size(), row.settles ? 0u : 1u);
        // The settling PC shows the kept side at once, before any merge.
        EXPECT_EQ(b.book->lines(Dec).at(0).memo, row.memo);
        syncFolders(a, b, Winner::A, false);
        const SyncReport r = syncBook(a.open());
        EXPECT_EQ(r.conflicts.size(), row.settles ? 0u : 1u);
        syncFolders(a, b, Winner::A, false);
        for (Pc* pc : {&a, &b}) {
            Book& book = pc->open();
            EXPECT_TRUE(syncBook(book).mended.empty()) << pc->name;
            EXPECT_EQ(pc->cell(1, 3, Out), row.value) << pc->name;
            ASSERT_EQ(book.lines(Dec).size(), 1u) << pc->name;
            EXPECT_EQ(book.lines(Dec)[0].memo, row.memo) << pc->name;
        }
    }
}

} // namespace

namespace {

// Undo and redo see every PC's steps: a marker names the step it takes back
// by its PC, and reads the same on every PC and after a restart.
TEST(SyncMerge, UndoAndRedoListsAgreeAcrossPcsAndRestarts) {
    struct Row {
        const char* name;
        bool alone; // A only, with no PC name: the one ZADUD.JNL
        std::function<void(Pc& a, Pc& b)> steps;
        std::vector<std::pair<std::string, uint64_t>> undoable, redoable; // on A, by PC and number
    };
    auto set = [](Pc& pc, int day, int32_t v) {
        pc.book->setAmount(Dec, 1, day, Out, v, ChangeSource::Typed);
    };
    const std::vector<Row> rows = {
        {"one PC undoes its own step",
         true,
         [&](Pc& a, Pc&) {
             set(a, 10, 10);
             set(a, 11, 11);
             ASSERT_TRUE(a.book->undo());
         },
         {{"", 1}},
         {{"", 2}}},
        {"A undoes its own step",
         false,
         [&](Pc& a, Pc&) {
             set(a, 10, 10);
             set(a, 11, 11);
             ASSERT_TRUE(a.book->undo());
         },
         {{"pc-a", 1}},
         {{"pc-a", 2}}},
        {"B undoes its own step",
         false,
         [&](Pc& a, Pc& b) {
             set(a, 10, 10);
             set(b, 11, 11);
             ASSERT_TRUE(b.book->undo());
         },
         {{"pc-a", 1}},
         {{"pc-b", 1}}},
        {"A undoes B's step",
         false,
         [&](Pc& a, Pc& b) {
             set(a, 10, 10);
             set(b, 11, 11);
             syncFolders(a, b, Winner::B, false);
             ASSERT_TRUE(a.open().undo());
         },
         {{"pc-a", 1}},
         {{"pc-b", 1}}},
        {"B undoes A's step",
         false,
         [&](Pc& a, Pc& b) {
             set(a, 10, 10);
             syncFolders(a, b, Winner::A, false);
             ASSERT_TRUE(b.open().undo());
         },
         {},
         {{"pc-a", 1}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int tick = 0;
        Pc a(row.alone ? "" : "pc-a", &tick), b("pc-b", &tick);
        a.open();
        b.open();
        row.steps(a, b);
        if (!row.alone) syncFolders(a, b, Winner::A, false);
        const ChangeJournal& j = a.open().journal();
        auto ids = [&](const std::vector<std::pair<std::string, uint64_t>>& steps) {
            std::vector<uint64_t> out;
            for (const auto& [pc, n] : steps)
                out.push_back(j.stepOf(pc, n));
            return out;
        };
        EXPECT_EQ(j.undoable(), ids(row.undoable));
        EXPECT_EQ(j.redoable(), ids(row.redoable));
    }
}

} // namespace

namespace {

// A sum that does not fit an amount is refused, and the cell kept.
TEST(SyncMerge, ASumTooLargeIsRefused) {
    int tick = 0;
    Pc a("pc-a", &tick);
    a.open();
    SyncConflict c;
    c.month = Dec;
    c.day = 9;
    c.item = "\x90\x48\x94\xef";
    c.field = Out;
    c.canSum = true;
    c.startValue = "0";
    c.first.amount = 2000000000;
    c.second.amount = 2000000000;
    EXPECT_THROW(settleConflict(*a.book, c, SyncChoice::Sum), AppError);
    c.second.amount = -2000000000;
    EXPECT_NO_THROW(settleConflict(*a.book, c, SyncChoice::Sum));
    EXPECT_EQ(a.cell(1, 9, Out), 0);
}

// A book's one journal from before becomes the first named PC's, with its
// history: what it did can still be undone.
TEST(SyncFiles, TheOldJournalIsTakenOverWithItsHistory) {
    int tick = 0;
    Pc a("", &tick);
    a.open().setAmount(Dec, 1, 3, Out, 700, ChangeSource::Typed);
    ASSERT_TRUE(fileExists(a.dir.file(JournalFileName)));
    a.name = "pc-a";
    Book& book = a.open();
    EXPECT_FALSE(fileExists(a.dir.file(JournalFileName)));
    EXPECT_FALSE(fileExists(a.dir.file(StepFileName)));
    EXPECT_TRUE(fileExists(a.dir.file("ZADUD-pc-a.JNL")));
    EXPECT_TRUE(fileExists(a.dir.file("ZADUD-pc-a.SEQ")));
    ASSERT_TRUE(book.canUndo());
    ASSERT_TRUE(book.undo());
    EXPECT_EQ(a.cell(1, 3, Out), 0);
    // The next step is numbered after the old step file's reservation
    // (numbers go in blocks of 64), never again one the old journal used.
    book.setAmount(Dec, 1, 4, Out, 1, ChangeSource::Typed);
    EXPECT_GT(book.journal().lastGroup(), 64u);
}

} // namespace

namespace {

// A diary day is settled by keeping one side; it has no sum.
TEST(SyncMerge, ADiaryConflictKeepsTheChosenSide) {
    struct Row {
        SyncChoice choice;
        const char* kept; // nullptr: refused
    };
    for (const Row& row : std::vector<Row>{{SyncChoice::KeepFirst, "a\r\n"},
                                           {SyncChoice::KeepSecond, "b\r\n"},
                                           {SyncChoice::Sum, nullptr}}) {
        int tick = 0;
        Pc a("pc-a", &tick);
        a.open();
        SyncConflict c;
        c.kind = JournalRecord::Kind::Diary;
        c.month = Dec;
        c.day = 1;
        c.first.value = "a\r\n";
        c.second.value = "b\r\n";
        std::string bytes;
        if (!row.kept) {
            EXPECT_THROW(settleConflict(*a.book, c, row.choice), AppError);
            EXPECT_FALSE(readDiaryFile(disk, a.dir.path(), 2026, 12, 1, bytes));
            continue;
        }
        settleConflict(*a.book, c, row.choice);
        ASSERT_TRUE(readDiaryFile(disk, a.dir.path(), 2026, 12, 1, bytes));
        EXPECT_EQ(bytes, row.kept);
    }
}

} // namespace
