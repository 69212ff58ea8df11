// Scheduled entries and the import log of a book on two PCs, each PC in a
// folder of its own; what a sync tool does (whole files copied, one side's
// copy of a shared file winning, a conflict copy left) is done by hand.
#include "ledger/book.h"
#include "ledger/errors.h"
#include "ledger/schedule.h"
#include "ledger/statement_post.h"
#include "ledger/sync_files.h"
#include "ledger/sync_imports.h"
#include "ledger/sync_merge.h"
#include "ledger/sync_schedule.h"
#include "storage/disk_store.h"
#include "tests/ledger/two_pcs.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

DiskStore& disk = twopcs::disk();
const std::string Food = "\x90\x48\x94\xef";   // 食費
const std::string Salary = "\x8b\x8b\x97\x5e"; // 給与

// One PC and its scheduled entries.
struct Pc : twopcs::PcBook {
    using PcBook::PcBook;
    Schedule schedule() const { return readScheduleFile(disk, dir.file(ScheduleFileName)); }
    // Edits the schedule as the window does: read, change, save the entries.
    void edit(const std::function<void(Schedule&)>& change) {
        Schedule s = schedule();
        learnEntryIds(*book, s);
        const Schedule before = s;
        change(s);
        saveEntryEdits(*book, before, s);
    }
    int add(int32_t amount, const std::string& item = Food) {
        int id = 0;
        edit([&](Schedule& s) {
            ScheduleEntry e;
            e.id = id = s.nextId();
            e.item = item;
            e.amount = amount;
            e.fromYear = 2026;
            e.fromMonth = 12;
            e.day = 20;
            s.entries.push_back(e);
        });
        return id;
    }
    void change(int id, const std::function<void(ScheduleEntry&)>& how) {
        edit([&](Schedule& s) {
            for (ScheduleEntry& e : s.entries)
                if (e.id == id) how(e);
        });
    }
    void remove(int id) {
        edit([&](Schedule& s) { s.remove(id); });
    }
    // The entries as "item amount paused", sorted.
    std::set<std::string> entries() const {
        std::set<std::string> out;
        for (const ScheduleEntry& e : schedule().entries)
            out.insert((e.item == Food ? "food " : "salary ") + std::to_string(e.amount) +
                       (e.paused ? " paused" : ""));
        return out;
    }
};

// Each PC's own files go to the other; a shared file that differs ends as
// `a`'s on both, `b`'s left beside it as a conflict copy when `copy`.
void syncFolders(Pc& a, Pc& b, bool copy) {
    twopcs::syncFolders(a, b, twopcs::Winner::A, copy);
}

UnitChange change(const char* pc, const char* time, const char* from, const char* to) {
    UnitChange c;
    c.pc = pc;
    c.time = time;
    c.from = from;
    c.to = to;
    return c;
}

TEST(SyncSchedule, OneEntrysRecordsKeepTheLaterOfTwoDifferentChanges) {
    struct Case {
        const char* name;
        std::vector<UnitChange> changes;
        std::string value;
        std::size_t clashes;
        std::vector<std::string> staleShown; // a file showing one is mended
        std::vector<std::string> keptShown;  // and one showing these is not
    };
    const std::vector<Case> cases = {
        {"one PC's edits",
         {change("a", "1", "", "x"), change("a", "2", "x", "y")},
         "y",
         0,
         {"", "x"},
         {"y", "hand"}},
        {"the later of two edits stands",
         {change("a", "1", "x", "y"), change("b", "2", "x", "z")},
         "z",
         1,
         {"x", "y"},
         {"z"}},
        {"the later one stands whatever the order given",
         {change("b", "2", "x", "z"), change("a", "1", "x", "y")},
         "z",
         1,
         {"x", "y"},
         {"z"}},
        {"same time: the PC named last stands",
         {change("b", "1", "x", "z"), change("a", "1", "x", "y")},
         "z",
         1,
         {"y"},
         {"z"}},
        {"the same change on both is one",
         {change("a", "1", "x", "y"), change("b", "2", "x", "y")},
         "y",
         0,
         {"x"},
         {"y"}},
        {"an edit after seeing the other's follows it",
         {change("a", "1", "x", "y"), change("b", "2", "y", "z")},
         "z",
         0,
         {"x", "y"},
         {"z"}},
        {"a delete and a later edit: the edit",
         {change("a", "1", "x", ""), change("b", "2", "x", "z")},
         "z",
         1,
         {"", "x"},
         {"z"}},
        {"two adds on one id: the later",
         {change("a", "1", "", "p"), change("b", "2", "", "q")},
         "q",
         1,
         {"", "p"},
         {"q"}},
        {"no records", {}, "", 0, {}, {"", "x"}},
    };
    for (const Case& c : cases) {
        const EntryMerge m = mergeEntry(c.changes);
        EXPECT_EQ(m.value, c.value) << c.name;
        EXPECT_EQ(m.clashes.size(), c.clashes) << c.name;
        if (!m.clashes.empty()) EXPECT_EQ(m.clashes[0].kept.to, c.value) << c.name;
        for (const std::string& shown : c.staleShown)
            EXPECT_TRUE(entryNeedsMending(m, shown)) << c.name << ": " << shown;
        for (const std::string& shown : c.keptShown)
            EXPECT_FALSE(entryNeedsMending(m, shown)) << c.name << ": " << shown;
    }
}

