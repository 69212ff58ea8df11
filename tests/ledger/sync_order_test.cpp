// The order in which the steps of several PCs are read when their times
// fall in the same second: a change made from the value another PC's step
// left comes after that step, whatever the PCs' names say.
#include "ledger/book.h"
#include "ledger/change_journal.h"
#include "ledger/sync_merge.h"
#include "ledger/sync_order.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

DiskStore disk;
constexpr MonthKey Dec{2026, 12};

// One record of a step, as a PC wrote it.
struct Step {
    const char* pc;
    const char* time;
    JournalRecord::Kind kind;
    int day;
    int32_t from, to; // amounts
    const char* fromText;
    const char* toText; // diary bytes
};

JournalRecord record(const Step& s, uint64_t group) {
    JournalRecord r;
    r.group = group;
    r.time = s.time;
    r.kind = s.kind;
    r.month = Dec;
    r.day = s.day;
    if (s.kind == JournalRecord::Kind::Amount) r.item = "food";
    r.field = AmountField::Expense;
    r.oldValue = s.from;
    r.newValue = s.to;
    r.oldText = s.fromText;
    r.newText = s.toText;
    return r;
}

// "pc from->to" for each step in the order the journal reads them.
std::vector<std::string> readOrder(const std::vector<Step>& steps) {
    TempFolder dir;
    std::string own, peer;
    uint64_t ownGroup = 0, peerGroup = 0;
    for (const Step& s : steps) {
        const bool mine = std::string(s.pc) == "a";
        (mine ? own : peer) += formatRecord(record(s, mine ? ++ownGroup : ++peerGroup)) + "\r\n";
    }
    writeBytes(dir.file("ZADUD-a.JNL"), own);
    writeBytes(dir.file("ZADUD-z.JNL"), peer);
    ChangeJournal journal(disk);
    journal.setPeers("a", {{"z", dir.file("ZADUD-z.JNL")}});
    journal.open(dir.file("ZADUD-a.JNL"), true);
    std::vector<std::string> out;
    for (const uint64_t id : journal.order()) {
        const JournalRecord& r = journal.step(id)->records.front();
        const bool amount = r.kind == JournalRecord::Kind::Amount;
        out.push_back(journal.stepPc(id) + " " + (amount ? std::to_string(r.oldValue) : r.oldText) +
                      "->" + (amount ? std::to_string(r.newValue) : r.newText));
    }
    return out;
}

