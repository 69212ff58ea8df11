// Renaming an item reaches every month file as one undo step.
#include "ledger/book.h"
#include "ledger/budget_plan.h"
#include "ledger/config_file.h"
#include "ledger/cp932.h"
#include "ledger/item_rename.h"
#include "ledger/schedule.h"
#include "storage/disk_store.h"
#include "tests/ledger/book_start.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

constexpr AmountField In = AmountField::Income;
constexpr AmountField Out = AmountField::Expense;

std::string sj(const char* utf8) {
    return utf8ToCp932(utf8);
}

// 食費 and 雑費 over September to November 2026, the book showing November.
struct RenameTest : ::testing::Test {
    TempFolder dir;
    std::unique_ptr<Book> book;
    int asked = 0;
    const std::vector<MonthKey> months{{2026, 9}, {2026, 10}, {2026, 11}};

    void SetUp() override {
        writeBytes(dir.file("ZADUD.CFG"), sj("kamo1=食費\r\nkamo2=雑費\r\n"));
        restart({2026, 9});
        int n = 0;
        for (const MonthKey& m : months) {
            book->moveTo(m);
            book->setAmount(m, 1, 1, In, 100000, ChangeSource::Typed);
            book->setAmount(m, 2, 12, Out, 45300 + ++n, ChangeSource::Typed);
        }
        book->saveMonth();
    }
    void restart(MonthKey shown) {
        book = startBook(disk, dir.path(), shown,
                         [this](const std::string&) { return ++asked, true; });
    }
    std::map<std::string, std::string> files() {
        std::map<std::string, std::string> out{{"ZADUD.CFG", readBytes(dir.file("ZADUD.CFG"))},
                                               {"ZADUD.BGT", readBytes(dir.file("ZADUD.BGT"))},
                                               {"TEIKI.TXT", readBytes(dir.file("TEIKI.TXT"))}};
        for (const MonthKey& m : months) {
            const std::string name = monthFileName(m.year, m.month);
            out[name] = readBytes(dir.file(name));
        }
        return out;
    }
    // The closing balance of every month, per item slot.
    std::vector<int32_t> balances() {
        std::vector<int32_t> out;
        for (const MonthKey& m : months) {
            const StoredMonth s =
                readStoredMonth(disk, book->ledger(), dir.path(), m.year, m.month);
            for (int i = 1; i <= 2; ++i)
                out.push_back(s.closing[i]);
        }
        return out;
    }
    void rename(const char* first, const char* second) {
        const std::array<std::string, ShownItems> names{sj(first), sj(second)};
        const Book::RenamePlan plan = book->planRename(names);
        ConfigValues values;
        values.ledgerDir = values.diaryDir = dir.path();
        values.names = names;
        book->renameItems(plan, formatConfig(values));
    }
};

TEST_F(RenameTest, ARenameReachesEveryMonthAndOneUndoGivesBackEveryByte) {
    BudgetPlan budget;
    budget.set(sj("雑費"), 2026, 9, BudgetEntry{true, 50000, false, false});
    writeBudgetFile(disk, dir.path(), budget);
    Schedule schedule; // a monthly fee of 雑費, posted once
    ScheduleEntry fee;
    fee.id = 1;
    fee.item = sj("雑費");
    fee.amount = 980;
    fee.fromYear = 2026;
    fee.fromMonth = 9;
    schedule.entries.push_back(fee);
    schedule.records.push_back(
        {1, 0, PostingState::Done, {2026, 9, 1}, true, 980, 0, 980, sj("雑費")});
    writeScheduleFile(disk, dir.file(ScheduleFileName), schedule);
    const auto before = files();
    const auto balancesBefore = balances();
    const std::array<std::string, ShownItems> names{sj("食費"), sj("税金")};
    const Book::RenamePlan plan = book->planRename(names);
    EXPECT_EQ(plan.months.size(), 3u);
    EXPECT_TRUE(plan.merged.empty());
    rename("食費", "税金");
    EXPECT_EQ(book->ledger().Items[2].Name, sj("税金"));
    EXPECT_EQ(book->ledger().Items[2].Days[12].Expense, 45303) << "the month shown follows";
    EXPECT_EQ(balances(), balancesBefore) << "no amount leaves the balances";
    EXPECT_EQ(book->amount({2026, 9}, 2, 12, Out), 45301);
    EXPECT_EQ(readBytes(dir.file("202610.txt")).find(sj("雑費")), std::string::npos);
    EXPECT_EQ(readBudgetFile(disk, dir.path()).plan.at(sj("税金"), 2026, 11)->amount, 50000)
        << "the budget follows its item";
    const Schedule followed = readScheduleFile(disk, dir.file(ScheduleFileName));
    EXPECT_EQ(followed.entries.at(0).item, sj("税金")) << "so does the scheduled entry";
    EXPECT_EQ(followed.records.at(0).item, sj("税金"));
    EXPECT_EQ(book->undoText(), "名前変更 6件");
    std::set<std::string> named; // what the history window lists for the step
    for (const Book::HistoryRow& row : book->history())
        if (row.source == "名前変更") named.insert(row.change);
    EXPECT_EQ(named, (std::set<std::string>{"2026年9月", "2026年10月", "2026年11月", "ZADUD.BGT",
                                            "TEIKI.TXT", "ZADUD.CFG"}));

    restart({2026, 11});
    ASSERT_TRUE(book->undo());
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(files(), before);
    EXPECT_EQ(book->ledger().Items[2].Name, sj("雑費"));
    EXPECT_EQ(book->ledger().Items[2].Days[12].Expense, 45303);
    ASSERT_TRUE(book->redo());
    EXPECT_EQ(book->ledger().Items[2].Name, sj("税金"));
    EXPECT_EQ(balances(), balancesBefore);

    // A swap of two names is one rename, not a merge: the amounts stay
    // with their items.
    EXPECT_TRUE(book->planRename({sj("税金"), sj("食費")}).merged.empty());
    rename("税金", "食費");
    EXPECT_EQ(book->amount({2026, 10}, 1, 1, In), 100000);
    EXPECT_EQ(book->amount({2026, 10}, 2, 12, Out), 45302);
    EXPECT_EQ(balances(), balancesBefore);
}

