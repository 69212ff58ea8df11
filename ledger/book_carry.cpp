// The balance that links the months, kept by the book itself: a change of an
// earlier month rewrites the balance brought in of every later month file in
// the same undo step, so no later month keeps a stale carry-over.
#include "ledger/book.h"

#include <algorithm>
#include <cerrno>

namespace {

// Month of a month file name ("19971.txt", "199612.txt"); none otherwise.
MonthKey monthOfFileName(const std::string& name) {
    const std::string ext = ".txt";
    if (name.size() < 5 + ext.size() || name.size() > 6 + ext.size()) return {};
    if (name.compare(name.size() - ext.size(), ext.size(), ext) != 0) return {};
    const std::string digits = name.substr(0, name.size() - ext.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    const int month = std::stoi(digits.substr(4));
    if (month < 1 || month > 12) return {};
    MonthKey key{std::stoi(digits.substr(0, 4)), month};
    return monthFileName(key.year, key.month) == name ? key : MonthKey{};
}

int monthsBetween(MonthKey a, MonthKey b) {
    return (b.year - a.year) * 12 + (b.month - a.month);
}

// The balance item `i` closes the month with: what it brought in and the
// month's days, as the next month's previous-month load reads the totals.
int32_t closing(const MonthLedger& l, int i) {
    int32_t sum = l.CarryOver[i];
    for (const DayCell& c : l.Items[i].Days)
        sum = checkedSub(checkedAdd(sum, c.Income), c.Expense);
    return sum;
}

} // namespace

std::vector<MonthKey> Book::monthFilesAfter(MonthKey after) const {
    std::vector<MonthKey> months;
    std::vector<std::string> names;
    if (files_.list(ledgerDir_, names) != 0) return months;
    for (const std::string& name : names) {
        const MonthKey m = monthOfFileName(name);
        if (m.year && after < m) months.push_back(m);
    }
    std::sort(months.begin(), months.end());
    return months;
}

void Book::carryForward(std::vector<JournalRecord> records) {
    MonthKey earliest, latest;
    for (const JournalRecord& r : records) {
        if (r.kind != JournalRecord::Kind::Amount) continue;
        if (!earliest.year || r.month < earliest) earliest = r.month;
        if (latest < r.month) latest = r.month;
    }
    if (!earliest.year) return;
    // Undoing a repair puts the stale balances back on purpose.
    for (const JournalRecord& r : records) {
        if (r.kind != JournalRecord::Kind::Undo && r.kind != JournalRecord::Kind::Redo) continue;
        const ChangeStep* step = journal_.step(r.ref);
        if (step && !step->records.empty() &&
            step->records.front().source == ChangeSource::CarryRepair)
            return;
    }
    // The month in memory before the change may hold what its file does
    // not yet: the walk starts there.
    const MonthKey from = shown_.year && shown_ < earliest && !held() ? shown_ : earliest;
    std::vector<MonthKey> later = monthFilesAfter(from);
    // The month in memory counts as stored, with or without its file, and
    // so do the months the group changed, whose files it writes at its end.
    if (shown_.year && from < shown_) later.push_back(shown_);
    for (const JournalRecord& r : records)
        if (r.kind == JournalRecord::Kind::Amount && from < r.month) later.push_back(r.month);
    std::sort(later.begin(), later.end());
    later.erase(std::unique(later.begin(), later.end()), later.end());
    MonthKey prev = from;
    for (const MonthKey& m : later) {
        // Past the previous-month load's reach nothing of the change arrives.
        if (monthsBetween(prev, m) > CarryOverLookBack) break;
        // A month that cannot be saved keeps its file; the repair in the
        // year overview names it.
        if (m == shown_ && held()) break;
        const MonthLedger* before = nullptr;
        MonthLedger* now = nullptr;
        try {
            before = &groupMonth(prev);
            now = &groupMonth(m);
        } catch (const std::exception&) {
            break;
        }
        bool moved = false;
        for (int i = 1; i <= ShownItems; ++i) {
            if (now->Items[i].Name.empty()) continue;
            const int32_t due = closing(*before, i);
            if (now->CarryOver[i] == due) continue;
            setAmount(m, i, 0, AmountField::Income, due, ChangeSource::CarryRepair);
            moved = true;
        }
        // Once a month after every change brings in what it did, the months
        // after it do too.
        if (!moved && latest < m) break;
        prev = m;
    }
}
