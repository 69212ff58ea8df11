#pragma once
// The month in memory and its file: two CR LF lines per named item (income
// flag "0", expense flag "1"), 31 day amounts and a total, every field
// followed by a comma, numbers as "%8.8d". The income total carries the
// balance brought in, so the next month's carry-over is income total minus
// expense total.

#include "ledger/errors.h"
#include "ledger/file_store.h"

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

struct DayCell {
    int32_t Income = 0;
    int32_t Expense = 0;
};

struct LedgerItem {
    std::string Name; // code page 932 bytes; empty: no item in this slot
    RangeArray<DayCell, 1, 31> Days;
};

constexpr int ItemSlots = 20;
constexpr int ShownItems = 12;

struct MonthLedger {
    RangeArray<LedgerItem, 1, ItemSlots> Items;
    RangeArray<int32_t, 1, ShownItems> CarryOver;
    int32_t CarryOverSum = 0;
    // Lines of the month's file that name no item (an item renamed or
    // emptied since), in file order, without their CR LF. They are written
    // back after the items' lines, so renaming an item loses no history.
    std::vector<std::string> OtherLines;

    // Names and both amounts of every day of all twenty slots.
    void clearItems();
    // Both amounts of every day of all twenty slots, and the other lines.
    void clearDays();
};

// A month of the calendar; {0, 0} is none.
struct MonthKey {
    int year = 0;
    int month = 0;
    bool operator==(const MonthKey& o) const { return year == o.year && month == o.month; }
    bool operator!=(const MonthKey& o) const { return !(*this == o); }
    bool operator<(const MonthKey& o) const {
        return year != o.year ? year < o.year : month < o.month;
    }
};

enum class LoadMode { Current = 0, Previous = 1 };

// The month before (year, month).
void stepBack(int& year, int& month);

// The item slot (1..12) named `name` (CP932), 0 when no item is.
int itemSlot(const MonthLedger& names, const std::string& name);

// "199612.txt", "19971.txt".
std::string monthFileName(int year, int month);
// "1996年12月", as titles and messages name a month.
std::string monthLabel(int year, int month);

// The file's bytes for the ledger: the named items' lines, a name only for
// its first item (the loader gives every line of a name to that one), then
// the other lines. Sums are checked: a total outside 32 bits throws
// "整数のｵｰﾊﾞｰﾌﾛｰ" before anything is written.
std::string formatMonth(const MonthLedger& ledger);
// After the item names changed: the other lines that now name an item give
// it their amounts (on days where it has none, so nothing typed is lost) and
// leave the other lines, so a name given back restores its amounts at once
// instead of overwriting what is typed next at the following load.
void adoptOtherLines(MonthLedger& ledger);

// Throws "整数のｵｰﾊﾞｰﾌﾛｰ" when formatMonth would: a total, or an item's
// closing balance (income total minus expense total, which the next month
// carries in), outside 32 bits. A month loaded with such totals could never
// be saved, or never be carried.
void checkTotals(const MonthLedger& ledger);

// Applies a month file to the ledger. Current mode zeroes the day cells and
// fills them, keeping the lines that name no item; previous mode zeroes
// CarryOver and adds each line's total. An empty name names no item.
// A malformed field throws "'%s' は整数ではありません"; what was applied
// before it stays.
void loadMonth(MonthLedger& ledger, std::istream& in, LoadMode mode);

struct FileStamp;

// The file-level operations: the month of (year, month) in `dir`. The save
// returns the stamp of what it wrote.
FileStamp saveMonthFile(FileStore& files, const MonthLedger& ledger, const std::string& dir,
                        int year, int month);
// How a month file was found by a load.
enum class MonthFileState { Read, Missing, Unreadable };
// How far back the previous-month load looks for a month file: ten years of
// months without any file end the chain, and the carry-over is zero.
constexpr int CarryOverLookBack = 120;

// Reads the latest month file before (year, month), walking back over months
// without a file, and moves (year, month) to it. Returns 0 when one was read,
// ENOENT when none was found within the bound, or the errno of a file that
// is there but could not be opened.
int readEarlierMonthFile(FileStore& files, const std::string& dir, int& year, int& month,
                         std::string& bytes);

// No month file comes near this: twelve items' lines are under 12 KB, and
// the lines of items renamed since add a few hundred bytes each.
constexpr std::size_t MaxMonthFileSize = 1u << 20;

// Why the bytes are not a month file as this program writes one, empty when
// they are: bytes after a Ctrl-Z, a last line without its line end, a line
// that is not "name,0|1," with 31 day amounts and a total each ended by ",",
// or a size past MaxMonthFileSize. Such a file is read by nobody: saving the
// month would replace what could not be read with zeros.
std::string monthFileProblem(const std::string& bytes);

// Previous mode reads the latest month file before (year, month), walking
// back over missing months (at most CarryOverLookBack of them); a file found
// but not readable stops the walk. A file that cannot be
// opened reads as all zero, silently; Unreadable tells the caller that a file
// may be there all the same (no permission, too many open files, ...), so
// saving over it would lose it. A missing folder, or a path through a file,
// is Missing. Current mode zeroes the days before reading, so a read that
// fails leaves no other month's amounts. A file with a monthFileProblem
// throws AppError naming the file and the problem; nothing of it is applied. `file`, when given,
// receives the path of the file read or tried, also when the load throws. `stamp`, when given,
// receives what the file held (a stamp that does not exist for a missing file).
MonthFileState loadMonthFile(FileStore& files, MonthLedger& ledger, const std::string& dir,
                             int year, int month, LoadMode mode, std::string* file = nullptr,
                             FileStamp* stamp = nullptr);