TEST_F(RenameTest, ANameAMonthHoldsAlreadyIsAMergeTheUndoTakesBack) {
    // October still holds lines of 交際費, an item renamed long ago.
    std::string october = readBytes(dir.file("202610.txt"));
    std::string line = sj("交際費") + ",1";
    for (int d = 1; d <= 31; ++d)
        line += d == 12 ? ",00000700" : ",00000000";
    line += ",00000700,\r\n";
    october += sj("交際費") + ",0";
    for (int d = 1; d <= 32; ++d)
        october += ",00000000";
    october += ",\r\n" + line;
    writeBytes(dir.file("202610.txt"), october);
    const auto before = files();
    const Book::RenamePlan plan = book->planRename({sj("食費"), sj("交際費")});
    ASSERT_EQ(plan.merged.size(), 1u);
    EXPECT_EQ(plan.merged[0], (MonthKey{2026, 10}));
    rename("食費", "交際費");
    std::set<std::string> named; // no budget file here: the months and ZADUD.CFG
    for (const Book::HistoryRow& row : book->history())
        if (row.source == "名前変更") named.insert(row.change);
    EXPECT_EQ(named, (std::set<std::string>{"2026年9月", "2026年10月", "2026年11月", "ZADUD.CFG"}));
    EXPECT_EQ(book->amount({2026, 10}, 2, 12, Out), 45302 + 700) << "summed, not lost";
    EXPECT_EQ(book->amount({2026, 11}, 2, 0, In), -45301 - 45302 - 700)
        << "November brings in both";
    ASSERT_TRUE(book->undo());
    EXPECT_EQ(files(), before);
}

TEST(RenameLines, OnlyTheNamedLinesChangeAndRepeatedLinesAreSummed) {
    struct Case {
        std::string in, out;
        bool merged;
    } cases[] = {
        {"a,0,1,2,\r\nb,0,3,4,\r\n", "c,0,1,2,\r\nb,0,3,4,\r\n", false},
        {"a,0,1,2,\r\nc,0,3,4,\r\nc,1,5,6,\r\n", "c,0,00000004,00000006,\r\nc,1,5,6,\r\n", true},
        {"b,0,1,2,\r\na,1,1,1,", "b,0,1,2,\r\nc,1,1,1,", false},
        {"a,0,1,2,\r\n\x1a"
         "a,junk",
         "c,0,1,2,\r\n\x1a"
         "a,junk",
         false},
        {"xa,0,1,\r\na\r\n", "xa,0,1,\r\na\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        bool merged = !c.merged;
        EXPECT_EQ(renameLines(c.in, {{"a", "c"}}, &merged), c.out);
        EXPECT_EQ(merged, c.merged);
    }
    EXPECT_TRUE(holdsName("x,0,\r\nab,1,\r\n", "ab"));
    EXPECT_FALSE(holdsName("x,0,\r\nab\r\n", "ab"));
    EXPECT_THROW(renameLines("a,0,2147483647,\r\nc,0,1,\r\n", {{"a", "c"}}), AppError);
}

TEST(ConfigComma, ANameWithACommaIsRefusedWhereItIsRead) {
    TempFolder dir;
    writeBytes(dir.file("ZADUD.CFG"), "kamo1=a\r\nkamo2=b,c\r\nkamo3=d\r\n");
    MonthLedger l;
    std::string ledgerDir, diaryDir;
    EXPECT_THROW(readConfig(disk, dir.path(), l, ledgerDir, diaryDir, isDirectory, isDirectory),
                 AppError);
    EXPECT_EQ(l.Items[1].Name, "a");
    EXPECT_EQ(l.Items[2].Name, "") << "never written under a name it cannot read back";
    EXPECT_EQ(l.Items[3].Name, "d");
}

} // namespace
