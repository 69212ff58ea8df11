#pragma once
// The account book as the windows see it: the month in memory, the three
// folders, the configuration, the load order (previous month for the
// carry-over, then the month), the holds of a month that may not be saved,
// the read stamp that notices another copy's save, and moving between months.
// Every change of an amount, whatever its source, goes through setAmount,
// which records it in the change journal; months other than the one in
// memory are read, changed and written at once with the same checks as the
// month in memory. Questions for the user (another copy changed the file, a
// value changed since a change to undo) go out through callbacks; the book
// never shows anything.

#include "ledger/carry_chain.h"
#include "ledger/change_journal.h"
#include "ledger/config_file.h"
#include "ledger/entry_lines.h"
#include "ledger/file_store.h"
#include "ledger/month_ledger.h"
#include "ledger/text_file.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

// The journal's file in the ledger folder.
inline constexpr const char* JournalFileName = "ZADUD.JNL";

struct MarkedCell;
enum class ReportMark;

class Book {
public:
    // Every file goes through `files`; `clock` gives the journal's stamps
    // ("2026-12-24T10:00:00", local time).
    using Clock = std::function<std::string()>;
    Book(std::string startDir, FileStore& files, Clock clock);
    ~Book();

    // Folders, UTF-8 paths.
    const std::string& startDir() const { return startDir_; }
    const std::string& ledgerDir() const { return ledgerDir_; }
    const std::string& diaryDir() const { return diaryDir_; }
    void setStartDir(std::string dir) { startDir_ = std::move(dir); }
    void setLedgerDir(std::string dir);
    void setDiaryDir(std::string dir) { diaryDir_ = std::move(dir); }
    std::string sideFile(const std::string& name) const { return joinPath(ledgerDir_, name); }

    // The month in memory; Items[1..12].Name are the configured names.
    MonthLedger& ledger() { return ledger_; }
    const MonthLedger& ledger() const { return ledger_; }
    MonthKey shown() const { return shown_; }
    // The month in memory for readers of month files (year model, carry
    // repair plan), which read it in place of its file; none while it is
    // held, since it would never be saved so.
    HeldMonth inMemory() const {
        return held() ? HeldMonth{} : HeldMonth{shown_.year, shown_.month, &ledger_};
    }
    // Names the month in memory without loading it (the calendar moved).
    void setShown(MonthKey month) { shown_ = month; }

    // ZADUD.CFG of the start folder; what was read before an error stays.
    void readConfiguration(const LocationCheck& ledger, const LocationCheck& diary);
    // The settings dialog wrote the configuration and set the names.
    void configurationWritten();

    // The two loads of the month in memory: previous mode (the carry-over),
    // then current mode. loadMonths runs both, the second also when the first
    // fails, and rethrows the first error.
    void loadPrevious();
    void loadCurrent();
    void loadMonths();

    // What another copy did to a file this copy is about to replace.
    enum class FileChange { Created, Changed, Deleted };
    enum class Answer { Overwrite, Reload, Cancel };
    using ReplaceQuestion = std::function<Answer(const std::string& path, FileChange change)>;
    // Without a question every change is overwritten.
    void setReplaceQuestion(ReplaceQuestion question) { replaceQuestion_ = std::move(question); }
    // Saves the month in memory unless it is held. When another copy changed
    // its file and the user chose to reload, the month is read again and
    // false returned; "cancel" throws Cancelled.
    bool saveMonth();
    // Changes of the month in memory that its file does not hold yet.
    bool unsaved() const { return unsavedFrom_ != 0; }
    // Saves the month left, then loads the one entered.
    void moveTo(MonthKey month);

    // Why the month in memory may not be saved.
    enum class Hold { None, Configuration, MonthFile, PreviousMonthFile, Totals };
    Hold hold() const { return neverLoaded_ ? Hold::Configuration : hold_; }
    bool held() const { return hold() != Hold::None; }
    std::string heldFile() const;
    std::string heldMessage() const;
    void refuseIfHeld() const;
    bool neverLoaded() const { return neverLoaded_; }

    // Another month as stored, loaded as entering it would (its carry-over
    // from the month before, then its days); the month in memory as it is.
    // A month that could not be saved throws its hold's message.
    MonthLedger month(MonthKey month) const;
    int32_t amount(MonthKey month, int item, int day, AmountField field) const;

    // The one door for amounts: item 1..12 (a named item), day 1..31 of the
    // month, or day 0 for the balance brought in. The month in memory
    // changes there (and is saved as typing is); another month is written at
    // once, or at the end of the group. Overflow, a held or unreadable month
    // or an unnamed item throws and changes nothing.
    void setAmount(MonthKey month, int item, int day, AmountField field, int32_t value,
                   ChangeSource source);
    // setAmount with the value plus `delta`, checked.
    void addAmount(MonthKey month, int item, int day, AmountField field, int32_t delta,
                   ChangeSource source);

