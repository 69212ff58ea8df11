#include "ledger/sync_merge.h"

#include "ledger/budget_plan.h"

#include "ledger/amount_format.h"
#include "ledger/book.h"
#include "ledger/cp932.h"
#include "ledger/diary_file.h"
#include "ledger/errors.h"
#include "ledger/month_table.h"
#include "ledger/schedule.h"
#include "ledger/sync_files.h"
#include "ledger/sync_lines.h"
#include "ledger/sync_schedule.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <regex>
#include <tuple>

std::string safePcName(const std::string& raw) {
    std::string out;
    for (const char c : raw) {
        if (out.size() == PcNameMax) break;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        out += plain ? c : '_';
    }
    return out.empty() ? std::string("pc") : out;
}

std::string conflictText(const SyncConflict& c) {
    return c.unit + ": " + c.first.pc + " " + c.first.shown + " / " + c.second.pc + " " +
           c.second.shown;
}

std::vector<std::string> SyncReport::lines() const {
    std::vector<std::string> out = mended;
    for (const SyncConflict& c : conflicts)
        out.push_back("同期の確認: " + conflictText(c));
    out.insert(out.end(), setAside.begin(), setAside.end());
    out.insert(out.end(), notes.begin(), notes.end());
    return out;
}

// ---- the rule of one unit ----

UnitMerge mergeUnit(const std::vector<UnitChange>& changes) {
    UnitMerge out;
    // The change that left the value, and every value the chain held.
    const UnitChange* last = nullptr;
    std::set<std::string> held;
    // Typed and lined changes: a pair of two PCs from one value, neither
    // having seen the other, is a fork (a settling's own value is no side).
    std::vector<const UnitChange*> typed, lined;
    auto clash = [&](const UnitChange& c, const std::vector<const UnitChange*>& others) {
        for (const UnitChange* o : others)
            if (o->pc != c.pc && o->from == c.from && o->to != c.to)
                out.forks.push_back({*o, c, c.from});
    };
    for (const UnitChange& c : changes) {
        if (c.twin) {
            out.replaced.insert(c.to);
            continue;
        }
        if (c.lined) {
            clash(c, typed);
            lined.push_back(&c);
            continue;
        }
        if (!c.settles) {
            clash(c, lined);
            typed.push_back(&c);
        }
        if (!out.changed) {
            out.changed = true;
            out.value = c.from;
            held.insert(c.from);
        }
        if (c.settles) {
            out.forks.clear();
        } else {
            if (c.to == out.value && c.from != out.value) continue; // the same change, once
            // The other side of a fork going on from its own value.
            auto tip = std::find_if(out.forks.begin(), out.forks.end(), [&](const auto& f) {
                return f.second.pc == c.pc && f.second.to == c.from;
            });
            if (tip != out.forks.end() && c.from != out.value) {
                tip->second = c;
                continue;
            }
        }
        const bool fork =
            !c.settles && last && c.from != out.value && c.pc != last->pc && held.count(c.from);
        if (fork) {
            out.forks.push_back({*last, c, c.from});
            out.replaced.insert(c.from);
            continue;
        }
        out.value = c.to;
        held.insert(c.to);
        last = &c;
    }
    for (const std::string& v : held)
        out.replaced.insert(v);
    out.replaced.erase(out.value);
    for (const UnitMerge::Fork& f : out.forks) {
        out.replaced.erase(f.second.to);
        if (f.first.lined) out.replaced.erase(f.first.to);
    }
    return out;
}

bool needsMending(const UnitMerge& merge, const std::string& shown, std::string& value) {
    if (!merge.changed || shown == merge.value || !merge.replaced.count(shown)) return false;
    value = merge.value;
    return true;
}

std::string forkKey(const std::string& unit, const UnitMerge::Fork& fork) {
    return unit + "|" + fork.first.pc + ":" + std::to_string(fork.first.step) + "|" +
           fork.second.pc + ":" + std::to_string(fork.second.step);
}

