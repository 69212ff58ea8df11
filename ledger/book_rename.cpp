// Renaming items across the book: every month file holding an old name gets
// the new one, together with ZADUD.CFG, as one undo step that keeps each
// file's bytes so an undo gives them back exactly.
#include "ledger/book.h"

#include "ledger/budget_plan.h"
#include "ledger/report_marks.h"
#include "ledger/schedule.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/item_rename.h"

#include <cerrno>
#include <cstdio>

namespace {

// "雑費→税金 食費→外食" for the menu and the history (CP932).
std::string renameText(const std::map<std::string, std::string>& renames) {
    std::string out;
    for (const auto& [from, to] : renames)
        out += (out.empty() ? "" : " ") + from + "\x81\xa8" + to;
    return out;
}

} // namespace

Book::RenamePlan Book::planRename(const std::array<std::string, ShownItems>& names) const {
    RenamePlan plan;
    for (int i = 1; i <= ShownItems; ++i) {
        const std::string& from = ledger_.Items[i].Name;
        const std::string& to = names[i - 1];
        if (!from.empty() && !to.empty() && from != to) plan.renames[from] = to;
    }
    if (plan.renames.empty()) return plan;
    std::vector<MonthKey> months = monthFilesAfter({0, 0});
    for (const MonthKey& m : months) {
        std::string bytes;
        if (files_.tryRead(monthPath(m), bytes) != 0) continue;
        bool merged = false;
        try {
            if (renameLines(bytes, plan.renames, &merged) == bytes) continue;
        } catch (const std::exception&) {
            merged = true; // a sum out of range: asked about, then refused
        }
        plan.months.push_back(m);
        if (merged) plan.merged.push_back(m);
    }
    return plan;
}

void Book::carryMerge(const RenamePlan& plan, std::map<MonthKey, std::string>& before,
                      std::map<MonthKey, std::string>& after) {
    MonthLedger names = ledger_;
    for (int i = 1; i <= ShownItems; ++i) {
        const auto to = plan.renames.find(names.Items[i].Name);
        if (to != plan.renames.end()) names.Items[i].Name = to->second;
    }
    CarryLink link;
    link.known = true;
    bool first = true;
    MonthKey last = plan.merged.front();
    for (const MonthKey& m : monthFilesAfter({0, 0})) {
        if (m < plan.merged.front()) continue;
        if (!after.count(m)) {
            const int err = files_.tryRead(monthPath(m), before[m]);
            if (err) break; // the repair in the year overview names it
            after[m] = before[m];
        }
        const int gap = (m.year - last.year) * 12 + m.month - last.month;
        if (gap > CarryOverLookBack) break;
        last = m;
        StoredMonth stored = storedMonth(names, after[m]);
        if (stored.state != MonthFileState::Read) break;
        if (!first) {
            try {
                after[m] = rewriteTotals(stored, link);
            } catch (const AppError&) {
                break;
            }
            stored = storedMonth(names, after[m]);
        }
        first = false;
        link = linkAfter(stored, link);
    }
}

