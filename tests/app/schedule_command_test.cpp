// zadud --add-scheduled and --post-due run as the user runs them.
#include "ledger/cp932.h"
#include "ledger/month_ledger.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "tests/app/run_zadud.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <tuple>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

const auto zadud = runZadud;

} // namespace

TEST(ScheduleCommand, AddsEntriesThenPostsDueOnesOnceIntoTheirMonthFiles) {
    TempFolder tmp;
    writeBytes(tmp.file("ZADUD.CFG"),
               "ZADUD=" + tmp.path() + "\r\n" + utf8ToCp932("kamo1=給料\r\nkamo2=家賃\r\n"));
    // Something typed on the salary day stays: the posting adds to it.
    MonthLedger typed;
    typed.Items[1].Name = utf8ToCp932("給料");
    typed.Items[1].Days[25].Income = 5;
    saveMonthFile(disk, typed, tmp.path(), 2026, 10);

    auto [code, out, err] = zadud(
        tmp, "--add-scheduled --item 給料 --income 300000 --day 25 --from 2026-10 --shift before");
    EXPECT_EQ(code, 0) << err;
    EXPECT_EQ(out, "2026-10-23\n2026-11-25\n2026-12-25\n"); // 10/25 is a Sunday
    std::tie(code, out, err) = zadud(
        tmp, "--add-scheduled --item 家賃 --expense 80000 --last-day --from 2026-11 --confirm");
    EXPECT_EQ(code, 0) << err;
    std::tie(code, out, err) =
        zadud(tmp, "--add-scheduled --item 無い --expense 1 --day 1 --from 2026-11");
    EXPECT_EQ(code, 2);
    EXPECT_NE(err.find("無い"), std::string::npos) << err;

    std::tie(code, out, err) = zadud(tmp, "--post-due --through 2026-12-24");
    EXPECT_EQ(code, 0) << err;
    EXPECT_EQ(out, "2026-10-23\t給料\t収入\t300000\n2026-11-25\t給料\t収入\t300000\n");
    std::tie(code, out, err) = zadud(tmp, "--post-due --through 2026-12-24");
    EXPECT_EQ(code, 0) << err;
    EXPECT_EQ(out, "");

    MonthLedger read;
    read.Items[1].Name = typed.Items[1].Name;
    loadMonthFile(disk, read, tmp.path(), 2026, 10, LoadMode::Current);
    EXPECT_EQ(read.Items[1].Days[23].Income, 300000);
    EXPECT_EQ(read.Items[1].Days[25].Income, 5);

    // A damaged schedule file is named and left as it is.
    writeBytes(tmp.file("TEIKI.TXT"), "ZADUD-TEIKI 1\r\nE,x\r\n");
    std::tie(code, out, err) = zadud(tmp, "--post-due --through 2027-01-31");
    EXPECT_EQ(code, 2);
    EXPECT_NE(err.find("TEIKI.TXT"), std::string::npos) << err;
    std::tie(code, out, err) =
        zadud(tmp, "--add-scheduled --item 給料 --income 1 --day 1 --from 2026-11");
    EXPECT_EQ(code, 2);
    EXPECT_EQ(readBytes(tmp.file("TEIKI.TXT")), "ZADUD-TEIKI 1\r\nE,x\r\n");
}
