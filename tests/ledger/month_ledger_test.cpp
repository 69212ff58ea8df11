#include "ledger/month_ledger.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace fs = std::filesystem;

namespace {

std::string zeros(int count) {
    std::string s;
    for (int i = 0; i < count; ++i)
        s += "00000000,";
    return s;
}

std::string load(MonthLedger& l, const std::string& bytes, LoadMode mode) {
    std::istringstream in(bytes);
    try {
        loadMonth(l, in, mode);
    } catch (const AppError& e) {
        return e.what();
    }
    return {};
}

} // namespace

TEST(MonthFile, WorkedExampleBytes) {
    MonthLedger l;
    l.Items[1].Name = "X";
    l.Items[1].Days[2].Income = 1200;
    l.Items[1].Days[31].Income = 300;
    l.CarryOver[1] = -500;
    const std::string income = "X,0,00000000,00001200," + zeros(28) + "00000300,00001000,\r\n";
    const std::string expense = "X,1," + zeros(32) + "\r\n";
    EXPECT_EQ(formatMonth(l), income + expense);
}

TEST(MonthFile, OnlyNamedItemsInSlotOrderAndEmptyLedgerGivesEmptyFile) {
    MonthLedger l;
    EXPECT_EQ(formatMonth(l), "");
    l.Items[1].Name = "A";
    l.Items[2].Name = "B";
    l.Items[4].Name = "D";
    l.Items[13].Name = "hidden"; // slots past twelve are never saved
    const auto lines = splitLines(formatMonth(l));
    ASSERT_EQ(lines.size(), 6u);
    const char* names[] = {"A,0,", "A,1,", "B,0,", "B,1,", "D,0,", "D,1,"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(lines[i].rfind(names[i], 0), 0u) << lines[i];
}

TEST(MonthFile, NegativeAndWideNumbers) {
    struct Case {
        int32_t carry, income;
        const char* total;
    } cases[] = {
        {-500, 1000, "00000500"},      {-3000, 1000, "-00002000"},
        {0, 123456789, "123456789"},   {0, -5, "-00000005"},
        {0, INT32_MIN, "-2147483648"}, {1, INT32_MAX - 1, "2147483647"},
        {0, -123456789, "-123456789"},
    };
    for (const Case& c : cases) {
        MonthLedger l;
        l.Items[1].Name = "n";
        l.CarryOver[1] = c.carry;
        l.Items[1].Days[1].Income = c.income;
        const auto lines = splitLines(formatMonth(l));
        ASSERT_EQ(lines.size(), 2u);
        const std::string& line = lines[0];
        const std::string tail = std::string(",") + c.total + ",";
        EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << c.carry << " " << c.income;
    }
}

TEST(MonthFile, TotalOutside32BitsIsAnOverflowError) {
    MonthLedger l;
    l.Items[1].Name = "n";
    l.Items[1].Days[1].Expense = INT32_MAX;
    l.Items[1].Days[2].Expense = 1;
    try {
        formatMonth(l);
        FAIL() << "no overflow reported";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "整数のｵｰﾊﾞｰﾌﾛｰ");
    }
}

TEST(MonthFile, RoundTripKeepsEveryValue) {
    MonthLedger a;
    a.Items[1].Name = "\x90\x48\x94\xEF"; // 食費 in CP932
    a.Items[3].Name = "B";
    for (int d = 1; d <= 31; ++d) {
        a.Items[1].Days[d] = {d * 1000, -d};
        a.Items[3].Days[d] = {INT32_MIN / 64 + d, 9999999 - d};
    }
    a.CarryOver[1] = 7;
    MonthLedger b;
    b.Items[1].Name = a.Items[1].Name;
    b.Items[3].Name = "B";
    b.Items[1].Days[5].Income = 42; // overwritten by the load
    EXPECT_EQ(load(b, formatMonth(a), LoadMode::Current), "");
    for (int d = 1; d <= 31; ++d) {
        EXPECT_EQ(b.Items[1].Days[d].Income, a.Items[1].Days[d].Income);
        EXPECT_EQ(b.Items[1].Days[d].Expense, a.Items[1].Days[d].Expense);
        EXPECT_EQ(b.Items[3].Days[d].Income, a.Items[3].Days[d].Income);
        EXPECT_EQ(b.Items[3].Days[d].Expense, a.Items[3].Days[d].Expense);
    }
    // Previous mode: carry-over is income total minus expense total.
    MonthLedger c;
    c.Items[1].Name = a.Items[1].Name;
    EXPECT_EQ(load(c, formatMonth(a), LoadMode::Previous), "");
    EXPECT_EQ(c.CarryOver[1], 7 + 496000 + 496);
    EXPECT_EQ(c.Items[1].Days[5].Income, 0); // previous mode stores no days
}

