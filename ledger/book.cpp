#include "ledger/book.h"

#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/diary_file.h"
#include "ledger/errors.h"
#include "ledger/month_table.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace {

std::string withFile(const char* text, const std::string& file) {
    std::string out = text;
    const auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, file);
    return out;
}

std::string localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
    return text;
}

// "3,480" without the sheet's padding.
std::string amountText(int32_t v) {
    return groupedAmount(v);
}

// The amount a change names: day 0 is the balance brought in.
int32_t& cellOf(MonthLedger& l, int item, int day, AmountField field) {
    if (day == 0) return l.CarryOver[item];
    DayCell& c = l.Items[item].Days[day];
    return field == AmountField::Income ? c.Income : c.Expense;
}

} // namespace

void loadMonthAsEntered(MonthLedger& ledger, const std::string& dir, MonthKey m) {
    ledger.clearDays();
    std::string file;
    MonthFileState state = MonthFileState::Read;
    try {
        state = loadMonthFile(ledger, dir, m.year, m.month, LoadMode::Previous, &file);
    } catch (const std::exception&) {
        state = MonthFileState::Unreadable;
    }
    if (state == MonthFileState::Unreadable) throw AppError(withFile(msg::HeldPrevious, file));
    try {
        state = loadMonthFile(ledger, dir, m.year, m.month, LoadMode::Current, &file);
    } catch (const std::exception&) {
        state = MonthFileState::Unreadable;
    }
    if (state == MonthFileState::Unreadable) throw AppError(withFile(msg::HeldUnread, file));
    try {
        checkTotals(ledger);
    } catch (const std::exception&) {
        throw AppError(withFile(msg::HeldTotals, file));
    }
}

// What a group has changed so far, to write at its end or put back.
struct Book::Pending {
    MonthLedger ledger;
    bool existed = false;
    std::string bytes; // the file before the group
};

struct Book::Group {
    ChangeSource source = ChangeSource::Typed;
    std::string label;
    uint64_t id = 0;
    std::vector<JournalRecord> records;
    std::map<MonthKey, Pending> months;
    struct Diary {
        int year, month, day;
        bool existed;
        std::string bytes;
    };
    std::vector<Diary> diaries;
};

Book::Book(std::string startDir)
    : startDir_(startDir), ledgerDir_(startDir), diaryDir_(std::move(startDir)) {}

Book::~Book() = default;

void Book::setLedgerDir(std::string dir) {
    ledgerDir_ = std::move(dir);
}

std::string Book::monthPath(MonthKey m) const {
    return joinPath(ledgerDir_, monthFileName(m.year, m.month));
}

void Book::readConfiguration(const LocationCheck& ledger, const LocationCheck& diary) {
    std::string ledgerDir, diaryDir;
    try {
        readConfig(startDir_, ledger_, ledgerDir, diaryDir, ledger, diary);
    } catch (...) {
        ledgerDir_ = ledgerDir;
        diaryDir_ = diaryDir;
        throw;
    }
    ledgerDir_ = ledgerDir;
    diaryDir_ = diaryDir;
    configured_ = true;
}

void Book::configurationWritten() {
    configured_ = true;
    adoptOtherLines(ledger_);
}

void Book::holdMonth(Hold hold, const std::string& file) {
    hold_ = hold;
    heldFile_ = file;
}

std::string Book::heldFile() const {
    if (neverLoaded_) return joinPath(startDir_, ConfigFileName);
    return heldFile_;
}

std::string Book::heldMessage() const {
    const Hold h = hold();
    const char* text = h == Hold::PreviousMonthFile ? msg::HeldPrevious
                       : h == Hold::Totals          ? msg::HeldTotals
                                                    : msg::HeldUnread;
    return withFile(text, heldFile());
}

void Book::refuseIfHeld() const {
    if (held()) throw AppError(heldMessage());
}

void Book::loadPrevious() {
    // A carry-over read in part would go into this month's income totals
    // at its save; the current-month load holds the month for it.
    previousFailed_.clear();
    std::string file;
    try {
        if (loadMonthFile(ledger_, ledgerDir_, shown_.year, shown_.month, LoadMode::Previous,
                          &file) == MonthFileState::Unreadable)
            previousFailed_ = file;
    } catch (...) {
        previousFailed_ = file;
        throw;
    }
}

