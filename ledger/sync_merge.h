#pragma once
// One book on several PCs that share the ledger folder through a sync tool,
// which copies whole files and never merges them.
//
// Each PC writes what it records into files of its own, named after the PC
// (its change journal ZADUD-<PC>.JNL, its step numbers ZADUD-<PC>.SEQ), so
// that no file is ever changed on two sides. The book's state is what all
// PCs' journals say together: per unit (a cell, a diary day, an entry line)
// each PC's records chain in order, and a record of one PC that starts from
// the value another PC's record left has seen that change and follows it.
// Two records of different PCs that start from the same value and end in
// different ones are a conflict the user settles once; ending in the same
// value is one change.
//
// A month or diary file that shows a value a later record replaced (the other
// PC's older copy came over it) is mended from the records, as one step of
// source "同期". A value no record explains (a file edited by hand) is left.

#include "ledger/change_journal.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

class Book;

// The PC name as a file-name part: ASCII letters, digits, "-" and "_", at
// most PcNameMax characters; other characters become "_". Empty gives "pc".
inline constexpr std::size_t PcNameMax = 32;
std::string safePcName(const std::string& raw);

// How a conflict is settled.
enum class SyncChoice { KeepFirst, KeepSecond, Sum };

// One side of a conflict.
struct SyncSide {
    std::string pc;     // the PC that made the change
    std::string time;   // when: "2026-12-08T23:40:12"
    std::string shown;  // the value as shown (UTF-8): "3,480", the diary's first line
    int32_t amount = 0; // an amount's value
    uint64_t group = 0; // the step on that PC
    std::string value;  // the value as stored: an amount's digits, a diary's bytes
};

// The same unit changed differently on two PCs.
struct SyncConflict {
    std::string key;        // the unit and both steps (or the copy); the same on every PC
    std::string unit;       // UTF-8: "12/24 食費 支出", "12/24 日記"
    std::string start;      // UTF-8: the value both sides started from
    std::string startValue; // as stored: digits or bytes
    SyncSide first, second;
    bool canSum = false; // amounts only
    // What the unit is, to settle it.
    JournalRecord::Kind kind = JournalRecord::Kind::Amount;
    MonthKey month;
    int day = 0;
    std::string item; // CP932
    AmountField field = AmountField::Income;
};

// "2026/12/24 食費 支出: pc-a 500 / pc-b 300": the conflict in one line.
std::string conflictText(const SyncConflict& conflict);

// What a sync did (at open, on a reload, on --sync).
struct SyncReport {
    std::vector<std::string> mended;     // UTF-8, one line per mended value
    std::vector<SyncConflict> conflicts; // still to settle
    std::vector<std::string> setAside;   // conflict copies moved, UTF-8 lines
    std::vector<std::string> notes;      // double postings taken back, trouble (UTF-8)
    // Every line to tell the user, in the order above.
    std::vector<std::string> lines() const;
};

// ---- the rule of one unit, on its own ----

// One record of a unit as the merge sees it: values as text (an amount's
// digits, a diary's bytes), in the order of the merged history.
struct UnitChange {
    std::string pc;
    uint64_t step = 0; // the step's number on its PC
    std::string time;
    std::string from, to;
    // A scheduled posting another PC made first: already counted.
    bool twin = false;
    // The step settled a conflict: its value stands, whatever came before.
    bool settles = false;
    // The amount moved with a line of the same step: the lines' own merge
    // carries it, and it only clashes with a typed value of another PC.
    bool lined = false;
};

struct UnitMerge {
    bool changed = false; // any record at all
    std::string value;    // what the records say the unit holds
    // Values the records left behind (a copy showing one is stale), and the
    // ones a twin posting left.
    std::set<std::string> replaced;
    struct Fork {
        UnitChange first, second; // first stands until the fork is settled
        std::string start;        // the value both started from
    };
    std::vector<Fork> forks;
};

// Follows the unit's records: a record that starts from the value holds it
// next (the other PC saw the change); one that ends in the value is the same
// change, counted once; one of another PC that starts from a value the
// records left ends somewhere else is a fork, and the first change stands
// until it is settled; one that starts from a value nobody recorded (a file
// edited by hand) stands, since nothing tells it otherwise. A typed value and
// a line's amount of two PCs from the same value are a fork too, but the
// line stays with the lines and the typed value with the chain: neither
// side is mended until the user settles it.
UnitMerge mergeUnit(const std::vector<UnitChange>& changes);

// What a file showing `shown` needs: true with the value to write when a
// record replaced what it shows; false when it holds the value, a fork's
// side, or a value no record explains.
bool needsMending(const UnitMerge& merge, const std::string& shown, std::string& value);

// The conflict's key: the unit and both steps, the same on every PC.
std::string forkKey(const std::string& unit, const UnitMerge::Fork& fork);

// Adds to the schedule, as done, every posting a PC's journal records with a
// step not undone, so that no PC posts an occurrence another PC posted.
// Returns how many were added.
struct Schedule;
int learnPostings(Book& book, Schedule& schedule);

// The folder beside the ledger where conflict copies are moved.
inline constexpr const char* ConflictFolderName = "同期の競合";
// The source of a mending step's records.
inline constexpr const char* SyncSourceName = "同期";

// Reads every PC's journal, mends the month and diary files, sets conflict
// copies aside and takes back scheduled postings made twice. Refused while
// the book is read-only (returns an empty report).
SyncReport syncBook(Book& book);

// The conflicts not settled yet, from the journals as they are now.
std::vector<SyncConflict> syncConflicts(Book& book);

// Settles a conflict: the chosen value (or the sum of both sides' changes)
// goes in as one step, and the settling is recorded in this PC's journal, so
// that no PC asks again. Throws AppError when the unit cannot take it.
void settleConflict(Book& book, const SyncConflict& conflict, SyncChoice choice);
