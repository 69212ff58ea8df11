// zadud --set-budget / --budget run as the user runs them, in a working
// directory holding ZADUD.CFG and month files.
#include "ledger/budget_plan.h"
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

const auto run = runZadud;

} // namespace

TEST(BudgetCommand, SetsFromAMonthOnAndPrintsBudgetSpentRemaining) {
    TempFolder tmp;
    // 食費 and Rent, in code page 932.
    writeBytes(tmp.file("ZADUD.CFG"),
               "ZADUD=" + tmp.path() + "\r\nkamo1=\x90\x48\x94\xef\r\nkamo2=Rent\r\n");
    MonthLedger dec;
    dec.Items[1].Name = "\x90\x48\x94\xef";
    dec.Items[2].Name = "Rent";
    dec.Items[1].Days[3].Expense = 32000;
    dec.Items[2].Days[27].Expense = 21270; // spent without a budget
    saveMonthFile(disk, dec, tmp.path(), 1997, 1);

    struct Case {
        const char* args;
        int code;
        std::string out;
    } cases[] = {
        {"--set-budget 1996-12 食費 30,000", 0,
         "食費の予算を 1996-12 から 30000 にしました (" + tmp.file(BudgetFileName) + ")\n"},
        {"--set-budget 1997-02 食費 25000", 0,
         "食費の予算を 1997-02 から 25000 にしました (" + tmp.file(BudgetFileName) + ")\n"},
        {"--budget 1997-01", 0, "食費\t30000\t32000\t-2000\nRent\t\t21270\t\n"},
        {"--budget 1996-12", 0, "食費\t30000\t0\t30000\nRent\t\t0\t\n"},
        {"--budget 1997-03", 0, "食費\t25000\t0\t25000\nRent\t\t0\t\n"},
        {"--budget 1997-13", 2, ""},
        {"--budget 1997", 2, ""},
        {"--set-budget 1997-01 食費 2147483648", 2, ""},
        {"--set-budget 1997-01 食費 abc", 2, ""},
        {"--set-budget 1997-01 家賃 100", 2, ""},
        {"--set-budget 1997-01 食費", 2, ""},
    };
    std::string bytes;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        if (c.code == 2) bytes = readBytes(tmp.file(BudgetFileName));
        const auto [code, out, err] = run(tmp, c.args);
        EXPECT_EQ(code, c.code) << err;
        EXPECT_EQ(out, c.out);
        if (c.code == 2) {
            EXPECT_FALSE(err.empty());
            EXPECT_EQ(readBytes(tmp.file(BudgetFileName)), bytes); // nothing written
        }
    }

    // The month's CSV ends with the budgeted items.
    const auto [code, out, err] = run(tmp, "--csv 1997-01 out.csv");
    EXPECT_EQ(code, 0) << err;
    const std::string csv = readBytes(tmp.file("out.csv"));
    const std::string tail = "\r\n\r\n項目,予算,使った,残り\r\n食費,30000,32000,-2000\r\n";
    EXPECT_EQ(csv.substr(csv.size() - std::min(csv.size(), tail.size())), tail);

    // A malformed budget file is named and never written over.
    writeBytes(tmp.file(BudgetFileName), "garbage\r\n");
    for (const char* args : {"--budget 1997-01", "--set-budget 1997-01 Rent 1"}) {
        const auto [code, out, err] = run(tmp, args);
        EXPECT_EQ(code, 1);
        EXPECT_NE(err.find(tmp.file(BudgetFileName)), std::string::npos) << err;
    }
    EXPECT_EQ(readBytes(tmp.file(BudgetFileName)), "garbage\r\n");
}