TEST(SyncSchedule, NewIdsAreAboveEveryKnownOneAndEndInThePcsPart) {
    struct Case {
        std::vector<int> entries, postings;
        int floor, part, next;
    };
    const std::vector<Case> cases = {
        {{}, {}, 0, 0, 1},         {{3, 7}, {}, 0, 0, 8},        {{3}, {9}, 0, 0, 10},
        {{3}, {}, 12, 0, 13},      {{}, {}, 0, 42, 1042},        {{1041}, {}, 0, 42, 2042},
        {{1042}, {}, 0, 42, 2042}, {{5}, {2999}, 1500, 7, 3007},
    };
    for (const Case& c : cases) {
        Schedule s;
        for (int id : c.entries) {
            ScheduleEntry e;
            e.id = id;
            s.entries.push_back(e);
        }
        for (int id : c.postings) {
            PostingRecord r;
            r.entry = id;
            s.records.push_back(r);
        }
        s.idFloor = c.floor;
        s.idPart = c.part;
        EXPECT_EQ(s.nextId(), c.next) << c.part << " " << c.floor;
    }
    for (const char* pc : {"a", "b", "living-room", "x", "pc-1771", "pc-2554"}) {
        const int part = entryIdPart(pc);
        EXPECT_GE(part, 1) << pc;
        EXPECT_LT(part, Schedule::IdPartSpan) << pc;
    }
    EXPECT_NE(entryIdPart("pc-a"), entryIdPart("pc-b"));
}

TEST(SyncSchedule, NewIdsStayAboveEveryIdTheRecordsName) {
    struct Case {
        const char* name;
        std::function<int(Pc&)> before; // the highest id used before
    };
    const std::vector<Case> cases = {
        {"an entry added and deleted",
         [](Pc& pc) {
             const int id = pc.add(10);
             pc.remove(id);
             return id;
         }},
        {"an entry written by hand and posted, the file lost since",
         [](Pc& pc) {
             Schedule s;
             ScheduleEntry e;
             e.id = 5123;
             e.item = Food;
             e.amount = 10;
             e.fromYear = 2026;
             e.fromMonth = 12;
             e.day = 1;
             s.entries.push_back(e);
             writeScheduleFile(disk, pc.dir.file(ScheduleFileName), s);
             BookDoor door(*pc.book, "定期入力");
             std::vector<PostingChoice> due;
             for (const Occurrence& o : dueOccurrences(s, {2026, 12, 1}))
                 due.push_back({o, false, 10});
             postChoices(disk, s, pc.dir.file(ScheduleFileName), due, door);
             writeScheduleFile(disk, pc.dir.file(ScheduleFileName), Schedule{});
             return e.id;
         }},
    };
    for (const Case& c : cases) {
        int tick = 0;
        Pc pc("pc-a", &tick);
        pc.open();
        const int used = c.before(pc);
        const int id = pc.add(20);
        EXPECT_GT(id, used) << c.name;
        EXPECT_EQ(id % Schedule::IdPartSpan, entryIdPart("pc-a")) << c.name;
    }
    // An id near the top of the range: no next one is given out.
    int tick = 0;
    Pc pc("pc-a", &tick);
    pc.open();
    ScheduleEntry e;
    e.id = 2147482000;
    e.item = Food;
    e.fromYear = 2026;
    e.fromMonth = 12;
    pc.book->setScheduleEntry(e.id, {}, formatEntryLine(e), ChangeSource::Typed);
    pc.book->setScheduleEntry(e.id, formatEntryLine(e), {}, ChangeSource::Typed);
    EXPECT_THROW(pc.add(20), AppError);
}

