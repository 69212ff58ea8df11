// Whatever stops the program, every change is there once: each operation is
// stopped at each of its file steps (a kill: that step and every later one
// fail, nothing is cleaned up) or has that one step refused, then the book
// starts afresh, finishes what the journal holds, and the user does again
// what did not go through.
#include "ledger/book.h"
#include "ledger/book_archive.h"
#include "ledger/cp932.h"
#include "ledger/diary_file.h"
#include "ledger/schedule.h"
#include "ledger/statement_post.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "tests/ledger/book_start.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <tuple>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

constexpr AmountField In = AmountField::Income;
constexpr AmountField Out = AmountField::Expense;
const MonthKey Nov{2026, 11}, Dec{2026, 12};

struct Killed : std::exception {
    const char* what() const noexcept override { return "killed"; }
};

// Counts the file steps of writing; at step `at` it kills or refuses.
struct Faults {
    enum class Mode { Count, Kill, Refuse } mode = Mode::Count;
    int at = 0, steps = 0;
    bool dead = false;
    Faults() {
        disk.setFaults([this](const std::string&, const std::string& step) {
            if (dead) throw Killed();
            if (step == "read") return 0;
            if (++steps != at || mode == Mode::Count) return 0;
            if (mode == Mode::Refuse) return ENOSPC;
            dead = true;
            throw Killed();
        });
    }
    ~Faults() { disk.setFaults(nullptr); }
};

std::unique_ptr<Book> start(const TempFolder& dir, bool shown) {
    if (shown) return startBook(disk, dir.path(), Dec, [](const std::string&) { return true; });
    auto book = std::make_unique<Book>(dir.path(), disk, fixedStamp);
    book->clock = [] { return std::string("2026-12-24T10:00:00"); };
    book->setConflictQuestion([](const std::string&) { return true; });
    book->readConfiguration(isDirectory, isDirectory);
    book->recover();
    return book;
}

// Two rows in November, one in December, as a card statement has them.
const char* const StatementText = "日付,摘要,金額\n2026/11/05,パン屋,300\n"
                                  "2026/11/05,パン屋,300\n2026/12/01,八百屋,1000\n";

// Posts every row the book does not know as imported, as the import
// command does; returns the rows posted.
int importStatement(Book& book, std::string* trouble = nullptr) {
    ImportSideFiles files = readImportSideFiles(disk, book.ledgerDir());
    learnFromJournal(book, files.log);
    const Statement s = readStatement(StatementText);
    std::vector<StatementRow> rows = statementRows(s, s.columns);
    matchRows(rows, files.log, files.rules, book.ledger(), utf8ToCp932("食費"));
    const int n = postStatementRows(book, rows, files);
    if (trouble) *trouble = files.logTrouble;
    return n;
}

struct Stored {
    int32_t nov5 = 0, dec1 = 0, dec3 = 0;
    bool operator==(const Stored& o) const {
        return nov5 == o.nov5 && dec1 == o.dec1 && dec3 == o.dec3;
    }
};

std::ostream& operator<<(std::ostream& out, const Stored& s) {
    return out << "{nov5 " << s.nov5 << ", dec1 " << s.dec1 << ", dec3 " << s.dec3 << "}";
}

Stored stored(const TempFolder& dir) {
    Book book(dir.path(), disk, fixedStamp);
    book.readConfiguration(isDirectory, isDirectory);
    return {book.amount(Nov, 1, 5, Out), book.amount(Dec, 1, 1, Out), book.amount(Dec, 2, 3, In)};
}

// Two monthly entries, due on November 5 and December 5, and December 1.
void writeSchedule(Book& book) {
    Schedule s;
    for (const auto [id, day, month] : {std::tuple{1, 5, 11}, {2, 1, 12}}) {
        ScheduleEntry e;
        e.id = id;
        e.item = utf8ToCp932("食費");
        e.amount = 1000;
        e.day = day;
        e.fromYear = 2026;
        e.fromMonth = month;
        s.entries.push_back(e);
    }
    writeScheduleFile(disk, book.sideFile(ScheduleFileName), s);
}

// Posts what is due through December, as the posting command does.
void postDue(Book& book) {
    const std::string path = book.sideFile(ScheduleFileName);
    Schedule s = readScheduleFile(disk, path);
    {
        BookDoor settling(book, "定期入力");
        settlePending(disk, s, path, settling);
    }
    BookDoor door(book, "定期入力");
    std::vector<PostingChoice> choices;
    for (const Occurrence& o : dueOccurrences(s, {2026, 12, 31}))
        choices.push_back({o, false, 1000});
    postChoices(disk, s, path, choices, door);
}