void Book::loadCurrent() {
    if (configured_) neverLoaded_ = false;
    std::string file;
    MonthFileState state;
    try {
        FileStamp stamp;
        state = loadMonthFile(ledger_, ledgerDir_, shown_.year, shown_.month, LoadMode::Current,
                              &file, &stamp);
        stampKey_ = fileKey(monthPath(shown_));
        stamp_ = stamp;
    } catch (...) {
        holdMonth(Hold::MonthFile, file);
        throw;
    }
    // A file that is there but could not be opened reads as zero without a
    // word, and must then not be replaced by those zeros.
    if (state == MonthFileState::Unreadable) return holdMonth(Hold::MonthFile, file);
    try {
        checkTotals(ledger_);
    } catch (...) {
        holdMonth(Hold::Totals, file);
        throw;
    }
    if (previousFailed_.empty())
        holdMonth(Hold::None, {});
    else
        holdMonth(Hold::PreviousMonthFile, previousFailed_);
}

void Book::loadMonths() {
    std::exception_ptr first;
    try {
        loadPrevious();
    } catch (...) {
        first = std::current_exception();
    }
    try {
        loadCurrent();
    } catch (...) {
        if (!first) first = std::current_exception();
    }
    if (first) std::rethrow_exception(first);
}

bool Book::saveMonth() {
    // Nothing can have been typed into a held month, and saving it would
    // write over its file with empty, partial or wrong values.
    if (held()) return true;
    const std::string path = monthPath(shown_);
    const FileStamp expected = fileKey(path) == stampKey_ ? stamp_ : FileStamp{};
    const FileStamp now = currentStamp(path);
    if (now != expected) {
        const FileChange change = !expected.exists ? FileChange::Created
                                  : !now.exists    ? FileChange::Deleted
                                                   : FileChange::Changed;
        const Answer answer = replaceQuestion_ ? replaceQuestion_(path, change) : Answer::Overwrite;
        if (answer == Answer::Cancel) throw Cancelled{};
        if (answer == Answer::Reload) {
            loadMonths();
            return false;
        }
    }
    stamp_ = saveMonthFile(ledger_, ledgerDir_, shown_.year, shown_.month);
    stampKey_ = fileKey(path);
    return true;
}

void Book::moveTo(MonthKey m) {
    if (m == shown_) return;
    saveMonth();
    shown_ = m;
    loadMonths();
}

MonthLedger Book::month(MonthKey m) const {
    if (m == shown_ && shown_.year) return ledger_;
    MonthLedger copy = ledger_;
    loadMonthAsEntered(copy, ledgerDir_, m);
    return copy;
}

int32_t Book::amount(MonthKey m, int item, int day, AmountField field) const {
    if (day == 0 && field == AmountField::Expense) return 0;
    MonthLedger l = month(m);
    return cellOf(l, item, day, field);
}

// ---- the change door ----

MonthLedger& Book::groupMonth(MonthKey m) {
    if (m == shown_ && shown_.year) {
        refuseIfHeld();
        return ledger_;
    }
    auto at = group_->months.find(m);
    if (at != group_->months.end()) return at->second.ledger;
    Pending p;
    p.ledger = ledger_;
    loadMonthAsEntered(p.ledger, ledgerDir_, m);
    const int err = tryReadFileBytes(monthPath(m), p.bytes);
    p.existed = err == 0;
    return group_->months.emplace(m, std::move(p)).first->second.ledger;
}

template <class Change> bool Book::ownGroup(ChangeSource source, Change change) {
    if (group_) return false;
    ChangeGroup g(*this, source);
    change();
    g.commit();
    return true;
}

void Book::setAmount(MonthKey m, int item, int day, AmountField field, int32_t value,
                     ChangeSource source) {
    if (ownGroup(source, [&] { setAmount(m, item, day, field, value, source); })) return;
    if (m.month < 1 || m.month > 12 || m.year < 1 || day < 0 || day > daysInMonth(m.year, m.month))
        throwRangeError();
    if (day == 0 && field != AmountField::Income) throwRangeError();
    MonthLedger& l = groupMonth(m);
    LedgerItem& it = l.Items[item];
    if (item > ShownItems || it.Name.empty())
        throw AppError("項目" + std::to_string(item) + "には名前がありません");
    int32_t& cell = cellOf(l, item, day, field);
    const int32_t old = cell;
    if (old == value) return;
    cell = value;
    try {
        checkTotals(l);
    } catch (...) {
        cell = old;
        throw;
    }
    JournalRecord r;
    r.group = group_->id;
    r.time = clock ? clock() : localTime();
    r.source = source;
    r.kind = JournalRecord::Kind::Amount;
    r.month = m;
    r.day = day;
    r.item = it.Name;
    r.field = field;
    r.oldValue = old;
    r.newValue = value;
    group_->records.push_back(std::move(r));
}