TEST(SyncSchedule, EntriesEditedOnTwoPcsMergeEntryByEntry) {
    struct Case {
        const char* name;
        std::function<void(Pc& a, Pc& b)> apart; // both start with food 1000, salary 300000
        bool copy;
        std::set<std::string> after;
        std::size_t clashNotes, mended;
        bool bWins = false; // B's copy of the shared files comes over A's
    };
    const std::vector<Case> cases = {
        {"an entry added on each PC",
         [](Pc& a, Pc& b) {
             a.add(50);
             b.add(70);
         },
         false,
         {"food 1000", "salary 300000", "food 50", "food 70"},
         0,
         1},
        {"an entry added on each PC, with a conflict copy",
         [](Pc& a, Pc& b) {
             a.add(50);
             b.add(70);
         },
         true,
         {"food 1000", "salary 300000", "food 50", "food 70"},
         0,
         1},
        {"different entries changed and deleted",
         [](Pc& a, Pc& b) {
             a.change(a.schedule().entries[0].id, [](ScheduleEntry& e) { e.amount = 1200; });
             b.remove(b.schedule().entries[1].id);
         },
         false,
         {"food 1200"},
         0,
         1},
        {"one entry changed on both: the later change",
         [](Pc& a, Pc& b) {
             const int id = a.schedule().entries[0].id;
             b.change(id, [](ScheduleEntry& e) { e.paused = true; });
             a.change(id, [](ScheduleEntry& e) { e.amount = 1500; });
         },
         false,
         {"food 1500", "salary 300000"},
         0,
         0},
        {"one entry changed on both, the lost side in a conflict copy: told on both",
         [](Pc& a, Pc& b) {
             const int id = a.schedule().entries[0].id;
             b.change(id, [](ScheduleEntry& e) { e.paused = true; });
             a.change(id, [](ScheduleEntry& e) { e.amount = 1500; });
         },
         true,
         {"food 1500", "salary 300000"},
         2,
         0},
        {"one entry changed on both, B's later: A's file is mended",
         [](Pc& a, Pc& b) {
             const int id = a.schedule().entries[0].id;
             a.change(id, [](ScheduleEntry& e) { e.amount = 1500; });
             b.change(id, [](ScheduleEntry& e) { e.paused = true; });
         },
         true,
         {"food 1000 paused", "salary 300000"},
         1,
         1},
        {"an undo on A reaches B's file that came over A's",
         [](Pc& a, Pc& b) {
             const int id = a.schedule().entries[0].id;
             a.change(id, [](ScheduleEntry& e) { e.amount = 1500; });
             syncFolders(a, b, false);
             b.open();
             ASSERT_TRUE(a.book->undo());
             b.add(70);
         },
         false,
         {"food 1000", "salary 300000", "food 70"},
         0,
         1,
         true},
    };
    for (const Case& c : cases) {
        int tick = 0;
        Pc a("pc-a", &tick), b("pc-b", &tick);
        a.open();
        a.add(1000);
        a.add(300000, Salary);
        syncFolders(a, b, false);
        b.open();
        c.apart(a, b);
        if (c.bWins)
            syncFolders(b, a, c.copy);
        else
            syncFolders(a, b, c.copy);
        std::size_t clashes = 0, mended = 0;
        for (Pc* pc : {&a, &b}) {
            const SyncReport r = syncBook(pc->open());
            mended += r.mended.size();
            for (const std::string& n : r.notes)
                clashes += n.find("別々に") != std::string::npos;
            // Conflict copies are set aside, not left in the folder.
            std::vector<std::string> names;
            disk.list(pc->dir.path(), names);
            for (const std::string& n : names)
                EXPECT_EQ(n.find("sync-conflict"), std::string::npos) << c.name << ": " << n;
            syncFolders(a, b, false);
        }
        EXPECT_EQ(a.entries(), c.after) << c.name;
        EXPECT_EQ(b.entries(), c.after) << c.name;
        EXPECT_EQ(clashes, c.clashNotes) << c.name;
        EXPECT_EQ(mended, c.mended) << c.name;
        std::set<int> ids;
        for (const ScheduleEntry& e : a.schedule().entries)
            EXPECT_TRUE(ids.insert(e.id).second) << c.name;
    }
}

