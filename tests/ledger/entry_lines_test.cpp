#include "ledger/entry_lines.h"
#include "storage/disk_store.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"
#include "tests/support/file_support.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

// Stand-in for the user interface's folding: full-width ASCII to ASCII, and
// ASCII letters to lower case.
std::string standInFold(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
        if (byte(0) == 0xEF && i + 2 < s.size() &&
            (byte(1) == 0xBC || (byte(1) == 0xBD && byte(2) <= 0x9E))) {
            c = static_cast<char>(((byte(1) & 0x3F) << 6 | (byte(2) & 0x3F)) - 0xEE0);
            i += 2;
        }
        out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    return out;
}

EntryLine line(int day, const char* item, int32_t amount, const char* memo,
               LineSide side = LineSide::Expense) {
    EntryLine l;
    l.day = day;
    l.side = side;
    l.item = utf8ToCp932(item);
    l.amount = amount;
    l.memo = utf8ToCp932(memo);
    return l;
}

void putMonth(const TempFolder& dir, int year, int month, const std::vector<EntryLine>& lines) {
    writeBytes(dir.file(lineFileName(year, month)), formatLineFile(lines, year, month));
}

// "2026-12-04:-2000": each hit's date and signed amount, newest first.
std::string hitList(const LineSearchResult& r) {
    std::string out;
    for (const LineHit& h : r.hits) {
        char text[48];
        std::snprintf(text, sizeof text, "%s%04d-%02d-%02d:%d", out.empty() ? "" : " ", h.year,
                      h.month, h.line.day,
                      h.line.side == LineSide::Expense ? -h.line.amount : h.line.amount);
        out += text;
    }
    return out;
}

class EntryLines : public ::testing::Test {
protected:
    void TearDown() override { disk.setFaults(nullptr); }
    TempFolder dir;
};

// Lines of three years; 2026-12-04 has two lines, the second added last.
void putSampleBook(const TempFolder& dir) {
    putMonth(dir, 2024, 8, {line(1, "交通費", 700, "#trip #ＴＲＩＰ")});
    putMonth(dir, 2025, 3, {line(10, "食費", 298, "ｽｰﾊﾟｰ... #日用品")});
    putMonth(
        dir, 2026, 1,
        {line(5, "食費", 1280, "ABCマート 靴"), line(5, "給与", 300000, "会社", LineSide::Income)});
    putMonth(dir, 2026, 5,
             {line(3, "交通費", 5400, "新幹線 #旅行 #実家"), line(4, "食費", 5001, "駅弁,#旅行")});
    putMonth(dir, 2026, 12,
             {line(4, "食費", 1500, "ドラッグストア ＡＢＣ #日用品"),
              line(4, "雑費", 2000, "ドラッグストア 洗剤")});
    writeBytes(dir.file("202612.txt"), "not a line file\r\n"); // the month file: not read
}

} // namespace