namespace {

// A cell or a diary day, with its records in the merged order.
struct Unit {
    JournalRecord::Kind kind = JournalRecord::Kind::Amount;
    MonthKey month;
    int day = 0;
    std::string item;
    AmountField field = AmountField::Income;
    std::vector<UnitChange> changes;
};

std::string unitKey(const JournalRecord& r) {
    std::string key = std::string(1, static_cast<char>(r.kind)) + ":" +
                      std::to_string(r.month.year) + "-" + std::to_string(r.month.month) + "-" +
                      std::to_string(r.day);
    if (r.kind == JournalRecord::Kind::Amount)
        key += ":" + std::to_string(static_cast<int>(r.field)) + ":" + r.item;
    return key;
}

std::string unitLabel(const Unit& u) {
    const std::string date = std::to_string(u.month.year) + "/" + std::to_string(u.month.month) +
                             "/" + std::to_string(u.day);
    if (u.kind == JournalRecord::Kind::Diary) return date + " 日記";
    return date + " " + cp932ToUtf8Lossy(u.item) +
           (u.field == AmountField::Income ? " 収入" : " 支出");
}

std::string shownValue(const Unit& u, const std::string& value) {
    if (u.kind == JournalRecord::Kind::Amount) return groupedAmount(std::stoll(value));
    std::string text = diaryMemoText(value);
    const auto br = text.find('\n');
    if (br != std::string::npos) text = text.substr(0, br) + " …";
    return text.empty() ? std::string("(空)") : text;
}

struct Analysis {
    std::map<std::string, Unit> units;
    std::set<std::string> settled;
    // Twin postings: a note per posting made on two PCs, and per cell the
    // entries posted twice there.
    std::vector<std::string> twins;
    std::map<std::string, std::vector<std::string>> twinEntries;
    // Each month's line records, in the merged order.
    std::map<MonthKey, std::vector<LineChange>> lines;
    // Every value a cell or diary day held in any record, a cell's that came
    // with a line too: a conflict copy showing one of them is explained.
    std::map<std::string, std::set<std::string>> held;
};

// "3;<line>" as a line record holds it; false for an empty side.
bool recordLine(const std::string& text, std::optional<EntryLine>& line) {
    const auto semi = text.find(';');
    EntryLine l;
    if (semi == std::string::npos || !parseLineRecord(std::string_view(text).substr(semi + 1), l))
        return false;
    line = l;
    return true;
}

JournalRecord cellOfLine(MonthKey m, const EntryLine& l) {
    JournalRecord r;
    r.kind = JournalRecord::Kind::Amount;
    r.month = m;
    r.day = l.day;
    r.item = l.item;
    r.field = fieldOf(l.side);
    return r;
}

// The step's line changes (scheduled lines left to the posting rules), and
// the cells whose amounts moved with them: those follow the lines, so that
// two PCs adding lines to one cell do not conflict over its amount.
std::set<std::string> stepLines(const ChangeJournal& j, uint64_t id, const ChangeStep& s,
                                Analysis& a) {
    std::set<std::string> cells;
    const bool posting =
        std::any_of(s.records.begin(), s.records.end(),
                    [](const JournalRecord& r) { return r.kind == JournalRecord::Kind::Posting; });
    std::set<std::string> amounts;
    for (const JournalRecord& r : s.records)
        if (r.kind == JournalRecord::Kind::Amount) amounts.insert(unitKey(r));
    for (const JournalRecord& r : s.records) {
        if (r.kind != JournalRecord::Kind::Line) continue;
        LineChange c;
        const bool readable = (r.oldText.empty() || recordLine(r.oldText, c.from)) &&
                              (r.newText.empty() || recordLine(r.newText, c.to));
        if (!readable || (!c.from && !c.to)) continue;
        const bool scheduled = (c.from && c.from->origin == LineOrigin::Scheduled) ||
                               (c.to && c.to->origin == LineOrigin::Scheduled);
        if (scheduled || posting) continue;
        for (const auto* l : {&c.from, &c.to})
            if (*l) cells.insert(unitKey(cellOfLine(r.month, **l)));
        // Mending and settling steps only carry out what the records say.
        if (r.source == ChangeSource::Synced) continue;
        c.pc = j.stepPc(id);
        c.step = ChangeJournal::stepNumber(id);
        c.time = r.time;
        c.moved = !c.to || amounts.count(unitKey(cellOfLine(r.month, *c.to)));
        a.lines[r.month].push_back(std::move(c));
    }
    return cells;
}

bool isMarkerStep(const ChangeStep& s) {
    return std::any_of(s.records.begin(), s.records.end(), [](const JournalRecord& r) {
        return r.kind == JournalRecord::Kind::Undo || r.kind == JournalRecord::Kind::Redo;
    });
}

Analysis analyze(Book& book) {
    Analysis a;
    ChangeJournal& j = book.journal();
    const std::vector<uint64_t>& done = j.undoable();
    auto isDone = [&](uint64_t id) {
        return std::find(done.begin(), done.end(), id) != done.end();
    };
    // Postings by entry and occurrence: the first done step that made it
    // counts, a done step of another PC that made it too is its twin.
    std::map<std::string, uint64_t> firstPosting;
    std::set<std::tuple<uint64_t, int, int, int, int, std::string>> twinCells;
    for (const uint64_t id : j.order()) {
        const ChangeStep* s = j.step(id);
        if (!s || isMarkerStep(*s) || !isDone(id)) continue;
        for (const JournalRecord& r : s->records) {
            if (r.kind != JournalRecord::Kind::Posting) continue;
            const auto [at, fresh] = firstPosting.emplace(r.item, id);
            if (fresh || j.stepPc(at->second) == j.stepPc(id)) continue;
            twinCells.emplace(id, r.month.year, r.month.month, r.day, static_cast<int>(r.field),
                              r.oldText);
            JournalRecord cell = r;
            cell.kind = JournalRecord::Kind::Amount;
            cell.item = r.oldText;
            a.twinEntries[unitKey(cell)].push_back(r.item.substr(0, r.item.find(':')));
            a.twins.push_back("定期の記帳 " + std::to_string(r.month.month) + "/" +
                              std::to_string(r.day) + " " + cp932ToUtf8Lossy(r.oldText) + " " +
                              r.newText + " は " + j.stepPc(at->second) + " と " + j.stepPc(id) +
                              " の両方で行われていました。1 回分として数えます");
        }
    }
    for (const uint64_t id : j.order()) {
        const ChangeStep* s = j.step(id);
        if (!s) continue;
        const bool settles =
            std::any_of(s->records.begin(), s->records.end(), [](const JournalRecord& r) {
                return r.kind == JournalRecord::Kind::Settled;
            });
        const std::set<std::string> linedCells = stepLines(j, id, *s, a);
        for (const JournalRecord& r : s->records) {
            if (r.kind == JournalRecord::Kind::Settled) a.settled.insert(r.item);
            const bool amount = r.kind == JournalRecord::Kind::Amount && r.day >= 1;
            if (!amount && r.kind != JournalRecord::Kind::Diary) continue;
            std::set<std::string>& held = a.held[unitKey(r)];
            held.insert(amount ? std::to_string(r.oldValue) : r.oldText);
            held.insert(amount ? std::to_string(r.newValue) : r.newText);
            const bool lined = amount && linedCells.count(unitKey(r));
            // A mend of lines only carries out what the records say.
            if (lined && r.source == ChangeSource::Synced) continue;
            Unit& u = a.units[unitKey(r)];
            u.kind = r.kind;
            u.month = r.month;
            u.day = r.day;
            u.item = r.item;
            u.field = r.field;
            UnitChange c;
            c.pc = j.stepPc(id);
            c.step = ChangeJournal::stepNumber(id);
            c.time = r.time;
            c.from = amount ? std::to_string(r.oldValue) : r.oldText;
            c.to = amount ? std::to_string(r.newValue) : r.newText;
            c.settles = settles;
            c.lined = lined;
            c.twin = amount && twinCells.count({id, r.month.year, r.month.month, r.day,
                                                static_cast<int>(r.field), r.item});
            u.changes.push_back(std::move(c));
        }
    }
    return a;
}

SyncSide sideOf(const Unit& u, const UnitChange& c) {
    SyncSide s;
    s.pc = c.pc;
    s.time = c.time;
    s.group = c.step;
    s.value = c.to;
    s.shown = shownValue(u, c.to);
    if (c.lined) s.shown += " (内訳)";
    if (u.kind == JournalRecord::Kind::Amount) s.amount = static_cast<int32_t>(std::stoll(c.to));
    return s;
}

SyncConflict conflictOf(const std::string& key, const Unit& u, const UnitMerge::Fork& f) {
    SyncConflict c;
    c.key = forkKey(key, f);
    c.unit = unitLabel(u);
    c.start = shownValue(u, f.start);
    c.startValue = f.start;
    c.first = sideOf(u, f.first);
    c.second = sideOf(u, f.second);
    c.canSum = u.kind == JournalRecord::Kind::Amount;
    c.kind = u.kind;
    c.month = u.month;
    c.day = u.day;
    c.item = u.item;
    c.field = u.field;
    return c;
}

// The months as their files hold them, read once per sync.
class MonthCache {
public:
    explicit MonthCache(Book& book) : book_(book) {}
    // Null for a month that cannot be read (its hold's message in `why`).
    const MonthLedger* month(MonthKey m, std::string& why) {
        auto at = months_.find(m);
        if (at == months_.end()) {
            std::pair<bool, MonthLedger> entry{false, {}};
            try {
                entry.second = book_.month(m);
                entry.first = true;
            } catch (const std::exception& e) {
                whys_[m] = e.what();
            }
            at = months_.emplace(m, std::move(entry)).first;
        }
        if (!at->second.first) {
            why = whys_[m];
            return nullptr;
        }
        return &at->second.second;
    }

private:
    Book& book_;
    std::map<MonthKey, std::pair<bool, MonthLedger>> months_;
    std::map<MonthKey, std::string> whys_;
};

int32_t cellValue(const MonthLedger& l, int item, int day, AmountField field) {
    const DayCell& c = l.Items[item].Days[day];
    return field == AmountField::Income ? c.Income : c.Expense;
}

// Reads one file in place of another: a month's copy as the month.
class RedirectStore : public ForwardingStore {
public:
    RedirectStore(FileStore& inner, std::string from, std::string to)
        : ForwardingStore(inner), from_(std::move(from)), to_(std::move(to)) {}
    int tryRead(const std::string& path, std::string& bytes) override {
        return ForwardingStore::tryRead(path == from_ ? to_ : path, bytes);
    }

private:
    std::string from_, to_;
};

bool monthOfFileName(const std::string& name, MonthKey& m) {
    static const std::regex shape("([0-9]{4})([0-9]{1,2})\\.txt");
    std::smatch match;
    if (!std::regex_match(name, match, shape)) return false;
    m = {std::stoi(match[1]), std::stoi(match[2])};
    return m.month >= 1 && m.month <= 12 && monthFileName(m.year, m.month) == name;
}

// The day a diary file's name stands for; false for another name, and for
// a name the stored rule gives to two days (which of them is not known).
bool diaryDayOfFileName(const std::string& name, MonthKey& m, int& day) {
    static const std::regex shape("([0-9]{4})[0-9]{2,4}\\.nik");
    std::smatch match;
    if (!std::regex_match(name, match, shape)) return false;
    const int year = std::stoi(match[1]);
    for (int month = 1; month <= 12; ++month)
        for (int d = 1; d <= daysInMonth(year, month); ++d)
            if (diaryFileName(year, month, d) == name) {
                m = {year, month};
                day = d;
                return true;
            }
    return false;
}

std::set<std::string> knownPcs(Book& book) {
    std::set<std::string> pcs;
    if (!book.pcName().empty()) pcs.insert(book.pcName());
    for (const ChangeJournal::Peer& p : book.journal().peers())
        if (p.pc != "*") pcs.insert(p.pc);
    return pcs;
}

// The cells of a month's copy that no record explains, as conflicts with
// the month's file.
void copyConflicts(Book& book, const Analysis& a, const std::string& copyPath,
                   const std::string& copyName, MonthKey m, std::vector<SyncConflict>& out) {
    MonthLedger copy = book.ledger();
    MonthLedger now;
    try {
        RedirectStore redirect(
            book.files(), joinPath(book.ledgerDir(), monthFileName(m.year, m.month)), copyPath);
        loadMonthAsEntered(redirect, copy, book.ledgerDir(), m);
        now = book.month(m);
    } catch (const std::exception&) {
        return; // a copy that cannot be read is only set aside
    }
    const int days = daysInMonth(m.year, m.month);
    for (int item = 1; item <= ShownItems; ++item) {
        if (now.Items[item].Name.empty()) continue;
        for (int day = 1; day <= days; ++day)
            for (const AmountField field : {AmountField::Income, AmountField::Expense}) {
                const int32_t theirs = cellValue(copy, item, day, field);
                const int32_t ours = cellValue(now, item, day, field);
                if (theirs == ours) continue;
                JournalRecord r;
                r.kind = JournalRecord::Kind::Amount;
                r.month = m;
                r.day = day;
                r.item = now.Items[item].Name;
                r.field = field;
                const std::string key = unitKey(r);
                const std::string value = std::to_string(theirs);
                const auto held = a.held.find(key);
                if (held != a.held.end() && held->second.count(value)) continue;
                const auto at = a.units.find(key);
                if (at != a.units.end()) {
                    const UnitMerge merge = mergeUnit(at->second.changes);
                    if (merge.value == value || merge.replaced.count(value)) continue;
                }
                Unit u;
                u.month = m;
                u.day = day;
                u.item = r.item;
                u.field = field;
                UnitChange mine, copied;
                mine.pc = "ファイル";
                mine.to = std::to_string(ours);
                copied.pc = copyName;
                copied.to = value;
                UnitMerge::Fork f{mine, copied, std::to_string(ours)};
                SyncConflict c = conflictOf(key, u, f);
                c.key = "copy:" + copyName + "|" + key + "|" + value;
                c.startValue = std::to_string(ours);
                c.start = groupedAmount(ours);
                if (!a.settled.count(c.key)) out.push_back(std::move(c));
            }
    }
}

// A diary day's copy whose text no record explains, as a conflict with the
// day's file: one side is kept, there is no sum.
void diaryCopyConflict(Book& book, const Analysis& a, const std::string& copyPath,
                       const std::string& copyName, MonthKey m, int day,
                       std::vector<SyncConflict>& out) {
    std::string theirs, ours;
    try {
        if (book.files().tryRead(copyPath, theirs) != 0) return;
        readDiaryFile(book.files(), book.diaryDir(), m.year, m.month, day, ours);
    } catch (const std::exception&) {
        return; // a day that cannot be read is only set aside
    }
    if (theirs == ours) return;
    Unit u;
    u.kind = JournalRecord::Kind::Diary;
    u.month = m;
    u.day = day;
    JournalRecord r;
    r.kind = u.kind;
    r.month = m;
    r.day = day;
    const std::string key = unitKey(r);
    const auto held = a.held.find(key);
    if (held != a.held.end() && held->second.count(theirs)) return;
    UnitChange mine, copied;
    mine.pc = "ファイル";
    mine.to = ours;
    copied.pc = copyName;
    copied.to = theirs;
    SyncConflict c = conflictOf(key, u, {mine, copied, ours});
    c.key = "copy:" + copyName + "|" + key;
    if (!a.settled.count(c.key)) out.push_back(std::move(c));
}

// The copies a sync tool left in `folder` (of the files named in `present`).
struct Copy {
    std::string path, name, original;
};
std::vector<Copy> copiesIn(Book& book, const std::string& folder,
                           const std::set<std::string>& present, bool all) {
    std::vector<std::string> names;
    std::vector<Copy> out;
    if (book.files().list(folder, names) != 0) return out;
    std::sort(names.begin(), names.end());
    const std::set<std::string> pcs = knownPcs(book);
    for (const std::string& name : names) {
        std::string original;
        if (conflictCopyOf(name, pcs, present, original))
            out.push_back({joinPath(folder, name), name, original});
        else if (all)
            out.push_back({joinPath(folder, name), name, name});
    }
    return out;
}

std::set<std::string> namesIn(FileStore& files, const std::string& folder) {
    std::vector<std::string> names;
    files.list(folder, names);
    return {names.begin(), names.end()};
}

// Copies already set aside that still hold a difference to settle.
void asideConflicts(Book& book, const Analysis& a, std::vector<SyncConflict>& out) {
    std::set<std::string> present = namesIn(book.files(), book.ledgerDir());
    const std::set<std::string> diary = namesIn(book.files(), book.diaryDir());
    present.insert(diary.begin(), diary.end());
    for (const Copy& c : copiesIn(book, book.sideFile(ConflictFolderName), present, false)) {
        MonthKey m;
        int day = 0;
        if (monthOfFileName(c.original, m))
            copyConflicts(book, a, c.path, c.name, m, out);
        else if (diaryDayOfFileName(c.original, m, day))
            diaryCopyConflict(book, a, c.path, c.name, m, day, out);
    }
}

// A posting made twice left two lines of its entry in the cell: the later
// one goes, and its amount off the cell with it.
void takeBackTwinLines(Book& book, const Unit& u, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        const std::vector<EntryLine>& lines = book.lines(u.month);
        const LineSide side = lineSideOf(u.field);
        std::vector<std::size_t> at;
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].origin == LineOrigin::Scheduled && lines[i].source == entry &&
                lines[i].day == u.day && lines[i].side == side && lines[i].item == u.item)
                at.push_back(i);
        if (at.size() >= 2) book.removeLine(u.month, at.back(), ChangeSource::Synced);
    }
}

