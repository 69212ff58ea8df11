#pragma once
// Amounts that stay in the balance but not in the figures: 集計対象外 (a
// one-off cost such as a refrigerator or a trip, left out of reports and of
// the budgets' pace) and 振替 (money moved between the household's own
// accounts, such as the bank debit that pays a card whose statement is
// imported too: neither income nor expense). Month files never change for a
// mark, so the balance and every older reader keep the amounts.
//
// A line is marked by a tag of its memo ("#集計対象外", "#振替"), so the mark
// travels with the line through edits, renames and the search. A whole cell
// is marked in the side file ZADUD.MRK of the ledger folder (format in
// README.md).

#include "ledger/entry_lines.h"
#include "ledger/month_ledger.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

inline constexpr const char* MarkFileName = "ZADUD.MRK";

enum class ReportMark { None, Excluded, Transfer };

// "集計対象外", "振替" (UTF-8); empty for None.
const char* markName(ReportMark mark);

// The mark a line's memo carries; a memo with both tags is left out as
// 集計対象外, which keeps it out of everything.
ReportMark lineMark(const EntryLine& line);
// Gives the line's memo the mark's tag, or takes both tags away for None;
// the rest of the memo stays as it was.
void setLineMark(EntryLine& line, ReportMark mark);

struct MarkedCell {
    MonthKey month;
    int day = 0; // 1..31
    LineSide side = LineSide::Expense;
    std::string item; // CP932, as the month file names it
    bool operator<(const MarkedCell& o) const {
        return std::tie(month, day, side, item) < std::tie(o.month, o.day, o.side, o.item);
    }
    bool operator==(const MarkedCell& o) const {
        return month == o.month && day == o.day && side == o.side && item == o.item;
    }
};

// The marks of whole cells.
class MarkSet {
public:
    ReportMark at(const MarkedCell& cell) const;
    // None removes the mark. A day outside the month, an empty item or a
    // control byte in it throws before anything changes.
    void set(const MarkedCell& cell, ReportMark mark);
    // The marked cells of one month.
    std::vector<std::pair<MarkedCell, ReportMark>> month(int year, int month) const;
    const std::map<MarkedCell, ReportMark>& all() const { return cells_; }
    bool operator==(const MarkSet& o) const { return cells_ == o.cells_; }

private:
    std::map<MarkedCell, ReportMark> cells_;
};

// The side file's bytes, and back. A malformed text throws naming the line.
std::string formatMarkFile(const MarkSet& marks);
MarkSet parseMarkFile(const std::string& bytes);

// The marks as read from the ledger folder. A missing file has none; one
// that cannot be read or parsed has none, with `damaged` set and a message
// naming the file to be shown once: nothing may write over it until the user
// agrees.
struct MarkFile {
    MarkSet marks;
    bool damaged = false;
    std::string error; // UTF-8
    std::string path;
};
MarkFile readMarkFile(FileStore& files, const std::string& ledgerDir);
// Through the safe writer: a failed save leaves the old file and throws.
void writeMarkFile(FileStore& files, const std::string& ledgerDir, const MarkSet& marks);

// A month as the figures count it. `counted` is the month with every marked
// amount taken out of its cell: a marked cell counts nothing, marked lines
// take their amounts out of their cell (never more than a positive cell
// holds, nothing from a cell that is not positive). What was taken out is
// kept apart per kind.
struct CountedMonth {
    MonthLedger counted;
    RangeArray<RangeArray<DayCell, 1, 31>, 1, ShownItems> excluded;
    RangeArray<RangeArray<DayCell, 1, 31>, 1, ShownItems> transfer;
};
CountedMonth countMonth(const MonthLedger& month, int year, int mon,
                        const std::vector<EntryLine>& lines, const MarkSet& marks);

// Whether a line counts in the figures: neither it nor its cell is marked.
bool lineCounted(const EntryLine& line, int year, int month, const MarkSet& marks);
