#pragma once
// The document beneath the windows: the book, the shown date, the budget
// plan, and what the windows are told when any of them changes. Windows read
// the month through it and redraw on its signals; none redraws another.
//
// Moves (a date, a day or a month away) save the month left and load the
// one entered. After files were replaced behind the book (a restore, an
// archive import, a repair) reload() reads everything again: the
// configuration, the months, the side files and the change journal.

#include "ledger/book.h"
#include "ledger/budget_plan.h"
#include "ledger/period.h"
#include "ledger/report_figures.h"
#include "ledger/schedule.h"
#include "ledger/sync_merge.h"
#include "shell/disk_watch.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

class QAction;

class BookDocument : public QObject {
    Q_OBJECT

public:
    // Every file goes through `files`; the first form keeps a store of its
    // own on the disk.
    explicit BookDocument(std::string startDir, QObject* parent = nullptr);
    BookDocument(std::string startDir, FileStore& files, QObject* parent = nullptr);
    ~BookDocument() override;

    FileStore& files() const { return book_.files(); }

    Book& book() { return book_; }
    const Book& book() const { return book_; }
    MonthLedger& ledger() { return book_.ledger(); }
    const MonthLedger& ledger() const { return book_.ledger(); }

    // ---- the shown date ----
    const QDate& date() const { return date_; }
    int year() const { return date_.year(); }
    int month() const { return date_.month(); }
    int day() const { return date_.day(); }
    MonthKey shownMonth() const { return {date_.year(), date_.month()}; }
    // Names another date without saving or loading (the calendar's own
    // picks within its month).
    void showDate(const QDate& date);
    // Moves to a day. Entering another month saves the month left and loads
    // the one entered; a refused date ("日付に変換できない値が渡されました")
    // leaves everything where it was.
    void goToDate(int year, int month, int day);
    // To the first day of the period `delta` periods away (a calendar
    // month's day 1 with the default rule).
    void stepMonth(int delta);
    void stepDay(int delta);

    // ---- the period: the account book's month, which need not start on
    // day 1 (ZADUD.PRD in the ledger folder) ----
    const PeriodRule& periodRule() const { return period_.rule; }
    // The period holding the shown date, and its days.
    PeriodName shownPeriod() const;
    PeriodRange shownRange() const;
    // Days of the shown period from the shown day on, that day included.
    int daysLeft() const;
    // Reads ZADUD.PRD again (with the configuration, and after the settings
    // wrote it); another rule re-buckets every view, and no month file is
    // written. A damaged file is named in the error box once and leaves the
    // calendar month.
    void readPeriod();
    // The months as the views read them: the one in memory as edited, the
    // others from their files.
    MonthReader monthReader() const;

    // ---- the month in memory ----
    // Start-up: the configuration, then the shown month, entered.
    void open();
    // True once a month was entered with open().
    bool isOpen() const { return open_; }
    void save();
    // The save at a logout or a kill: nobody is there to answer, so what was
    // typed goes over a month file changed underneath (the backups keep the
    // file it replaces; another PC's change comes back from its journal).
    void saveAtEnd();
    void loadPrevious();
    void loadCurrent();
    // Previous-month mode, then current-month mode; the first error is
    // rethrown after both ran.
    void loadMonths();

    // ---- configuration and budget ----
    // The start-up location checks (run on the settings dialog's directory
    // lists); without them a folder counts as enterable when it can be listed.
    using FolderCheck = std::function<bool(const QString&)>;
    void setLocationChecks(FolderCheck ledger, FolderCheck diary);
    void readConfiguration();
    // The settings dialog wrote the configuration and copied it in.
    void configurationWritten();
    // The ledger folder's budget plan. A damaged file leaves the plan empty
    // and the file alone; it is named in the error box once.
    const BudgetFile& budget() const { return budget_; }
    BudgetFile& budget() { return budget_; }
    void readBudget();
    // The budget window wrote a new plan.
    void budgetWritten(const BudgetPlan& plan);
    // The shown period's budgets against the months as edited, without the
    // amounts marked 集計対象外 or 振替; `daysLeft` for the daily pace.
    BudgetSummary monthBudget(int daysLeft) const;
    // The months as the budgets count them: as edited, without the amounts
    // marked 集計対象外 or 振替.
    MonthReader countedMonths() const;
    // The months as the reports read them: the one in memory as edited,
    // the others from their files, each with its lines.
    ReportSource reportSource() const;
    // The marks of whole cells (ZADUD.MRK); none while the file is damaged.
    MarkSet reportMarks() const;