void Book::addAmount(MonthKey m, int item, int day, AmountField field, int32_t delta,
                     ChangeSource source) {
    if (ownGroup(source, [&] { addAmount(m, item, day, field, delta, source); })) return;
    const int32_t now = cellOf(groupMonth(m), item, day, field);
    setAmount(m, item, day, field, checkedAdd(now, delta), source);
}

void Book::setDiary(int year, int month, int day, const std::string& bytes, ChangeSource source) {
    if (ownGroup(source, [&] { setDiary(year, month, day, bytes, source); })) return;
    std::string old;
    const bool existed = readDiaryFile(diaryDir_, year, month, day, old);
    saveDiaryFile(diaryDir_, year, month, day, bytes);
    group_->diaries.push_back({year, month, day, existed, old});
    if (old == bytes) return;
    JournalRecord r;
    r.group = group_->id;
    r.time = clock ? clock() : localTime();
    r.source = source;
    r.kind = JournalRecord::Kind::Diary;
    r.month = {year, month};
    r.day = day;
    r.oldText = old;
    r.newText = bytes;
    group_->records.push_back(std::move(r));
}

Book::ChangeGroup::ChangeGroup(Book& book, ChangeSource source, std::string label) : book_(book) {
    // A group inside a group joins it.
    if (book_.groupDepth_++ > 0) return;
    book_.openJournal();
    book_.group_ = std::make_unique<Group>();
    book_.group_->source = source;
    book_.group_->label = std::move(label);
    book_.group_->id = book_.journal_.nextGroup();
}

Book::ChangeGroup::~ChangeGroup() {
    if (--book_.groupDepth_ > 0) return;
    if (!done_ && book_.group_) book_.rollBack(*book_.group_);
    book_.group_.reset();
}

void Book::ChangeGroup::commit() {
    if (done_) return;
    done_ = true;
    if (book_.groupDepth_ > 1) return;
    Group& g = *book_.group_;
    try {
        book_.commitGroup(g);
    } catch (...) {
        book_.rollBack(g);
        book_.group_.reset();
        throw;
    }
}

void Book::commitGroup(Group& g) {
    std::vector<MonthKey> written;
    try {
        for (auto& [m, p] : g.months) {
            const std::string bytes = formatMonth(p.ledger);
            if (p.existed && bytes == p.bytes) continue;
            writeFileSafely(monthPath(m), bytes);
            written.push_back(m);
        }
    } catch (...) {
        // What this group wrote goes back, so nothing is half-done.
        for (const MonthKey& m : written) {
            const Pending& p = g.months.at(m);
            try {
                if (p.existed)
                    writeFileSafely(monthPath(m), p.bytes);
                else
                    ::remove(monthPath(m).c_str());
            } catch (const std::exception&) {
            }
        }
        g.months.clear();
        throw;
    }
    g.months.clear();
    g.diaries.clear();
    const std::vector<JournalRecord> records = std::move(g.records);
    g.records.clear();
    if (!records.empty()) {
        try {
            journal_.append(records);
        } catch (const std::exception& e) {
            // The change is made; only its history is lost.
            if (journalWarning_.empty())
                journalWarning_ = std::string("変更履歴に書き込めません: ") + e.what();
        }
    }
    bool shownChanged = false;
    MonthKey earliest{9999, 12};
    for (const JournalRecord& r : records) {
        if (r.kind != JournalRecord::Kind::Amount) continue;
        if (r.month == shown_) shownChanged = true;
        if (r.month < earliest) earliest = r.month;
    }
    if (shown_.year && earliest < shown_ && !held()) {
        refreshCarry(earliest);
        shownChanged = true;
    }
    if (shownChanged) notify();
    if (journalChanged) journalChanged();
}

void Book::refreshCarry(MonthKey) {
    // An earlier month's closing balance changed: the month in memory brings
    // in the new one, as entering it again would.
    try {
        loadPrevious();
    } catch (const std::exception&) {
    }
    if (!previousFailed_.empty()) holdMonth(Hold::PreviousMonthFile, previousFailed_);
}

