#pragma once
// --report: a period's spending by item against the last period, the same
// period a year before and the average of the twelve before, then the
// savings rate (report_figures.h).

#include "ledger/report_marks.h"

#include <string>

// Prints one line per configured item, "NAME<TAB>NOW<TAB>LAST<TAB>A YEAR
// AGO<TAB>AVERAGE" ("―" where there are no data), then the total and
// "貯蓄率<TAB>PERIOD<TAB>YEAR". Exit 0; 2 for a bad month; 1 when a month
// file cannot be read.
int runReportCommand(const std::string& month);

// The cell marks of the ledger folder for a command: a damaged ZADUD.MRK is
// named on standard error and the command goes on without them.
MarkSet commandMarks(FileStore& files, const std::string& ledgerDir);
