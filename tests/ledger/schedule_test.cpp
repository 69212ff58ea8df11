#include "ledger/schedule.h"
#include "storage/disk_store.h"

#include "ledger/errors.h"
#include "ledger/text_file.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

ScheduleEntry entry(ScheduleRule rule, int day, int year, int month,
                    ScheduleShift shift = ScheduleShift::None) {
    ScheduleEntry e;
    e.id = 1;
    e.item = "\x90\x48\x94\xEF"; // 食費
    e.amount = 1000;
    e.rule = rule;
    e.day = day;
    e.fromYear = year;
    e.fromMonth = month;
    e.shift = shift;
    return e;
}

std::string dates(const ScheduleEntry& e, const Date& from, const Date& to) {
    std::string out;
    for (const Occurrence& o : occurrencesBetween(e, from, to))
        out += isoDate(o.date) + " ";
    return out;
}

// Day cells in memory; a month listed in `held` refuses changes.
class MemoryDoor : public PostingDoor {
public:
    MemoryDoor() { ledger.Items[3].Name = "\x90\x48\x94\xEF"; }
    const MonthLedger& names() const override { return ledger; }
    int32_t amount(const Date& d, int, bool) override { return cells[dayNumber(d)]; }
    void add(const Date& d, int, bool, int32_t delta) override {
        if (d.month == heldMonth) throw AppError(msg::HeldUnread);
        cells[dayNumber(d)] = checkedAdd(cells[dayNumber(d)], delta);
    }
    MonthLedger ledger;
    std::map<int64_t, int32_t> cells;
    int heldMonth = 0;
};

} // namespace

