#pragma once
// A year of periods for the year overview: month m of the model is the
// period named (year, m), its income and expense summed from the days of the
// month files it touches, its closing balance the balance after its last
// day. Month files stay calendar months and are only read; stale marks and
// their repair stay the calendar months' (the model has none).

#include "ledger/period.h"
#include "ledger/year_model.h"

// A period touching an unreadable month file is left out and names it.
YearModel periodYearModel(FileStore& files, const MonthLedger& names, const std::string& dir,
                          int year, const PeriodRule& rule, const HeldMonth& held = {});
