#include "ledger/report_marks.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

namespace {
DiskStore disk;
}

namespace {

const std::string Food = "\x90\x48\x94\xef"; // 食費

EntryLine memo(const std::string& utf8) {
    EntryLine l;
    l.day = 1;
    l.item = Food;
    l.amount = 100;
    l.memo = utf8ToCp932(utf8);
    return l;
}

} // namespace

TEST(ReportMarks, LineMarksAreMemoTags) {
    struct Case {
        const char* memo;
        ReportMark read;
        ReportMark set;
        const char* after;
    } cases[] = {
        {"冷蔵庫", ReportMark::None, ReportMark::Excluded, "冷蔵庫 #集計対象外"},
        {"", ReportMark::None, ReportMark::Transfer, "#振替"},
        {"ｶｰﾄﾞ #振替", ReportMark::Transfer, ReportMark::None, "ｶｰﾄﾞ"},
        {"＃振替　旅行", ReportMark::Transfer, ReportMark::Excluded, "旅行 #集計対象外"},
        {"#振替 #集計対象外", ReportMark::Excluded, ReportMark::Transfer, "#振替"},
        // Another tag that only starts alike is no mark and stays.
        {"#振替予定 #旅行", ReportMark::None, ReportMark::Transfer, "#振替予定 #旅行 #振替"},
        {"振替", ReportMark::None, ReportMark::None, "振替"},
        {"#集計対象外、台所", ReportMark::Excluded, ReportMark::None, "、台所"},
        {"旅行　#振替", ReportMark::Transfer, ReportMark::None, "旅行"},
        {"#振替 旅行", ReportMark::Transfer, ReportMark::None, "旅行"},
        {"ab#振替", ReportMark::Transfer, ReportMark::None, "ab"},
        {"予約振替 #振替", ReportMark::Transfer, ReportMark::None, "予約振替"},
    };
    for (const Case& c : cases) {
        EntryLine l = memo(c.memo);
        EXPECT_EQ(lineMark(l), c.read) << c.memo;
        setLineMark(l, c.set);
        EXPECT_EQ(cp932ToUtf8(l.memo), c.after) << c.memo;
        EXPECT_EQ(lineMark(l), c.set) << c.memo;
    }
}

TEST(ReportMarks, CellMarksFileRoundTripsAndDamageIsNamed) {
    TempFolder dir;
    EXPECT_TRUE(readMarkFile(disk, dir.path()).marks.all().empty());
    EXPECT_FALSE(readMarkFile(disk, dir.path()).damaged);

    MarkSet marks;
    marks.set({{2026, 12}, 4, LineSide::Expense, Food}, ReportMark::Excluded);
    marks.set({{2026, 1}, 1, LineSide::Income, "a \"b"}, ReportMark::Transfer);
    marks.set({{2026, 12}, 5, LineSide::Expense, Food}, ReportMark::Transfer);
    marks.set({{2026, 12}, 5, LineSide::Expense, Food}, ReportMark::None);
    writeMarkFile(disk, dir.path(), marks);
    const std::string bytes = "ZADUD-MARKS,1\r\n"
                              "2026-01-01,0,\"a \"\"b\",T\r\n"
                              "2026-12-04,1,\"" +
                              Food + "\",X\r\n";
    EXPECT_EQ(readBytes(dir.file(MarkFileName)), bytes);
    EXPECT_EQ(readMarkFile(disk, dir.path()).marks, marks);
    EXPECT_EQ(marks.month(2026, 12).size(), 1u);
    EXPECT_EQ(marks.at({{2026, 1}, 1, LineSide::Income, "a \"b"}), ReportMark::Transfer);
    EXPECT_EQ(marks.at({{2026, 1}, 1, LineSide::Expense, "a \"b"}), ReportMark::None);

    struct Bad {
        std::string bytes;
        const char* line;
    } bad[] = {
        {"ZADUD-MARKS,2\r\n", "1 行目"},
        {"ZADUD-MARKS,1\r\n2026-02-30,1,\"x\",X\r\n", "2 行目"},
        {"ZADUD-MARKS,1\r\n\r\n2026-12-04,2,\"x\",X\r\n", "3 行目"},
        {"ZADUD-MARKS,1\r\n2026-12-04,1,\"x\",Y\r\n", "2 行目"},
        {"ZADUD-MARKS,1\r\n2026-12-04,1,\"\",X\r\n", "2 行目"},
        {"ZADUD-MARKS,1\r\n2026-12-04,1,\"x,X\r\n", "2 行目"},
        {"ZADUD-MARKS,1\r\n+026-12-04,1,\"x\",X\r\n", "2 行目"},
        {"ZADUD-MARKS,1\r\n202a-12-04,1,\"x\",X\r\n", "2 行目"},
        {"ZADUD-MARKS,1\r\n2026-12-04;1,\"x\",X\r\n", "2 行目"},
    };
    for (const Bad& b : bad) {
        writeBytes(dir.file(MarkFileName), b.bytes);
        const MarkFile f = readMarkFile(disk, dir.path());
        EXPECT_TRUE(f.damaged) << b.bytes;
        EXPECT_TRUE(f.marks.all().empty());
        EXPECT_NE(f.error.find(b.line), std::string::npos) << f.error;
        EXPECT_NE(f.error.find(f.path), std::string::npos) << f.error;
    }
    for (const MarkedCell& cell : {MarkedCell{{2026, 2}, 29, LineSide::Expense, Food},
                                   MarkedCell{{2026, 0}, 1, LineSide::Expense, Food},
                                   MarkedCell{{2026, 13}, 1, LineSide::Expense, Food},
                                   MarkedCell{{2026, 1}, 0, LineSide::Expense, Food},
                                   MarkedCell{{0, 1}, 1, LineSide::Expense, Food}})
        EXPECT_THROW(marks.set(cell, ReportMark::Excluded), AppError) << cell.month.month;
    EXPECT_THROW(marks.set({{2026, 2}, 1, LineSide::Expense, "a\tb"}, ReportMark::Excluded),
                 AppError);
}
