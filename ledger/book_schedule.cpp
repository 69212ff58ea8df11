// Scheduled entries as changes of the book: each edit of an entry is a
// record of the change journal naming the entry's line before and after, so
// undo and redo reach it, and the PCs sharing the book merge the entries one
// by one (ledger/sync_schedule.h) instead of whole files.
#include "ledger/book.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/schedule.h"

#include <algorithm>
#include <cerrno>

namespace {

int recordId(const JournalRecord& r) {
    try {
        std::size_t used = 0;
        const int id = std::stoi(r.item, &used);
        if (used == r.item.size() && id > 0) return id;
    } catch (const std::exception&) {
    }
    throw AppError("定期入力の記録が読めません");
}

std::string lineOf(const Schedule& s, int id) {
    for (const ScheduleEntry& e : s.entries)
        if (e.id == id) return formatEntryLine(e);
    return {};
}

} // namespace

void Book::setScheduleEntry(int id, const std::string& from, const std::string& line,
                            ChangeSource source) {
    if (from == line) return;
    if (!group_) {
        ChangeGroup g(*this, source);
        setScheduleEntry(id, from, line, source);
        g.commit();
        return;
    }
    JournalRecord r;
    r.kind = JournalRecord::Kind::Entry;
    r.item = std::to_string(id);
    r.oldText = from;
    r.newText = line;
    putEntry(r, false, source);
}

bool Book::entryAsLeft(const JournalRecord& r, bool undo) const {
    const Schedule s = readScheduleFile(files_, joinPath(ledgerDir_, ScheduleFileName));
    return lineOf(s, recordId(r)) == (undo ? r.newText : r.oldText);
}

void Book::putEntry(const JournalRecord& r, bool undo, ChangeSource source) {
    const std::string path = joinPath(ledgerDir_, ScheduleFileName);
    // A file that cannot be read is the user's to mend, never written over.
    Schedule s = readScheduleFile(files_, path);
    const int id = recordId(r);
    const std::string& line = undo ? r.oldText : r.newText;
    ScheduleEntry entry;
    if (!line.empty() && (!parseEntryLine(line, entry) || entry.id != id))
        throw AppError("定期入力の記録が読めません");
    auto at = std::find_if(s.entries.begin(), s.entries.end(),
                           [id](const ScheduleEntry& e) { return e.id == id; });
    if (line.empty()) {
        // Its posting records stay: they keep the id from being given again.
        if (at != s.entries.end()) s.entries.erase(at);
    } else if (at != s.entries.end()) {
        *at = entry;
    } else {
        s.entries.push_back(entry);
    }
    writeGroupFile(path, formatSchedule(s));
    JournalRecord done = r;
    done.source = source;
    if (undo) std::swap(done.oldText, done.newText);
    record(std::move(done));
}

std::string Book::describeEntry(const JournalRecord& r) {
    ScheduleEntry e;
    const std::string& named = r.newText.empty() ? r.oldText : r.newText;
    const std::string item = parseEntryLine(named, e) ? cp932ToUtf8Lossy(e.item) : r.item;
    const char* what = r.oldText.empty() ? "追加" : r.newText.empty() ? "削除" : "変更";
    return "定期入力 " + item + " " + what;
}