    // The diary door: replaces the day's entry and records the change.
    void setDiary(int year, int month, int day, const std::string& bytes, ChangeSource source);

    // Inside a group: names a statement row the group posts (its
    // fingerprint), so that the journal itself knows the row as imported.
    void noteImportedRow(MonthKey month, int day, const std::string& fingerprint);
    // Every statement row the journal names, with the step that posted it.
    std::map<std::string, uint64_t> importedRows();
    // Inside a group: a scheduled posting of `entry`'s occurrence `index`
    // (ledger/sync_merge.h), and a conflict between PCs settled (its key).
    void notePosting(int entry, int index, MonthKey month, int day, const std::string& item,
                     AmountField field, int32_t amount);
    void noteSettled(const std::string& key);
    // Scheduled entry `id` takes `line` (its line in the schedule file; empty
    // deletes it), recorded as changed from `from` (what the edit started
    // from): a step of the journal, or part of the open group
    // (ledger/book_schedule.cpp). A schedule file that cannot be read throws
    // and is left as it is.
    void setScheduleEntry(int id, const std::string& from, const std::string& line,
                          ChangeSource source);
    // A budget file a sync tool set aside as a conflict copy: the months it
    // holds that ours lacks come in as one step (their count is returned); a
    // month both hold differently keeps ours and is told in `notes` (UTF-8).
    int mergeBudgetCopy(const std::string& copy, std::vector<std::string>& notes);

    // ---- Entry lines (book_lines.cpp) ----
    // The month's lines as held; a damaged or unreadable line file shows its
    // readable lines and is named once a session (takeLineProblems).
    const std::vector<EntryLine>& lines(MonthKey month);
    const MonthLineFile& lineFile(MonthKey month);
    std::vector<std::string> takeLineProblems();
    // A cell of the month as its lines and the rest (内訳なし).
    CellParts lineParts(MonthKey month, int item, int day, AmountField field);
    // Refuses a typed total below what the cell's lines add up to: typing
    // changes only the part without lines.
    void checkTypedTotal(MonthKey month, int item, int day, AmountField field, int32_t value);
    // The line doors. A line's amount goes into its cell and a deleted line's
    // comes off it, so the part without lines stays; a changed line moves
    // from its old cell to its new one. Each is one undo step with its cells,
    // journaled before the line file is written. The item must be a named
    // one; a cell that cannot take the amount, or a held month, throws and
    // changes nothing.
    void addLine(MonthKey month, const EntryLine& line, ChangeSource source = ChangeSource::Typed);
    void changeLine(MonthKey month, std::size_t index, const EntryLine& line,
                    ChangeSource source = ChangeSource::Typed);
    void removeLine(MonthKey month, std::size_t index, ChangeSource source = ChangeSource::Typed);
    // Lines for amounts that are in their cells already (lines made from an
    // older record of them): the cells stay as they are.
    void adoptLines(MonthKey month, const std::vector<EntryLine>& lines, ChangeSource source);
    // Asked before a line change writes over a line file that is damaged or
    // unreadable: true writes over it. Without it such a change is refused
    // with the file's message; false cancels (Cancelled).
    using LineFileQuestion = std::function<bool(const std::string& problemUtf8)>;
    void setLineFileQuestion(LineFileQuestion question) { lineQuestion_ = std::move(question); }

    // Several changes as one undo step. Other months changed in the group are
    // written when it is committed; a group destroyed without commit, or a
    // commit that fails, puts every month and diary day back as it was.
    class ChangeGroup {
    public:
        ChangeGroup(Book& book, ChangeSource source, std::string label = {});
        ~ChangeGroup();
        ChangeGroup(const ChangeGroup&) = delete;
        ChangeGroup& operator=(const ChangeGroup&) = delete;
        void commit();

    private:
        Book& book_;
        bool done_ = false;
    };