    // ---- the scheduled entries (their side file in the ledger folder) ----
    Schedule& schedule() { return schedule_; }
    const Schedule& schedule() const { return schedule_; }
    std::string schedulePath() const;
    // Reads the file again. A malformed one leaves no entries and is never
    // written: its error is thrown once per file, later reads return false.
    bool readSchedule();
    // Writes the entries, refused while the file is malformed.
    void writeSchedule();
    // The file was written by other means (postings settled or made).
    void scheduleWritten() { emit scheduleChanged(); }

    // Everything again from disk, after files were replaced behind the book.
    void reload();
    // Files another program changed while the book is open (a sync engine
    // delivering another PC's work). Typing not saved yet is saved first,
    // with the question any save asks when the month's file changed under
    // it; "ｷｬﾝｾﾙ" leaves everything as it is, to be asked again at the next
    // save. Then the book is read again. Exports and the PCs' presence files
    // change nothing. False when nothing was read again.
    bool filesChangedOnDisk(const std::vector<std::string>& paths);
    // Every write and removal of the book's files is told here first.
    WriteNotes& writeNotes() { return notes_; }

    // ---- one book on several PCs (ledger/sync_merge.h) ----
    // This PC's name as its files carry it.
    QString pcName() const { return QString::fromStdString(book_.pcName()); }
    // What the last open or reload mended, set aside and left to settle.
    const SyncReport& lastSync() const { return lastSync_; }
    // Merges the PCs' records now (open and reload do it too); emits synced().
    const SyncReport& sync();
    // The conflicts still to settle ("同期の確認").
    std::vector<SyncConflict> syncConflicts();
    // Settles one as one undo step; errors are thrown for the error box.
    void settleConflict(const SyncConflict& conflict, SyncChoice choice);

    // ---- undo and redo ----
    // Values changed since the step are asked about (the book's question).
    bool undo();
    bool redo();
    void undoBackTo(uint64_t group);
    // The two commands every window shows: their text names the step, and
    // they are enabled only while there is one.
    QAction* undoAction() const { return undo_; }
    QAction* redoAction() const { return redo_; }
    void refreshUndoState();

    // Around an undo or redo, for the window the user steps from: what is
    // typed but not stored goes in first (an error there stops the step),
    // and the window shows what the step left.
    std::function<void()> beforeStep, afterStep;

signals:
    void dateChanged();
    // Another month is in memory now (start-up, a move, a reload).
    void monthEntered();
    // Amounts of the month in memory changed other than by typing: once per
    // step (an undo, a posting, a repair).
    void amountsChanged();
    void configurationChanged();
    // Another period rule is in effect: every view re-buckets.
    void periodChanged();
    void budgetChanged();
    void scheduleChanged();
    void undoStateChanged();
    // The book was read again after other programs changed its files.
    void changedOnDisk();
    // A sync mended values, set copies aside or found conflicts (lastSync()).
    void synced();

private:
    template <class Step> bool oneStep(Step step);
    // Merges the PCs' records into lastSync_ (open, reload, sync()).
    void mergePcs();
    void setDate(const QDate& date);

    BookDocument(std::string startDir, FileStore* files, std::unique_ptr<FileStore> own,
                 QObject* parent);
    std::unique_ptr<FileStore> ownFiles_; // first: the book refers to it
    WriteNotes notes_;                    // in front of the files, for the book
    Book book_;
    QDate date_;
    BudgetFile budget_;
    PeriodFile period_;
    std::string periodWarned_; // the damaged period file's error last shown
    Schedule schedule_;
    Schedule scheduleRead_; // as read, to tell the entries edited since
    SyncReport lastSync_;
    bool scheduleBroken_ = false;
    std::string scheduleWarned_; // the malformed file last named
    std::string budgetWarned_;   // the damaged budget file's error last shown
    FolderCheck checkLedger_, checkDiary_;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
    bool stepping_ = false;
    bool ending_ = false;
    bool open_ = false;
    bool canUndo_ = false, canRedo_ = false;
};
