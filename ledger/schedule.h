#pragma once
// Scheduled entries: amounts that repeat (salary on the 25th, rent on the
// last day, a tax twice a year), their dates, and the side file that records
// every posting so that no occurrence is ever posted twice.
//
// Posting is a two-step journal. The occurrences about to be posted are
// first written to the schedule file as pending, each with the day's amount
// before and after; then the amounts are added through the door; then the
// file marks them done. A run that finds pending records (a crash between
// the steps) reads the day again: the amount after means it was posted
// (done), the amount before means it was not (the occurrence is due again),
// anything else means it cannot be told and it counts as posted, with a
// word to the user, because posting twice is the worse fault.

#include "ledger/book.h"
#include "ledger/file_store.h"
#include "ledger/jp_holidays.h"
#include "ledger/month_ledger.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

inline constexpr const char* ScheduleFileName = "TEIKI.TXT";

enum class ScheduleRule { Day, LastDay, Weekday };
enum class ScheduleShift { None, Before, After };

struct ScheduleEntry {
    int id = 0;       // stable key of the entry's postings
    std::string item; // the item's name, code page 932
    bool expense = true;
    int32_t amount = 0;
    bool ask = false; // "ask each time": the amount is given at each posting
    int fromYear = 0, fromMonth = 0;
    ScheduleRule rule = ScheduleRule::Day;
    int day = 1;   // Day: 1..31; a day past the month's end is its last day
    int nth = 1;   // Weekday: 1..4, 5 = the last such weekday of the month
    int wd = 1;    // Weekday: 0 Sunday .. 6 Saturday
    int every = 1; // months between occurrences; 12 = yearly
    Date until{};  // no occurrence whose rule date is later; year 0: none
    int count = 0; // number of occurrences; 0: no limit
    ScheduleShift shift = ScheduleShift::None;
    bool confirm = false; // posted on confirmation, not automatically
    bool paused = false;
};

enum class PostingState { Pending, Done, Skipped };

struct PostingRecord {
    int entry = 0;
    int index = 0; // which occurrence of the entry, from 0
    PostingState state = PostingState::Done;
    Date date{};
    bool expense = true;
    int32_t amount = 0;
    int32_t before = 0, after = 0; // the day's amount around a pending posting
    std::string item;              // code page 932
};

struct Schedule {
    std::vector<ScheduleEntry> entries;
    std::vector<PostingRecord> records;
    // Ids are never given out twice: on a book kept on several PCs no id up
    // to idFloor (every id any PC's journal names) is new, and a new one
    // ends in this PC's idPart (1 to IdPartSpan - 1), so two PCs adding an
    // entry while apart take different ids. 0: any next number.
    static constexpr int IdPartSpan = 1000;
    int idFloor = 0;
    int idPart = 0;

    int nextId() const;
    const PostingRecord* record(int entry, int index) const;
    // Removes the entry and its records that are not pending.
    void remove(int id);
};

// The side file's bytes and back. A malformed file throws an AppError that
// names the file and the line.
std::string formatSchedule(const Schedule& schedule);
// One entry's line in the file (no line end) and back; false for a line that
// is not a whole entry.
std::string formatEntryLine(const ScheduleEntry& entry);
bool parseEntryLine(const std::string& line, ScheduleEntry& entry);
Schedule parseSchedule(const std::string& bytes, const std::string& path);
// A missing file is an empty schedule.
Schedule readScheduleFile(FileStore& files, const std::string& path);
void writeScheduleFile(FileStore& files, const std::string& path, const Schedule& schedule);

// Throws an AppError saying what is wrong with an entry (a day outside 1 to
// 31, every < 1, ...).
void checkEntry(const ScheduleEntry& entry);

struct Occurrence {
    int entry = 0;
    int index = 0;
    Date nominal{}; // the rule's date
    Date date{};    // after the shift; may fall in the month before or after
};

// The occurrences of an entry whose date lies in [from, to], in order.
std::vector<Occurrence> occurrencesBetween(const ScheduleEntry& entry, const Date& from,
                                           const Date& to);
// The first occurrence dated on or after `from` that is not yet recorded;
// false when there is none (ended).
bool nextOccurrence(const Schedule& schedule, const ScheduleEntry& entry, const Date& from,
                    Occurrence& next);
// Occurrences of active entries dated up to `through` and not recorded, by
// date.
std::vector<Occurrence> dueOccurrences(const Schedule& schedule, const Date& through);

// Where postings go: the book in the program, the month files on the
// command line. Both throw AppError when a month cannot take the change
// (held, unreadable, a total outside 32 bits) and then change nothing.
class PostingDoor {
public:
    virtual ~PostingDoor() = default;
    // The configured names (Items[1..12].Name of a ledger).
    virtual const MonthLedger& names() const = 0;
    virtual int32_t amount(const Date& d, int item, bool expense) = 0;
    virtual void add(const Date& d, int item, bool expense, int32_t delta) = 0;
    // A posting of `entry`: its amount as an entry line named after the
    // entry, where the door keeps lines; else add().
    virtual void post(const Date& d, int item, const ScheduleEntry& entry, int32_t amount) {
        add(d, item, entry.expense, amount);
    }
    // Makes what was added survive a crash (the shown month is saved).
    virtual void flush() {}
    // The occurrence was posted (after post or add): the book's door records
    // it with its step, so that another PC sharing the book does not post it.
    virtual void posted(const PostingRecord&) {}
};

// The book as the door: every posting of one catch-up goes into one change
// group (one undo step, source "定期"); flush() commits it, which writes the
// other months, and saves the month in memory.
class BookDoor : public PostingDoor {
public:
    BookDoor(Book& book, const std::string& labelUtf8);
    const MonthLedger& names() const override;
    int32_t amount(const Date& d, int item, bool expense) override;
    void add(const Date& d, int item, bool expense, int32_t delta) override;
    void post(const Date& d, int item, const ScheduleEntry& entry, int32_t amount) override;
    void flush() override;
    void posted(const PostingRecord& record) override;

private:
    Book& book_;
    Book::ChangeGroup group_;
};

// What to do with one occurrence.
struct PostingChoice {
    Occurrence occurrence;
    bool skip = false;
    int32_t amount = 0;
};

struct PostingOutcome {
    PostingChoice choice;
    bool posted = false;
    std::string error; // UTF-8; why it was not posted
};

// Settles pending records left by an interrupted posting (see the top of
// this file) and writes the file when anything changed. Returns the
// warnings (UTF-8) for the records that could not be told.
std::vector<std::string> settlePending(FileStore& files, Schedule& schedule,
                                       const std::string& path, PostingDoor& door);

// Posts and skips the choices by the two-step journal; each refused posting
// names its reason and the others go on. A failure to write the schedule
// file before anything is posted throws and posts nothing.
std::vector<PostingOutcome> postChoices(FileStore& files, Schedule& schedule,
                                        const std::string& path,
                                        const std::vector<PostingChoice>& choices,
                                        PostingDoor& door);