std::string lineLabel(MonthKey m, const EntryLine& l) {
    return std::to_string(m.year) + "/" + std::to_string(m.month) + "/" + std::to_string(l.day) +
           " " + cp932ToUtf8Lossy(l.item) + (l.side == LineSide::Income ? " 収入" : " 支出") +
           " 内訳";
}

std::string lineShown(const std::optional<EntryLine>& l) {
    if (!l) return "(削除)";
    std::string text = groupedAmount(l->amount);
    if (!l->memo.empty()) text += " " + cp932ToUtf8Lossy(l->memo);
    return text;
}

SyncSide lineSide(const LineChange& c) {
    SyncSide s;
    s.pc = c.pc;
    s.time = c.time;
    s.group = c.step;
    s.shown = lineShown(c.to);
    if (c.to) {
        s.amount = c.to->amount;
        s.value = formatLineRecord(*c.to);
    }
    return s;
}

SyncConflict lineConflict(MonthKey m, const LineMerge::Fork& f) {
    SyncConflict c;
    const EntryLine& named = f.first.from ? *f.first.from : *f.first.to;
    c.key = lineForkKey(m, f);
    c.unit = lineLabel(m, named);
    c.start = lineShown(f.first.from);
    if (f.first.from) c.startValue = formatLineRecord(*f.first.from);
    c.first = lineSide(f.first);
    c.second = lineSide(f.second);
    c.kind = JournalRecord::Kind::Line;
    c.month = m;
    c.day = named.day;
    c.item = named.item;
    c.field = fieldOf(named.side);
    return c;
}

