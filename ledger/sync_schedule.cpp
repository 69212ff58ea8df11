#include "ledger/sync_schedule.h"

#include "ledger/book.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/sync_files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <tuple>

namespace {

std::string lineOf(const Schedule& s, int id) {
    for (const ScheduleEntry& e : s.entries)
        if (e.id == id) return formatEntryLine(e);
    return {};
}

// The entry id a record names; 0 for none.
int idOf(const std::string& text) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const long long id = std::stoll(text);
    return id > INT_MAX ? 0 : static_cast<int>(id);
}

// "食費" for an entry's line, the id where the line is not one.
std::string entryName(const std::string& line, int id) {
    ScheduleEntry e;
    if (parseEntryLine(line, e)) return cp932ToUtf8Lossy(e.item);
    return "番号 " + std::to_string(id);
}

// The change a side of a clash made, as the report says it.
std::string sideText(const UnitChange& c) {
    return c.pc + " (" + c.time + ")";
}

std::string clashNote(int id, const EntryMerge::Clash& c) {
    const std::string kept = entryName(c.kept.to.empty() ? c.kept.from : c.kept.to, id);
    if (c.kept.from.empty() && c.lost.from.empty() && !c.lost.to.empty())
        return "同期: 定期入力 " + kept + " と " + entryName(c.lost.to, id) + " は " + c.kept.pc +
               " と " + c.lost.pc + " で同じ番号に追加されたため、" + kept + " を残しました。" +
               entryName(c.lost.to, id) + " は入れ直してください";
    return "同期: 定期入力 " + kept + " は " + c.kept.pc + " と " + c.lost.pc +
           " で別々に変更されたため、後の変更 " + sideText(c.kept) + " にしました";
}

std::string mendText(int id, const std::string& from, const std::string& to) {
    const char* what = from.empty() ? "追加" : to.empty() ? "削除" : "変更";
    return "同期: 定期入力 " + entryName(to.empty() ? from : to, id) + " を" + what + "しました";
}

struct EntryMend {
    int id;
    std::string from, to;
};

// Mends the schedule file from the records, as one step.
void mendEntries(Book& book, const std::map<int, EntryMerge>& merged, SyncReport& report) {
    const Schedule file = readScheduleFile(book.files(), book.sideFile(ScheduleFileName));
    std::vector<EntryMend> mends;
    for (const auto& [id, merge] : merged) {
        const std::string shown = lineOf(file, id);
        if (entryNeedsMending(merge, shown)) mends.push_back({id, shown, merge.value});
    }
    if (mends.empty()) return;
    Book::ChangeGroup g(book, ChangeSource::Synced, SyncSourceName);
    for (const EntryMend& m : mends)
        book.setScheduleEntry(m.id, m.from, m.to, ChangeSource::Synced);
    g.commit();
    for (const EntryMend& m : mends) {
        report.mended.push_back(mendText(m.id, m.from, m.to));
        // The PC whose change went is the one that mends: it is told why.
        for (const EntryMerge::Clash& c : merged.at(m.id).clashes)
            report.notes.push_back(clashNote(m.id, c));
    }
}

// A conflict copy of the schedule file: an entry no record names that the
// file lacks comes in (a PC whose records never arrived), another
// difference the records do not explain keeps the file's entry and is told;
// its posting records the file lacks are added (a skipped occurrence is in
// no journal).
void mergeCopy(Book& book, const std::string& copyPath, const std::string& copyName,
               const std::map<int, EntryMerge>& merged, SyncReport& report) {
    std::string bytes;
    if (const int err = book.files().tryRead(copyPath, bytes)) throw fileError(err, copyPath);
    const Schedule copy = parseSchedule(bytes, copyPath);
    const std::string path = book.sideFile(ScheduleFileName);
    const Schedule mine = readScheduleFile(book.files(), path);
    std::vector<EntryMend> adds;
    for (const ScheduleEntry& e : copy.entries) {
        const std::string line = formatEntryLine(e);
        const auto known = merged.find(e.id);
        if (known != merged.end() &&
            (known->second.value == line || known->second.stale.count(line))) {
            // The copy holds the side of a clash that went: said here, once,
            // since the copy is set aside next.
            for (const EntryMerge::Clash& c : known->second.clashes)
                if (c.lost.to == line) report.notes.push_back(clashNote(e.id, c));
            continue;
        }
        const std::string ours = lineOf(mine, e.id);
        if (ours == line) continue;
        if (ours.empty() && known == merged.end())
            adds.push_back({e.id, {}, line});
        else
            report.notes.push_back("定期入力 " + cp932ToUtf8Lossy(e.item) + ": 競合コピー " +
                                   copyName + " の内容は取り込まず、今のままにしました");
    }
    if (!adds.empty()) {
        Book::ChangeGroup g(book, ChangeSource::Synced, SyncSourceName);
        for (const EntryMend& m : adds)
            book.setScheduleEntry(m.id, m.from, m.to, ChangeSource::Synced);
        g.commit();
        for (const EntryMend& m : adds)
            report.mended.push_back("同期: 定期入力 " + entryName(m.to, m.id) +
                                    " を競合コピーから取り込みました");
    }
    Schedule now = readScheduleFile(book.files(), path);
    int records = 0;
    for (const PostingRecord& r : copy.records) {
        // A pending posting is the other PC's to settle; its journal tells.
        if (r.state == PostingState::Pending || now.record(r.entry, r.index)) continue;
        now.records.push_back(r);
        ++records;
    }
    if (records) {
        writeScheduleFile(book.files(), path, now);
        report.mended.push_back("同期: 定期の記帳の記録 " + std::to_string(records) +
                                " 件を競合コピーから取り込みました");
    }
}

} // namespace

