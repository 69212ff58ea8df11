// The book's door for entry lines: a line and its cell change together, as
// one step of the change journal. A step's line records name the line at its
// position in the month's line file, so undo puts a deleted line back where
// it stood and recovery finds what a cut-short step left undone.
#include "ledger/book.h"

#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"

#include <algorithm>
#include <cerrno>
#include <optional>

namespace {

// "3;<the line as its file writes it>".
std::string lineText(std::size_t at, const EntryLine& line) {
    return std::to_string(at) + ';' + formatLineRecord(line);
}

bool readLineText(const std::string& text, std::size_t& at, EntryLine& line) {
    const auto semi = text.find(';');
    if (semi == std::string::npos || semi == 0 || semi > 6) return false;
    at = 0;
    for (std::size_t i = 0; i < semi; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        at = at * 10 + static_cast<std::size_t>(text[i] - '0');
    }
    return parseLineRecord(std::string_view(text).substr(semi + 1), line);
}

// A line record read in one direction: the line `from` leaves position `at`
// and `to` takes it.
struct LineEdit {
    std::size_t at = 0;
    std::optional<EntryLine> from, to;
    bool ok = true;
};

LineEdit lineEdit(const JournalRecord& r, bool forward) {
    LineEdit e;
    const std::string& from = forward ? r.oldText : r.newText;
    const std::string& to = forward ? r.newText : r.oldText;
    std::size_t at = 0;
    EntryLine line;
    if (!from.empty()) {
        e.ok = readLineText(from, at, line);
        e.from = line;
        e.at = at;
    }
    if (!to.empty()) {
        e.ok = e.ok && readLineText(to, at, line);
        e.to = line;
        if (e.from && at != e.at) e.ok = false;
        e.at = at;
    }
    return e;
}

// Whether `lines` stand as the edit expects: the line it replaces or removes
// at its position, or room there for the line it adds. A line added that
// stands there already is the edit done (a step finished twice), not one to
// add again.
bool editReady(const std::vector<EntryLine>& lines, const LineEdit& e) {
    const bool inside = e.at < lines.size();
    if (e.from) return inside && lines[e.at] == *e.from;
    if (inside && lines[e.at] == *e.to) return false;
    return e.at <= lines.size();
}

// Another PC's lines merged into the file move a line from where the step
// left it: a line is the same by what it holds, so an undo looks for it
// elsewhere, and puts a line back at most at the end.
void findLine(const std::vector<EntryLine>& lines, LineEdit& e) {
    if (!e.from) {
        e.at = std::min(e.at, lines.size());
        return;
    }
    if (e.at < lines.size() && lines[e.at] == *e.from) return;
    const auto at = std::find(lines.begin(), lines.end(), *e.from);
    if (at != lines.end()) e.at = static_cast<std::size_t>(at - lines.begin());
}

void applyEdit(std::vector<EntryLine>& lines, const LineEdit& e) {
    const auto at = lines.begin() + static_cast<std::ptrdiff_t>(e.at);
    if (e.from && e.to)
        *at = *e.to;
    else if (e.from)
        lines.erase(at);
    else
        lines.insert(at, *e.to);
}

} // namespace

AmountField fieldOf(LineSide side) {
    return side == LineSide::Income ? AmountField::Income : AmountField::Expense;
}

LineSide lineSideOf(AmountField field) {
    return field == AmountField::Income ? LineSide::Income : LineSide::Expense;
}

LineStore& Book::lineStore() {
    if (!lineStore_ || lineStore_->dir() != ledgerDir_)
        lineStore_ = std::make_unique<LineStore>(files_, ledgerDir_);
    return *lineStore_;
}

const std::vector<EntryLine>& Book::lines(MonthKey m) {
    return lineStore().lines(m.year, m.month);
}

const MonthLineFile& Book::lineFile(MonthKey m) {
    return lineStore().file(m.year, m.month);
}