// Where the line stands in the month's lines now; npos when it does not.
std::size_t lineAt(Book& book, MonthKey m, const EntryLine& line) {
    const std::vector<EntryLine>& lines = book.lines(m);
    const auto at = std::find(lines.begin(), lines.end(), line);
    return at == lines.end() ? std::string::npos : static_cast<std::size_t>(at - lines.begin());
}

// Carries out one mend of a month's lines; false when the file no longer
// shows the line to take away.
bool applyLineMend(Book& book, MonthKey m, const LineMend& mend) {
    if (mend.from) {
        const std::size_t at = lineAt(book, m, *mend.from);
        if (at == std::string::npos) return false;
        if (mend.to)
            book.changeLine(m, at, *mend.to, ChangeSource::Synced);
        else
            book.removeLine(m, at, ChangeSource::Synced);
    } else if (mend.moved) {
        book.addLine(m, *mend.to, ChangeSource::Synced);
    } else {
        book.adoptLines(m, {*mend.to}, ChangeSource::Synced);
    }
    return true;
}

std::string mendText(MonthKey m, const LineMend& mend) {
    const EntryLine& named = mend.to ? *mend.to : *mend.from;
    const char* what = mend.from && mend.to ? " 変更 " : mend.to ? " 追加 " : " 削除 ";
    std::string text = "同期: " + lineLabel(m, named) + what;
    if (mend.from && mend.to) return text + lineShown(mend.from) + " -> " + lineShown(mend.to);
    return text + lineShown(mend.to ? mend.to : mend.from);
}

} // namespace

