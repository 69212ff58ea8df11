#pragma once
// The change journal: every change of an amount or of a diary day, appended
// to a side file in the ledger folder, so that undo and redo reach back past
// a restart. It is the write-ahead record: a step is appended and flushed
// before the month and diary files it touches are written, so a step cut
// short by a kill or a failed write is finished from it at the next start
// (Book::recover). Its records hold values, not differences, so finishing a
// step twice changes nothing.
//
// Beside it, ZADUD.SEQ holds "reserved,settled": every step number up to
// `reserved` may have been used (numbers are taken in blocks, so they are
// never used twice, even after the journal is deleted or torn), and every
// step up to `settled` is in the files.
//
// One CR LF line per record, fields separated by commas:
//   group,time,source,kind,year,month,day,item,field,old,new
// group   the undo step the record belongs to (records of one step are
//         consecutive and share it)
// kind    A an amount (day 0 is the balance brought in), D a diary day,
//         U the step `old` was undone, R the step `old` was redone,
//         F a statement row the step posted (its fingerprint in `item`), so
//         that a row is known as imported even without the import log,
//         W a whole file (a rename), its bytes as a diary day's,
//         L an entry line of the month's line file: old and new are
//         "position;line" as the line file writes it, empty where the step
//         added or deleted the line (day, item and field name the line)
//         P a scheduled posting the step made: item "entry:occurrence", day
//         and month its date, field its side, new its amount, old the
//         entry's item name (so that a PC that sees it does not post again),
//         S a conflict between PCs settled: item its key (see sync_merge.h)
//         E a scheduled entry added, changed or deleted: item its id, old
//         and new its line as the schedule file writes it, empty where the
//         step added or deleted it (ledger/sync_schedule.h)
// For U and R, item names the PC whose step `old` is, empty for the
// journal's own PC.
// item    the item's name (CP932), field 0 income, 1 expense
// old/new amounts as decimal integers, diary texts as their bytes
// Text fields escape "%", ",", and bytes below 0x20 as %XX; CP932 trail bytes
// never fall on those.

#include "ledger/file_store.h"
#include "ledger/month_ledger.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

enum class AmountField { Income = 0, Expense = 1 };
enum class ChangeSource {
    Typed,
    Scheduled,
    Imported,
    CarryRepair,
    Undo,
    Redo,
    Restored,
    Renamed,
    Synced
};

// "入力", "定期", "取込", "繰越再計算", "元に戻す", "やり直し", "復元", "名前変更", "同期".
const char* sourceName(ChangeSource source);

struct JournalRecord {
    // Row: a statement row the step posted. File: a whole file replaced (a rename's month files,
    // ZADUD.CFG and the budget file); month {0, 0} is ZADUD.CFG of the start folder with day 0, the
    // budget file with day 1; old and new are the bytes.
    enum class Kind : char {
        Amount = 'A',
        Diary = 'D',
        Undo = 'U',
        Redo = 'R',
        Row = 'F',
        File = 'W',
        Line = 'L',
        Posting = 'P',
        Settled = 'S',
        Entry = 'E'
    };
    uint64_t group = 0;
    std::string time; // "2026-12-08T23:40:12"
    ChangeSource source = ChangeSource::Typed;
    Kind kind = Kind::Amount;
    MonthKey month;
    int day = 0;
    std::string item; // CP932 name; a row's fingerprint
    AmountField field = AmountField::Income;
    int32_t oldValue = 0, newValue = 0;
    std::string oldText, newText; // diary bytes, a file's bytes, a line
    uint64_t ref = 0;             // the step undone or redone
};

std::string formatRecord(const JournalRecord& r);
// False for a line that is not a record.
bool parseRecord(const std::string& line, JournalRecord& r);

// The journal's companion file of step numbers, in the same folder.
inline constexpr const char* StepFileName = "ZADUD.SEQ";
// The step file of a journal: its name with ".SEQ" for ".JNL".
std::string stepFileFor(const std::string& journalPath);

// Steps of other PCs' journals are known by numbers from here up: the PC's
// place among them above, its own step number below.
inline constexpr uint64_t PeerStepBase = uint64_t(1) << 40;

// One undo step: the records of a group, in the order they were made.
struct ChangeStep {
    uint64_t group = 0;
    std::vector<JournalRecord> records;
};

