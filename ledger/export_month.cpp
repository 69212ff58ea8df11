#include "ledger/export_month.h"

#include "ledger/text_file.h"

namespace {

// The load has already failed; reading again names the error.
void throwUnreadable(const std::string& dir, int year, int month) {
    readFileBytes(joinPath(dir, monthFileName(year, month)));
}

} // namespace

void readMonthForExport(MonthLedger& ledger, const std::string& dir, int year, int month) {
    if (loadMonthFile(ledger, dir, year, month, LoadMode::Previous) == MonthFileState::Unreadable)
        throwUnreadable(dir, month == 1 ? year - 1 : year, month == 1 ? 12 : month - 1);
    if (loadMonthFile(ledger, dir, year, month, LoadMode::Current) == MonthFileState::Unreadable)
        throwUnreadable(dir, year, month);
}