TEST(SyncSchedule, AConflictCopyBringsWhatNoRecordExplains) {
    int tick = 0;
    Pc a("pc-a", &tick), b("pc-b", &tick);
    a.open();
    const int kept = a.add(1000);
    syncFolders(a, b, false);
    b.open();
    // B's copy of the file holds an entry written by hand, the kept entry
    // changed by hand, and a skipped occurrence: no journal says any of it.
    Schedule theirs = b.schedule();
    theirs.entries[0].amount = 999;
    ScheduleEntry hand = theirs.entries[0];
    hand.id = 77;
    hand.item = Salary;
    theirs.entries.push_back(hand);
    PostingRecord skipped;
    skipped.entry = kept;
    skipped.index = 0;
    skipped.state = PostingState::Skipped;
    skipped.date = {2026, 12, 20};
    skipped.item = Food;
    PostingRecord pending = skipped;
    pending.index = 1;
    pending.state = PostingState::Pending;
    theirs.records = {skipped, pending};
    writeScheduleFile(disk, a.dir.file("TEIKI.sync-conflict-20261224-100000-ABCDEFG.TXT"), theirs);
    const SyncReport r = syncBook(a.open());
    EXPECT_EQ(a.entries(), (std::set<std::string>{"food 1000", "salary 999"}));
    EXPECT_EQ(r.mended, (std::vector<std::string>{
                            "同期: 定期入力 給与 を競合コピーから取り込みました",
                            "同期: 定期の記帳の記録 1 件を競合コピーから取り込みました"}));
    const Schedule now = a.schedule();
    ASSERT_EQ(now.records.size(), 1u);
    EXPECT_EQ(now.records[0].state, PostingState::Skipped);
    EXPECT_EQ(r.setAside.size(), 1u);
    EXPECT_TRUE(fileExists(a.dir.file(std::string(ConflictFolderName) +
                                      "/TEIKI.sync-conflict-20261224-100000-ABCDEFG.TXT")));
    std::size_t told = 0;
    for (const std::string& n : r.notes)
        told += n.find("今のまま") != std::string::npos;
    EXPECT_EQ(told, 1u);
}

TEST(SyncSchedule, EntryEditsAreUndoneAndRedoneAsSteps) {
    struct Case {
        const char* name;
        std::function<void(Pc&, int id)> edit;
        std::set<std::string> edited;
        const char* pc = "pc-a";
    };
    const std::vector<Case> cases = {
        {"an add", [](Pc& pc, int) { pc.add(50); }, {"food 1000", "food 50"}},
        {"an add on a book with no PC name",
         [](Pc& pc, int) { pc.add(50); },
         {"food 1000", "food 50"},
         ""},
        {"one edit outside a group",
         [](Pc& pc, int id) {
             ScheduleEntry e = pc.schedule().entries[0];
             const std::string from = formatEntryLine(e);
             e.amount = 7;
             pc.book->setScheduleEntry(id, from, formatEntryLine(e), ChangeSource::Typed);
         },
         {"food 7"}},
        {"a change",
         [](Pc& pc, int id) { pc.change(id, [](ScheduleEntry& e) { e.amount = 5; }); },
         {"food 5"}},
        {"a pause",
         [](Pc& pc, int id) { pc.change(id, [](ScheduleEntry& e) { e.paused = true; }); },
         {"food 1000 paused"}},
        {"a delete", [](Pc& pc, int id) { pc.remove(id); }, {}},
    };
    for (const Case& c : cases) {
        int tick = 0;
        Pc pc(c.pc, &tick);
        Book& book = pc.open();
        const int id = pc.add(1000);
        c.edit(pc, id);
        EXPECT_EQ(pc.entries(), c.edited) << c.name;
        ASSERT_TRUE(book.undo()) << c.name;
        EXPECT_EQ(pc.entries(), (std::set<std::string>{"food 1000"})) << c.name;
        ASSERT_TRUE(book.redo()) << c.name;
        EXPECT_EQ(pc.entries(), c.edited) << c.name;
        // Changed again by other means: the undo is refused, the file kept.
        Schedule s = pc.schedule();
        ScheduleEntry other;
        other.id = id;
        other.item = Salary;
        other.amount = 1;
        other.fromYear = 2026;
        other.fromMonth = 1;
        s.entries.clear();
        s.entries.push_back(other);
        writeScheduleFile(disk, pc.dir.file(ScheduleFileName), s);
        EXPECT_THROW(book.undo(), AppError) << c.name;
        EXPECT_EQ(pc.entries(), (std::set<std::string>{"salary 1"})) << c.name;
    }
}