std::vector<SyncConflict> syncConflicts(Book& book) {
    book.reopenJournal();
    const Analysis a = analyze(book);
    std::vector<SyncConflict> out;
    for (const auto& [key, u] : a.units) {
        const UnitMerge m = mergeUnit(u.changes);
        for (const UnitMerge::Fork& f : m.forks) {
            SyncConflict c = conflictOf(key, u, f);
            if (!a.settled.count(c.key)) out.push_back(std::move(c));
        }
    }
    for (const auto& [m, changes] : a.lines)
        for (const LineMerge::Fork& f : mergeLines(m, changes, a.settled).forks)
            out.push_back(lineConflict(m, f));
    // In the order a sync lists them, so that a number it printed names one.
    asideConflicts(book, a, out);
    return out;
}

SyncReport syncBook(Book& book) {
    SyncReport report;
    // A book on one PC (no name) has nothing to merge.
    if (book.readOnly() || book.pcName().empty()) return report;
    book.reopenJournal();
    // Alone on the book there is nobody to merge with: a file replaced by
    // other means (a restore from a zip) is not taken back from the records.
    const bool alone = book.journal().peers().empty();
    // The scheduled entries, and the schedule file's conflict copies.
    syncSchedule(book, report);
    const Analysis a = analyze(book);
    MonthCache months(book);
    struct Mend {
        const Unit* unit;
        int item;
        std::string from, to;
        const std::vector<std::string>* twins; // entries posted twice in the cell
    };
    std::vector<Mend> mends;
    std::set<std::string> saidWhy;
    for (const auto& [key, u] : a.units) {
        const UnitMerge m = mergeUnit(u.changes);
        for (const UnitMerge::Fork& f : m.forks) {
            SyncConflict c = conflictOf(key, u, f);
            if (!a.settled.count(c.key)) report.conflicts.push_back(std::move(c));
        }
        // A cell only lines changed follows the lines' merge.
        if (alone || !m.changed) continue;
        std::string shown, value;
        int item = 0;
        if (u.kind == JournalRecord::Kind::Amount) {
            std::string why;
            const MonthLedger* l = months.month(u.month, why);
            if (!l) {
                if (saidWhy.insert(why).second) report.notes.push_back(why);
                continue;
            }
            item = itemSlot(*l, u.item);
            // An item renamed since has nothing to receive the value.
            if (!item || u.day > 31) continue;
            shown = std::to_string(cellValue(*l, item, u.day, u.field));
        } else {
            try {
                readDiaryFile(book.files(), book.diaryDir(), u.month.year, u.month.month, u.day,
                              shown);
            } catch (const std::exception& e) {
                report.notes.push_back(e.what());
                continue;
            }
        }
        if (needsMending(m, shown, value)) {
            const auto twins = a.twinEntries.find(key);
            mends.push_back(
                {&u, item, shown, value, twins == a.twinEntries.end() ? nullptr : &twins->second});
        }
    }
    // The months' lines: forks asked, lost lines put back, stale ones taken
    // away, in the same step as the cells.
    std::vector<std::pair<MonthKey, LineMend>> lineFixes;
    for (const auto& [m, changes] : a.lines) {
        const LineMerge merge = mergeLines(m, changes, a.settled);
        for (const LineMerge::Fork& f : merge.forks)
            report.conflicts.push_back(lineConflict(m, f));
        if (alone) continue;
        // Read afresh: the sync tool may have replaced it since it was read.
        const MonthLineFile file = loadLineFile(book.files(), book.ledgerDir(), m.year, m.month);
        if (file.state == LineFileState::Damaged || file.state == LineFileState::Unreadable) {
            report.notes.push_back(file.problem);
            continue;
        }
        for (LineMend& mend : lineMends(merge, changes, file.lines))
            lineFixes.emplace_back(m, std::move(mend));
    }
    if (!mends.empty() || !lineFixes.empty()) {
        try {
            Book::ChangeGroup g(book, ChangeSource::Synced, SyncSourceName);
            for (const Mend& m : mends) {
                const Unit& u = *m.unit;
                if (m.twins) takeBackTwinLines(book, u, *m.twins);
                if (u.kind == JournalRecord::Kind::Amount)
                    book.setAmount(u.month, m.item, u.day, u.field,
                                   static_cast<int32_t>(std::stoll(m.to)), ChangeSource::Synced);
                else
                    book.setDiary(u.month.year, u.month.month, u.day, m.to, ChangeSource::Synced);
            }
            std::vector<std::string> linesMended;
            for (const auto& [m, mend] : lineFixes) {
                // A line the month cannot take (its item renamed since) is
                // told and left; the other mends go on.
                try {
                    if (applyLineMend(book, m, mend)) linesMended.push_back(mendText(m, mend));
                } catch (const AppError& e) {
                    report.notes.push_back(mendText(m, mend) + ": " + e.what());
                }
            }
            g.commit();
            for (const Mend& m : mends)
                report.mended.push_back("同期: " + unitLabel(*m.unit) + " " +
                                        shownValue(*m.unit, m.from) + " -> " +
                                        shownValue(*m.unit, m.to));
            report.mended.insert(report.mended.end(), linesMended.begin(), linesMended.end());
        } catch (const std::exception& e) {
            report.notes.push_back(std::string("記録どおりに直せませんでした: ") + e.what());
        }
    }
    if (!a.twins.empty() && !mends.empty())
        report.notes.insert(report.notes.end(), a.twins.begin(), a.twins.end());
    // Copies the sync tool left: a difference the records explain needs
    // nothing, another one is asked; the copy itself is kept aside.
    std::vector<std::string> folders{book.ledgerDir()};
    if (book.files().fileKey(book.diaryDir()) != book.files().fileKey(book.ledgerDir()))
        folders.push_back(book.diaryDir());
    const std::string aside = book.sideFile(ConflictFolderName);
    for (const std::string& folder : folders) {
        const std::set<std::string> present = namesIn(book.files(), folder);
        for (const Copy& c : copiesIn(book, folder, present, false)) {
            try {
                MonthKey m;
                int day = 0;
                const bool month =
                    (folder == book.ledgerDir() && monthOfFileName(c.original, m)) ||
                    (folder == book.diaryDir() && diaryDayOfFileName(c.original, m, day));
                // A budget month set on one PC only comes in before the copy goes.
                const bool budget = folder == book.ledgerDir() && c.original == BudgetFileName;
                if (budget) {
                    std::string bytes;
                    const int err = book.files().tryRead(c.path, bytes);
                    if (err) throw fileError(err, c.path);
                    const int added = book.mergeBudgetCopy(bytes, report.notes);
                    if (added)
                        report.mended.push_back("同期: 予算 " + std::to_string(added) +
                                                " か月分を競合コピーから取り込みました");
                }
                moveAside(book.files(), c.path, aside);
                report.setAside.push_back("競合コピー " + c.name + " を " + ConflictFolderName +
                                          "/ に移しました" +
                                          (month || budget ? "" : " (中身は比べていません)"));
            } catch (const std::exception& e) {
                report.notes.push_back("競合コピー " + c.name + " を移せませんでした: " + e.what());
            }
        }
    }
    // The copies kept aside are asked about until settled.
    asideConflicts(book, a, report.conflicts);
    return report;
}

