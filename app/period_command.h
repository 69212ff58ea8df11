#pragma once
// --set-month-start and --period: the account book's month (period.h) on
// the command line.

#include "ledger/period.h"

#include <QString>
#include <optional>
#include <string>

// `day` is the value of --set-month-start; `shift` and `naming` the values
// of --shift and --naming, nullopt when not given (no shift; end naming from
// day 16 on). Exit 0; 2 with a message and nothing written for a bad value;
// 1 when ZADUD.PRD cannot be written.
int runSetMonthStart(const QString& day, const std::optional<QString>& shift,
                     const std::optional<QString>& naming);

// Prints the first and last day of the period named `month` ("2026-12") as
// "2026-11-25<TAB>2026-12-24". Exit 0; 2 for a bad month.
int runPeriodCommand(const std::string& month);

// The rule of the ledger folder for a command: a damaged ZADUD.PRD is named
// on standard error and the command goes on with calendar months.
PeriodRule commandPeriodRule(const std::string& ledgerDir);
