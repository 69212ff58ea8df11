#pragma once
// Scheduled entries of a book kept on several PCs.
//
// The schedule file (TEIKI.TXT) is one file that any PC may write, so a sync
// tool may bring an older copy over it or leave a conflict copy beside it.
// Each edit of an entry is therefore a record of the change journal (its
// line before and after), and the entries are what all PCs' records say,
// entry by entry: edits of different entries on two PCs both stand, and the
// same entry changed differently on both keeps the later change (by the
// records' times, then the PC names, so every PC decides alike), which the
// sync report tells. The file is mended from the records like a month file.
//
// Ids: a new entry's id ends in a part drawn from the PC's name
// (Schedule::idPart), so two PCs adding an entry while apart do not take one
// id, and it lies above every id any PC's records name, so a deleted entry's
// postings never count for a new one.
//
// The posting records in the file stay there: a posting is also in the
// journal (kind P, learnPostings), and a conflict copy's posting records
// that the file lacks are added to it.

#include "ledger/schedule.h"
#include "ledger/sync_merge.h"

#include <map>
#include <set>
#include <string>
#include <vector>

class Book;

// The PC's id part: 1 to Schedule::IdPartSpan - 1, the same at every start.
int entryIdPart(const std::string& pc);

// Readies a schedule read from the file for edits on this PC: its idPart,
// and its idFloor above every entry id the journals of all PCs name.
void learnEntryIds(Book& book, Schedule& schedule);

// Records the entries that differ between `before` (as read) and `after`
// (as edited) as one step of the journal and writes them into the schedule
// file, leaving the file's other entries (another PC's, come since) alone.
// Returns how many entries changed. Throws AppError when the file cannot be
// read; nothing is written then.
int saveEntryEdits(Book& book, const Schedule& before, const Schedule& after,
                   ChangeSource source = ChangeSource::Typed);

// What the records of one entry say.
struct EntryMerge {
    bool changed = false;
    std::string value;           // the entry's line, empty: deleted (or never added)
    std::set<std::string> stale; // lines the records left behind
    // Two PCs changed the entry differently: what stands and what went.
    struct Clash {
        UnitChange kept, lost;
    };
    std::vector<Clash> clashes;
};
// The entry's records in the merged order (mergeUnit); a fork keeps the
// later change.
EntryMerge mergeEntry(const std::vector<UnitChange>& changes);

// Whether a file showing `shown` (empty: the entry is missing) needs the
// merged line.
bool entryNeedsMending(const EntryMerge& merge, const std::string& shown);

// Reads every PC's entry records, mends the schedule file and merges the
// schedule file's conflict copies (then moves them aside). Called by
// syncBook; adds what it did to `report`.
void syncSchedule(Book& book, SyncReport& report);
