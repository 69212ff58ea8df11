// zadud --report, and --budget leaving marked amounts out, run as the user
// runs them.
#include "ledger/entry_lines.h"
#include "ledger/month_ledger.h"
#include "ledger/report_marks.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "tests/app/run_zadud.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

namespace {
DiskStore disk;
}

TEST(ReportCommand, PrintsComparisonsAndTheSavingsRate) {
    TempFolder tmp;
    const std::string food = "\x90\x48\x94\xef"; // 食費
    writeBytes(tmp.file("ZADUD.CFG"),
               "ZADUD=" + tmp.path() + "\r\nkamo1=" + food + "\r\nkamo2=Card\r\nkamo3=Pay\r\n");
    MonthLedger names;
    names.Items[1].Name = food;
    names.Items[2].Name = "Card";
    names.Items[3].Name = "Pay";
    MonthLedger nov = names, dec = names, lastDec = names;
    nov.Items[1].Days[3].Expense = 2000;
    dec.Items[1].Days[3].Expense = 3000;
    dec.Items[2].Days[27].Expense = 50000; // the card paid off: 振替
    dec.Items[3].Days[25].Income = 10000;
    lastDec.Items[1].Days[9].Expense = 1000;
    saveMonthFile(disk, nov, tmp.path(), 2026, 11);
    saveMonthFile(disk, dec, tmp.path(), 2026, 12);
    saveMonthFile(disk, lastDec, tmp.path(), 2025, 12);
    MarkSet marks;
    marks.set({{2026, 12}, 27, LineSide::Expense, "Card"}, ReportMark::Transfer);
    writeMarkFile(disk, tmp.path(), marks);

    struct Case {
        std::string args;
        int code;
        std::string out, err;
    } cases[] = {
        {"--report 2026-12", 0,
         "食費\t3000\t2000\t1000\t1500\n"
         "Card\t0\t0\t0\t0\n"
         "Pay\t0\t0\t0\t0\n"
         "合計\t3000\t2000\t1000\t1500\n"
         "貯蓄率\t70.0%\t50.0%\n",
         ""},
        {"--report 2025-12", 0,
         "食費\t1000\t―\t―\t―\nCard\t0\t―\t―\t―\nPay\t0\t―\t―\t―\n"
         "合計\t1000\t―\t―\t―\n貯蓄率\t―\t―\n",
         ""},
        {"--report 2026-13", 2, "", "年月 (1996-12) を指定してください\n"},
        {"--report 2026", 2, "", "年月 (1996-12) を指定してください\n"},
        {"--report", 2, "", ""},
        {"--budget 2026-12", 0, "食費\t\t3000\t\nCard\t\t0\t\nPay\t\t0\t\n", ""},
    };
    for (const Case& c : cases) {
        const auto [code, out, err] = runZadud(tmp, c.args);
        EXPECT_EQ(code, c.code) << c.args << "\n" << err;
        EXPECT_EQ(out, c.out) << c.args;
        if (!c.err.empty()) {
            EXPECT_EQ(err, c.err) << c.args;
        }
    }
    // A damaged mark file is named, and the figures go on without marks.
    writeBytes(tmp.file(MarkFileName), "garbage\r\n");
    const auto [code, out, err] = runZadud(tmp, "--report 2026-12");
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("合計\t53000\t"), std::string::npos) << out;
    EXPECT_NE(err.find(MarkFileName), std::string::npos) << err;

    // A month among the twelve before that cannot be read fails the report,
    // naming the file.
    writeBytes(tmp.file("202610.txt"), "not a month\r\n");
    const auto [failed, none, why] = runZadud(tmp, "--report 2026-12");
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(none, "");
    EXPECT_NE(why.find("202610.txt"), std::string::npos) << why;
}
