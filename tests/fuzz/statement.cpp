// Statements: reading any bytes either refuses the file with the program's
// error or gives rows that are each a problem or a real date with an amount
// of 1 to 2^31-1; identical rows are numbered 1, 2, ... in file order; and
// the import log written for the rows reads back with every one of them
// imported, so a re-import adds nothing.
#include "ledger/statement.h"
#include "ledger/errors.h"
#include "ledger/month_table.h"
#include "tests/fuzz/fuzz_check.h"

#include <limits>
#include <map>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Statement s;
    try {
        s = readStatement(fuzzBytes(data, size));
    } catch (const AppError&) {
        return 0;
    }
    if (!s.columns.usable()) return 0;
    std::vector<StatementRow> rows = statementRows(s, s.columns);
    std::map<std::string, int> seen;
    std::vector<const StatementRow*> all;
    for (const StatementRow& r : rows) {
        if (r.state == RowState::Problem) {
            FUZZ_CHECK(!r.problem.empty(), "a problem row says why");
            continue;
        }
        FUZZ_CHECK(r.month >= 1 && r.month <= 12 && r.day >= 1 &&
                       r.day <= daysInMonth(r.year, r.month),
                   "a posted row has a real date");
        FUZZ_CHECK(r.amount >= 1, "a posted row has an amount within 32 bits");
        StatementRow first = r;
        first.occurrence = 0;
        FUZZ_CHECK(r.occurrence == ++seen[first.fingerprint()], "identical rows numbered in order");
        all.push_back(&r);
    }
    ImportLog log;
    const ImportLog back = parseImportLog(appendToImportLog(log, all, 7));
    FUZZ_CHECK(back.damaged == 0, "the log written reads back whole");
    for (const StatementRow* r : all)
        FUZZ_CHECK(back.imported(r->fingerprint()), "a logged row is imported before");
    return 0;
}