TEST_F(EntryLines, QueryTermsSelectLinesNewestFirst) {
    putSampleBook(dir);
    struct Case {
        const char* query;
        const char* hits; // nullptr: the query is refused
    } cases[] = {
        // words, as the diary search matches them, in the memo or the item
        {"ドラッグストア", "2026-12-04:-2000 2026-12-04:-1500"},
        {"abc", "2026-12-04:-1500 2026-01-05:-1280"},
        {"ドラッグストア 洗剤", "2026-12-04:-2000"},
        {"食費", "2026-12-04:-1500 2026-05-04:-5001 2026-01-05:-1280 2025-03-10:-298"},
        {"ない", ""},
        {"...", "2025-03-10:-298"}, // dots that are no date range
        // amounts
        {"1280", "2026-01-05:-1280"},
        {"1,280", "2026-01-05:-1280"},
        {"１２８０円", "2026-01-05:-1280"},
        {"1000-2000", "2026-12-04:-2000 2026-12-04:-1500 2026-01-05:-1280"},
        {">5000", "2026-05-04:-5001 2026-05-03:-5400 2026-01-05:300000"},
        {">5001", "2026-05-03:-5400 2026-01-05:300000"},
        {"<300", "2025-03-10:-298"},
        {"<298", ""},
        {">=5400 <=5400", "2026-05-03:-5400"},
        {"0300-999", "2024-08-01:-700"}, // no month 999: amounts
        // tags: the whole tag, width and case alike
        {"#旅行", "2026-05-04:-5001 2026-05-03:-5400"},
        {"＃旅行 新幹線", "2026-05-03:-5400"},
        {"#旅", ""},
        {"#日用品 >1000", "2026-12-04:-1500"},
        {"#TRIP", "2024-08-01:-700"},
        // an item: its whole name
        {"項目:食費 >1000", "2026-12-04:-1500 2026-05-04:-5001 2026-01-05:-1280"},
        {"item:雑費", "2026-12-04:-2000"},
        {"項目:食", ""},
        // dates and ranges
        {"2026-12-04", "2026-12-04:-2000 2026-12-04:-1500"},
        {"2026/12", "2026-12-04:-2000 2026-12-04:-1500"},
        {"2026-12", "2026-12-04:-2000 2026-12-04:-1500"},
        {"2024-08-01", "2024-08-01:-700"},
        {"2026..2026",
         "2026-12-04:-2000 2026-12-04:-1500 2026-05-04:-5001 2026-05-03:-5400 2026-01-05:300000 "
         "2026-01-05:-1280"},
        {"2026-5", "2026-05-04:-5001 2026-05-03:-5400"},
        {"2026-01..2026-05-03", "2026-05-03:-5400 2026-01-05:300000 2026-01-05:-1280"},
        {"..2025", "2025-03-10:-298 2024-08-01:-700"},
        {"2026-05-04..", "2026-12-04:-2000 2026-12-04:-1500 2026-05-04:-5001"},
        {"2025 ", ""}, // a year alone is an amount
        // refused
        {"2000-1000", nullptr},
        {"2026-02-29", nullptr},
        {"2026-01-10..2026-01-01", nullptr},
        {"2026-13-01..", nullptr},
        {"0000..", nullptr},
        {"0001..0001", ""}, // the first year there is
        {">abc", nullptr},
        {"#", nullptr},
        {"項目:", nullptr},
        {" \xE3\x80\x80", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        if (!c.hits) {
            EXPECT_THROW(parseLineQuery(c.query, standInFold), AppError);
            continue;
        }
        const LineSearchResult r =
            searchLines(disk, dir.path(), parseLineQuery(c.query, standInFold), standInFold);
        EXPECT_EQ(hitList(r), c.hits);
        EXPECT_TRUE(r.problems.empty());
        // One line alone meets the query as the search does.
        for (const LineHit& h : r.hits)
            EXPECT_TRUE(lineMatches(parseLineQuery(c.query, standInFold), h.line, h.year, h.month,
                                    standInFold));
    }
}

TEST_F(EntryLines, TotalsCountALineOnceAndPerTag) {
    putSampleBook(dir);
    const LineSearchResult all =
        searchLines(disk, dir.path(), parseLineQuery(">0", standInFold), standInFold);
    EXPECT_EQ(all.total.count, 8);
    EXPECT_EQ(all.total.income, 300000);
    EXPECT_EQ(all.total.expense, 700 + 298 + 1280 + 5400 + 5001 + 1500 + 2000);
    std::string tags;
    for (const auto& [tag, t] : all.tags)
        tags += tag + "=" + std::to_string(t.expense) + "/" + std::to_string(t.count) + " ";
    // First spelling met, newest first; "#trip #ＴＲＩＰ" is one tag counted once.
    EXPECT_EQ(tags, "日用品=1798/2 旅行=10401/2 実家=5400/1 trip=700/1 ");

    // One folding call a month for the words, not one a line.
    int folds = 0;
    const TextFold counting = [&](std::string_view s) {
        ++folds;
        return standInFold(s);
    };
    const LineQuery word = parseLineQuery("洗剤", counting);
    folds = 0;
    EXPECT_EQ(hitList(searchLines(disk, dir.path(), word, counting)), "2026-12-04:-2000");
    EXPECT_EQ(folds, 5);

    const LineSearchResult trip =
        searchLines(disk, dir.path(), parseLineQuery("#旅行", standInFold), standInFold);
    EXPECT_EQ(trip.total.expense, 10401); // 新幹線 has two tags, counted once
    EXPECT_EQ(trip.total.count, 2);
}

TEST_F(EntryLines, FileRoundTripKeepsHardBytes) {
    // Memos with commas, quotes, a last character whose second byte is "\"
    // (ソ 83 5C), NEC extensions (① 87 40, 髙 FB FC) and bytes that decode to
    // nothing; an item with a comma; a statement key with tabs.
    EntryLine hard;
    hard.day = 31;
    hard.side = LineSide::Income;
    hard.item = "a,b";
    hard.amount = INT32_MAX;
    hard.memo = "\"q\",\x87\x40\xFB\xFC\x80,\"\x83\x5C";
    hard.origin = LineOrigin::Imported;
    hard.source = "2026-12-31\t-1280\t1\t\x83\x5C";
    EntryLine plain = line(4, "食費", 1280, "");
    plain.origin = LineOrigin::Scheduled;
    plain.source = "7";
    EntryLine so = line(1, "x", 1, "");
    so.memo = "\x83\x5C"; // ソ
    const std::vector<EntryLine> lines = {hard, plain, so};

    MonthLineFile file = loadLineFile(disk, dir.path(), 2026, 12);
    EXPECT_EQ(file.state, LineFileState::Missing);
    EXPECT_TRUE(file.lines.empty());
    saveLineFile(disk, file, dir.path(), lines, false);
    const std::string bytes = readBytes(dir.file("202612.lin"));
    EXPECT_EQ(bytes, "ZADUD-LINES,1\r\n"
                     "31,0,\"a,b\",2147483647,I,\"2026-12-31\t-1280\t1\t\x83\x5C\","
                     "\"\"\"q\"\",\x87\x40\xFB\xFC\x80,\"\"\x83\x5C\"\r\n"
                     "4,1,\"\x90\x48\x94\xEF\",1280,S,\"7\",\"\"\r\n"
                     "1,1,\"x\",1,T,\"\",\"\x83\x5C\"\r\n");
    MonthLineFile back = loadLineFile(disk, dir.path(), 2026, 12);
    EXPECT_EQ(back.state, LineFileState::Read);
    EXPECT_EQ(back.lines, lines);
    saveLineFile(disk, back, dir.path(), back.lines, false);
    EXPECT_EQ(readBytes(dir.file("202612.lin")), bytes);

    // Lines the file cannot hold are refused before anything is written.
    struct Bad {
        const char* why;
        EntryLine line;
    } bad[] = {{"day 0", line(0, "x", 1, "")},      {"30 February", line(30, "x", 1, "")},
               {"amount 0", line(1, "x", 0, "")},   {"negative", line(1, "x", -5, "")},
               {"no item", line(1, "", 1, "")},     {"line break", line(1, "x", 1, "a\r\nb")},
               {"Ctrl-Z", line(1, "x", 1, "\x1A")}, {"tab in memo", line(1, "x", 1, "a\tb")}};
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.why);
        MonthLineFile f = loadLineFile(disk, dir.path(), 2026, 2);
        EXPECT_THROW(saveLineFile(disk, f, dir.path(), {b.line}, false), AppError);
        EXPECT_FALSE(fileExists(dir.file("202602.lin")));
    }
    EXPECT_THROW(LineStore(disk, dir.path()).add(2026, 0, plain), AppError);
    EXPECT_THROW(LineStore(disk, dir.path()).add(2026, 13, plain), AppError);
    // Only "YYYYMM.lin" of a month that exists names a line file.
    for (const char* stray : {"202613.lin", "202600.lin", "000012.lin", "2026a1.lin", "20261.lin"})
        writeBytes(dir.file(stray), bytes);
    EXPECT_EQ(lineFileMonths(disk, dir.path()), (std::vector<MonthKey>{{2026, 12}}));
}

