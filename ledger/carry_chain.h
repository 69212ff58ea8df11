#pragma once
// The balance that links the months. Each month file stores the balance it
// brought in (inside its income totals) as it was when the month was last
// saved; when an earlier month changes, the later files keep the old value.
// Here a month file is read as stored, compared with the closing balance of
// the month file before it, and its total fields rewritten in place when
// they are stale, leaving every other byte as it is.

#include "ledger/file_store.h"
#include "ledger/month_ledger.h"

#include <string>
#include <vector>

// A month file as stored, for the configured item names of `names`.
struct StoredMonth {
    MonthFileState state = MonthFileState::Missing;
    std::string error;  // why an unreadable file could not be used (UTF-8)
    std::string bytes;  // the file as read
    MonthLedger ledger; // the names, with the days as the current-month load reads them
    // Per configured item: whether the file has an income line for it, the
    // balance it brought in and its closing balance as the totals store them.
    RangeArray<bool, 1, ShownItems> has;
    RangeArray<int32_t, 1, ShownItems> broughtIn, closing;
    RangeArray<int32_t, 1, ShownItems> income, expense, net; // the 31 days summed
    std::vector<std::string> otherNames; // names of lines no configured item has (bytes)
};

StoredMonth readStoredMonth(FileStore& files, const MonthLedger& names, const std::string& dir,
                            int year, int month);
// The same for bytes at hand (a file read already, or the month in memory
// as it would be saved).
StoredMonth storedMonth(const MonthLedger& names, std::string bytes);

// The closing balance per item that the next month should bring in. An item
// counts only where the file that closed it has lines for it; an item that a
// month has under a new name keeps what it stores.

struct CarryLink {
    bool known = false;  // false after a file that could not be read
    MonthKey unreadable; // that file's month, and why
    std::string error;
    RangeArray<bool, 1, ShownItems> has;
    RangeArray<int32_t, 1, ShownItems> closing;
};

// The link into (year, month): the latest earlier month file, as the
// previous-month load finds it.
CarryLink linkBefore(FileStore& files, const MonthLedger& names, const std::string& dir, int year,
                     int month);
// Whether a read month's stored balance brought in differs from the link.
bool isStale(const StoredMonth& m, const CarryLink& link);
// The link out of a month: its closing balances, or the link passed through
// a month without a file.
CarryLink linkAfter(const StoredMonth& m, const CarryLink& in);

// The month held in memory, read in place of its file as it would be saved:
// what the user sees counts with the edits not saved yet.
struct HeldMonth {
    int year = 0;
    int month = 0;
    const MonthLedger* ledger = nullptr;
};
// Its StoredMonth when (year, month) is the held month, else the file's.
StoredMonth readStoredMonth(FileStore& files, const MonthLedger& names, const std::string& dir,
                            int year, int month, const HeldMonth& held);

// The months that a repair starting at January of `year` rewrites, in order,
// and the first month it would stop at (year 0 when none).
struct CarryRepairPlan {
    std::vector<MonthKey> months;
    MonthKey stopsAt;
    std::string stopReason; // UTF-8
};
// The held month is planned as it would be saved, so the plan can be shown
// before anything is written.
CarryRepairPlan planCarryRepair(FileStore& files, const MonthLedger& names, const std::string& dir,
                                int year, const HeldMonth& held = {});

// Rewrites each stale month file from January of `year` on, in order, with
// the corrected totals; day values, names, line order and lines of names
// the configuration does not hold stay byte for byte. Goes on while month
// files follow (a gap of CarryOverLookBack months ends it). Stops at the
// first month that cannot be read or written with "1996年5月: <reason>",
// leaving that month and every later one as they were. Returns the months
// rewritten.
std::vector<MonthKey> repairCarryChain(FileStore& files, const MonthLedger& names,
                                       const std::string& dir, int year);

// The file's bytes with the total fields rewritten for the balance brought
// in per item (items the link does not hold keep theirs). Throws when the
// file has an item twice, because the totals of repeated lines add up.
std::string rewriteTotals(const StoredMonth& m, const CarryLink& link);
