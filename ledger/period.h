#pragma once
// The account book's month, which need not be the calendar's: a household
// paid on the 25th lives from the 25th to the 24th. A rule gives the start
// day N (1 is the calendar month), a shift for a start on a day off and how
// a period is named after a month.
//
// A period runs from its shifted start to the day before the next period's
// shifted start, so periods never overlap or leave a gap. It is named by its
// nominal start (day N of a month, before any shift): with start naming
// after that month, with end naming after the month following it. Each
// month name has exactly one nominal start, one month after the other, so
// stepping names never skips or repeats a month.
//
// Month files stay calendar months; everything over a period is summed from
// day amounts (period_figures.h). The rule lives in ZADUD.PRD in the ledger
// folder (format in README.md).

#include "ledger/file_store.h"
#include "ledger/jp_holidays.h"

#include <string>

inline constexpr const char* PeriodFileName = "ZADUD.PRD";

// Where a start that falls on a Saturday, Sunday or holiday moves: as the
// scheduled entries move (the working day before or after).
enum class PeriodShift { None, Before, After };
enum class PeriodNaming { Start, End };

// End naming from the 16th on: a period that starts on 11/25 is mostly
// December ("12月分"); one that starts on 11/10 mostly November.
PeriodNaming defaultNaming(int startDay);

struct PeriodRule {
    int startDay = 1; // 1..31; a day past a month's end is its last day
    PeriodShift shift = PeriodShift::None;
    PeriodNaming naming = PeriodNaming::Start;
    // Day 1 is the calendar month whatever the shift and naming say: the
    // default must change nothing anywhere.
    bool calendar() const { return startDay == 1; }
    bool operator==(const PeriodRule& o) const {
        return startDay == o.startDay && shift == o.shift && naming == o.naming;
    }
    bool operator!=(const PeriodRule& o) const { return !(*this == o); }
};

// A period's name: the month it is named after ("2026年12月分").
struct PeriodName {
    int year = 0;
    int month = 0;
    bool operator==(const PeriodName& o) const { return year == o.year && month == o.month; }
    bool operator!=(const PeriodName& o) const { return !(*this == o); }
    bool operator<(const PeriodName& o) const {
        return year != o.year ? year < o.year : month < o.month;
    }
};

struct PeriodRange {
    Date first;
    Date last;
    bool contains(const Date& d) const { return first <= d && d <= last; }
    int days() const;
};

// Day N of the month named, or its last day, before the shift.
Date nominalStart(const PeriodRule& rule, const PeriodName& name);
// The first and last day of the period named.
PeriodRange periodRange(const PeriodRule& rule, const PeriodName& name);
// The period holding the day.
PeriodName periodOf(const PeriodRule& rule, const Date& day);
// The name `months` periods after (before, when negative).
PeriodName stepPeriod(const PeriodName& name, int months);

// "2026年12月分 11/25〜12/24" for a period other than a calendar month,
// "2026年12月" for a calendar month (UTF-8).
std::string periodTitle(const PeriodRule& rule, const PeriodName& name);

// Days of the period from `today` on, today included: the whole period when
// it is still to come, none when it is over.
int daysLeftInPeriod(const PeriodRange& range, const Date& today);

// The side file's bytes, and back. A malformed text throws naming the line.
std::string formatPeriodRule(const PeriodRule& rule);
PeriodRule parsePeriodRule(const std::string& bytes);

// The rule as read from the ledger folder. A missing file is the calendar
// month; a file that cannot be read or parsed gives the calendar month with
// `damaged` set and a message naming the file, to be shown once: the book
// goes on with calendar months, and nothing may write over the file until
// the user sets the rule again.
struct PeriodFile {
    PeriodRule rule;
    bool damaged = false;
    std::string error; // UTF-8
    std::string path;
};
PeriodFile readPeriodFile(FileStore& files, const std::string& ledgerDir);
// Through the safe writer: a failed save leaves the old file and throws.
void writePeriodFile(FileStore& files, const std::string& ledgerDir, const PeriodRule& rule);

// The words the command line and the settings page use: "none", "before",
// "after"; "start", "end". False for anything else.
bool parsePeriodShift(const std::string& word, PeriodShift& shift);
bool parsePeriodNaming(const std::string& word, PeriodNaming& naming);