TEST(SyncImports, EachPcWritesItsOwnLogAndReadsAll) {
    struct Case {
        const char* name;
        std::string shared, own, other;
        bool alone;
        std::map<std::string, uint64_t> rows;
        std::string bytes;
    };
    const std::string r1 = "2026/10/05\t1\t300\tA\t4\r\n", r2 = "2026/10/06\t1\t500\tB\t9\r\n";
    const std::string k1 = "2026/10/05\t1\t300\tA", k2 = "2026/10/06\t1\t500\tB";
    const std::vector<Case> cases = {
        {"the shared log alone keeps its steps", r1, "", "", true, {{k1, 4}}, ""},
        {"the shared log beside another PC's knows no step", r1, "", "", false, {{k1, 0}}, ""},
        {"another PC's rows know no step", "", r2, r1, false, {{k1, 0}, {k2, 9}}, r2},
        {"a row in another PC's log stays imported", "", r1, r1, false, {{k1, 0}}, r1},
        {"the own log wins over the shared one",
         "2026/10/05\t1\t300\tA\t2\r\n",
         r1,
         "",
         true,
         {{k1, 4}},
         r1},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        if (!c.own.empty()) writeBytes(dir.file(pcImportLogName("a")), c.own);
        if (!c.other.empty()) writeBytes(dir.file(pcImportLogName("b")), c.other);
        ImportLog log = parseImportLog(c.shared);
        joinPcImportLogs(disk, dir.path(), "a", c.alone, log);
        EXPECT_EQ(log.fingerprints, c.rows) << c.name;
        EXPECT_EQ(log.bytes, c.bytes) << c.name;
    }
    struct Name {
        std::string name;
        bool log;
        const char* pc;
    };
    for (const Name& n : std::vector<Name>{
             {"ZADUD-a.IMP", true, "a"},
             {"ZADUD-living_room-2.IMP", true, "living_room-2"},
             {"ZADUD.IMP", false, ""},
             {"ZADUD-.IMP", false, ""},
             {"ZADUD-a b.IMP", false, ""},
             {"ZADUD-a.JNL", false, ""},
             {"XADUD-a.IMP", false, ""},
             {"ZADUD-" + std::string(32, 'p') + ".IMP", true, "pppppppppppppppppppppppppppppppp"},
             {"ZADUD-" + std::string(33, 'p') + ".IMP", false, ""}}) {
        std::string pc;
        EXPECT_EQ(pcOfImportLogName(n.name, pc), n.log) << n.name;
        if (n.log) EXPECT_EQ(pc, n.pc) << n.name;
    }
    // A log that is there but cannot be read stops the import.
    for (const char* unreadable : {"ZADUD-a.IMP", "ZADUD-b.IMP"}) {
        TempFolder dir;
        writeBytes(dir.file("ZADUD-a.IMP"), r1);
        writeBytes(dir.file("ZADUD-b.IMP"), r2);
        disk.setFaults([&](const std::string& path, const std::string& step) {
            return path == dir.file(unreadable) && step == "read" ? EIO : 0;
        });
        ImportLog log;
        EXPECT_THROW(joinPcImportLogs(disk, dir.path(), "a", false, log), AppError) << unreadable;
        disk.setFaults(nullptr);
    }
    // The PC's own log is no conflict copy of the shared one.
    std::string original;
    EXPECT_FALSE(conflictCopyOf("ZADUD-a.IMP", {"a", "b"}, {"ZADUD.IMP"}, original));
}

TEST(SyncImports, AStatementImportedOnOnePcIsNotPostedAgainOnTheOther) {
    int tick = 0;
    Pc a("pc-a", &tick), b("pc-b", &tick);
    const Statement s = readStatement("日付,摘要,金額\n2026/12/05,パン屋,300\n"
                                      "2026/12/06,パン屋,200\n");
    auto import = [&](Pc& pc) {
        Book& book = pc.open();
        ImportSideFiles files = readImportSideFiles(disk, pc.dir.path());
        learnFromJournal(book, files.log);
        std::vector<StatementRow> rows = statementRows(s, s.columns);
        matchRows(rows, files.log, files.rules, book.ledger(), Food);
        return postStatementRows(book, rows, files);
    };
    ASSERT_EQ(import(a), 2);
    EXPECT_TRUE(fileExists(a.dir.file(pcImportLogName("pc-a"))));
    EXPECT_FALSE(fileExists(a.dir.file(ImportLogFile)));
    // Only A's log arrives (its journal not yet): B posts nothing.
    writeBytes(b.dir.file(pcImportLogName("pc-a")), readBytes(a.dir.file(pcImportLogName("pc-a"))));
    EXPECT_EQ(import(b), 0);
    syncFolders(a, b, false);
    EXPECT_EQ(import(b), 0);
    // Undone on A: the rows are no longer in the book, so B may take them,
    // and then A may not.
    ASSERT_TRUE(a.open().undo());
    syncFolders(a, b, false);
    EXPECT_EQ(import(b), 2);
    syncFolders(a, b, false);
    EXPECT_EQ(import(a), 0);
    EXPECT_EQ(import(b), 0);
}

} // namespace