void Book::rollBack(Group& g) {
    for (auto r = g.records.rbegin(); r != g.records.rend(); ++r) {
        if (r->kind != JournalRecord::Kind::Amount || r->month != shown_) continue;
        for (int i = 1; i <= ShownItems; ++i) {
            if (ledger_.Items[i].Name != r->item) continue;
            cellOf(ledger_, i, r->day, r->field) = r->oldValue;
            break;
        }
    }
    for (auto d = g.diaries.rbegin(); d != g.diaries.rend(); ++d) {
        try {
            if (d->existed)
                saveDiaryFile(diaryDir_, d->year, d->month, d->day, d->bytes);
            else
                ::remove(joinPath(diaryDir_, diaryFileName(d->year, d->month, d->day)).c_str());
        } catch (const std::exception&) {
        }
    }
    g.months.clear();
    g.diaries.clear();
    g.records.clear();
}

void Book::notify() {
    if (changed) changed();
}

// ---- undo and redo ----

void Book::openJournal() {
    if (journalFolder_ == ledgerDir_ && !journal_.path().empty()) return;
    journalFolder_ = ledgerDir_;
    journal_.open(sideFile(JournalFileName));
    if (!journal_.warning().empty()) journalWarning_ = journal_.warning();
}

std::string Book::takeJournalWarning() {
    openJournal();
    std::string w;
    w.swap(journalWarning_);
    return w;
}

bool Book::canUndo() const {
    const_cast<Book*>(this)->openJournal();
    return !journal_.undoable().empty();
}

bool Book::canRedo() const {
    const_cast<Book*>(this)->openJournal();
    return !journal_.redoable().empty();
}

std::string Book::describe(const JournalRecord& r) const {
    const std::string date = std::to_string(r.month.month) + "/" + std::to_string(r.day);
    if (r.kind == JournalRecord::Kind::Diary) return date + " 日記";
    const std::string field = r.day == 0                       ? "繰越"
                              : r.field == AmountField::Income ? "収入"
                                                               : "支出";
    return (r.day == 0 ? std::to_string(r.month.month) + "月" : date) + " " +
           cp932ToUtf8Lossy(r.item) + " " + field + " " + amountText(r.newValue);
}

std::string Book::stepText(uint64_t group) const {
    const ChangeStep* s = journal_.step(group);
    if (!s || s->records.empty()) return {};
    if (s->records.size() == 1) return describe(s->records.front());
    return std::string(sourceName(s->records.front().source)) + " " +
           std::to_string(s->records.size()) + "件";
}

std::string Book::undoText() const {
    return canUndo() ? stepText(journal_.undoable().back()) : std::string();
}

std::string Book::redoText() const {
    return canRedo() ? stepText(journal_.redoable().back()) : std::string();
}

namespace {

int itemIndex(const MonthLedger& l, const std::string& name) {
    for (int i = 1; i <= ShownItems; ++i)
        if (!name.empty() && l.Items[i].Name == name) return i;
    throw AppError("項目「" + cp932ToUtf8Lossy(name) + "」は今の設定にないため、元に戻せません");
}

} // namespace

int32_t Book::current(const JournalRecord& r) {
    const int item = itemIndex(ledger_, r.item);
    return cellOf(groupMonth(r.month), item, r.day, r.field);
}

bool Book::reverse(uint64_t group, bool undo) {
    openJournal();
    const ChangeStep* s = journal_.step(group);
    if (!s) return false;
    const std::vector<JournalRecord> records = s->records;
    ChangeGroup g(*this, undo ? ChangeSource::Undo : ChangeSource::Redo);
    // Every value is checked before any is changed, so a refusal leaves
    // the step whole.
    std::string changedSince;
    for (const JournalRecord& r : records) {
        const int32_t expected = undo ? r.newValue : r.oldValue;
        if (r.kind == JournalRecord::Kind::Amount) {
            const int32_t now = current(r);
            if (now != expected)
                changedSince += describe(r) + " (今の値 " + amountText(now) + ")\n";
        } else if (r.kind == JournalRecord::Kind::Diary) {
            std::string now;
            readDiaryFile(diaryDir_, r.month.year, r.month.month, r.day, now);
            if (now != (undo ? r.newText : r.oldText)) changedSince += describe(r) + "\n";
        }
    }
    if (!changedSince.empty()) {
        const std::string what =
            "次の値はその後に変更されています。置き換えますか?\n\n" + changedSince;
        if (!conflict_) throw AppError("その後に変更された値があるため、元に戻せません");
        if (!conflict_(what)) return false;
    }
    const ChangeSource source = undo ? ChangeSource::Undo : ChangeSource::Redo;
    auto apply = [&](const JournalRecord& r) {
        if (r.kind == JournalRecord::Kind::Amount)
            setAmount(r.month, itemIndex(ledger_, r.item), r.day, r.field,
                      undo ? r.oldValue : r.newValue, source);
        else if (r.kind == JournalRecord::Kind::Diary)
            setDiary(r.month.year, r.month.month, r.day, undo ? r.oldText : r.newText, source);
    };
    if (undo)
        std::for_each(records.rbegin(), records.rend(), apply);
    else
        std::for_each(records.begin(), records.end(), apply);
    JournalRecord marker;
    marker.group = group_->id;
    marker.time = clock ? clock() : localTime();
    marker.source = source;
    marker.kind = undo ? JournalRecord::Kind::Undo : JournalRecord::Kind::Redo;
    marker.ref = group;
    group_->records.push_back(marker);
    g.commit();
    return true;
}

