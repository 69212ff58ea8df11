// zadud --set-month-start / --period, and --budget over the period, run as
// the user runs them.
#include "ledger/budget_plan.h"
#include "ledger/month_ledger.h"
#include "ledger/period.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "tests/app/run_zadud.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;

// 食費 spent on the 24th and 25th of November and December.
void writeAroundPayday(const TempFolder& tmp) {
    writeBytes(tmp.file("ZADUD.CFG"), "ZADUD=" + tmp.path() + "\r\nkamo1=\x90\x48\x94\xef\r\n");
    MonthLedger nov, dec;
    nov.Items[1].Name = dec.Items[1].Name = "\x90\x48\x94\xef"; // 食費
    nov.Items[1].Days[24].Expense = 1000;
    nov.Items[1].Days[25].Expense = 2000;
    dec.Items[1].Days[24].Expense = 4000;
    dec.Items[1].Days[25].Expense = 8000;
    saveMonthFile(disk, nov, tmp.path(), 2026, 11);
    saveMonthFile(disk, dec, tmp.path(), 2026, 12);
}
} // namespace

TEST(PeriodCommand, SetsTheStartDayPrintsPeriodsAndBudgetsFollow) {
    TempFolder tmp;
    writeAroundPayday(tmp);
    const std::string prd = tmp.file(PeriodFileName);
    const std::string set = "月の開始日を ";
    const std::string header = "ZADUD-PERIOD,1\r\n";

    struct Case {
        std::string args;
        int code;
        std::string out;  // for exit 2: the start of standard error
        std::string file; // ZADUD.PRD afterwards; "" for none
    } cases[] = {
        // No file: calendar months, and --budget as before.
        {"--period 2026-12", 0, "2026-12-01\t2026-12-31\n", ""},
        {"--set-budget 2026-12 食費 30000", 0,
         "食費の予算を 2026-12 から 30000 にしました (" + tmp.file(BudgetFileName) + ")\n", ""},
        {"--budget 2026-12", 0, "食費\t30000\t12000\t18000\n", ""},
        // Payday the 25th; the default naming from 16 on is the end month.
        {"--set-month-start 25", 0,
         set + "25 日にしました (ずらさない、期間の名は次の月) (" + prd + ")\n",
         header + "25,none,end\r\n"},
        {"--period 2026-12", 0, "2026-11-25\t2026-12-24\n", header + "25,none,end\r\n"},
        {"--budget 2026-12", 0, "食費\t30000\t6000\t24000\n", header + "25,none,end\r\n"},
        // 2026-10-25 is a Sunday.
        {"--set-month-start 25 --shift before --naming start", 0,
         set + "25 日にしました (土日・祝日は前の平日、期間の名は開始日の月) (" + prd + ")\n",
         header + "25,before,start\r\n"},
        {"--period 2026-10", 0, "2026-10-23\t2026-11-24\n", header + "25,before,start\r\n"},
        {"--set-month-start 1", 0,
         set + "1 日にしました (ずらさない、期間の名は開始日の月) (" + prd + ")\n",
         header + "1,none,start\r\n"},
        {"--period 2026-12", 0, "2026-12-01\t2026-12-31\n", header + "1,none,start\r\n"},
        {"--set-month-start 31 --shift after --naming start", 0,
         set + "31 日にしました (土日・祝日は後の平日、期間の名は開始日の月) (" + prd + ")\n",
         header + "31,after,start\r\n"},
        {"--period 2024-02", 0, "2024-02-29\t2024-03-31\n", header + "31,after,start\r\n"},
        {"--set-month-start １０ --shift=after", 0,
         set + "10 日にしました (土日・祝日は後の平日、期間の名は開始日の月) (" + prd + ")\n",
         header + "10,after,start\r\n"},
        // Bad values: a message, nothing written.
        {"--set-month-start 0", 2, "--set-month-start: 開始日 0 を読めません",
         header + "10,after,start\r\n"},
        {"--set-month-start 32", 2, "--set-month-start: 開始日 32 を読めません",
         header + "10,after,start\r\n"},
        {"--set-month-start +5", 2, "--set-month-start: 開始日 +5 を読めません",
         header + "10,after,start\r\n"},
        {"--set-month-start 25 --shift later", 2, "--shift: later を読めません",
         header + "10,after,start\r\n"},
        {"--set-month-start 25 --shift=", 2, "--shift:  を読めません",
         header + "10,after,start\r\n"},
        {"--set-month-start 25 --naming middle", 2, "--naming: middle を読めません",
         header + "10,after,start\r\n"},
        {"--shift before", 2, "--shift は --add-scheduled か --set-month-start と一緒に",
         header + "10,after,start\r\n"},
        {"--period 2026-12 --naming end", 2, "--naming は --set-month-start と一緒に",
         header + "10,after,start\r\n"},
        {"--period 2026-13", 2, "年月 (1996-12) を指定してください", header + "10,after,start\r\n"},
        {"--period 2026", 2, "年月 (1996-12) を指定してください", header + "10,after,start\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const auto [code, out, err] = runZadud(tmp, c.args);
        EXPECT_EQ(code, c.code) << err;
        if (c.code == 2) {
            EXPECT_EQ(out, "");
            EXPECT_EQ(err.substr(0, c.out.size()), c.out) << err;
        } else {
            EXPECT_EQ(out, c.out);
        }
        EXPECT_EQ(readBytes(prd), c.file);
    }

    // A damaged file is named; the commands go on with calendar months and
    // only setting the start day writes over it.
    writeBytes(prd, "garbage\r\n");
    const std::pair<const char*, const char*> calendar[] = {
        {"--period 2026-12", "2026-12-01\t2026-12-31\n"},
        {"--budget 2026-12", "食費\t30000\t12000\t18000\n"}};
    for (const auto& [args, want] : calendar) {
        SCOPED_TRACE(args);
        const auto [code, out, err] = runZadud(tmp, args);
        EXPECT_EQ(code, 0) << err;
        EXPECT_NE(err.find(prd), std::string::npos) << err;
        EXPECT_EQ(out, want);
        EXPECT_EQ(readBytes(prd), "garbage\r\n");
    }
    EXPECT_EQ(std::get<0>(runZadud(tmp, "--set-month-start 5")), 0);
    EXPECT_EQ(readBytes(prd), header + "5,none,start\r\n");

    // A file that cannot be written over (here a folder in its place) fails
    // the command with 1, naming it.
    std::filesystem::remove(prd);
    std::filesystem::create_directory(prd);
    const auto [code, out, err] = runZadud(tmp, "--set-month-start 25");
    EXPECT_EQ(code, 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find(prd), std::string::npos) << err;
}

TEST(PeriodCommand, CsvAndPdfOfAMonthNameAPeriodAndDayOneChangesNothing) {
    TempFolder tmp;
    writeAroundPayday(tmp);
    const std::string csv = tmp.file("out.csv"), prd = tmp.file(PeriodFileName);
    auto exported = [&](const std::string& args) {
        const auto [code, out, err] = runZadud(tmp, args);
        EXPECT_EQ(code, 0) << err;
        return readBytes(csv);
    };
    // The calendar month without the file and with day 1 in it: the same bytes.
    const std::string calendar = exported("--csv 2026-12 " + csv);
    writeBytes(prd, "ZADUD-PERIOD,1\r\n1,after,end\r\n");
    EXPECT_EQ(exported("--csv 2026-12 " + csv), calendar);

    writeBytes(prd, "ZADUD-PERIOD,1\r\n25,none,end\r\n");
    const std::string period = exported("--csv 2026-12 " + csv);
    const std::string head = "\xEF\xBB\xBF項目,繰越,11/25,11/26,11/27,";
    EXPECT_EQ(period.substr(0, head.size()), head);
    // Brought in: November's days before the 25th; then 11/25 and 12/24.
    EXPECT_NE(period.find("\r\n食費,-1000,-2000,0,"), std::string::npos) << period;
    EXPECT_NE(period.find(",-4000\r\n日計,"), std::string::npos) << period;
    EXPECT_NE(period.find(",-7000\r\n"), std::string::npos) << period;

    const auto [code, out, err] = runZadud(tmp, "--pdf 2026-12 " + tmp.file("out.pdf"));
    EXPECT_EQ(code, 0) << err;
    EXPECT_EQ(readBytes(tmp.file("out.pdf")).substr(0, 5), "%PDF-");
}
