#pragma once
// 内訳: the entries behind a day's amount. A line belongs to one item, day
// and side; the cell's amount in the month file is the sum of its lines
// plus what was typed without a line. Month files never change for lines:
// lines live in a side file per month beside them (YYYYMM.lin, format in
// the README), so every older reader sees the same amounts as before.

#include "ledger/diary_index.h"
#include "ledger/file_store.h"
#include "ledger/month_ledger.h"
#include "ledger/text_file.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

enum class LineSide { Income = 0, Expense = 1 };
enum class LineOrigin { Typed, Imported, Scheduled };

struct EntryLine {
    int day = 0; // 1..31
    LineSide side = LineSide::Expense;
    std::string item;   // CP932 bytes, as the month file names it
    int32_t amount = 0; // positive
    std::string memo;   // CP932 bytes
    LineOrigin origin = LineOrigin::Typed;
    // Imported: the statement row's key in the import log; scheduled: the
    // entry's id; typed: empty. Kept as bytes.
    std::string source;

    bool operator==(const EntryLine& o) const;
    bool operator!=(const EntryLine& o) const { return !(*this == o); }
};

// Throws AppError for a line the file cannot hold or a cell cannot take: a
// day outside the month, an amount not above zero, an empty item, a control
// character in the item, memo or source (a tab is allowed in the source).
void checkLine(const EntryLine& line, int year, int month);

// The tags of a memo (UTF-8): words starting with "#" or "＃", in their
// spelling without the mark, in order, each once. A tag ends at a blank,
// the next mark or 、。,.
std::vector<std::string> lineTags(std::string_view utf8Memo);

// ---- A month's lines and its cells ----------------------------------------

struct CellKey {
    std::string item;
    int day = 0;
    LineSide side = LineSide::Expense;
    bool operator<(const CellKey& o) const;
};

// The sum of the lines of one cell.
int64_t linedSum(const std::vector<EntryLine>& lines, const std::string& item, int day,
                 LineSide side);
// Every cell that has lines, with its lined sum.
std::map<CellKey, int64_t> linedCells(const std::vector<EntryLine>& lines);

// A cell's amount from the month file as lines and the rest: `unlined` is
// what was typed without a line (内訳なし). When the lines add up to more
// than the cell, `unlined` is negative and `difference` says by how much.
struct CellParts {
    int64_t lined = 0;
    int64_t unlined = 0;
};
CellParts cellParts(const std::vector<EntryLine>& lines, const MonthLedger& month,
                    const std::string& item, int day, LineSide side);

// A cell whose lines no longer fit its amount, because the month file was
// changed by something that did not know about lines: the lines add up to
// more than the cell, or name an item the month no longer has (`cell` 0,
// `itemFound` false). Shown to the user, never corrected by itself.
struct LineMismatch {
    CellKey cell;
    int64_t lined = 0;
    int32_t amount = 0; // the month file's amount
    bool itemFound = true;
    int64_t difference() const { return amount - lined; }
};
std::vector<LineMismatch> lineMismatches(const std::vector<EntryLine>& lines,
                                         const MonthLedger& month);

// ---- The side file ---------------------------------------------------------

// "199612.lin": four-digit year and two-digit month, unlike the month file's
// "19971.txt", so a name stands for one month only and the folder can be
// listed by name.
std::string lineFileName(int year, int month);
// Reads "YYYYMM.lin"; false for any other name.
bool parseLineFileName(std::string_view name, int& year, int& month);

// The file's bytes: the version line, then one line per entry line.
// Throws what checkLine throws, before anything is written.
std::string formatLineFile(const std::vector<EntryLine>& lines, int year, int month);
// One line of that file, without its line end, and back; the change journal
// holds lines in this form. False for text that is not one.
std::string formatLineRecord(const EntryLine& line);
bool parseLineRecord(std::string_view text, EntryLine& line);

enum class LineFileState { Missing, Read, Damaged, Unreadable };

struct MonthLineFile {
    int year = 0, month = 0;
    std::string path;
    LineFileState state = LineFileState::Missing;
    // Damaged: the lines that could be read; the rest are named in `problem`.
    std::vector<EntryLine> lines;
    // The program's message for a damaged or unreadable file, naming it.
    std::string problem;
    FileStamp stamp; // what the file held when read
};

// Reads the lines of `bytes`; a line that cannot be read, or a version the
// program does not know, makes the result Damaged with the first such line
// in `problem`, and the readable lines kept.
MonthLineFile parseLineFile(const std::string& bytes, const std::string& path, int year, int month);
// The month's file in `dir`. A missing file has no lines; a file that cannot
// be opened is Unreadable. Never throws for the file's content.
MonthLineFile loadLineFile(FileStore& files, const std::string& dir, int year, int month);