TEST(MonthLoad, LineEdgeCases) {
    const std::string full = "A,0," + zeros(30) + "00000010,00000100,";
    struct Case {
        const char* what;
        std::string bytes;
        int32_t carry; // CarryOver[1] after a previous-mode load
        int32_t day31; // Items[1].Days[31].Income after a current-mode load
    } cases[] = {
        {"plain line", full + "\r\n", 100, 10},
        {"missing final comma loses the total", full.substr(0, full.size() - 1) + "\r\n", 0, 10},
        {"unknown name changes nothing", "Z" + full.substr(1) + "\r\n", 0, 0},
        {"fields after the total are ignored", full + "junk,more,\r\n", 100, 10},
        {"expense line subtracts its total", full + "\r\nA,1," + zeros(31) + "00000030,\r\n", 70,
         10},
        {"same line twice adds its total twice", full + "\r\n" + full + "\r\n", 200, 10},
        {"Ctrl-Z ends the file", full + "\r\n\x1a" + full + "\r\n", 100, 10},
        {"no line end at all", full, 100, 10},
        {"any flag but 0 is an expense line", "A,x," + zeros(30) + "00000010,00000100,\r\n", -100,
         0},
    };
    for (const Case& c : cases) {
        MonthLedger l;
        l.Items[1].Name = "A";
        EXPECT_EQ(load(l, c.bytes, LoadMode::Previous), "") << c.what;
        EXPECT_EQ(l.CarryOver[1], c.carry) << c.what;
        EXPECT_EQ(load(l, c.bytes, LoadMode::Current), "") << c.what;
        EXPECT_EQ(l.Items[1].Days[31].Income, c.day31) << c.what;
    }
}

TEST(MonthLoad, NameWithACommaIsWrittenButNeverReadBack) {
    MonthLedger l;
    l.Items[1].Name = "A,B";
    l.Items[1].Days[1].Income = 9;
    l.CarryOver[1] = 4;
    const std::string bytes = formatMonth(l);
    EXPECT_EQ(bytes.rfind("A,B,0,00000009,", 0), 0u);
    EXPECT_EQ(load(l, bytes, LoadMode::Current), "");
    EXPECT_EQ(l.Items[1].Days[1].Income, 0);
    EXPECT_EQ(load(l, bytes, LoadMode::Previous), "");
    EXPECT_EQ(l.CarryOver[1], 0);
}

TEST(MonthLoad, DuplicateNamesGoToTheFirstItem) {
    MonthLedger l;
    l.Items[2].Name = "A";
    l.Items[5].Name = "A";
    EXPECT_EQ(load(l, "A,0,00000007," + zeros(31) + "\r\n", LoadMode::Current), "");
    EXPECT_EQ(l.Items[2].Days[1].Income, 7);
    EXPECT_EQ(l.Items[5].Days[1].Income, 0);
}

TEST(MonthLoad, MalformedFieldStopsWithTheFieldInTheMessage) {
    MonthLedger l;
    l.Items[1].Name = "A";
    l.Items[2].Name = "B";
    const std::string bytes =
        "A,0,00000005," + zeros(31) + "\r\nB,0,00000001,12x4,\r\nA,1,00000009,\r\n";
    EXPECT_EQ(load(l, bytes, LoadMode::Current), "'12x4' は整数ではありません");
    EXPECT_EQ(l.Items[1].Days[1].Income, 5); // applied before the bad field
    EXPECT_EQ(l.Items[2].Days[1].Income, 1);
    EXPECT_EQ(l.Items[1].Days[1].Expense, 0); // the line after it was never read
    // Empty fields, a lone sign and values past 32 bits are not integers.
    for (const char* bad : {"", "-", "+5", " 5", "2147483648", "-2147483649"}) {
        MonthLedger m;
        m.Items[1].Name = "A";
        EXPECT_EQ(load(m, std::string("A,0,") + bad + ",\r\n", LoadMode::Current),
                  std::string("'") + bad + "' は整数ではありません");
    }
    MonthLedger m;
    m.Items[1].Name = "A";
    EXPECT_EQ(load(m, "A,0,-2147483648,2147483647,\r\n", LoadMode::Current), "");
    EXPECT_EQ(m.Items[1].Days[1].Income, INT32_MIN);
    EXPECT_EQ(m.Items[1].Days[2].Income, INT32_MAX);
}