// The same through a book that has recovered.
Stored stored_after(Book& book) {
    return {book.amount(Nov, 1, 5, Out), book.amount(Dec, 1, 1, Out), book.amount(Dec, 2, 3, In)};
}

// A purchase of 600 on November 5.
EntryLine bakery() {
    EntryLine l;
    l.day = 5;
    l.item = utf8ToCp932("食費");
    l.amount = 600;
    l.memo = utf8ToCp932("パン屋");
    return l;
}

struct Operation {
    const char* name;
    bool shown; // the main window's book (December in memory) or a command's
    std::function<void(Book&)> before;
    std::function<void(Book&)> run;
    // Whether the operation ended well, and the files after the fresh start.
    std::function<void(bool done, const Stored& after, Book& restarted)> check;
};

const Stored Imported{600, 1000, 0};

const Operation Operations[] = {
    {"typed amount, then the window closed", true, [](Book&) {},
     [](Book& b) {
         b.setAmount(Dec, 2, 3, In, 250000, ChangeSource::Typed);
         b.saveMonth();
     },
     [](bool done, const Stored& after, Book&) {
         if (done) EXPECT_EQ(after, (Stored{0, 0, 250000}));
         EXPECT_TRUE(after == (Stored{0, 0, 250000}) || after == Stored{}) << after;
     }},
    {"statement import, then imported again", false, [](Book&) {},
     [](Book& b) { importStatement(b); },
     [](bool done, const Stored& after, Book& restarted) {
         if (done) EXPECT_EQ(after, Imported);
         // Whatever was cut short, the import run again posts the rest.
         std::string trouble;
         const int n = importStatement(restarted, &trouble);
         EXPECT_EQ(stored_after(restarted), Imported) << n << " " << trouble;
     }},
    {"scheduled posting, then posted again", false, writeSchedule, postDue,
     [](bool done, const Stored& after, Book& restarted) {
         if (done) EXPECT_EQ(after, (Stored{1000, 1000, 0}));
         postDue(restarted);
         EXPECT_EQ(stored_after(restarted), (Stored{1000, 1000, 0}));
     }},
    {"an entry line in another month", false, [](Book&) {},
     [](Book& b) { b.addLine(Nov, bakery()); },
     [](bool done, const Stored& after, Book& restarted) {
         if (done) EXPECT_EQ(after, (Stored{600, 0, 0}));
         const std::vector<EntryLine>& lines = restarted.lines(Nov);
         EXPECT_EQ(after.nov5, lines.empty() ? 0 : 600) << "a line and its cell go together";
         EXPECT_LE(lines.size(), 1u);
     }},
    // Alone on the book, a second line equal to one already there is a
    // second purchase: recovery adds it, never takes it for the first.
    {"an entry line equal to one the month holds", false, [](Book& b) { b.addLine(Nov, bakery()); },
     [](Book& b) { b.addLine(Nov, bakery()); },
     [](bool done, const Stored& after, Book& restarted) {
         const std::size_t n = restarted.lines(Nov).size();
         if (done) EXPECT_EQ(n, 2u);
         EXPECT_TRUE(n == 1 || n == 2) << n;
         EXPECT_EQ(after.nov5, 600 * static_cast<int32_t>(n)) << "a line and its cell go together";
     }},
    {"typed into the month before the one shown", true, [](Book&) {},
     [](Book& b) { b.setAmount(Nov, 1, 5, Out, 600, ChangeSource::Typed); },
     [](bool done, const Stored& after, Book& restarted) {
         if (done) EXPECT_EQ(after.nov5, 600);
         EXPECT_TRUE(after.nov5 == 600 || after.nov5 == 0) << after;
         EXPECT_EQ(restarted.ledger().CarryOver[1], -after.nov5) << "December brings it in";
     }},
    {"undo of an import over two months", false, [](Book& b) { importStatement(b); },
     [](Book& b) { ASSERT_TRUE(b.undo()); },
     [](bool done, const Stored& after, Book&) {
         if (done) EXPECT_EQ(after, Stored{});
         EXPECT_TRUE(after == Imported || after == Stored{}) << "never half undone: " << after;
     }},
};

} // namespace

