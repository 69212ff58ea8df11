#pragma once
// A month read for an export (printout, PDF): the carry-over from the months
// before, then the month's days, by the same loads as the main window, with
// nothing ever written. An export must not show a partial month, so a file
// that is malformed, or that exists but cannot be read, throws its error
// here where the window would read it as zeros; a month without a file reads
// as zeros, as the window shows it.

#include "ledger/file_store.h"
#include "ledger/month_ledger.h"

#include <string>

// `ledger` holds the item names; its carry-over and days are replaced. On an
// error, `failed` (where given) names the file that failed.
void readMonthForExport(FileStore& files, MonthLedger& ledger, const std::string& dir, int year,
                        int month, std::string* failed = nullptr);
