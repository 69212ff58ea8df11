#pragma once
// Entry lines (内訳) merged between PCs. A line has no name of its own, and
// its position differs from PC to PC, so a line is known by what it holds:
// the records of every PC say, in the merged order, which lines a month
// should have (a multiset: two PCs adding the same line are two lines).
//
// A line file that lost lines a record added (the other PC's older copy came
// over it) gets them back; a line a record deleted or changed that the file
// still shows goes. A line no record explains is left alone, and so are the
// lines of scheduled postings (their cells follow the posting rules). The
// same line changed differently on two PCs is a conflict: the first change
// stands until it is settled, and neither side is touched.

#include "ledger/change_journal.h"
#include "ledger/entry_lines.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// One line record as the merge sees it.
struct LineChange {
    std::string pc;
    uint64_t step = 0;
    std::string time;
    std::optional<EntryLine> from, to;
    // The step moved the cell's amount with the line (added or changed
    // lines); false for a line made for an amount already in its cell.
    bool moved = true;
};

struct LineMerge {
    // How many of each line (by its record text) the records leave.
    std::map<std::string, int> expected;
    std::map<std::string, EntryLine> line; // record text -> line, for the ones added
    std::map<std::string, bool> moved;     // how the last record added it
    // Lines a record took away: a file still showing more of them than
    // expected is stale.
    std::set<std::string> taken;
    // Sides of unsettled conflicts: left as the file has them.
    std::set<std::string> held;
    struct Fork {
        LineChange first, second;
    };
    std::vector<Fork> forks;
};

// Follows a month's line records in the merged order. `settled` holds the
// keys of settled conflicts; a key with "#2" after it kept the second side.
LineMerge mergeLines(MonthKey month, const std::vector<LineChange>& changes,
                     const std::set<std::string>& settled);

// The key of a line conflict, the same on every PC.
std::string lineForkKey(MonthKey month, const LineMerge::Fork& fork);

// What a file holding `present` needs to match the records.
struct LineMend {
    std::optional<EntryLine> from, to; // remove, add, or change one into the other
    bool moved = true;                 // an added line brings its amount
};
std::vector<LineMend> lineMends(const LineMerge& merge, const std::vector<LineChange>& changes,
                                const std::vector<EntryLine>& present);