void settleConflict(Book& book, const SyncConflict& c, SyncChoice choice) {
    Book::ChangeGroup g(book, ChangeSource::Synced, "同期の確認");
    if (c.kind == JournalRecord::Kind::Line) {
        if (choice == SyncChoice::Sum) throw AppError("内訳は足し合わせられません");
        const SyncSide& keep = choice == SyncChoice::KeepFirst ? c.first : c.second;
        const SyncSide& drop = choice == SyncChoice::KeepFirst ? c.second : c.first;
        auto lineOf = [](const std::string& text) {
            std::optional<EntryLine> l;
            EntryLine read;
            if (!text.empty() && parseLineRecord(text, read)) l = read;
            return l;
        };
        const std::optional<EntryLine> kept = lineOf(keep.value), dropped = lineOf(drop.value);
        const bool shown = kept && lineAt(book, c.month, *kept) != std::string::npos;
        const std::size_t at =
            dropped ? lineAt(book, c.month, *dropped) : static_cast<std::size_t>(std::string::npos);
        if (at != std::string::npos && kept && !shown)
            book.changeLine(c.month, at, *kept, ChangeSource::Synced);
        else if (at != std::string::npos)
            book.removeLine(c.month, at, ChangeSource::Synced);
        else if (kept && !shown)
            book.addLine(c.month, *kept, ChangeSource::Synced);
        book.noteSettled(c.key);
        // The other PCs learn which side was kept from the records.
        if (choice == SyncChoice::KeepSecond) book.noteSettled(c.key + "#2");
        return g.commit();
    }
    if (c.kind == JournalRecord::Kind::Amount) {
        int64_t value = choice == SyncChoice::KeepFirst ? c.first.amount : c.second.amount;
        if (choice == SyncChoice::Sum) {
            if (!c.canSum) throw AppError("この値は足し合わせられません");
            // Both changes on top of what both started from.
            value = static_cast<int64_t>(c.first.amount) + c.second.amount -
                    (c.startValue.empty() ? 0 : std::stoll(c.startValue));
        }
        if (value < INT32_MIN || value > INT32_MAX) throw AppError("金額が大きすぎます");
        const MonthLedger l = book.month(c.month);
        const int item = itemSlot(l, c.item);
        if (!item) throw AppError("項目「" + cp932ToUtf8Lossy(c.item) + "」は今の設定にありません");
        // The cell's lines stay whichever side is kept.
        book.checkTypedTotal(c.month, item, c.day, c.field, static_cast<int32_t>(value));
        book.setAmount(c.month, item, c.day, c.field, static_cast<int32_t>(value),
                       ChangeSource::Synced);
    } else {
        if (choice == SyncChoice::Sum) throw AppError("日記は足し合わせられません");
        book.setDiary(c.month.year, c.month.month, c.day,
                      choice == SyncChoice::KeepFirst ? c.first.value : c.second.value,
                      ChangeSource::Synced);
    }
    book.noteSettled(c.key);
    g.commit();
}

int learnPostings(Book& book, Schedule& schedule) {
    ChangeJournal& j = book.journal();
    if (j.path().empty()) book.reopenJournal();
    const std::vector<uint64_t>& done = j.undoable();
    int added = 0;
    for (const uint64_t id : done) {
        const ChangeStep* s = j.step(id);
        if (!s) continue;
        for (const JournalRecord& r : s->records) {
            if (r.kind != JournalRecord::Kind::Posting) continue;
            const auto colon = r.item.find(':');
            if (colon == std::string::npos) continue;
            PostingRecord p;
            try {
                p.entry = std::stoi(r.item.substr(0, colon));
                p.index = std::stoi(r.item.substr(colon + 1));
                p.amount = static_cast<int32_t>(std::stol(r.newText));
            } catch (const std::exception&) {
                continue;
            }
            if (schedule.record(p.entry, p.index)) continue;
            p.state = PostingState::Done;
            p.date = {r.month.year, r.month.month, r.day};
            p.expense = r.field == AmountField::Expense;
            p.item = r.oldText;
            schedule.records.push_back(p);
            ++added;
        }
    }
    return added;
}