std::vector<std::string> Book::takeLineProblems() {
    std::vector<std::string> out;
    for (std::string& p : lineStore().takeProblems())
        if (saidLineProblems_.insert(p).second) out.push_back(std::move(p));
    return out;
}

CellParts Book::lineParts(MonthKey m, int item, int day, AmountField field) {
    const MonthLedger l = month(m);
    const LineSide side = lineSideOf(field);
    return cellParts(lines(m), l, l.Items[item].Name, day, side);
}

void Book::checkTypedTotal(MonthKey m, int item, int day, AmountField field, int32_t value) {
    if (item < 1 || item > ShownItems || ledger_.Items[item].Name.empty() || day < 1) return;
    const LineSide side = lineSideOf(field);
    const int64_t lined = linedSum(lines(m), ledger_.Items[item].Name, day, side);
    // A cell without lines takes any amount, a negative one (a refund) too.
    if (lined > 0 && value < lined)
        throw AppError("内訳の合計 " + groupedAmount(lined) + " 円より少ない金額にはできません。" +
                       "内訳を消してから入力してください");
}

void Book::beginLines(MonthKey m) {
    auto& held = groupLines();
    if (held.count(m)) return;
    if (m == shown_) refuseIfHeld();
    LineStore& store = lineStore();
    // Another copy may have saved lines since they were read.
    store.refresh(m.year, m.month);
    const MonthLineFile& file = store.file(m.year, m.month);
    LinesBefore before;
    if (file.state == LineFileState::Damaged || file.state == LineFileState::Unreadable) {
        if (!lineQuestion_) throw AppError(file.problem);
        if (!lineQuestion_(file.problem + "\n読めた内訳だけで書き直しますか?")) throw Cancelled{};
        before.overwrite = true;
    }
    const std::string path = joinPath(ledgerDir_, lineFileName(m.year, m.month));
    const int err = files_.tryRead(path, before.bytes);
    before.existed = err == 0;
    held.emplace(m, std::move(before));
}

void Book::putLine(MonthKey m, std::size_t at, const EntryLine* from, const EntryLine* to,
                   ChangeSource source) {
    beginLines(m);
    LineStore& store = lineStore();
    if (from && to)
        store.replace(m.year, m.month, at, *to);
    else if (from)
        store.remove(m.year, m.month, at);
    else
        store.insert(m.year, m.month, at, *to);
    JournalRecord r;
    r.source = source;
    r.kind = JournalRecord::Kind::Line;
    r.month = m;
    const EntryLine& named = to ? *to : *from;
    r.day = named.day;
    r.item = named.item;
    r.field = fieldOf(named.side);
    if (from) r.oldText = lineText(at, *from);
    if (to) r.newText = lineText(at, *to);
    record(std::move(r));
}

namespace {

int namedSlot(const MonthLedger& names, const std::string& item) {
    const int slot = itemSlot(names, item);
    if (slot < 1 || slot > ShownItems)
        throw AppError("項目「" + cp932ToUtf8Lossy(item) + "」は設定にありません");
    return slot;
}

} // namespace

void Book::addLine(MonthKey m, const EntryLine& line, ChangeSource source) {
    if (!group_) {
        ChangeGroup g(*this, source);
        addLine(m, line, source);
        return g.commit();
    }
    checkLine(line, m.year, m.month);
    const int slot = namedSlot(ledger_, line.item);
    addAmount(m, slot, line.day, fieldOf(line.side), line.amount, source);
    beginLines(m);
    putLine(m, lines(m).size(), nullptr, &line, source);
}

void Book::adoptLines(MonthKey m, const std::vector<EntryLine>& adopted, ChangeSource source) {
    if (!group_) {
        ChangeGroup g(*this, source);
        adoptLines(m, adopted, source);
        return g.commit();
    }
    for (const EntryLine& line : adopted) {
        checkLine(line, m.year, m.month);
        namedSlot(ledger_, line.item);
    }
    for (const EntryLine& line : adopted)
        putLine(m, lines(m).size(), nullptr, &line, source);
}