TEST(MonthFileOnDisk, NamesPreviousMonthAndMissingFiles) {
    EXPECT_EQ(monthFileName(1996, 12), "199612.txt");
    EXPECT_EQ(monthFileName(1997, 1), "19971.txt");

    TempFolder dir;
    MonthLedger saved;
    saved.Items[1].Name = "A";
    saved.Items[1].Days[3].Income = 800;
    saved.CarryOver[1] = 200;
    saveMonthFile(disk, saved, dir.path(), 1996, 12);
    ASSERT_TRUE(fileExists(dir.file("199612.txt")));

    MonthLedger l;
    l.Items[1].Name = "A";
    l.Items[1].Days[3].Income = 5;
    // January's previous month is December of the year before.
    EXPECT_EQ(loadMonthFile(disk, l, dir.path(), 1997, 1, LoadMode::Previous),
              MonthFileState::Read);
    EXPECT_EQ(l.CarryOver[1], 1000);
    // A missing file reads as all zero, silently, in either mode.
    EXPECT_EQ(loadMonthFile(disk, l, dir.path(), 1997, 1, LoadMode::Current),
              MonthFileState::Missing);
    EXPECT_EQ(l.Items[1].Days[3].Income, 0);
    EXPECT_EQ(l.CarryOver[1], 1000);
    // A month without a file had no movement: February still brings in
    // December's closing balance, and so does a month ten years on.
    EXPECT_EQ(loadMonthFile(disk, l, dir.path(), 1997, 2, LoadMode::Previous),
              MonthFileState::Read);
    EXPECT_EQ(l.CarryOver[1], 1000);
    EXPECT_EQ(loadMonthFile(disk, l, dir.path(), 2006, 12, LoadMode::Previous),
              MonthFileState::Read);
    EXPECT_EQ(l.CarryOver[1], 1000);
    // Past ten years of months without a file the chain ends at zero.
    EXPECT_EQ(loadMonthFile(disk, l, dir.path(), 2007, 1, LoadMode::Previous),
              MonthFileState::Missing);
    EXPECT_EQ(l.CarryOver[1], 0);
    // A malformed file met on the way back stops the walk with its error.
    writeBytes(dir.file("19972.txt"), "A,0,x,\r\n");
    EXPECT_THROW(loadMonthFile(disk, l, dir.path(), 1997, 4, LoadMode::Previous), AppError);
    // December's previous month is November of the same year.
    saveMonthFile(disk, saved, dir.path(), 1997, 11);
    EXPECT_EQ(loadMonthFile(disk, l, dir.path(), 1997, 12, LoadMode::Previous),
              MonthFileState::Read);
    EXPECT_EQ(l.CarryOver[1], 1000);
}

TEST(MonthFileOnDisk, FailedSaveLeavesTheOldFileByteForByte) {
    TempFolder dir;
    const std::string file = dir.file("20241.txt");
    const std::string old = "A,0," + zeros(32) + "\r\nA,1," + zeros(32) + "\r\n";
    writeBytes(file, old);

    MonthLedger l;
    l.Items[1].Name = "A";
    l.Items[1].Days[1].Income = 1;
    for (const char* step : {"open", "write", "rename"}) {
        disk.setFaults(
            [&](const std::string&, const std::string& s) { return s == step ? ENOSPC : 0; });
        try {
            saveMonthFile(disk, l, dir.path(), 2024, 1);
            ADD_FAILURE() << "no error at " << step;
        } catch (const AppError& e) {
            EXPECT_STREQ(e.what(), "ﾃﾞｨｽｸがいっぱいです") << step;
        }
        disk.setFaults(nullptr);
        EXPECT_EQ(readBytes(file), old) << step;
    }
    // An overflowing total never touches the file either.
    l.Items[1].Days[2].Income = INT32_MAX;
    EXPECT_THROW(saveMonthFile(disk, l, dir.path(), 2024, 1), AppError);
    EXPECT_EQ(readBytes(file), old);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(MonthFileOnDisk, ReadOnlyFileAndMissingDirectoryAreRefused) {
    TempFolder dir;
    const std::string file = dir.file("20243.txt");
    writeBytes(file, "keep");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    MonthLedger l;
    l.Items[1].Name = "A";
    try {
        saveMonthFile(disk, l, dir.path(), 2024, 3);
        ADD_FAILURE() << "read-only file was replaced";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "ﾌｧｲﾙへのｱｸｾｽが拒否されました");
    }
    EXPECT_EQ(readBytes(file), "keep");
    try {
        saveMonthFile(disk, l, dir.file("missing"), 2024, 3);
        ADD_FAILURE() << "missing directory accepted";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "不正なﾌｧｲﾙ名です");
    }
}