    // Undo and redo of whole steps. The menu text names the step:
    // "12/24 食費 支出 3,480", or its label and count for a group.
    bool canUndo() const;
    bool canRedo() const;
    std::string undoText() const;
    std::string redoText() const;
    // Asked before an undo or redo replaces a value that is no longer what
    // the step left (changed by hand, by another copy, by a later step not
    // undone); false leaves everything as it is. Without it such a step is
    // refused with a message.
    using ConflictQuestion = std::function<bool(const std::string& whatUtf8)>;
    void setConflictQuestion(ConflictQuestion question) { conflict_ = std::move(question); }
    // False when the user declined.
    bool undo();
    bool redo();
    // The steps that can be undone, newest first, for the history window.
    struct HistoryRow {
        uint64_t group = 0;
        std::string time, month, day, item, change, source; // UTF-8
        bool undone = false;
    };
    std::vector<HistoryRow> history() const;
    // Undoes steps until `group` is the last one done.
    void undoBackTo(uint64_t group);
    // The journal's own trouble at start-up, and what recover() finished,
    // said once; empty when none.
    std::string takeJournalWarning();
    // What recover() finished without trouble, said once and apart from the
    // trouble (news, not an error); takeJournalWarning no longer says it.
    std::string takeRecoveryNote();
    // Finishes what the journal holds and the files lack: the steps after
    // the journal's settled mark are applied to their month and diary files
    // (a value already there is left, one changed since by other means is
    // not touched), so a step cut short by a kill is made whole, once.
    // Runs once per ledger folder (loadMonths runs it first); returns what it
    // did (UTF-8), which takeJournalWarning also says, or empty. A month that
    // cannot be read or written keeps its steps for the next start.
    std::string recover();
    // A dry run: the journal is read but nothing is written, not even a
    // damaged journal set aside; every change is refused.
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool readOnly() const { return readOnly_; }
    ChangeJournal& journal() { return journal_; }
    // Reads the journals again (after files changed behind the book).
    void reopenJournal();
    // This PC's name (safePcName), handed in like the clock: its journal is
    // ZADUD-<PC>.JNL. Empty keeps the one journal ZADUD.JNL of a book used on
    // one PC only.
    void setPcName(std::string name);
    // The name every book made from now on takes (the program sets it once
    // at start); empty by default.
    static void setDefaultPcName(std::string name);
    const std::string& pcName() const { return pcName_; }

    // Renaming items in every month file (book_rename.cpp).
    struct RenamePlan {
        std::map<std::string, std::string> renames; // CP932 names, old to new
        std::vector<MonthKey> months;               // files holding an old name
        std::vector<MonthKey> merged;               // of those, files holding a new name already
    };
    // `names`: items 1..12 as the settings will hold them; an empty one
    // keeps its name. Months that cannot be read are left out.
    RenamePlan planRename(const std::array<std::string, ShownItems>& names) const;
    // Saves the month in memory, renames the lines of the plan's months and
    // replaces ZADUD.CFG with `config`, as one undo step, then reads the
    // names and the month in memory again. A failed write puts every file
    // back and throws.
    void renameItems(const RenamePlan& plan, const std::string& config);

    // Marks a whole cell 集計対象外 or 振替 in ZADUD.MRK (None takes the mark
    // away), as one undo step (book_marks.cpp). A mark file that could not
    // be read is refused with its message and left as it is.
    void setCellMark(const MarkedCell& cell, ReportMark mark,
                     ChangeSource source = ChangeSource::Typed);

    // Rewrites stale carry-overs from January of `year` (repairCarryChain)
    // as one undo step; returns the months rewritten.
    std::vector<MonthKey> repairCarry(int year);

    // Called after amounts of the month in memory changed by any door
    // (undo, a posting, a repair), so windows can redraw.
    std::function<void()> changed;
    // Called after the change journal took a step (undo state may differ).
    std::function<void()> journalChanged;
    // The record's time.
    Clock clock;
    FileStore& files() const { return files_; }

private:
    struct Group;
    struct Pending;
    void holdMonth(Hold hold, const std::string& file);
    std::string monthPath(MonthKey m) const;
    void openJournal();
    std::string describe(const JournalRecord& r) const;
    std::string stepText(uint64_t group) const;
    MonthLedger& groupMonth(MonthKey m);
    // A change made outside a group is a group of its own: runs `change`
    // in one and commits it, and says so; false inside a group.
    template <class Change> bool ownGroup(ChangeSource source, Change change);
    void apply(const JournalRecord& r, bool forward);
    int32_t current(const JournalRecord& r);
    bool reverse(uint64_t group, bool undo);
    // Adds a record to the open group, with its number and time.
    void record(JournalRecord r);
    uint64_t groupId() const;
    void rollBack(Group& g);
    void commitGroup(Group& g);
    void writeGroup(Group& g);
    void takeBack(Group& g, const std::vector<JournalRecord>& records);
    void settle();
    // Makes the files renamed without a flush durable, so the mark may pass
    // their steps; flushDeferredQuietly leaves them to the journal instead
    // (the ledger folder is about to change).
    void flushDeferred();
    void flushDeferredQuietly();
    // Brings the balance brought in of every later month up to date with
    // what the group changed, as changes of the same group (book_carry.cpp).
    void carryForward(std::vector<JournalRecord> records);
    // The months after `after` with a file in the ledger folder, in order.
    std::vector<MonthKey> monthFilesAfter(MonthKey after) const;
    void refreshCarry(MonthKey changed);
    // The day of a File record that replaced ZADUD.MRK.
    static constexpr int MarkFileRecord = 3;
    // A whole file of a File record (book_rename.cpp): its path, whether it
    // holds what `undo` expects, and its replacement within the group.
    std::string recordedPath(const JournalRecord& r) const;
    std::string recordedName(const JournalRecord& r) const; // "2026年10月", "ZADUD.CFG"