void Book::changeLine(MonthKey m, std::size_t index, const EntryLine& line, ChangeSource source) {
    if (!group_) {
        ChangeGroup g(*this, source);
        changeLine(m, index, line, source);
        return g.commit();
    }
    checkLine(line, m.year, m.month);
    beginLines(m);
    if (index >= lines(m).size()) throwRangeError();
    const EntryLine old = lines(m)[index];
    if (old == line) return;
    const int to = namedSlot(ledger_, line.item);
    // The old cell may name an item renamed by hand since: only a named one
    // gives its amount back.
    const int from = itemSlot(ledger_, old.item);
    if (from >= 1 && from <= ShownItems)
        addAmount(m, from, old.day, fieldOf(old.side), -old.amount, source);
    addAmount(m, to, line.day, fieldOf(line.side), line.amount, source);
    putLine(m, index, &old, &line, source);
}

void Book::removeLine(MonthKey m, std::size_t index, ChangeSource source) {
    if (!group_) {
        ChangeGroup g(*this, source);
        removeLine(m, index, source);
        return g.commit();
    }
    beginLines(m);
    if (index >= lines(m).size()) throwRangeError();
    const EntryLine old = lines(m)[index];
    const int from = itemSlot(ledger_, old.item);
    if (from >= 1 && from <= ShownItems) {
        // A cell edited by hand below its lines loses what it still has.
        const DayCell& cell = groupMonth(m).Items[from].Days[old.day];
        const int32_t now = old.side == LineSide::Income ? cell.Income : cell.Expense;
        const int32_t off = std::min(now, old.amount);
        if (off > 0) addAmount(m, from, old.day, fieldOf(old.side), -off, source);
    }
    putLine(m, index, &old, nullptr, source);
}

void Book::writeLines(std::map<MonthKey, LinesBefore>& held) {
    for (auto& [m, before] : held) {
        try {
            lineStore().save(m.year, m.month, before.overwrite);
        } catch (...) {
            // A save that failed after its rename (the folder's flush) has
            // replaced the file all the same: it is put back with the rest.
            const std::string path = joinPath(ledgerDir_, lineFileName(m.year, m.month));
            std::string now;
            try {
                if (files_.tryRead(path, now) == 0 && !(before.existed && now == before.bytes) &&
                    now == formatLineFile(lines(m), m.year, m.month))
                    before.written = true;
            } catch (const std::exception&) {
            }
            throw;
        }
        before.written = true;
    }
}

void Book::takeBackLines(std::map<MonthKey, LinesBefore>& held) {
    for (auto& [m, before] : held) {
        if (before.written) {
            const std::string path = joinPath(ledgerDir_, lineFileName(m.year, m.month));
            try {
                if (before.existed)
                    files_.writeSafely(path, before.bytes);
                else
                    files_.remove(path);
            } catch (const std::exception&) {
                // The reversal is in the journal: the next start puts it back.
                if (!unwrittenFrom_) unwrittenFrom_ = groupId();
            }
        }
        lineStore().forget(m.year, m.month);
    }
    held.clear();
}

void Book::checkLineRecords(const std::vector<JournalRecord>& records, bool undo) {
    // The step's edits are tried on copies in the order they will be made,
    // so a refusal leaves every line as it is.
    std::map<MonthKey, std::vector<EntryLine>> copies;
    auto visit = [&](const JournalRecord& r) {
        if (r.kind != JournalRecord::Kind::Line) return;
        LineEdit e = lineEdit(r, !undo);
        if (!copies.count(r.month)) {
            const MonthLineFile& file = lineFile(r.month);
            if (file.state == LineFileState::Damaged || file.state == LineFileState::Unreadable)
                throw AppError(file.problem);
            copies[r.month] = lines(r.month);
        }
        std::vector<EntryLine>& now = copies[r.month];
        findLine(now, e);
        if (!e.ok || !editReady(now, e))
            throw AppError("内訳 " + describeLine(r) +
                           " はその後に変更されているため、元に戻せません");
        applyEdit(now, e);
    };
    if (undo)
        std::for_each(records.rbegin(), records.rend(), visit);
    else
        std::for_each(records.begin(), records.end(), visit);
}

