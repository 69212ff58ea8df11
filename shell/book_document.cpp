#include "shell/book_document.h"

#include "ledger/sync_schedule.h"
#include "storage/disk_store.h"
#include "storage/local_clock.h"

#include "controls/dir_list.h"
#include "ledger/period_figures.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/save_check.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>

BookDocument::BookDocument(std::string startDir, QObject* parent)
    : BookDocument(std::move(startDir), nullptr, std::make_unique<DiskStore>(), parent) {}

BookDocument::BookDocument(std::string startDir, FileStore& files, QObject* parent)
    : BookDocument(std::move(startDir), &files, nullptr, parent) {}

BookDocument::BookDocument(std::string startDir, FileStore* files, std::unique_ptr<FileStore> own,
                           QObject* parent)
    : QObject(parent), ownFiles_(std::move(own)), notes_(files ? *files : *ownFiles_),
      book_(std::move(startDir), notes_, localStamp), date_(QDate::currentDate()) {
    book_.setShown(shownMonth());
    // The questions sit over the window the user is in.
    book_.setReplaceQuestion([this](const std::string& path, Book::FileChange change) {
        if (ending_) return Book::Answer::Overwrite;
        return askReplace(QApplication::activeWindow(), path, change);
    });
    book_.setConflictQuestion([](const std::string& what) {
        return Modal::ask(QString::fromStdString(what), QStringLiteral("UndoConflict"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                          QMessageBox::Question, QApplication::activeWindow()) == QMessageBox::Yes;
    });
    book_.setLineFileQuestion([](const std::string& problem) {
        return Modal::ask(QString::fromStdString(problem), QStringLiteral("LineFileOverwrite"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No, QMessageBox::Warning,
                          QApplication::activeWindow()) == QMessageBox::Yes;
    });
    // Inside an undo or redo the step says it once, when it is done.
    book_.changed = [this] {
        if (!stepping_) emit amountsChanged();
    };
    book_.journalChanged = [this] { refreshUndoState(); };

    undo_ = new QAction(QStringLiteral("元に戻す"), this);
    undo_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
    redo_ = new QAction(QStringLiteral("やり直し"), this);
    redo_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    undo_->setEnabled(false);
    redo_->setEnabled(false);
    connect(undo_, &QAction::triggered, this, [this] { runGuarded([this] { undo(); }); });
    connect(redo_, &QAction::triggered, this, [this] { runGuarded([this] { redo(); }); });
}

BookDocument::~BookDocument() = default;

// ---- the shown date ----

void BookDocument::setDate(const QDate& date) {
    if (date == date_) return;
    date_ = date;
    book_.setShown(shownMonth());
    emit dateChanged();
}

void BookDocument::showDate(const QDate& date) {
    if (date.isValid()) setDate(date);
}

void BookDocument::goToDate(int year, int month, int day) {
    if (year == date_.year() && month == date_.month()) {
        setDate(TCalendar::withDatePart(date_, 3, day));
        return;
    }
    save();
    // Checked whole before anything moves: the month in memory keeps its
    // own name, so that it is never saved into another month's file.
    QDate next = TCalendar::withDatePart(date_, 3, 1);
    next = TCalendar::withDatePart(next, 1, year);
    next = TCalendar::withDatePart(next, 2, month);
    next = TCalendar::withDatePart(next, 3, day);
    setDate(next);
    try {
        loadMonths();
    } catch (...) {
        // Another month is in memory all the same, held.
        emit amountsChanged();
        throw;
    }
    emit monthEntered();
}

void BookDocument::stepMonth(int delta) {
    const Date first = periodRange(period_.rule, stepPeriod(shownPeriod(), delta)).first;
    goToDate(first.year, first.month, first.day);
}

void BookDocument::stepDay(int delta) {
    const QDate next = date_.addDays(delta);
    goToDate(next.year(), next.month(), next.day());
}

// ---- the period ----

namespace {
Date toDate(const QDate& d) {
    return {d.year(), d.month(), d.day()};
}
} // namespace

PeriodName BookDocument::shownPeriod() const {
    return periodOf(period_.rule, toDate(date_));
}

PeriodRange BookDocument::shownRange() const {
    return periodRange(period_.rule, shownPeriod());
}

int BookDocument::daysLeft() const {
    return daysLeftInPeriod(shownRange(), toDate(date_));
}

void BookDocument::readPeriod() {
    const PeriodRule before = period_.rule;
    period_ = readPeriodFile(files(), book_.ledgerDir());
    if (!period_.damaged) {
        periodWarned_.clear();
    } else if (period_.error != periodWarned_) {
        periodWarned_ = period_.error;
        ErrorBox::show(QString::fromStdString(period_.error));
    }
    if (period_.rule != before) emit periodChanged();
}

MonthReader BookDocument::monthReader() const {
    return [this](int y, int m) { return book_.month({y, m}); };
}

// ---- the month in memory ----

void BookDocument::open() {
    readConfiguration();
    loadMonths();
    mergePcs();
    open_ = true;
    emit monthEntered();
}

void BookDocument::save() {
    book_.saveMonth();
}

void BookDocument::saveAtEnd() {
    ending_ = true;
    book_.saveMonth();
}

void BookDocument::loadPrevious() {
    book_.loadPrevious();
}

void BookDocument::loadCurrent() {
    book_.loadCurrent();
}

void BookDocument::loadMonths() {
    std::exception_ptr error;
    try {
        book_.loadMonths();
    } catch (...) {
        error = std::current_exception();
    }
    refreshUndoState();
    if (error) std::rethrow_exception(error);
}

// ---- configuration and budget ----

void BookDocument::setLocationChecks(FolderCheck ledger, FolderCheck diary) {
    checkLedger_ = std::move(ledger);
    checkDiary_ = std::move(diary);
}

void BookDocument::readConfiguration() {
    auto check = [](const FolderCheck& fn) -> LocationCheck {
        return [fn](const std::string& path) {
            const QString where = QString::fromStdString(path);
            return fn ? fn(where) : DirList::canEnter(where);
        };
    };
    std::exception_ptr error;
    try {
        book_.readConfiguration(check(checkLedger_), check(checkDiary_));
    } catch (...) {
        error = std::current_exception();
    }
    emit configurationChanged();
    readBudget();
    readPeriod();
    refreshUndoState();
    if (error) std::rethrow_exception(error);
}

void BookDocument::configurationWritten() {
    book_.configurationWritten();
    emit configurationChanged();
    readBudget();
    readPeriod();
    refreshUndoState();
}

void BookDocument::readBudget() {
    budget_ = readBudgetFile(files(), book_.ledgerDir());
    if (!budget_.damaged) {
        budgetWarned_.clear();
    } else if (budget_.error != budgetWarned_) {
        budgetWarned_ = budget_.error;
        ErrorBox::show(QString::fromStdString(budget_.error));
    }
    emit budgetChanged();
}

void BookDocument::budgetWritten(const BudgetPlan& plan) {
    budget_.plan = plan;
    budget_.damaged = false;
    budget_.error.clear();
    budgetWarned_.clear();
    emit budgetChanged();
}

BudgetSummary BookDocument::monthBudget(int daysLeft) const {
    if (budget_.plan.empty()) return {};
    const MonthReader counted = countedMonths();
    if (!period_.rule.calendar())
        return periodBudgetSummary(budget_.plan, period_.rule, shownPeriod(), daysLeft, counted);
    return budgetSummary(budget_.plan, counted(date_.year(), date_.month()), date_.year(),
                         date_.month(), daysLeft, counted);
}

MonthReader BookDocument::countedMonths() const {
    // Earlier months come from the book, as the carry chain reads them, with
    // their lines: a marked amount is no spending against a budget.
    const ReportSource months = [this](int y, int m) {
        ReportMonth r;
        r.present = true;
        r.ledger = book_.month({y, m});
        r.lines = loadLineFile(files(), book_.ledgerDir(), y, m).lines;
        return r;
    };
    return countedMonthReader(months, reportMarks());
}

ReportSource BookDocument::reportSource() const {
    const ReportSource stored = reportFileSource(files(), book_.ledger(), book_.ledgerDir());
    const HeldMonth memory = book_.inMemory();
    return [stored, memory](int y, int m) {
        ReportMonth r = stored(y, m);
        if (memory.ledger && memory.year == y && memory.month == m) {
            r.ledger = *memory.ledger;
            r.present = true;
        }
        return r;
    };
}

MarkSet BookDocument::reportMarks() const {
    return readMarkFile(files(), book_.ledgerDir()).marks;
}

std::string BookDocument::schedulePath() const {
    return book_.sideFile(ScheduleFileName);
}

bool BookDocument::readSchedule() {
    const std::string path = schedulePath();
    try {
        schedule_ = readScheduleFile(files(), path);
        // Postings another PC made count as made here.
        learnPostings(book_, schedule_);
        learnEntryIds(book_, schedule_);
        scheduleRead_ = schedule_;
        scheduleBroken_ = false;
        return true;
    } catch (const AppError&) {
        schedule_ = {};
        scheduleBroken_ = true;
        // Said once per file: the catch-up reads it at every month entered.
        if (scheduleWarned_ == path) return false;
        scheduleWarned_ = path;
        throw;
    }
}

void BookDocument::writeSchedule() {
    // A file that could not be read is the user's to mend; it is never
    // replaced by what is held in memory.
    if (scheduleBroken_)
        throw AppError("定期入力のﾌｧｲﾙ " + schedulePath() + " が読めないため、変更できません");
    // Only the entries edited here are written, each a step of the journal:
    // another PC's edits that came since stay.
    saveEntryEdits(book_, scheduleRead_, schedule_);
    scheduleRead_ = schedule_;
    refreshUndoState();
    emit scheduleChanged();
}

void BookDocument::reload() {
    std::exception_ptr error;
    auto step = [&error](const std::function<void()>& fn) {
        try {
            fn();
        } catch (...) {
            if (!error) error = std::current_exception();
        }
    };
    step([this] { readConfiguration(); });
    // The journal on disk is the one whose steps undo now offers; the one
    // read before would number the next change as a step it already has.
    book_.reopenJournal();
    if (!book_.journal().warning().empty())
        ErrorBox::show(QString::fromStdString(book_.journal().warning()));
    step([this] { loadMonths(); });
    step([this] { mergePcs(); });
    emit scheduleChanged();
    emit amountsChanged();
    if (error) std::rethrow_exception(error);
}

// ---- one book on several PCs ----

void BookDocument::mergePcs() {
    lastSync_ = {};
    try {
        lastSync_ = syncBook(book_);
        // What was mended in the month in memory is saved as typing is.
        if (!lastSync_.mended.empty() && !book_.held()) book_.saveMonth();
    } catch (const std::exception& e) {
        lastSync_.notes.push_back(e.what());
    }
    refreshUndoState();
    emit synced();
}

const SyncReport& BookDocument::sync() {
    mergePcs();
    emit amountsChanged();
    return lastSync_;
}

std::vector<SyncConflict> BookDocument::syncConflicts() {
    // The journals are read again: another PC's steps may have come.
    std::vector<SyncConflict> open = ::syncConflicts(book_);
    refreshUndoState();
    return open;
}

void BookDocument::settleConflict(const SyncConflict& conflict, SyncChoice choice) {
    ::settleConflict(book_, conflict, choice);
    emit amountsChanged();
    refreshUndoState();
}

// ---- undo and redo ----

template <class Step> bool BookDocument::oneStep(Step step) {
    if (beforeStep) beforeStep();
    bool done = false;
    stepping_ = true;
    try {
        done = step();
    } catch (...) {
        stepping_ = false;
        refreshUndoState();
        throw;
    }
    stepping_ = false;
    if (done) emit amountsChanged();
    refreshUndoState();
    if (afterStep) afterStep();
    return done;
}

bool BookDocument::undo() {
    return oneStep([this] { return book_.undo(); });
}

bool BookDocument::redo() {
    return oneStep([this] { return book_.redo(); });
}

void BookDocument::undoBackTo(uint64_t group) {
    oneStep([this, group] {
        book_.undoBackTo(group);
        return true;
    });
}

void BookDocument::refreshUndoState() {
    const std::string u = book_.undoText(), r = book_.redoText();
    const bool canUndo = book_.canUndo(), canRedo = book_.canRedo();
    undo_->setText(u.empty() ? QStringLiteral("元に戻す")
                             : QStringLiteral("元に戻す: ") + QString::fromStdString(u));
    redo_->setText(r.empty() ? QStringLiteral("やり直し")
                             : QStringLiteral("やり直し: ") + QString::fromStdString(r));
    undo_->setEnabled(canUndo);
    redo_->setEnabled(canRedo);
    if (canUndo != canUndo_ || canRedo != canRedo_) {
        canUndo_ = canUndo;
        canRedo_ = canRedo;
        emit undoStateChanged();
    }
}
