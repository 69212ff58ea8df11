#include "ledger/book.h"

#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/diary_file.h"
#include "ledger/errors.h"
#include "ledger/month_table.h"
#include "ledger/sync_files.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <set>
#include <tuple>

namespace {

std::string withFile(const char* text, const std::string& file) {
    std::string out = text;
    const auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, file);
    return out;
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

void loadMonthAsEntered(FileStore& files, MonthLedger& ledger, const std::string& dir, MonthKey m) {
    ledger.clearDays();
    std::string file;
    MonthFileState state = MonthFileState::Read;
    try {
        state = loadMonthFile(files, ledger, dir, m.year, m.month, LoadMode::Previous, &file);
    } catch (const std::exception&) {
        state = MonthFileState::Unreadable;
    }
    if (state == MonthFileState::Unreadable) throw AppError(withFile(msg::HeldPrevious, file));
    try {
        state = loadMonthFile(files, ledger, dir, m.year, m.month, LoadMode::Current, &file);
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
    bool written = false;
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
        std::string bytes;    // the file before the change
        std::string newBytes; // written when the group is committed
        bool written = false;
    };
    std::vector<Diary> diaries;
    // The step is in the journal and could not be taken back: it stays made
    // and the next start finishes its files.
    bool made = false;
    // Whole files replaced (a rename), to put back; the month in memory is
    // saved before the first.
    struct File {
        std::string path;
        bool existed;
        std::string bytes;
    };
    std::vector<File> files;
    bool shownSaved = false;
    // The month in memory must be saved after the step (its file could not
    // go with the later months it carries into).
    bool shownPending = false;
    std::map<MonthKey, LinesBefore> lines;
};

namespace {

std::string& defaultPcName() {
    static std::string name;
    return name;
}

} // namespace

void Book::setDefaultPcName(std::string name) {
    defaultPcName() = std::move(name);
}

Book::Book(std::string startDir, FileStore& files, Clock clock)
    : clock(std::move(clock)), files_(files), startDir_(startDir), ledgerDir_(startDir),
      diaryDir_(std::move(startDir)), journal_(files) {
    pcName_ = defaultPcName();
}

std::map<MonthKey, Book::LinesBefore>& Book::groupLines() {
    return group_->lines;
}

std::string Book::recordTime() const {
    return clock();
}

void Book::record(JournalRecord r) {
    r.group = group_->id;
    r.time = recordTime();
    group_->records.push_back(std::move(r));
}

uint64_t Book::groupId() const {
    return group_ ? group_->id : 0;
}

Book::~Book() = default;

void Book::setPcName(std::string name) {
    pcName_ = std::move(name);
    // The next use opens this PC's journal.
    journalFolder_.clear();
}

void Book::setLedgerDir(std::string dir) {
    if (dir != ledgerDir_) flushDeferredQuietly();
    ledgerDir_ = std::move(dir);
}

std::string Book::monthPath(MonthKey m) const {
    return joinPath(ledgerDir_, monthFileName(m.year, m.month));
}

void Book::readConfiguration(const LocationCheck& ledger, const LocationCheck& diary) {
    std::string ledgerDir, diaryDir;
    try {
        readConfig(files_, startDir_, ledger_, ledgerDir, diaryDir, ledger, diary);
    } catch (...) {
        if (ledgerDir != ledgerDir_) flushDeferredQuietly();
        ledgerDir_ = ledgerDir;
        diaryDir_ = diaryDir;
        throw;
    }
    if (ledgerDir != ledgerDir_) flushDeferredQuietly();
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
        if (loadMonthFile(files_, ledger_, ledgerDir_, shown_.year, shown_.month,
                          LoadMode::Previous, &file) == MonthFileState::Unreadable)
            previousFailed_ = file;
    } catch (...) {
        previousFailed_ = file;
        throw;
    }
}