void Book::reverseLine(const JournalRecord& r, bool undo, ChangeSource source) {
    LineEdit e = lineEdit(r, !undo);
    findLine(lines(r.month), e);
    putLine(r.month, e.at, e.from ? &*e.from : nullptr, e.to ? &*e.to : nullptr, source);
}

std::string Book::cellMark(uint64_t group, const JournalRecord& r) {
    return std::to_string(group) + ":" + std::to_string(r.month.year) + "-" +
           std::to_string(r.month.month) + "-" + std::to_string(r.day) + ":" +
           std::to_string(static_cast<int>(r.field)) + ":" + r.item;
}

std::string Book::recoverLines(const std::vector<const ChangeStep*>& steps, int& finished,
                               std::string& trouble, uint64_t& keepFrom,
                               const std::set<std::string>& leftCells) {
    const bool shared = !journal_.peers().empty();
    struct Now {
        MonthLineFile file;
        std::vector<EntryLine> lines;
        bool changed = false, skip = false;
    };
    std::map<MonthKey, Now> months;
    for (const ChangeStep* step : steps) {
        for (const JournalRecord& r : step->records) {
            if (r.kind != JournalRecord::Kind::Line) continue;
            // Its cell was changed since by other means (another PC's copy
            // of the files came over): a line put back without its amount
            // would not fit the cell.
            if (leftCells.count(cellMark(step->group, r))) continue;
            auto at = months.find(r.month);
            if (at == months.end()) {
                Now now;
                now.file = loadLineFile(files_, ledgerDir_, r.month.year, r.month.month);
                now.lines = now.file.lines;
                // A damaged file is never written over by itself.
                now.skip = now.file.state == LineFileState::Damaged ||
                           now.file.state == LineFileState::Unreadable;
                if (now.skip) trouble += now.file.problem + "\n";
                at = months.emplace(r.month, std::move(now)).first;
            }
            Now& now = at->second;
            if (now.skip) {
                if (!keepFrom) keepFrom = step->group;
                continue;
            }
            const LineEdit e = lineEdit(r, true);
            // A line already there, or one changed since by other means, is
            // left as it is.
            if (!e.ok || !editReady(now.lines, e)) continue;
            // With other PCs on the book, their copy of the file may hold the
            // added line at another place: it is there, not to be added again.
            if (shared && !e.from && e.to &&
                std::find(now.lines.begin(), now.lines.end(), *e.to) != now.lines.end())
                continue;
            applyEdit(now.lines, e);
            now.changed = true;
            ++finished;
        }
    }
    std::string where;
    for (auto& [m, now] : months) {
        if (!now.changed) continue;
        try {
            saveLineFile(files_, now.file, ledgerDir_, now.lines, false);
            where += (where.empty() ? "" : "、") + monthLabel(m.year, m.month) + " 内訳";
        } catch (const std::exception& e) {
            trouble += std::string(e.what()) + "\n";
            keepFrom = steps.front()->group;
        }
    }
    if (lineStore_) lineStore_->forgetAll();
    return where;
}

std::string Book::describeLine(const JournalRecord& r) const {
    const LineEdit e = lineEdit(r, true);
    const std::string date = std::to_string(r.month.month) + "/" + std::to_string(r.day);
    const std::string what = e.from && e.to ? "内訳変更" : e.to ? "内訳追加" : "内訳削除";
    const EntryLine* line = e.to ? &*e.to : e.from ? &*e.from : nullptr;
    std::string text = date + " " + cp932ToUtf8Lossy(r.item) + " " + what;
    if (line) {
        text += " " + groupedAmount(line->amount);
        if (!line->memo.empty()) text += " " + cp932ToUtf8Lossy(line->memo);
    }
    return text;
}