TEST(Recovery, EveryChangeOnceWhateverStepIsKilledOrRefused) {
    for (const Operation& op : Operations) {
        // The steps of a run that goes through.
        int steps = 0;
        {
            TempFolder dir;
            writeBytes(dir.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\nkamo2=住居費\r\n"));
            auto book = start(dir, op.shown);
            op.before(*book);
            Faults count;
            op.run(*book);
            steps = count.steps;
        }
        ASSERT_GT(steps, 3) << op.name;
        for (const auto mode : {Faults::Mode::Kill, Faults::Mode::Refuse}) {
            for (int at = 1; at <= steps; ++at) {
                SCOPED_TRACE(std::string(op.name) +
                             (mode == Faults::Mode::Kill ? ", killed" : ", refused") + " at step " +
                             std::to_string(at));
                TempFolder dir;
                writeBytes(dir.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\nkamo2=住居費\r\n"));
                bool done = false;
                {
                    auto book = start(dir, op.shown);
                    op.before(*book);
                    Faults faults;
                    faults.mode = mode;
                    faults.at = at;
                    try {
                        op.run(*book);
                        done = !faults.dead;
                    } catch (const std::exception&) {
                    }
                    // A killed program says nothing more; its book goes
                    // with it, writing nothing.
                }
                auto restarted = start(dir, op.shown);
                op.check(done, stored(dir), *restarted);
            }
        }
    }
}

TEST(Recovery, AMonthFileThatIsNoMonthIsHeldAndKeptByteForByte) {
    std::string good;
    {
        MonthLedger l;
        l.Items[1].Name = utf8ToCp932("食費");
        l.Items[1].Days[2].Expense = 224007;
        good = formatMonth(l);
    }
    const std::string line = good.substr(0, good.find("\r\n") + 2);
    std::string big;
    while (big.size() <= MaxMonthFileSize)
        big += line;
    const struct {
        const char* name;
        std::string bytes;
        bool held;
    } cases[] = {
        {"as written", good, false},
        {"a Ctrl-Z at the very end", good + "\x1a", false},
        {"a Ctrl-Z in line 2",
         good.substr(0, line.size() + 5) + "\x1a" + good.substr(line.size() + 5), true},
        {"cut mid-line", good.substr(0, good.size() - 20), true},
        {"a line that is no month line", good + "hello\r\n", true},
        {"random bytes", std::string("\x8a\x01\xff\x00zz,\r\n", 9), true},
        {"too large", big, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        writeBytes(dir.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\n"));
        const std::string path = dir.file(monthFileName(2026, 12));
        writeBytes(path, c.bytes);
        Book book(dir.path(), disk, fixedStamp);
        book.readConfiguration(isDirectory, isDirectory);
        book.setShown(Dec);
        if (!c.held) {
            book.loadMonths();
            EXPECT_EQ(book.ledger().Items[1].Days[2].Expense, 224007);
            continue;
        }
        try {
            book.loadMonths();
            ADD_FAILURE() << "read as a month";
        } catch (const AppError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
        EXPECT_TRUE(book.held());
        EXPECT_EQ(book.heldFile(), path);
        EXPECT_THROW(book.setAmount(Dec, 1, 2, Out, 1, ChangeSource::Typed), AppError);
        EXPECT_TRUE(book.saveMonth()) << "closing the window";
        // Nor may January carry in from it.
        EXPECT_THROW(book.month({2027, 1}), AppError);
        EXPECT_EQ(readBytes(path), c.bytes);
    }
}

TEST(Recovery, ARestoreIsCheckedWholeBeforeItWritesAndWritesAllOrNothing) {
    TempFolder tmp;
    const BookFolders folders{tmp.path(), tmp.path(), tmp.path()};
    writeBytes(tmp.file("199611.txt"), "old november\r\n");
    const std::vector<ArchiveEntry> entries = {
        {{'L', "199611.txt"}, std::string(600, 'n')},
        {{'L', "199612.txt"}, std::string(500, 'd')},
    };
    const auto unchanged = [&] {
        EXPECT_EQ(readBytes(tmp.file("199611.txt")), "old november\r\n");
        EXPECT_FALSE(fileExists(tmp.file("199612.txt")));
    };
    const auto plenty = [](const std::string&) { return uint64_t(1) << 40; };
    // Each entry is under any per-file limit; together they are over.
    EXPECT_THROW(restoreBookArchive(disk, folders, entries, {1000, plenty}), AppError);
    unchanged();
    // A folder without room for them.
    const auto full = [](const std::string&) { return uint64_t(1) << 20; };
    EXPECT_THROW(restoreBookArchive(disk, folders, entries, {1u << 20, full}), AppError);
    unchanged();
    // The second write fails: the first one goes back.
    disk.setFaults([&](const std::string& path, const std::string& step) {
        return step == "rename" && path == tmp.file("199612.txt") ? ENOSPC : 0;
    });
    EXPECT_THROW(restoreBookArchive(disk, folders, entries, {1u << 20, plenty}), AppError);
    disk.setFaults(nullptr);
    unchanged();
    restoreBookArchive(disk, folders, entries, {1100, plenty});
    EXPECT_EQ(readBytes(tmp.file("199612.txt")), entries[1].bytes);
}

TEST(Recovery, ADamagedJournalIsKeptAsideAndADryRunWritesNothing) {
    TempFolder dir;
    writeBytes(dir.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\nkamo2=住居費\r\n"));
    {
        auto book = start(dir, false);
        book->setAmount(Nov, 1, 1, Out, 10, ChangeSource::Typed);
        book->setAmount(Nov, 1, 2, Out, 20, ChangeSource::Typed);
    }
    const std::string journal = dir.file(JournalFileName);
    const std::string torn = readBytes(journal).substr(0, readBytes(journal).size() - 9);
    writeBytes(journal, torn);
    const std::string month = readBytes(dir.file(monthFileName(2026, 11)));
    {
        // A dry run reads, says, and changes nothing.
        Book book(dir.path(), disk, fixedStamp);
        book.readConfiguration(isDirectory, isDirectory);
        book.setReadOnly(true);
        EXPECT_EQ(book.recover(), "");
        EXPECT_NE(book.takeJournalWarning().find("2 行目"), std::string::npos);
        EXPECT_THROW(book.setAmount(Nov, 1, 3, Out, 30, ChangeSource::Typed), AppError);
        EXPECT_EQ(readBytes(journal), torn);
        EXPECT_FALSE(fileExists(journal + ".bad"));
        EXPECT_EQ(readBytes(dir.file(monthFileName(2026, 11))), month);
    }
    auto book = start(dir, false);
    const std::string warning = book->takeJournalWarning();
    EXPECT_NE(warning.find(journal + ".bad"), std::string::npos) << warning;
    EXPECT_EQ(readBytes(journal + ".bad"), torn) << "kept whole";
    EXPECT_EQ(readBytes(journal), torn.substr(0, torn.find("\r\n") + 2));
    book->setAmount(Nov, 1, 3, Out, 30, ChangeSource::Typed);
    EXPECT_EQ(book->undoText(), "11/3 食費 支出 30");
}

TEST(Recovery, StepNumbersAndImportedRowsOutliveTheJournalAndTheLog) {
    TempFolder dir;
    writeBytes(dir.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\nkamo2=住居費\r\n"));
    uint64_t imported = 0;
    {
        auto book = start(dir, false);
        book->setAmount(Nov, 2, 1, In, 300000, ChangeSource::Typed);
        EXPECT_EQ(importStatement(*book), 3);
        imported = book->journal().lastGroup();
    }
    // A damaged log: the journal still names the rows.
    std::string log = readBytes(dir.file(ImportLogFile));
    for (std::size_t i = 0; i < log.size(); i += 7)
        log[i] = '#';
    writeBytes(dir.file(ImportLogFile), log);
    {
        auto book = start(dir, false);
        EXPECT_EQ(importStatement(*book), 0);
    }
    // The log lost as well as the journal: the step numbers go on above
    // every one used (the step file, or the log's own numbers).
    std::remove(dir.file(ImportLogFile).c_str());
    std::remove(dir.file(JournalFileName).c_str());
    {
        auto book = start(dir, false);
        book->setAmount(Nov, 2, 2, In, 1, ChangeSource::Typed);
        EXPECT_GT(book->journal().lastGroup(), imported);
    }
    EXPECT_EQ(stored(dir), Imported);
    {
        auto book = start(dir, false);
        EXPECT_EQ(importStatement(*book), 3) << "nothing left to know them by";
    }
    std::remove(dir.file(JournalFileName).c_str());
    std::remove(dir.file(StepFileName).c_str());
    auto book = start(dir, false);
    ImportLog known = parseImportLog(readBytes(dir.file(ImportLogFile)));
    learnFromJournal(*book, known);
    book->setAmount(Nov, 2, 3, In, 1, ChangeSource::Typed);
    for (const auto& [row, step] : known.fingerprints)
        EXPECT_GT(book->journal().lastGroup(), step);
}

TEST(Recovery, ADiaryDayKilledBeforeItsFileIsWrittenComesBackFromTheJournal) {
    TempFolder dir;
    writeBytes(dir.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\n"));
    const std::string text = utf8ToCp932("日記\r\n");
    {
        auto book = start(dir, true);
        // Killed at the diary file's first step, the journal written.
        bool dead = false;
        disk.setFaults([&dead](const std::string& path, const std::string& step) -> int {
            dead = dead || (step != "read" && path.find(".nik") != std::string::npos);
            if (dead) throw Killed();
            return 0;
        });
        EXPECT_THROW(book->setDiary(2026, 12, 24, text, ChangeSource::Typed), Killed);
        disk.setFaults(nullptr);
    }
    std::string bytes;
    EXPECT_FALSE(readDiaryFile(disk, dir.path(), 2026, 12, 24, bytes));
    auto book = start(dir, true);
    EXPECT_NE(book->takeJournalWarning().find("12/24 日記"), std::string::npos);
    ASSERT_TRUE(readDiaryFile(disk, dir.path(), 2026, 12, 24, bytes));
    EXPECT_EQ(bytes, text);
}

TEST(Recovery, TheSettledMarkPassesAStepOnlyOnceItsFilesHaveIt) {
    TempFolder dir;
    writeBytes(dir.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\n"));
    auto book = start(dir, true);
    const MonthKey jan{2027, 1};
    book->setAmount(Dec, 1, 1, Out, 20, ChangeSource::Typed);
    EXPECT_EQ(book->journal().settled(), 0u) << "December is only in memory";
    book->saveMonth();
    EXPECT_EQ(book->journal().settled(), book->journal().lastGroup());
    const uint64_t saved = book->journal().settled();
    // Another month's file is written at once, its folder flushed later:
    // until then the mark waits, and a start after a power cut finishes the
    // step again.
    book->setAmount(jan, 1, 2, Out, 30, ChangeSource::Typed);
    EXPECT_EQ(stored(dir).dec1, 20);
    EXPECT_EQ(book->journal().settled(), saved);
    // December now carries into January's file: both are written at once.
    book->setAmount(Dec, 1, 3, Out, 40, ChangeSource::Typed);
    EXPECT_EQ(book->journal().settled(), saved);
    {
        Book fresh(dir.path(), disk, fixedStamp);
        fresh.readConfiguration(isDirectory, isDirectory);
        EXPECT_EQ(fresh.amount(jan, 1, 2, Out), 30);
        EXPECT_EQ(fresh.amount(Dec, 1, 3, Out), 40) << "December's file went with January's";
        EXPECT_EQ(fresh.amount(jan, 1, 0, In), -60) << "January brings in December's balance";
    }
    book->saveMonth();
    EXPECT_EQ(book->journal().settled(), book->journal().lastGroup());
    EXPECT_EQ(readBytes(dir.file(StepFileName)).substr(readBytes(dir.file(StepFileName)).find(',')),
              "," + std::to_string(book->journal().lastGroup()) + "\r\n");
}

TEST(Recovery, ARefusedDiaryWriteIsTakenBackAlsoForTheNextStart) {
    TempFolder dir;
    writeBytes(dir.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\n"));
    const std::string old = utf8ToCp932("前\r\n");
    saveDiaryFile(disk, dir.path(), 2026, 12, 24, old);
    {
        auto book = start(dir, true);
        disk.setFaults([](const std::string& path, const std::string& step) {
            return step == "rename" && path.find(".nik") != std::string::npos ? ENOSPC : 0;
        });
        EXPECT_THROW(book->setDiary(2026, 12, 24, utf8ToCp932("後\r\n"), ChangeSource::Typed),
                     AppError);
        disk.setFaults(nullptr);
    }
    auto book = start(dir, true);
    std::string bytes;
    ASSERT_TRUE(readDiaryFile(disk, dir.path(), 2026, 12, 24, bytes));
    EXPECT_EQ(bytes, old);
}