TEST_F(EntryLines, DamagedOrChangedFileIsNamedOnceAndKeptUntilTheUserSaysSo) {
    const std::string good = "ZADUD-LINES,1\r\n4,1,\"x\",100,T,\"\",\"ok\"\r\n";
    struct Case {
        const char* why;
        std::string bytes;
        std::size_t readable;
    } cases[] = {
        {"bad record", good + "4,1,\"x\",100,T,\"\",\"open\r\n5,1,\"x\",7,T,\"\",\"\"\r\n", 2},
        {"unknown side", good + "4,2,\"x\",100,T,\"\",\"\"\r\n", 1},
        {"unknown origin", good + "4,1,\"x\",100,Q,\"\",\"\"\r\n", 1},
        {"day beyond the month", good + "31,1,\"x\",100,T,\"\",\"\"\r\n", 1},
        {"amount beyond 32 bits", good + "4,1,\"x\",2147483648,T,\"\",\"\"\r\n", 1},
        {"letter in the amount", good + "4,1,\"x\",1O0,T,\"\",\"\"\r\n", 1},
        {"field after the memo", good + "4,1,\"x\",100,T,\"\",\"\",\r\n", 1},
        {"newer version", "ZADUD-LINES,2\r\n4,1,\"x\",100,T,\"\",\"\"\r\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string path = dir.file("202611.lin");
        writeBytes(path, c.bytes);
        LineStore store(disk, dir.path());
        const MonthLineFile& file = store.file(2026, 11);
        EXPECT_EQ(file.state, LineFileState::Damaged);
        EXPECT_EQ(file.lines.size(), c.readable);
        EXPECT_NE(file.problem.find(path), std::string::npos) << file.problem;
        EXPECT_EQ(store.takeProblems(), std::vector<std::string>{file.problem});
        store.add(2026, 11, line(6, "x", 5, "new"));
        EXPECT_EQ(store.lines(2026, 11).size(), c.readable + 1);
        EXPECT_TRUE(store.takeProblems().empty()); // named once
        EXPECT_THROW(store.save(2026, 11), AppError);
        EXPECT_EQ(readBytes(path), c.bytes);
        EXPECT_EQ(store.unsaved(), (std::vector<MonthKey>{{2026, 11}}));
        store.save(2026, 11, true); // after the question
        EXPECT_EQ(loadLineFile(disk, dir.path(), 2026, 11).lines.size(), c.readable + 1);
        EXPECT_TRUE(store.unsaved().empty());
    }

    // A file that cannot be read is held the same way.
    writeBytes(dir.file("202610.lin"), good);
    disk.setFaults([](const std::string& path, const std::string& step) {
        return step == "read" && path.find("202610") != std::string::npos ? EIO : 0;
    });
    LineStore store(disk, dir.path());
    EXPECT_EQ(store.file(2026, 10).state, LineFileState::Unreadable);
    disk.setFaults(nullptr);
    EXPECT_THROW(store.save(2026, 10), AppError);
    EXPECT_EQ(readBytes(dir.file("202610.lin")), good);

    // A file changed by another program since it was read is not replaced.
    writeBytes(dir.file("202609.lin"), good);
    store.add(2026, 9, line(1, "x", 1, ""));
    writeBytes(dir.file("202609.lin"), good + "9,1,\"y\",3,T,\"\",\"\"\r\n");
    EXPECT_THROW(store.save(2026, 9), AppError);
    EXPECT_EQ(loadLineFile(disk, dir.path(), 2026, 9).lines.size(), 2u);
}

TEST_F(EntryLines, HandEditedMonthFileShowsTheDifferenceAndKeepsIt) {
    MonthLedger month;
    month.Items[1].Name = utf8ToCp932("食費");
    month.Items[2].Name = utf8ToCp932("給与");
    month.Items[1].Days[4].Expense = 1800;
    month.Items[2].Days[25].Income = 300000;
    const std::vector<EntryLine> lines = {line(4, "食費", 1000, "a"), line(4, "食費", 500, "b"),
                                          line(25, "給与", 300000, "", LineSide::Income),
                                          line(4, "食費", 50, "", LineSide::Income)};
    const CellParts parts = cellParts(lines, month, utf8ToCp932("食費"), 4, LineSide::Expense);
    EXPECT_EQ(parts.lined, 1500);
    EXPECT_EQ(parts.unlined, 300); // 内訳なし
    EXPECT_EQ(linedCells(lines).size(), 3u);

    // Another program lowers 食費 on the 4th to 1200 and renames 給与.
    std::string bytes = formatMonth(month);
    const std::string was = "00001800", now = "00001200";
    bytes.replace(bytes.find(was), was.size(), now);
    const std::string name = utf8ToCp932("給与");
    bytes.replace(bytes.find(name), name.size(), utf8ToCp932("賞与"));
    MonthLedger edited;
    edited.Items[1].Name = month.Items[1].Name;
    edited.Items[2].Name = utf8ToCp932("賞与");
    std::istringstream in(bytes);
    loadMonth(edited, in, LoadMode::Current);

    const std::vector<LineMismatch> found = lineMismatches(lines, edited);
    ASSERT_EQ(found.size(), 3u);
    // By item bytes (給与 8B 8B before 食費 90 48), day, then income first.
    EXPECT_EQ(found[0].cell.item, name);
    EXPECT_FALSE(found[0].itemFound);
    EXPECT_EQ(found[0].difference(), -300000);
    EXPECT_EQ(found[1].cell.side, LineSide::Income); // 食費's income: no amount
    EXPECT_EQ(found[1].difference(), -50);
    EXPECT_EQ(found[2].cell.side, LineSide::Expense);
    EXPECT_TRUE(found[2].itemFound);
    EXPECT_EQ(found[2].amount, 1200);
    EXPECT_EQ(found[2].difference(), -300);
    EXPECT_EQ(cellParts(lines, edited, month.Items[1].Name, 4, LineSide::Expense).unlined, -300);
    // Raising a cell is what typing without a line does: no difference.
    edited.Items[1].Days[4].Expense = 5000;
    EXPECT_EQ(lineMismatches(lines, edited).size(), 2u);
}