int entryIdPart(const std::string& pc) {
    uint32_t h = 2166136261u;
    for (const char c : pc) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return static_cast<int>(h % uint32_t(Schedule::IdPartSpan - 1)) + 1;
}

void learnEntryIds(Book& book, Schedule& schedule) {
    schedule.idPart = book.pcName().empty() ? 0 : entryIdPart(book.pcName());
    ChangeJournal& j = book.journal();
    if (j.path().empty()) book.reopenJournal();
    for (const uint64_t id : j.order()) {
        const ChangeStep* s = j.step(id);
        if (!s) continue;
        for (const JournalRecord& r : s->records) {
            if (r.kind == JournalRecord::Kind::Entry)
                schedule.idFloor = std::max(schedule.idFloor, idOf(r.item));
            else if (r.kind == JournalRecord::Kind::Posting)
                schedule.idFloor =
                    std::max(schedule.idFloor, idOf(r.item.substr(0, r.item.find(':'))));
        }
    }
}

int saveEntryEdits(Book& book, const Schedule& before, const Schedule& after, ChangeSource source) {
    std::set<int> ids;
    for (const Schedule* s : {&before, &after})
        for (const ScheduleEntry& e : s->entries)
            ids.insert(e.id);
    std::vector<EntryMend> edits;
    for (const int id : ids) {
        const std::string from = lineOf(before, id), to = lineOf(after, id);
        if (from != to) edits.push_back({id, from, to});
    }
    if (edits.empty()) return 0;
    Book::ChangeGroup g(book, source, "定期入力");
    for (const EntryMend& e : edits)
        book.setScheduleEntry(e.id, e.from, e.to, source);
    g.commit();
    return static_cast<int>(edits.size());
}

EntryMerge mergeEntry(const std::vector<UnitChange>& changes) {
    const UnitMerge m = mergeUnit(changes);
    EntryMerge out;
    out.changed = m.changed;
    out.value = m.value;
    out.stale = m.replaced;
    for (const UnitMerge::Fork& f : m.forks) {
        const bool later =
            std::tie(f.second.time, f.second.pc) > std::tie(f.first.time, f.first.pc);
        if (later && out.value == f.first.to) {
            out.value = f.second.to;
            out.stale.insert(f.first.to);
            out.stale.erase(f.second.to);
            out.clashes.push_back({f.second, f.first});
        } else {
            out.stale.insert(f.second.to);
            out.clashes.push_back({f.first, f.second});
        }
    }
    return out;
}

bool entryNeedsMending(const EntryMerge& merge, const std::string& shown) {
    return merge.changed && shown != merge.value && merge.stale.count(shown) > 0;
}

void syncSchedule(Book& book, SyncReport& report) {
    ChangeJournal& j = book.journal();
    std::map<int, std::vector<UnitChange>> units;
    for (const uint64_t step : j.order()) {
        const ChangeStep* s = j.step(step);
        // Every step counts, undone ones too: the undo step that follows
        // one holds the change back, so the records chain as the file went.
        if (!s) continue;
        for (const JournalRecord& r : s->records) {
            // Mending steps only carry out what the records say.
            if (r.kind != JournalRecord::Kind::Entry || r.source == ChangeSource::Synced) continue;
            const int id = idOf(r.item);
            if (!id) continue;
            UnitChange c;
            c.pc = j.stepPc(step);
            c.step = ChangeJournal::stepNumber(step);
            c.time = r.time;
            c.from = r.oldText;
            c.to = r.newText;
            units[id].push_back(std::move(c));
        }
    }
    std::map<int, EntryMerge> merged;
    for (const auto& [id, changes] : units)
        merged[id] = mergeEntry(changes);
    // Alone on the book nothing came from elsewhere: a file put back by
    // other means is not taken back from the records.
    if (!j.peers().empty()) {
        try {
            mendEntries(book, merged, report);
        } catch (const std::exception& e) {
            report.notes.push_back(std::string("定期入力を記録どおりに直せませんでした: ") +
                                   e.what());
        }
    }
    std::vector<std::string> names;
    if (book.files().list(book.ledgerDir(), names) != 0) return;
    std::sort(names.begin(), names.end());
    const std::set<std::string> present(names.begin(), names.end());
    std::set<std::string> pcs{j.ownPc()};
    for (const ChangeJournal::Peer& p : j.peers())
        pcs.insert(p.pc);
    for (const std::string& name : names) {
        std::string original;
        if (!conflictCopyOf(name, pcs, present, original) || original != ScheduleFileName) continue;
        const std::string path = joinPath(book.ledgerDir(), name);
        try {
            mergeCopy(book, path, name, merged, report);
        } catch (const std::exception& e) {
            report.notes.push_back("競合コピー " + name + " を取り込めませんでした: " + e.what());
        }
        // Kept aside either way: it may hold what is not settled.
        try {
            moveAside(book.files(), path, book.sideFile(ConflictFolderName));
            report.setAside.push_back("競合コピー " + name + " を " + ConflictFolderName +
                                      "/ に移しました");
        } catch (const std::exception& e) {
            report.notes.push_back("競合コピー " + name + " を移せませんでした: " + e.what());
        }
    }
}
