// zadud --import run as the user runs it, twice over the same statement:
// the first run posts, the second finds every row imported before.
#include "ledger/cp932.h"
#include "ledger/entry_lines.h"
#include "ledger/month_ledger.h"
#include "ledger/statement.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <tuple>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

std::tuple<int, std::string, std::string> run(const TempFolder& tmp, const std::string& args) {
    const std::string line = "cd '" + tmp.path() + "' && " + ZADUD_BINARY + " --import " + args +
                             " >'" + tmp.file("out.txt") + "' 2>'" + tmp.file("err.txt") + "'";
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(tmp.file("out.txt")),
            readBytes(tmp.file("err.txt"))};
}

int32_t expense(const TempFolder& tmp, int year, int month, int item, int day) {
    MonthLedger ledger;
    ledger.Items[1].Name = utf8ToCp932("食費");
    ledger.Items[2].Name = utf8ToCp932("日用品");
    loadMonthFile(disk, ledger, tmp.path(), year, month, LoadMode::Current);
    return ledger.Items[item].Days[day].Expense;
}

} // namespace

TEST(ImportCommand, PostsNewRowsOnceAndPrintsEachRowsFate) {
    TempFolder tmp;
    writeBytes(tmp.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\nkamo2=日用品\r\n"));
    writeBytes(tmp.file(ImportRulesFile), utf8ToCp932("パン屋\t食費\r\n"));
    writeBytes(tmp.file("card.csv"), utf8ToCp932("ご利用日,ご利用店名,ご利用金額\r\n"
                                                 "2026/11/30,ﾊﾟﾝ屋,300\r\n"
                                                 "2026/12/01,パン屋,300\r\n"
                                                 "2026/12/01,パン屋,300\r\n"
                                                 "2026/12/02,薬局,\"1,500\"\r\n"
                                                 "2026/12/40,誤り,1\r\n"));
    const std::string fresh = "2026-11-30\t食費\t-300\tnew\tﾊﾟﾝ屋\n"
                              "2026-12-01\t食費\t-300\tnew\tパン屋\n"
                              "2026-12-01\t食費\t-300\tnew\tパン屋\n"
                              "2026-12-02\t?\t-1500\tskipped\t薬局\n"
                              "-\t?\t\tskipped (6行目: 日付ではありません: 2026/12/40)\t誤り\n";
    auto [code, out, err] = run(tmp, "card.csv --dry-run");
    EXPECT_EQ(code, 0) << err;
    EXPECT_EQ(out, fresh);
    EXPECT_FALSE(fileExists(tmp.file("202612.txt")));
    EXPECT_FALSE(fileExists(tmp.file(ImportLogFile)));

    std::tie(code, out, err) = run(tmp, "card.csv");
    EXPECT_EQ(code, 0) << err;
    EXPECT_EQ(out, fresh);
    EXPECT_EQ(expense(tmp, 2026, 11, 1, 30), 300);
    EXPECT_EQ(expense(tmp, 2026, 12, 1, 1), 600);
    const std::string december = readBytes(tmp.file("202612.txt"));

    // Again, now with a default item: what was posted is recognised, the
    // row no rule placed goes to the default item.
    std::tie(code, out, err) = run(tmp, "card.csv --default-item 日用品");
    EXPECT_EQ(code, 0) << err;
    EXPECT_EQ(out, "2026-11-30\t食費\t-300\timported before\tﾊﾟﾝ屋\n"
                   "2026-12-01\t食費\t-300\timported before\tパン屋\n"
                   "2026-12-01\t食費\t-300\timported before\tパン屋\n"
                   "2026-12-02\t日用品\t-1500\tnew\t薬局\n"
                   "-\t?\t\tskipped (6行目: 日付ではありません: 2026/12/40)\t誤り\n");
    // Each posted row is an entry line, its description the memo.
    const MonthLineFile lines = loadLineFile(disk, tmp.path(), 2026, 12);
    ASSERT_EQ(lines.lines.size(), 3u);
    EXPECT_EQ(lines.lines[2].memo, utf8ToCp932("薬局"));
    EXPECT_EQ(expense(tmp, 2026, 12, 1, 1), 600);
    EXPECT_EQ(expense(tmp, 2026, 12, 2, 2), 1500);

    // Errors post nothing: an unknown item, a missing file.
    const std::string before = readBytes(tmp.file("202612.txt"));
    for (const char* args : {"card.csv --default-item 交際費", "none.csv"}) {
        SCOPED_TRACE(args);
        std::tie(code, out, err) = run(tmp, args);
        EXPECT_EQ(code, 2);
        EXPECT_EQ(out, "");
        EXPECT_FALSE(err.empty());
    }
    EXPECT_EQ(readBytes(tmp.file("202612.txt")), before);
    EXPECT_NE(december, before);
}