void Book::loadCurrent() {
    if (configured_) neverLoaded_ = false;
    // Line files are read again as the month is: another copy may have
    // written them.
    if (lineStore_) lineStore_->forgetAll();
    std::string file;
    MonthFileState state;
    try {
        FileStamp stamp;
        state = loadMonthFile(files_, ledger_, ledgerDir_, shown_.year, shown_.month,
                              LoadMode::Current, &file, &stamp);
        stampKey_ = files_.fileKey(monthPath(shown_));
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
    // What an earlier run left half-written is finished before any month is
    // read; its trouble is said with the journal's.
    if (configured_) recover();
    std::exception_ptr first;
    bool previous = false;
    try {
        loadPrevious();
    } catch (...) {
        first = std::current_exception();
        previous = true;
    }
    try {
        loadCurrent();
    } catch (...) {
        if (!first) first = std::current_exception();
    }
    if (!first) return;
    try {
        std::rethrow_exception(first);
    } catch (const AppError& e) {
        // The bad text alone does not say where it is: the error names the
        // file and that the month is now read-only.
        if (!held()) throw;
        const std::string why =
            previous ? withFile(msg::HeldPrevious, previousFailed_) : heldMessage();
        throw AppError(std::string(e.what()) + "\n" + why);
    }
}

bool Book::saveMonth() {
    // The later months a change carried into go to the disk with the month.
    flushDeferred();
    // Nothing can have been typed into a held month, and saving it would
    // write over its file with empty, partial or wrong values.
    if (held()) {
        settle();
        return true;
    }
    const std::string path = monthPath(shown_);
    const FileStamp expected = files_.fileKey(path) == stampKey_ ? stamp_ : FileStamp{};
    const FileStamp now = files_.stamp(path);
    if (now != expected) {
        const FileChange change = !expected.exists ? FileChange::Created
                                  : !now.exists    ? FileChange::Deleted
                                                   : FileChange::Changed;
        const Answer answer = replaceQuestion_ ? replaceQuestion_(path, change) : Answer::Overwrite;
        if (answer == Answer::Cancel) throw Cancelled{};
        if (answer == Answer::Reload) {
            // What was typed gives way to the other copy's file, also for
            // the journal's mark.
            unsavedFrom_ = 0;
            loadMonths();
            settle();
            return false;
        }
    }
    stamp_ = saveMonthFile(files_, ledger_, ledgerDir_, shown_.year, shown_.month);
    stampKey_ = files_.fileKey(path);
    unsavedFrom_ = 0;
    settle();
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
    loadMonthAsEntered(files_, copy, ledgerDir_, m);
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
    loadMonthAsEntered(files_, p.ledger, ledgerDir_, m);
    const int err = files_.tryRead(monthPath(m), p.bytes);
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
    r.time = clock();
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
    // Written at the commit, after the journal has the change; a second
    // change of the day in the group starts from the first one's text.
    std::string old;
    bool existed = false;
    const auto earlier =
        std::find_if(group_->diaries.rbegin(), group_->diaries.rend(), [&](const Group::Diary& d) {
            return d.year == year && d.month == month && d.day == day;
        });
    if (earlier != group_->diaries.rend()) {
        old = earlier->newBytes;
        existed = true;
    } else {
        existed = readDiaryFile(files_, diaryDir_, year, month, day, old);
    }
    if (old == bytes) return;
    group_->diaries.push_back({year, month, day, existed, old, bytes});
    JournalRecord r;
    r.group = group_->id;
    r.time = clock();
    r.source = source;
    r.kind = JournalRecord::Kind::Diary;
    r.month = {year, month};
    r.day = day;
    r.oldText = old;
    r.newText = bytes;
    group_->records.push_back(std::move(r));
}

void Book::noteImportedRow(MonthKey m, int day, const std::string& fingerprint) {
    if (!group_) throw AppError("取り込んだ行は変更の中でだけ記録できます");
    JournalRecord r;
    r.group = group_->id;
    r.time = clock();
    r.source = ChangeSource::Imported;
    r.kind = JournalRecord::Kind::Row;
    r.month = m;
    r.day = day;
    r.item = fingerprint;
    group_->records.push_back(std::move(r));
}

std::map<std::string, uint64_t> Book::importedRows() {
    openJournal();
    std::map<std::string, uint64_t> rows;
    for (const ChangeStep* s : journal_.history())
        for (const JournalRecord& r : s->records)
            if (r.kind == JournalRecord::Kind::Row) rows[r.item] = s->group;
    return rows;
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
        if (!g.made) book_.rollBack(g);
        book_.group_.reset();
        throw;
    }
}