void Book::renameItems(const RenamePlan& plan, const std::string& config) {
    ChangeGroup g(*this, ChangeSource::Renamed);
    auto add = [&](MonthKey m, int day, const std::string& path, const std::string& bytes) {
        std::string old;
        const int err = files_.tryRead(path, old);
        if (err && err != ENOENT) throw fileError(err, path);
        if (!err && old == bytes) return;
        JournalRecord r;
        r.source = ChangeSource::Renamed;
        r.kind = JournalRecord::Kind::File;
        r.month = m;
        r.day = day;
        r.item = renameText(plan.renames);
        r.oldText = old;
        r.newText = bytes;
        replaceFile(r, false, ChangeSource::Renamed);
    };
    // The month in memory first, so its file holds what is shown.
    if (!held()) saveMonth();
    std::map<MonthKey, std::string> before, after;
    for (const MonthKey& m : plan.months) {
        const std::string path = monthPath(m);
        const int err = files_.tryRead(path, before[m]);
        if (err) throw fileError(err, path);
        after[m] = renameLines(before[m], plan.renames);
    }
    // A merge adds the balance of the name taken over: the months after
    // bring it in.
    if (!plan.merged.empty()) carryMerge(plan, before, after);
    for (const auto& [m, bytes] : after)
        add(m, 0, monthPath(m), bytes);
    // The entry lines name their items too; a damaged line file is left.
    std::vector<MonthKey> lined;
    try {
        lined = lineFileMonths(files_, ledgerDir_);
    } catch (const AppError&) {
    }
    for (const MonthKey& m : lined) {
        MonthLineFile file = loadLineFile(files_, ledgerDir_, m.year, m.month);
        if (file.state != LineFileState::Read) continue;
        bool renamed = false;
        for (EntryLine& line : file.lines) {
            const auto to = plan.renames.find(line.item);
            if (to == plan.renames.end()) continue;
            line.item = to->second;
            renamed = true;
        }
        if (renamed) add(m, 1, file.path, formatLineFile(file.lines, m.year, m.month));
    }
    // The budgets follow their items; a damaged budget file is left as it is.
    const BudgetFile budget = readBudgetFile(files_, ledgerDir_);
    if (!budget.damaged) {
        BudgetPlan renamed;
        for (const auto& [name, months] : budget.plan.items()) {
            const auto to = plan.renames.find(name);
            for (const auto& [key, entry] : months)
                renamed.set(to == plan.renames.end() ? name : to->second, key / 12, key % 12 + 1,
                            entry);
        }
        if (!(renamed == budget.plan))
            add({0, 0}, 1, joinPath(ledgerDir_, BudgetFileName), formatBudgetPlan(renamed));
    }
    // So do the marked cells.
    const MarkFile marks = readMarkFile(files_, ledgerDir_);
    if (!marks.damaged) {
        MarkSet renamed;
        for (const auto& [cell, mark] : marks.marks.all()) {
            MarkedCell to = cell;
            const auto it = plan.renames.find(cell.item);
            if (it != plan.renames.end()) to.item = it->second;
            renamed.set(to, mark);
        }
        if (!(renamed == marks.marks))
            add({0, 0}, MarkFileRecord, marks.path, formatMarkFile(renamed));
    }
    // So do the scheduled entries and their postings; a damaged file is left.
    const std::string schedulePath = joinPath(ledgerDir_, ScheduleFileName);
    std::string scheduleBytes;
    if (files_.tryRead(schedulePath, scheduleBytes) == 0) {
        try {
            Schedule schedule = parseSchedule(scheduleBytes, schedulePath);
            auto follow = [&](std::string& item) {
                const auto to = plan.renames.find(item);
                if (to != plan.renames.end()) item = to->second;
            };
            for (ScheduleEntry& e : schedule.entries)
                follow(e.item);
            for (PostingRecord& r : schedule.records)
                follow(r.item);
            const std::string renamed = formatSchedule(schedule);
            if (renamed != scheduleBytes) add({0, 0}, 2, schedulePath, renamed);
        } catch (const AppError&) {
        }
    }
    add({0, 0}, 0, joinPath(startDir_, ConfigFileName), config);
    g.commit();
}

std::string Book::recordedPath(const JournalRecord& r) const {
    if (r.month.year && r.day == 1)
        return joinPath(ledgerDir_, lineFileName(r.month.year, r.month.month));
    if (r.month.year) return monthPath(r.month);
    if (r.day == 2) return joinPath(ledgerDir_, ScheduleFileName);
    if (r.day == MarkFileRecord) return joinPath(ledgerDir_, MarkFileName);
    return r.day == 1 ? joinPath(ledgerDir_, BudgetFileName) : joinPath(startDir_, ConfigFileName);
}

std::string Book::recordedName(const JournalRecord& r) const {
    if (r.month.year) return monthLabel(r.month.year, r.month.month) + (r.day == 1 ? " 内訳" : "");
    if (r.day == 2) return ScheduleFileName;
    if (r.day == MarkFileRecord) return MarkFileName;
    return r.day == 1 ? BudgetFileName : ConfigFileName;
}

bool Book::fileAsLeft(const JournalRecord& r, bool undo) const {
    std::string now;
    files_.tryRead(recordedPath(r), now);
    return now == (undo ? r.newText : r.oldText);
}

void Book::filesReplaced() {
    if (lineStore_) lineStore_->forgetAll();
    // Only the names: the folders stay as this start read them.
    std::string bytes;
    if (files_.tryRead(joinPath(startDir_, ConfigFileName), bytes) == 0) {
        MonthLedger names;
        std::string ledgerDir, diaryDir;
        try {
            parseConfig(bytes, startDir_, names, ledgerDir, diaryDir, {}, {});
        } catch (const std::exception&) {
        }
        for (int i = 1; i <= ItemSlots; ++i)
            ledger_.Items[i].Name = names.Items[i].Name;
    }
    if (!shown_.year) return;
    try {
        loadMonths();
    } catch (const std::exception&) {
    }
}