bool Book::undo() {
    if (!canUndo()) return false;
    return reverse(journal_.undoable().back(), true);
}

bool Book::redo() {
    if (!canRedo()) return false;
    return reverse(journal_.redoable().back(), false);
}

std::vector<Book::HistoryRow> Book::history() const {
    const_cast<Book*>(this)->openJournal();
    std::vector<HistoryRow> rows;
    const auto& undoable = journal_.undoable();
    for (const ChangeStep* s : journal_.history()) {
        const bool undone = std::find(undoable.begin(), undoable.end(), s->group) == undoable.end();
        for (const JournalRecord& r : s->records) {
            HistoryRow row;
            row.group = s->group;
            row.time = r.time;
            row.month = monthLabel(r.month.year, r.month.month);
            row.day = r.day ? std::to_string(r.day) + "日" : "繰越";
            row.source = sourceName(r.source);
            row.undone = undone;
            if (r.kind == JournalRecord::Kind::Diary) {
                row.item = "日記";
                row.change = std::to_string(r.oldText.size()) + " -> " +
                             std::to_string(r.newText.size()) + " バイト";
            } else {
                row.item = cp932ToUtf8Lossy(r.item) + (r.day == 0                       ? ""
                                                       : r.field == AmountField::Income ? " 収入"
                                                                                        : " 支出");
                row.change = amountText(r.oldValue) + " -> " + amountText(r.newValue);
            }
            rows.push_back(std::move(row));
        }
    }
    std::reverse(rows.begin(), rows.end());
    return rows;
}

void Book::undoBackTo(uint64_t group) {
    openJournal();
    const auto& undoable = journal_.undoable();
    if (std::find(undoable.begin(), undoable.end(), group) == undoable.end()) return;
    while (!journal_.undoable().empty() && journal_.undoable().back() != group)
        if (!reverse(journal_.undoable().back(), true)) return;
}

std::vector<MonthKey> Book::repairCarry(int year) {
    const CarryRepairPlan plan = planCarryRepair(ledger_, ledgerDir_, year);
    std::map<MonthKey, StoredMonth> before;
    for (const MonthKey& m : plan.months)
        before[m] = readStoredMonth(ledger_, ledgerDir_, m.year, m.month);
    std::vector<MonthKey> done;
    std::exception_ptr error;
    try {
        done = repairCarryChain(ledger_, ledgerDir_, year);
    } catch (...) {
        error = std::current_exception();
        // The months rewritten before the stop are recorded all the same.
        for (const MonthKey& m : plan.months) {
            const StoredMonth now = readStoredMonth(ledger_, ledgerDir_, m.year, m.month);
            if (now.bytes != before[m].bytes) done.push_back(m);
        }
    }
    openJournal();
    std::vector<JournalRecord> records;
    const uint64_t id = journal_.nextGroup();
    for (const MonthKey& m : done) {
        const StoredMonth now = readStoredMonth(ledger_, ledgerDir_, m.year, m.month);
        for (int i = 1; i <= ShownItems; ++i) {
            if (!now.has[i] || now.broughtIn[i] == before[m].broughtIn[i]) continue;
            JournalRecord r;
            r.group = id;
            r.time = clock ? clock() : localTime();
            r.source = ChangeSource::CarryRepair;
            r.month = m;
            r.day = 0;
            r.item = ledger_.Items[i].Name;
            r.oldValue = before[m].broughtIn[i];
            r.newValue = now.broughtIn[i];
            records.push_back(std::move(r));
        }
    }
    try {
        journal_.append(records);
    } catch (const std::exception& e) {
        if (journalWarning_.empty())
            journalWarning_ = std::string("変更履歴に書き込めません: ") + e.what();
    }
    if (journalChanged) journalChanged();
    if (error) std::rethrow_exception(error);
    return done;
}