TEST(MonthFile, OtherLinesKeptSecondItemOfANameSkippedEmptyNameMatchesNothing) {
    MonthLedger l;
    l.Items[1].Name = "A";
    l.Items[4].Name = "A";
    l.Items[12].Name = "L";
    const std::string renamed = "Old,1,00000003,";
    const std::string unnamed = ",1,00001000,";
    const std::string file =
        renamed + "\r\nA,0,00000007," + zeros(31) + "\r\n\r\n" + unnamed + "\r\nL,1,00000012,\r\n";
    EXPECT_EQ(load(l, file, LoadMode::Previous), "");
    EXPECT_TRUE(l.OtherLines.empty()) << "previous mode reads only the totals";
    EXPECT_EQ(load(l, file, LoadMode::Current), "");
    EXPECT_EQ(l.Items[1].Days[1].Income, 7);
    EXPECT_EQ(l.Items[12].Days[1].Expense, 12);
    EXPECT_EQ(l.Items[2].Days[1].Expense, 0) << "an empty name is not the first unnamed slot";
    l.Items[4].Days[2].Income = 5; // the second "A" always reads as zero

    const std::string saved = formatMonth(l);
    EXPECT_EQ(saved, "A,0,00000007," + zeros(30) + "00000007,\r\nA,1," + zeros(32) + "\r\nL,0," +
                         zeros(32) + "\r\nL,1,00000012," + zeros(30) + "00000012,\r\n" + renamed +
                         "\r\n" + unnamed + "\r\n");
    // Read and saved again, the other lines neither multiply nor move.
    EXPECT_EQ(load(l, saved, LoadMode::Current), "");
    EXPECT_EQ(formatMonth(l), saved);
    // Naming the item back restores its amounts, at the next load or at
    // once; what was typed under the name meanwhile stays.
    l.Items[2].Name = "Old";
    MonthLedger reloaded = l;
    EXPECT_EQ(load(reloaded, saved, LoadMode::Current), "");
    EXPECT_EQ(reloaded.Items[2].Days[1].Expense, 3);
    l.Items[2].Days[2].Expense = 9;
    MonthLedger typedOver = l;
    typedOver.Items[2].Days[1].Expense = 4;
    adoptOtherLines(typedOver);
    EXPECT_EQ(typedOver.Items[2].Days[1].Expense, 4) << "typed amounts win";
    adoptOtherLines(l);
    EXPECT_EQ(l.Items[2].Days[1].Expense, 3);
    EXPECT_EQ(l.Items[2].Days[2].Expense, 9);
    EXPECT_EQ(l.OtherLines, std::vector<std::string>{unnamed});
    EXPECT_EQ(load(reloaded, formatMonth(l), LoadMode::Current), "");
    EXPECT_EQ(reloaded.Items[2].Days[2].Expense, 9) << "the old line came back after the typing";
}

TEST(MonthFile, TotalsThatCannotBeSavedAreFoundAtLoad) {
    MonthLedger l;
    l.Items[12].Name = "n";
    l.CarryOver[12] = INT32_MAX - 1;
    l.Items[12].Days[31] = {1, INT32_MAX};
    EXPECT_NO_THROW(checkTotals(l));
    l.Items[12].Days[1].Income = 1;
    EXPECT_THROW(checkTotals(l), AppError);
    l.Items[12].Days[1] = {0, 1};
    EXPECT_THROW(checkTotals(l), AppError);
}

TEST(MonthFileOnDisk, FailedReadZeroesTheDaysAndPathThroughAFileIsMissing) {
    TempFolder dir;
    MonthLedger l;
    l.Items[1].Name = "A";
    l.Items[1].Days[9].Income = 99;
    // The file opens, then reading it fails.
    fs::create_symlink("/proc/self/mem", dir.file("20245.txt"));
    std::string file;
    try {
        loadMonthFile(disk, l, dir.path(), 2024, 5, LoadMode::Current, &file);
        ADD_FAILURE() << "no read error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "I/O ｴﾗｰ (5)");
    }
    EXPECT_EQ(file, dir.file("20245.txt"));
    EXPECT_EQ(l.Items[1].Days[9].Income, 0);

    writeBytes(dir.file("plain"), "");
    for (LoadMode mode : {LoadMode::Current, LoadMode::Previous})
        EXPECT_EQ(loadMonthFile(disk, l, dir.file("plain") + "/sub", 2024, 5, mode),
                  MonthFileState::Missing);
}