// Writes `lines` as the month's file through the safe writer, and updates
// `file` (state Read, the new stamp; no file left for no lines: the file is
// removed when it existed). A file that was damaged or unreadable when read,
// or that changed on disk since, is refused with its message unless
// `overwrite` is set: the user was asked first.
void saveLineFile(FileStore& files, MonthLineFile& file, const std::string& dir,
                  const std::vector<EntryLine>& lines, bool overwrite);

// The months that have a line file in `dir`, oldest first. A folder that
// cannot be listed throws the mapped file error.
std::vector<MonthKey> lineFileMonths(FileStore& files, const std::string& dir);

// ---- The lines of the book in memory ----------------------------------------

// The months' line files as read for a session. A damaged file is named once
// (takeProblems), and is never written over unless the save says so.
class LineStore {
public:
    LineStore(FileStore& files, std::string dir) : files_(files), dir_(std::move(dir)) {}
    const std::string& dir() const { return dir_; }

    // The month's file as read or last saved, read on first use.
    const MonthLineFile& file(int year, int month);
    // The month's lines now, with what was changed in memory.
    const std::vector<EntryLine>& lines(int year, int month);
    // Adds a line in memory, after checkLine; the file is written by save.
    void add(int year, int month, const EntryLine& line);
    // Removes the line at `index` of the month's lines; returns it.
    EntryLine remove(int year, int month, std::size_t index);
    // Replaces the line at `index`.
    void replace(int year, int month, std::size_t index, const EntryLine& line);
    // Puts a line back at `index` (at most the number of lines).
    void insert(int year, int month, std::size_t index, const EntryLine& line);
    // Drops what is held of the month, or of every month, so the next use
    // reads the file again.
    void forget(int year, int month) { months_.erase(MonthKey{year, month}); }
    void forgetAll() { months_.clear(); }
    // Reads the month again when its file changed on disk since it was read
    // and nothing of it waits to be saved.
    void refresh(int year, int month);
    // Writes the month's lines (see saveLineFile).
    void save(int year, int month, bool overwrite = false);
    // Months changed in memory and not saved yet.
    std::vector<MonthKey> unsaved() const;

    // Problems of files read since the last call, each file once.
    std::vector<std::string> takeProblems();

private:
    struct Held {
        MonthLineFile file;
        std::vector<EntryLine> lines;
        bool changed = false;
    };
    Held& held(int year, int month);
    FileStore& files_;
    std::string dir_;
    std::map<MonthKey, Held> months_;
    std::vector<std::string> problems_;
};

// ---- The search ---------------------------------------------------------------

// A query as typed: terms parted by blanks, all of which a line must meet.
//   #旅行              a tag of the memo
//   1280  1,280        the amount
//   1000-2000          an amount range (both ends included)
//   >5000 <300 >=5000 <=300
//   2026-12-04  2026/12/04  2026-12  2026/12   a day or a month
//   2026-01..2026-06-30  2026..  ..2025-03      a date range (either end may
//                      be left out; a year or month end takes all its days)
//   項目:食費  item:食費  an item (its name, width and case alike)
//   anything else      a word of the memo or item name, as the diary search
//                      matches it
struct LineQuery {
    std::vector<std::string> words; // folded
    std::vector<std::string> tags;  // folded, without "#"
    std::vector<std::string> items; // folded
    int64_t minAmount = 1;
    int64_t maxAmount = INT32_MAX;
    int from = 0;      // yyyymmdd, 0: open
    int to = 99999999; // yyyymmdd
    bool hasTerms = false;
};

// Parses a query; throws AppError naming a term that cannot be read (a
// range whose ends are reversed, a day that does not exist, an empty item)
// or "検索する語句を指定してください" for a query without terms.
LineQuery parseLineQuery(std::string_view utf8, const TextFold& fold);

struct LineHit {
    int year = 0, month = 0;
    EntryLine line;
};

struct LineTotal {
    int64_t income = 0;
    int64_t expense = 0;
    int count = 0;
};

struct LineSearchResult {
    std::vector<LineHit> hits; // newest first
    LineTotal total;           // each line once, whatever its tags
    // Per tag of the lines found, by the tag's first spelling; tags that
    // fold alike are one.
    std::vector<std::pair<std::string, LineTotal>> tags;
    // Files that could not be read, or only in part; their readable lines
    // are searched.
    std::vector<std::string> problems;
};

// Whether one line meets the query.
bool lineMatches(const LineQuery& q, const EntryLine& line, int year, int month,
                 const TextFold& fold);

// Searches every month's line file of `dir`. Stops early, with what it found,
// once `cancel` is set.
LineSearchResult searchLines(FileStore& files, const std::string& dir, const LineQuery& q,
                             const TextFold& fold, const std::atomic<bool>* cancel = nullptr);