TEST(Schedule, RulesAroundMonthEndsLeapYearsShiftsAndEnds) {
    using R = ScheduleRule;
    using S = ScheduleShift;
    ScheduleEntry secondMonday = entry(R::Weekday, 1, 2026, 1);
    secondMonday.nth = 2;
    secondMonday.wd = 1;
    ScheduleEntry lastFriday = entry(R::Weekday, 1, 2026, 1);
    lastFriday.nth = 5;
    lastFriday.wd = 5;
    ScheduleEntry yearly = entry(R::Day, 25, 2026, 6);
    yearly.every = 12;
    yearly.until = {2028, 6, 30};
    ScheduleEntry twice = entry(R::Day, 10, 2026, 1);
    twice.count = 2;
    struct Case {
        ScheduleEntry e;
        const char* expected;
    } cases[] = {
        {entry(R::Day, 31, 2024, 1), "2024-01-31 2024-02-29 2024-03-31 2024-04-30 "},
        {entry(R::Day, 30, 2023, 1), "2023-01-30 2023-02-28 2023-03-30 2023-04-30 "},
        {entry(R::LastDay, 1, 2100, 1), "2100-01-31 2100-02-28 2100-03-31 2100-04-30 "},
        {secondMonday, "2026-01-12 2026-02-09 2026-03-09 2026-04-13 "},
        {lastFriday, "2026-01-30 2026-02-27 2026-03-27 2026-04-24 "},
        // The first working day: New Year's Day, then Sundays.
        {entry(R::Day, 1, 2026, 1, S::After), "2026-01-02 2026-02-02 2026-03-02 2026-04-01 "},
        // Back over a month boundary, and forward over one.
        {entry(R::Day, 1, 2026, 2, S::Before), "2026-01-30 2026-02-27 2026-04-01 "},
        {entry(R::LastDay, 1, 2026, 1, S::After), "2026-02-02 2026-03-02 2026-03-31 2026-04-30 "},
        // Golden Week: 5/3 Sunday, two holidays and the substitute day.
        {entry(R::Day, 3, 2026, 5, S::After), "2026-05-07 2026-06-03 2026-07-03 2026-08-03 "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dates(c.e, {2020, 1, 1}, {2100, 4, 30}).substr(0, std::strlen(c.expected)),
                  c.expected)
            << c.expected;
    // The end date and the number of times end the entry.
    EXPECT_EQ(dates(yearly, {2020, 1, 1}, {2100, 1, 1}), "2026-06-25 2027-06-25 2028-06-25 ");
    EXPECT_EQ(dates(twice, {2020, 1, 1}, {2100, 1, 1}), "2026-01-10 2026-02-10 ");
    // A range that starts late still sees an occurrence shifted into it,
    // back or forward across a month's end.
    EXPECT_EQ(dates(entry(R::Day, 1, 2000, 1, S::Before), {2026, 1, 30}, {2026, 1, 31}),
              "2026-01-30 ");
    EXPECT_EQ(dates(entry(R::LastDay, 1, 2000, 1, S::After), {2026, 2, 2}, {2026, 2, 2}),
              "2026-02-02 ");
}

TEST(Schedule, DueSkipsRecordedPausedAndLaterOnes) {
    Schedule s;
    s.entries = {entry(ScheduleRule::Day, 25, 2026, 10), entry(ScheduleRule::Day, 5, 2026, 12)};
    s.entries[1].id = 2;
    PostingRecord r;
    r.entry = 1;
    r.index = 0;
    s.records.push_back(r);
    auto due = dueOccurrences(s, {2026, 12, 8});
    ASSERT_EQ(due.size(), 2u);
    EXPECT_EQ(isoDate(due[0].date), "2026-11-25");
    EXPECT_EQ(isoDate(due[1].date), "2026-12-05");
    s.entries[1].paused = true;
    EXPECT_EQ(dueOccurrences(s, {2026, 12, 8}).size(), 1u);
    Occurrence next;
    ASSERT_TRUE(nextOccurrence(s, s.entries[0], {2026, 10, 1}, next));
    EXPECT_EQ(isoDate(next.date), "2026-11-25");
}

TEST(Schedule, FileRoundTripsAndAMalformedOneIsNamed) {
    Schedule s;
    s.entries = {entry(ScheduleRule::Weekday, 1, 2026, 1, ScheduleShift::Before)};
    s.entries[0].item = "a,b";
    s.entries[0].ask = true;
    s.entries[0].until = {2027, 3, 31};
    s.entries[0].confirm = true;
    PostingRecord r;
    r.entry = 1;
    r.state = PostingState::Pending;
    r.date = {2026, 1, 5};
    r.before = -5;
    r.after = 995;
    r.item = "a,b";
    s.records.push_back(r);
    const std::string bytes = formatSchedule(s);
    EXPECT_EQ(bytes, "ZADUD-TEIKI 1\r\n"
                     "E,1,1,?,2026-01,W1:1,1,2027-03-31,0,B,C,0,a,b\r\n"
                     "P,1,0,W,2026-01-05,1,0,-5,995,a,b\r\n");
    EXPECT_EQ(formatSchedule(parseSchedule(bytes, "x")), bytes);
    // The bounds of the rules: the 31st, the first to the last week, Sunday
    // to Saturday.
    for (const auto& [rule, valid] : {std::pair<const char*, bool>{"D31", true},
                                      {"D32", false},
                                      {"W1:0", true},
                                      {"W5:6", true},
                                      {"W0:1", false},
                                      {"W6:1", false},
                                      {"W1:7", false}}) {
        std::string other = bytes;
        other.replace(other.find("W1:1"), 4, rule);
        if (valid)
            EXPECT_EQ(formatSchedule(parseSchedule(other, "x")), other);
        else
            EXPECT_THROW(parseSchedule(other, "x"), AppError) << rule;
    }
    for (std::string bad : {"ZADUD-TEIKI 1\r\nE,1,1,?,2026-13,L,1,-,0,N,A,0,x\r\n",
                            "ZADUD-TEIKI 1\r\nE,1,1,5,2026-01,L,0,-,0,N,A,0,x\r\n",
                            "ZADUD-TEIKI 1\r\nP,1,0,X,2026-01-05,1,0,0,0,x\r\n", "other\r\n"}) {
        try {
            parseSchedule(bad, "/d/TEIKI.TXT");
            ADD_FAILURE() << bad;
        } catch (const AppError& e) {
            EXPECT_NE(std::string(e.what()).find("/d/TEIKI.TXT"), std::string::npos);
        }
    }
}

TEST(Schedule, PostingRefusesOverflowAndHeldMonthsAndPostsTheRest) {
    TempFolder dir;
    const std::string path = dir.file(ScheduleFileName);
    MemoryDoor door;
    door.cells[dayNumber({2026, 11, 25})] = INT32_MAX - 10;
    door.heldMonth = 10;
    Schedule s;
    s.entries = {entry(ScheduleRule::Day, 25, 2026, 10)};
    std::vector<PostingChoice> choices;
    for (const Occurrence& o : dueOccurrences(s, {2027, 1, 31}))
        choices.push_back({o, o.date.month == 1, 1000});
    const auto out = postChoices(disk, s, path, choices, door);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_FALSE(out[0].posted); // held
    EXPECT_FALSE(out[1].posted); // overflow
    EXPECT_NE(out[1].error.find("ｵｰﾊﾞｰﾌﾛｰ"), std::string::npos);
    EXPECT_TRUE(out[2].posted);
    EXPECT_FALSE(out[3].posted); // skipped
    EXPECT_EQ(door.cells[dayNumber({2026, 12, 25})], 1000);
    // The refused ones stay due; the posted and the skipped never come again.
    Schedule again = readScheduleFile(disk, path);
    const auto due = dueOccurrences(again, {2027, 1, 31});
    ASSERT_EQ(due.size(), 2u);
    EXPECT_EQ(due[0].date.month, 10);
    EXPECT_EQ(due[1].date.month, 11);
}

TEST(Schedule, ACrashBetweenTheStepsNeverPostsTwice) {
    TempFolder dir;
    const std::string path = dir.file(ScheduleFileName);
    const Date day{2026, 12, 25};
    // The day's amount found at the next run: after both postings, after the
    // first, untouched, or changed by hand since.
    struct Case {
        int32_t found;
        std::size_t dueAgain;
        bool warned;
    } cases[] = {{2500, 0, false}, {1500, 1, false}, {500, 2, false}, {9, 0, true}};
    for (const Case& c : cases) {
        Schedule s;
        s.entries = {entry(ScheduleRule::Day, 25, 2026, 12),
                     entry(ScheduleRule::Day, 25, 2026, 12)};
        s.entries[1].id = 2;
        MemoryDoor door;
        door.cells[dayNumber(day)] = 500;
        std::vector<PostingChoice> choices;
        for (const Occurrence& o : dueOccurrences(s, day))
            choices.push_back({o, false, 1000});
        // The last write of the schedule file fails: the program died there.
        disk.setFaults([&](const std::string& p, const std::string& step) {
            static int writes = 0;
            return p == path && step == "rename" && ++writes % 2 == 0 ? EIO : 0;
        });
        EXPECT_THROW(postChoices(disk, s, path, choices, door), AppError);
        disk.setFaults(nullptr);
        door.cells[dayNumber(day)] = c.found;
        Schedule reread = readScheduleFile(disk, path);
        const auto warnings = settlePending(disk, reread, path, door);
        EXPECT_EQ(warnings.size(), c.warned ? 1u : 0u) << c.found;
        EXPECT_EQ(dueOccurrences(readScheduleFile(disk, path), day).size(), c.dueAgain) << c.found;
    }
}