void Book::commitGroup(Group& g) {
    // Later months' balances brought in are part of the step, and so of
    // its journal lines.
    carryForward(g.records);
    const std::vector<JournalRecord> records = g.records;
    // Write-ahead: the step is in the journal, flushed, before any file has
    // it, so whatever stops the program from here on, the next start
    // finishes it. A failed append changes no file.
    if (!records.empty()) {
        if (readOnly_) throw AppError("書き込まない指定のため、変更できません");
        journal_.append(records);
    }
    try {
        writeGroup(g);
    } catch (...) {
        takeBack(g, records);
        throw;
    }
    bool inMemory = false;
    for (const JournalRecord& r : records)
        if (r.kind == JournalRecord::Kind::Amount && r.month == shown_ && shown_.year)
            inMemory = true;
    if (inMemory && !unsavedFrom_) unsavedFrom_ = g.id;
    const bool shownPending = g.shownPending;
    g.months.clear();
    g.diaries.clear();
    g.lines.clear();
    // Later months now bring in the balance of the month in memory: when
    // its file could not go with them (another copy changed it), it is
    // saved now, asking as a save does.
    if (shownPending) {
        try {
            saveMonth();
        } catch (...) {
        }
    }
    g.records.clear();
    // A step with more than amounts (lines, whole files) is not finished
    // twice safely: the mark passes it, and every step before it, now.
    bool amountsOnly = true;
    for (const JournalRecord& r : records)
        if (r.kind != JournalRecord::Kind::Amount) amountsOnly = false;
    if (!amountsOnly) {
        try {
            flushDeferred();
        } catch (const std::exception&) {
        }
    }
    settle();
    bool shownChanged = false;
    MonthKey earliest{9999, 12};
    if (!g.files.empty()) {
        g.files.clear();
        filesReplaced();
        shownChanged = true;
    }
    for (const JournalRecord& r : records) {
        if (r.kind == JournalRecord::Kind::Line && r.month == shown_) shownChanged = true;
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

void Book::writeGroup(Group& g) {
    // The months go as one batch: the journal already holds the step, so a
    // batch cut short is finished from it at the next start. Their new
    // names are not flushed here: until a later flush the journal's mark
    // stays before this step, and a start after a power cut finishes it
    // again (its records are values: a file that has them is left alone).
    std::vector<std::pair<std::string, std::string>> batch;
    std::vector<Pending*> changed;
    bool later = false;
    for (auto& [m, p] : g.months) {
        std::string bytes = formatMonth(p.ledger);
        if (p.existed && bytes == p.bytes) continue;
        if (shown_.year && shown_ < m) later = true;
        batch.emplace_back(monthPath(m), std::move(bytes));
        changed.push_back(&p);
    }
    // Later months now bring in the balance of the month in memory: its
    // file goes in the same batch, so the files agree at once, unless
    // another copy changed it since it was read.
    const std::string shownPath = later && !held() ? monthPath(shown_) : std::string();
    std::string shownOld, shownNew;
    bool shownExisted = false;
    if (!shownPath.empty()) {
        const FileStamp expected = files_.fileKey(shownPath) == stampKey_ ? stamp_ : FileStamp{};
        const int err = files_.tryRead(shownPath, shownOld);
        shownExisted = err == 0;
        const FileStamp now = err == ENOENT ? FileStamp{} : stampOf(shownOld);
        if (err && err != ENOENT) {
            g.shownPending = true;
        } else if (now != expected) {
            g.shownPending = true;
        } else {
            shownNew = formatMonth(ledger_);
            batch.emplace_back(shownPath, shownNew);
        }
    }
    try {
        files_.writeAllDeferred(batch);
    } catch (...) {
        // Which of them are new is not known: all are put back.
        for (Pending* p : changed)
            p->written = true;
        if (!shownNew.empty()) {
            try {
                if (shownExisted)
                    files_.writeSafely(shownPath, shownOld);
                else
                    files_.remove(shownPath);
            } catch (const std::exception&) {
                if (!unsavedFrom_) unsavedFrom_ = g.id;
            }
        }
        throw;
    }
    if (!batch.empty()) {
        uint64_t from = g.id;
        if (!shownNew.empty()) {
            // The month in memory is in its file: every step it held back
            // waits for the flush instead.
            if (unsavedFrom_) from = std::min(from, unsavedFrom_);
            stamp_ = stampOf(shownNew);
            stampKey_ = files_.fileKey(shownPath);
            unsavedFrom_ = 0;
        }
        if (!unflushedFrom_ || from < unflushedFrom_) unflushedFrom_ = from;
    }
    for (Pending* p : changed)
        p->written = true;
    for (Group::Diary& d : g.diaries) {
        saveDiaryFile(files_, diaryDir_, d.year, d.month, d.day, d.newBytes);
        d.written = true;
    }
    writeLines(g.lines);
}

void Book::takeBack(Group& g, const std::vector<JournalRecord>& records) {
    // The journal says the step was made: its reversal goes there first, so
    // that the next start does not finish what is taken back here.
    if (!records.empty()) {
        std::vector<JournalRecord> back;
        const uint64_t id = journal_.nextGroup();
        for (auto r = records.rbegin(); r != records.rend(); ++r) {
            if (r->kind != JournalRecord::Kind::Amount && r->kind != JournalRecord::Kind::Diary &&
                r->kind != JournalRecord::Kind::Line)
                continue;
            JournalRecord b = *r;
            b.group = id;
            b.source = ChangeSource::Undo;
            std::swap(b.oldValue, b.newValue);
            std::swap(b.oldText, b.newText);
            back.push_back(std::move(b));
        }
        JournalRecord marker;
        marker.group = id;
        marker.time = clock();
        marker.source = ChangeSource::Undo;
        marker.kind = JournalRecord::Kind::Undo;
        marker.ref = g.id;
        back.push_back(marker);
        try {
            journal_.append(back);
        } catch (const std::exception&) {
            // Left as made: the month in memory keeps it, and the files this
            // step did not reach are written from the journal next time.
            g.made = true;
            bool inMemory = false;
            for (const JournalRecord& r : records)
                inMemory = inMemory || (r.kind == JournalRecord::Kind::Amount && r.month == shown_);
            if (inMemory && !unsavedFrom_) unsavedFrom_ = g.id;
            if (!unwrittenFrom_) unwrittenFrom_ = g.id;
            g.months.clear();
            g.diaries.clear();
            g.lines.clear();
            return;
        }
    }
    for (auto& [m, p] : g.months) {
        if (!p.written) continue;
        try {
            if (p.existed)
                files_.writeSafely(monthPath(m), p.bytes);
            else
                files_.remove(monthPath(m));
        } catch (const std::exception&) {
            // The reversal is in the journal: the next start puts it back.
            if (!unwrittenFrom_) unwrittenFrom_ = g.id;
        }
    }
    for (auto d = g.diaries.rbegin(); d != g.diaries.rend(); ++d) {
        if (!d->written) continue;
        try {
            if (d->existed)
                saveDiaryFile(files_, diaryDir_, d->year, d->month, d->day, d->bytes);
            else
                files_.remove(joinPath(diaryDir_, diaryFileName(d->year, d->month, d->day)));
        } catch (const std::exception&) {
            if (!unwrittenFrom_) unwrittenFrom_ = g.id;
        }
    }
    takeBackLines(g.lines);
    g.months.clear();
    g.diaries.clear();
}

void Book::settle() {
    // Only once the steps of an earlier run were checked: until then the
    // mark must not pass them.
    if (recoveredFolder_ != ledgerDir_ || readOnly_) return;
    uint64_t through = journal_.lastGroup();
    for (const uint64_t from : {unsavedFrom_, unwrittenFrom_, unflushedFrom_})
        if (from) through = std::min(through, from - 1);
    journal_.settle(through);
}

void Book::flushDeferred() {
    if (!unflushedFrom_) return;
    files_.flush(ledgerDir_);
    unflushedFrom_ = 0;
}

void Book::flushDeferredQuietly() {
    try {
        flushDeferred();
    } catch (const std::exception&) {
        // The journal there keeps the steps; its next start finishes them.
    }
    unflushedFrom_ = 0;
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
    // Month and diary files were not written yet (or were put back by
    // takeBack); whole files a rename replaced go back here.
    for (auto f = g.files.rbegin(); f != g.files.rend(); ++f) {
        try {
            if (f->existed)
                files_.writeSafely(f->path, f->bytes);
            else
                files_.remove(f->path);
        } catch (const std::exception&) {
        }
    }
    g.files.clear();
    g.months.clear();
    g.diaries.clear();
    // Nothing of the lines was written: the months are read again.
    for (const auto& [m, before] : g.lines)
        lineStore().forget(m.year, m.month);
    g.lines.clear();
    g.records.clear();
}

void Book::writeGroupFile(const std::string& path, const std::string& bytes) {
    if (!group_->shownSaved) {
        group_->shownSaved = true;
        // Its file is about to be replaced: what is shown goes there first.
        if (shown_.year && !held()) saveMonth();
    }
    Group::File before{path, false, {}};
    const int err = files_.tryRead(path, before.bytes);
    if (err && err != ENOENT) throw fileError(err, path);
    before.existed = err == 0;
    files_.writeSafely(path, bytes);
    group_->files.push_back(std::move(before));
}

void Book::replaceFile(const JournalRecord& r, bool undo, ChangeSource source) {
    writeGroupFile(recordedPath(r), undo ? r.oldText : r.newText);
    JournalRecord done = r;
    done.group = group_->id;
    done.time = clock();
    done.source = source;
    if (undo) std::swap(done.oldText, done.newText);
    group_->records.push_back(std::move(done));
}

void Book::notify() {
    if (changed) changed();
}

// ---- undo and redo ----

void Book::openJournal() {
    if (journalFolder_ == ledgerDir_ && !journal_.path().empty()) return;
    reopenJournal();
}

void Book::reopenJournal() {
    journalFolder_ = ledgerDir_;
    if (pcName_.empty()) {
        journal_.setPeers({}, {});
        journal_.open(sideFile(JournalFileName), readOnly_);
    } else {
        const std::string own = sideFile(pcJournalName(pcName_));
        if (!readOnly_) takeOverJournal(files_, ledgerDir_, pcName_);
        journal_.setPeers(pcName_, peerJournals(files_, ledgerDir_, pcName_));
        journal_.open(own, readOnly_);
    }
    if (!journal_.warning().empty()) journalWarning_ = journal_.warning();
}

std::string Book::takeJournalWarning() {
    openJournal();
    std::string w;
    w.swap(journalWarning_);
    if (!recoveryNote_.empty()) w = recoveryNote_ + (w.empty() ? "" : "\n") + w;
    recoveryNote_.clear();
    return w;
}

std::string Book::takeRecoveryNote() {
    openJournal();
    std::string note;
    note.swap(recoveryNote_);
    return note;
}

std::string Book::recover() {
    if (readOnly_ || recoveredFolder_ == ledgerDir_) return {};
    openJournal();
    recoveredFolder_ = ledgerDir_;
    const std::vector<const ChangeStep*> steps = journal_.unsettled();
    if (steps.empty()) return {};
    std::map<MonthKey, MonthLedger> months;
    std::map<MonthKey, std::string> unreadable; // month -> why
    std::set<MonthKey> changedMonths;
    struct DiaryNow {
        std::string bytes;
        bool changed = false;
    };
    std::map<std::tuple<int, int, int>, DiaryNow> diaries;
    uint64_t keepFrom = 0;
    int finished = 0;
    std::set<std::string> leftCells;
    for (const ChangeStep* step : steps) {
        for (const JournalRecord& r : step->records) {
            if (r.kind == JournalRecord::Kind::Amount) {
                auto at = months.find(r.month);
                if (at == months.end() && !unreadable.count(r.month)) {
                    MonthLedger l = ledger_;
                    try {
                        loadMonthAsEntered(files_, l, ledgerDir_, r.month);
                        at = months.emplace(r.month, std::move(l)).first;
                    } catch (const std::exception& e) {
                        unreadable[r.month] = e.what();
                    }
                }
                if (at == months.end()) {
                    if (!keepFrom) keepFrom = step->group;
                    continue;
                }
                // An item renamed since has nothing to receive the value.
                const int item = itemSlot(at->second, r.item);
                if (!item) continue;
                int32_t& cell = cellOf(at->second, item, r.day, r.field);
                // A value already there, or changed since by other means,
                // is left as it is.
                if (cell != r.oldValue && cell != r.newValue)
                    leftCells.insert(cellMark(step->group, r));
                if (cell != r.oldValue || cell == r.newValue) continue;
                const int32_t old = cell;
                cell = r.newValue;
                try {
                    checkTotals(at->second);
                } catch (const std::exception&) {
                    cell = old;
                    continue;
                }
                changedMonths.insert(r.month);
                ++finished;
            } else if (r.kind == JournalRecord::Kind::Diary) {
                const auto key = std::make_tuple(r.month.year, r.month.month, r.day);
                auto at = diaries.find(key);
                if (at == diaries.end()) {
                    DiaryNow now;
                    try {
                        readDiaryFile(files_, diaryDir_, r.month.year, r.month.month, r.day,
                                      now.bytes);
                    } catch (const std::exception&) {
                        if (!keepFrom) keepFrom = step->group;
                        continue;
                    }
                    at = diaries.emplace(key, std::move(now)).first;
                }
                if (at->second.bytes != r.oldText || r.oldText == r.newText) continue;
                at->second.bytes = r.newText;
                at->second.changed = true;
                ++finished;
            }
        }
    }
    std::string trouble;
    const std::string linesWritten = recoverLines(steps, finished, trouble, keepFrom, leftCells);
    for (const MonthKey& m : changedMonths) {
        try {
            files_.writeSafely(monthPath(m), formatMonth(months.at(m)));
        } catch (const std::exception& e) {
            trouble += std::string(e.what()) + "\n";
            keepFrom = steps.front()->group;
        }
    }
    for (const auto& [key, now] : diaries) {
        if (!now.changed) continue;
        try {
            saveDiaryFile(files_, diaryDir_, std::get<0>(key), std::get<1>(key), std::get<2>(key),
                          now.bytes);
        } catch (const std::exception& e) {
            trouble += std::string(e.what()) + "\n";
            keepFrom = steps.front()->group;
        }
    }
    for (const auto& [m, why] : unreadable)
        trouble += why + "\n";
    unwrittenFrom_ = keepFrom;
    settle();
    std::string said;
    if (finished) {
        std::string where;
        for (const MonthKey& m : changedMonths)
            where += (where.empty() ? "" : "、") + monthLabel(m.year, m.month);
        for (const auto& [key, now] : diaries)
            if (now.changed)
                where += (where.empty() ? "" : "、") + std::to_string(std::get<1>(key)) + "/" +
                         std::to_string(std::get<2>(key)) + " 日記";
        if (!linesWritten.empty()) where += (where.empty() ? "" : "、") + linesWritten;
        said = "前回ファイルに書き込まれないまま終わった変更 " + std::to_string(finished) +
               " 件を、変更履歴から書き込みました (" + where + ")";
    }
    if (!trouble.empty())
        said += std::string(said.empty() ? "" : "\n") +
                "変更履歴にあってファイルにない変更を書き込めませんでした。次の起動時にもう一度"
                "試します:\n" +
                trouble;
    if (trouble.empty())
        recoveryNote_ += (recoveryNote_.empty() ? "" : "\n") + said;
    else if (!said.empty())
        journalWarning_ += (journalWarning_.empty() ? "" : "\n") + said;
    return said;
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
    if (r.kind == JournalRecord::Kind::Line) return describeLine(r);
    if (r.kind == JournalRecord::Kind::Entry) return describeEntry(r);
    if (r.kind == JournalRecord::Kind::File)
        return recordedName(r) + " " + cp932ToUtf8Lossy(r.item);
    const std::string field = r.day == 0                       ? "繰越"
                              : r.field == AmountField::Income ? "収入"
                                                               : "支出";
    return (r.day == 0 ? std::to_string(r.month.month) + "月" : date) + " " +
           cp932ToUtf8Lossy(r.item) + " " + field + " " + amountText(r.newValue);
}

std::string Book::stepText(uint64_t group) const {
    const ChangeStep* s = journal_.step(group);
    if (!s || s->records.empty()) return {};
    // The rows an import names, and the balances carried into later
    // months, are part of the step, not changes of their own.
    // A line's cells follow it: a step with lines is told by its lines.
    const bool lined = std::any_of(s->records.begin(), s->records.end(), [](const auto& r) {
        return r.kind == JournalRecord::Kind::Line;
    });
    std::vector<const JournalRecord*> changes;
    for (const JournalRecord& r : s->records)
        if (r.kind != JournalRecord::Kind::Row && r.kind != JournalRecord::Kind::Posting &&
            r.kind != JournalRecord::Kind::Settled &&
            !(lined && r.kind == JournalRecord::Kind::Amount))
            changes.push_back(&r);
    if (changes.empty()) return {};
    const ChangeSource source = changes.front()->source;
    changes.erase(std::remove_if(changes.begin(), changes.end(),
                                 [&](const JournalRecord* r) {
                                     return r->source != source &&
                                            r->source == ChangeSource::CarryRepair;
                                 }),
                  changes.end());
    if (changes.size() == 1) return describe(*changes.front());
    return std::string(sourceName(source)) + " " + std::to_string(changes.size()) + "件";
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

bool sameCell(const JournalRecord& a, const JournalRecord& b) {
    return a.kind == b.kind && a.month == b.month && a.day == b.day && a.item == b.item &&
           a.field == b.field;
}

// Whether another record of the step, later for an undo or earlier for a
// redo, names the same cell as records[k].
bool changedAgainInStep(const std::vector<JournalRecord>& records, std::size_t k, bool undo) {
    for (std::size_t j = 0; j < records.size(); ++j)
        if ((undo ? j > k : j < k) && sameCell(records[j], records[k])) return true;
    return false;
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
    checkLineRecords(records, undo);
    std::string changedSince;
    for (std::size_t k = 0; k < records.size(); ++k) {
        const JournalRecord& r = records[k];
        if (r.kind == JournalRecord::Kind::Line) continue;
        // A cell the step changed twice is left by its last change and found
        // by its first.
        if (changedAgainInStep(records, k, undo)) continue;
        const int32_t expected = undo ? r.newValue : r.oldValue;
        if (r.kind == JournalRecord::Kind::Amount) {
            const int32_t now = current(r);
            if (now != expected)
                changedSince += describe(r) + " (今の値 " + amountText(now) + ")\n";
        } else if (r.kind == JournalRecord::Kind::File) {
            if (!fileAsLeft(r, undo)) changedSince += describe(r) + "\n";
        } else if (r.kind == JournalRecord::Kind::Entry) {
            if (!entryAsLeft(r, undo)) changedSince += describe(r) + "\n";
        } else if (r.kind == JournalRecord::Kind::Diary) {
            std::string now;
            readDiaryFile(files_, diaryDir_, r.month.year, r.month.month, r.day, now);
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
        else if (r.kind == JournalRecord::Kind::File)
            replaceFile(r, undo, source);
        else if (r.kind == JournalRecord::Kind::Line)
            reverseLine(r, undo, source);
        else if (r.kind == JournalRecord::Kind::Entry)
            putEntry(r, undo, source);
    };
    if (undo)
        std::for_each(records.rbegin(), records.rend(), apply);
    else
        std::for_each(records.begin(), records.end(), apply);
    JournalRecord marker;
    marker.group = group_->id;
    marker.time = clock();
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
            if (r.kind == JournalRecord::Kind::Row || r.kind == JournalRecord::Kind::Posting ||
                r.kind == JournalRecord::Kind::Settled)
                continue;
            HistoryRow row;
            row.group = s->group;
            row.time = r.time;
            row.month = monthLabel(r.month.year, r.month.month);
            row.day = r.day ? std::to_string(r.day) + "日" : "繰越";
            row.source = sourceName(r.source);
            row.undone = undone;
            if (r.kind == JournalRecord::Kind::File) {
                row.day.clear();
                if (!r.month.year) row.month.clear();
                row.item = cp932ToUtf8Lossy(r.item);
                row.change = recordedName(r);
            } else if (r.kind == JournalRecord::Kind::Entry) {
                row.month.clear();
                row.day.clear();
                row.item = "定期入力";
                row.change = describeEntry(r);
            } else if (r.kind == JournalRecord::Kind::Line) {
                row.item = cp932ToUtf8Lossy(r.item) + " 内訳";
                const std::string d = describeLine(r);
                row.change = d.substr(d.rfind("内訳") + std::string("内訳").size());
            } else if (r.kind == JournalRecord::Kind::Diary) {
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
    const CarryRepairPlan plan = planCarryRepair(files_, ledger_, ledgerDir_, year);
    std::map<MonthKey, StoredMonth> before;
    for (const MonthKey& m : plan.months)
        before[m] = readStoredMonth(files_, ledger_, ledgerDir_, m.year, m.month);
    std::vector<MonthKey> done;
    std::exception_ptr error;
    try {
        done = repairCarryChain(files_, ledger_, ledgerDir_, year);
    } catch (...) {
        error = std::current_exception();
        // The months rewritten before the stop are recorded all the same.
        for (const MonthKey& m : plan.months) {
            const StoredMonth now = readStoredMonth(files_, ledger_, ledgerDir_, m.year, m.month);
            if (now.bytes != before[m].bytes) done.push_back(m);
        }
    }
    openJournal();
    std::vector<JournalRecord> records;
    const uint64_t id = journal_.nextGroup();
    for (const MonthKey& m : done) {
        const StoredMonth now = readStoredMonth(files_, ledger_, ledgerDir_, m.year, m.month);
        for (int i = 1; i <= ShownItems; ++i) {
            if (!now.has[i] || now.broughtIn[i] == before[m].broughtIn[i]) continue;
            JournalRecord r;
            r.group = id;
            r.time = clock();
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