class ChangeJournal {
public:
    explicit ChangeJournal(FileStore& files) : files_(files) {}

    // Lines kept when the journal is folded: past FoldAt lines the oldest
    // steps are dropped, so the file stays below a few megabytes.
    static constexpr std::size_t FoldAt = 20000;
    static constexpr std::size_t KeepAfterFold = 10000;

    // Reads the journal at `path`. A missing file is an empty history; a line
    // that is not a record (a power cut mid-append leaves a torn last line)
    // ends what can be read: the whole file is kept aside under another name
    // (asidePath) and the journal written anew without the rest, so appending
    // goes on from a whole line. What was lost is described in warning()
    // (UTF-8), empty when nothing was. `readOnly` writes nothing (a dry run):
    // the damage is told and appending is refused.
    void open(const std::string& path, bool readOnly = false);
    // Other PCs' journals read beside this one (before open): name and path.
    // Their steps join undo and redo in the order of their times; they are
    // never written. `own` is this PC's name, as other journals name it.
    struct Peer {
        std::string pc, path;
    };
    void setPeers(std::string own, std::vector<Peer> peers);
    const std::vector<Peer>& peers() const { return peers_; }
    const std::string& ownPc() const { return ownPc_; }
    // The PC and its own step number of a step.
    std::string stepPc(uint64_t step) const;
    static uint64_t stepNumber(uint64_t step) { return step % PeerStepBase; }
    // A step by its PC and number; 0 when unknown.
    uint64_t stepOf(const std::string& pc, uint64_t number) const;
    // Every step of every PC in the order undo sees them, markers included.
    const std::vector<uint64_t>& order() const { return order_; }
    const std::string& path() const { return path_; }
    const std::string& warning() const { return warning_; }

    // Appends one step's records with one write and one flush. A failed
    // write throws the file error and keeps nothing of the step; so does a
    // journal whose damage could not be set aside.
    void append(const std::vector<JournalRecord>& records);

    // A new group number, above every one ever used in this folder.
    uint64_t nextGroup();
    // Step numbers known from elsewhere (the import log) are never given out.
    // Only this PC's numbers count: another PC's steps are numbered apart.
    void reserveAbove(uint64_t used) {
        if (used < PeerStepBase) floor_ = std::max(floor_, used);
    }

    // Every step up to settled() is in the month and diary files.
    uint64_t settled() const { return settled_; }
    // Raises the mark; a failed write only leaves more to check at the next
    // start, and is not reported.
    void settle(uint64_t through);
    uint64_t lastGroup() const { return lastGroup_; }
    // The steps after settled(), oldest first.
    std::vector<const ChangeStep*> unsettled() const;
    // Where a damaged journal was kept, empty when none was.
    const std::string& asidePath() const { return aside_; }

    // The steps that undo and redo would take, newest last.
    const std::vector<uint64_t>& undoable() const { return undo_; }
    const std::vector<uint64_t>& redoable() const { return redo_; }
    const ChangeStep* step(uint64_t group) const;
    // Every step but undo and redo ones, oldest first.
    std::vector<const ChangeStep*> history() const;

private:
    void apply(const std::vector<JournalRecord>& records);
    // Steps of all PCs again, in order, from the records read.
    void rebuild();
    void readPeer(std::size_t index);
    void fold();
    void readSteps();
    void writeSteps(uint64_t reserved, uint64_t settled);
    std::string stepsPath() const;

    FileStore& files_;
    std::string path_;
    std::string warning_;
    std::size_t lines_ = 0;
    uint64_t lastGroup_ = 0;
    uint64_t floor_ = 0, reserved_ = 0, settled_ = 0;
    bool readOnly_ = false, broken_ = false;
    std::string aside_;
    std::map<uint64_t, ChangeStep> steps_;
    std::vector<uint64_t> undo_, redo_;
    std::vector<std::string> text_; // the file's lines, for folding
    std::string ownPc_;
    std::vector<Peer> peers_;
    std::vector<JournalRecord> own_;                   // this journal's records as read
    std::vector<std::vector<JournalRecord>> peerRecs_; // each peer's, steps renumbered
    std::vector<uint64_t> order_;
};
