#pragma once
// The change journal: every change of an amount or of a diary day, appended
// to a side file in the ledger folder as it is made, so that undo and redo
// reach back past a restart. The month and diary files never depend on it;
// losing it loses history only.
//
// One CR LF line per record, fields separated by commas:
//   group,time,source,kind,year,month,day,item,field,old,new
// group   the undo step the record belongs to (records of one step are
//         consecutive and share it)
// kind    A an amount (day 0 is the balance brought in), D a diary day,
//         U the step `old` was undone, R the step `old` was redone,
//         F a whole file (a rename), its bytes as a diary day's
// item    the item's name (CP932), field 0 income, 1 expense
// old/new amounts as decimal integers, diary texts as their bytes
// Text fields escape "%", ",", and bytes below 0x20 as %XX; CP932 trail bytes
// never fall on those.

#include "ledger/month_ledger.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

enum class AmountField { Income = 0, Expense = 1 };
enum class ChangeSource { Typed, Scheduled, Imported, CarryRepair, Undo, Redo, Restored, Renamed };

// "入力", "定期", "取込", "繰越再計算", "元に戻す", "やり直し", "復元", "名前変更".
const char* sourceName(ChangeSource source);

struct JournalRecord {
    // File: a whole file replaced (a rename's month files, ZADUD.CFG and the
    // budget file); month {0, 0} is ZADUD.CFG of the start folder with day
    // 0, the budget file with day 1; old and new are the bytes.
    enum class Kind : char { Amount = 'A', Diary = 'D', Undo = 'U', Redo = 'R', File = 'F' };
    uint64_t group = 0;
    std::string time; // "2026-12-08T23:40:12"
    ChangeSource source = ChangeSource::Typed;
    Kind kind = Kind::Amount;
    MonthKey month;
    int day = 0;
    std::string item; // CP932 name
    AmountField field = AmountField::Income;
    int32_t oldValue = 0, newValue = 0;
    std::string oldText, newText; // diary bytes
    uint64_t ref = 0;             // the step undone or redone
};

std::string formatRecord(const JournalRecord& r);
// False for a line that is not a record.
bool parseRecord(const std::string& line, JournalRecord& r);

// One undo step: the records of a group, in the order they were made.
struct ChangeStep {
    uint64_t group = 0;
    std::vector<JournalRecord> records;
};

class ChangeJournal {
public:
    // Lines kept when the journal is folded: past FoldAt lines the oldest
    // steps are dropped, so the file stays below a few megabytes.
    static constexpr std::size_t FoldAt = 20000;
    static constexpr std::size_t KeepAfterFold = 10000;

    // Reads the journal at `path`. A missing file is an empty history; a line
    // that is not a record (a power cut mid-append leaves a torn last line)
    // ends what can be read: the rest is set aside and the file rewritten
    // without it, so appending goes on from a whole line. What was lost is
    // described in warning() (UTF-8), empty when nothing was.
    void open(const std::string& path);
    const std::string& path() const { return path_; }
    const std::string& warning() const { return warning_; }

    // Appends one step's records with one write and one flush. A failed
    // write throws the file error and keeps nothing of the step.
    void append(const std::vector<JournalRecord>& records);

    // A new group number, above every one in the journal.
    uint64_t nextGroup();

    // The steps that undo and redo would take, newest last.
    const std::vector<uint64_t>& undoable() const { return undo_; }
    const std::vector<uint64_t>& redoable() const { return redo_; }
    const ChangeStep* step(uint64_t group) const;
    // Every step but undo and redo ones, oldest first.
    std::vector<const ChangeStep*> history() const;

private:
    void apply(const std::vector<JournalRecord>& records);
    void fold();

    std::string path_;
    std::string warning_;
    std::size_t lines_ = 0;
    uint64_t lastGroup_ = 0;
    std::map<uint64_t, ChangeStep> steps_;
    std::vector<uint64_t> undo_, redo_;
    std::vector<std::string> text_; // the file's lines, for folding
};