TEST(SyncOrder, StepsOfTheSameSecondFollowWhatTheyChanged) {
    constexpr auto A = JournalRecord::Kind::Amount, D = JournalRecord::Kind::Diary;
    const char* T = "2026-12-24T10:00:00";
    const char* Later = "2026-12-24T10:00:01";
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> order;
    } cases[] = {
        {"z changed first, a went on from its value",
         {{"z", T, A, 24, 0, 100, "", ""}, {"a", T, A, 24, 100, 200, "", ""}},
         {"z 0->100", "a 100->200"}},
        {"other cells: by name",
         {{"z", T, A, 24, 0, 100, "", ""}, {"a", T, A, 25, 0, 50, "", ""}},
         {"a 0->50", "z 0->100"}},
        {"a later second comes later, whatever it started from",
         {{"z", Later, A, 24, 0, 100, "", ""}, {"a", T, A, 24, 100, 200, "", ""}},
         {"a 100->200", "z 0->100"}},
        {"a diary day",
         {{"z", T, D, 24, 0, 0, "", "rain"}, {"a", T, D, 24, 0, 0, "rain", "rain, then sun"}},
         {"z ->rain", "a rain->rain, then sun"}},
        {"a went on from z's second step of the second",
         {{"z", T, A, 25, 0, 50, "", ""},
          {"z", T, A, 24, 0, 100, "", ""},
          {"a", T, A, 24, 100, 200, "", ""}},
         {"z 0->50", "z 0->100", "a 100->200"}},
        {"a chain of three, the middle one on the other PC",
         {{"a", T, A, 24, 0, 100, "", ""},
          {"z", T, A, 24, 100, 200, "", ""},
          {"a", T, A, 24, 200, 300, "", ""}},
         {"a 0->100", "z 100->200", "a 200->300"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readOrder(c.steps), c.order) << c.name;
}

TEST(SyncOrder, OfStepsInOneSecondTheFirstFollowsNoOther) {
    // Each step one change of one cell of December, or of a diary day.
    struct Change {
        int32_t from, to;
        bool diary = false;
        int month = 12;
    };
    const struct {
        std::vector<std::vector<Change>> runs; // each PC's steps, by PC name
        std::size_t first;
    } cases[] = {
        {{{{0, 100}}, {{100, 200}}}, 0},
        {{{{100, 200}}, {{0, 100}}}, 1},
        {{{{200, 300}}, {{100, 200}}, {{0, 100}}}, 2},
        {{{{100, 200}}, {{200, 300}}, {{0, 100}}}, 2},
        {{{{0, 100}}, {{100, 0}}}, 0},              // each undoes the other
        {{{{100, 200}}, {{0, 100, true}}}, 0},      // a diary day is another unit
        {{{{100, 200, false, 11}}, {{0, 100}}}, 0}, // so is another month
        {{{{5, 6}}, {{5, 5}}}, 0},                  // the second changed nothing
        // The change the first PC went on from is the other's second step.
        {{{{100, 200}}, {{0, 50, false, 11}, {0, 100}}}, 1},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::vector<std::vector<std::vector<JournalRecord>>> steps;
        for (const std::vector<Change>& run : c.runs) {
            steps.emplace_back();
            for (const Change& ch : run) {
                const auto kind =
                    ch.diary ? JournalRecord::Kind::Diary : JournalRecord::Kind::Amount;
                const std::string from = std::to_string(ch.from), to = std::to_string(ch.to);
                JournalRecord r =
                    record({"", "", kind, 24, ch.from, ch.to, from.c_str(), to.c_str()}, 1);
                r.month.month = ch.month;
                steps.back().push_back({r});
            }
        }
        std::vector<StepRun> runs;
        for (const auto& run : steps) {
            runs.emplace_back();
            for (const auto& step : run)
                runs.back().push_back(&step);
        }
        EXPECT_EQ(firstOfSameSecond(runs), c.first) << "case " << n++;
    }
}

// Two PCs in one folder (the sync tool has delivered everything): "z"
// changes a cell, "a" changes it again in the same second.
TEST(SyncOrder, AChangeOnTopOfAnotherPcsStaysInTheFile) {
    TempFolder dir;
    writeBytes(dir.file("ZADUD.CFG"), "kamo1=food\r\n");
    auto open = [&dir](const char* pc) {
        auto book = std::make_unique<Book>(dir.path(), disk,
                                           [] { return std::string("2026-12-24T10:00:00"); });
        book->setPcName(pc);
        book->readConfiguration(isDirectory, isDirectory);
        book->setShown({2026, 10});
        book->loadMonths();
        return book;
    };
    open("z")->setAmount(Dec, 1, 24, AmountField::Expense, 100, ChangeSource::Typed);
    open("a")->setAmount(Dec, 1, 24, AmountField::Expense, 200, ChangeSource::Typed);
    for (const char* reader : {"a", "z"}) {
        auto book = open(reader);
        const SyncReport report = syncBook(*book);
        EXPECT_TRUE(report.mended.empty()) << reader << ": " << report.mended.front();
        EXPECT_TRUE(report.conflicts.empty()) << reader;
        EXPECT_EQ(book->amount(Dec, 1, 24, AmountField::Expense), 200) << reader;
        // Undo takes back the newest change: a's.
        ASSERT_FALSE(book->journal().undoable().empty());
        EXPECT_EQ(book->journal().stepPc(book->journal().undoable().back()), "a") << reader;
    }
}

} // namespace
