// Names a spreadsheet would run as formulas are exported as text; amounts,
// negative ones too, stay numbers.
#include "ledger/cp932.h"
#include "ledger/csv_export.h"

#include <gtest/gtest.h>

TEST(CsvText, FormulaLikeNamesAreTextAndAmountsStayNumbers) {
    struct Case {
        std::string name, cell;
    } cases[] = {
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"+1", "'+1"},
        {"-1", "'-1"},
        {"\tTab", "'\tTab"},
        {"\rCR", "\"'\rCR\""},
        {"食費", "食費"},
        {"a=b", "a=b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonthLedger l;
        l.Items[1].Name = utf8ToCp932(c.name);
        l.CarryOver[1] = -500;
        l.Items[1].Days[2].Expense = 30;
        const std::string csv = monthCsv(l, 2026, 2);
        EXPECT_NE(csv.find("\r\n" + c.cell + ",-500,0,-30,"), std::string::npos) << csv;
    }
}