    bool fileAsLeft(const JournalRecord& r, bool undo) const;
    void replaceFile(const JournalRecord& r, bool undo, ChangeSource source);
    // Writes a whole file within the group, which puts it back on failure.
    void writeGroupFile(const std::string& path, const std::string& bytes);
    // An Entry record (book_schedule.cpp): whether the schedule file holds
    // what `undo` expects, the change made, and what the history says.
    bool entryAsLeft(const JournalRecord& r, bool undo) const;
    void putEntry(const JournalRecord& r, bool undo, ChangeSource source);
    static std::string describeEntry(const JournalRecord& r);
    // After a step with File records: the names and the month in memory
    // are read again.
    void filesReplaced();
    // The totals of the months after a rename's first merge, in the files'
    // bytes as the rename leaves them.
    void carryMerge(const RenamePlan& plan, std::map<MonthKey, std::string>& before,
                    std::map<MonthKey, std::string>& after);
    void notify();
    // A journal record's time: the clock seam, or the local time.
    std::string recordTime() const;
    // Entry lines (book_lines.cpp).
    LineStore& lineStore();
    // Keeps what the month's line file holds before the group's first line
    // change, asking first about a file that must not be written over.
    void beginLines(MonthKey month);
    // One edit of the month's lines, recorded: `from` leaves position `at`,
    // `to` takes it (either may be none).
    void putLine(MonthKey month, std::size_t at, const EntryLine* from, const EntryLine* to,
                 ChangeSource source);
    // A line file as the group found it, to write at its end or put back.
    struct LinesBefore {
        bool existed = false;
        std::string bytes;
        bool overwrite = false; // the user agreed to replace a damaged file
        bool written = false;
    };
    std::map<MonthKey, LinesBefore>& groupLines();
    void writeLines(std::map<MonthKey, LinesBefore>& lines);
    // After a failed commit: files written go back to their bytes; the
    // months are read again.
    void takeBackLines(std::map<MonthKey, LinesBefore>& lines);
    // Undo and redo of a step's line records: each must find its line where
    // the step left it, else the step is refused; then the edit.
    void checkLineRecords(const std::vector<JournalRecord>& records, bool undo);
    void reverseLine(const JournalRecord& r, bool undo, ChangeSource source);
    // Finishes the line records of the steps recovery replays; returns the
    // months written as their labels, and adds to `trouble`.
    // `leftCells` names the cells (cellMark) whose amount a step found
    // changed since by other means: that step's lines there are left too.
    std::string recoverLines(const std::vector<const ChangeStep*>& steps, int& finished,
                             std::string& trouble, uint64_t& keepFrom,
                             const std::set<std::string>& leftCells);
    static std::string cellMark(uint64_t group, const JournalRecord& r);
    std::string describeLine(const JournalRecord& r) const;

    std::unique_ptr<LineStore> lineStore_;
    LineFileQuestion lineQuestion_;
    std::set<std::string> saidLineProblems_;

    FileStore& files_;
    std::string startDir_, ledgerDir_, diaryDir_;
    MonthLedger ledger_;
    MonthKey shown_;
    FileStamp stamp_;
    std::string stampKey_;
    Hold hold_ = Hold::None;
    std::string heldFile_, previousFailed_;
    bool neverLoaded_ = true, configured_ = false;
    ReplaceQuestion replaceQuestion_;
    ConflictQuestion conflict_;
    ChangeJournal journal_;
    std::string journalFolder_;
    std::string journalWarning_;
    std::string recoveryNote_; // what recover() finished, until told
    std::string recoveredFolder_;
    bool readOnly_ = false;
    std::string pcName_;
    // The first step whose change of the month in memory is not saved yet.
    uint64_t unsavedFrom_ = 0;
    // The first step whose other files are not all written (a failed write
    // that could not be taken back, a month recovery could not reach).
    uint64_t unwrittenFrom_ = 0;
    // The first step whose files were renamed into place without a flush of
    // their folder (writeAllDeferred): the journal's mark waits for it.
    uint64_t unflushedFrom_ = 0;
    std::unique_ptr<Group> group_;
    int groupDepth_ = 0;
};

// The month of a file as entering it would read it (its carry-over, then its
// days), holds applied: throws the hold's message for a month that could not
// be saved.
void loadMonthAsEntered(FileStore& files, MonthLedger& ledger, const std::string& dir,
                        MonthKey month);

// The cell's field a line of this side adds to, and the side of a field.
AmountField fieldOf(LineSide side);
LineSide lineSideOf(AmountField field);
