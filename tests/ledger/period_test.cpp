#include "ledger/month_table.h"
#include "ledger/period.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

using S = PeriodShift;
using N = PeriodNaming;

Date day(const char* iso) {
    Date d;
    EXPECT_TRUE(parseIsoDate(iso, d)) << iso;
    return d;
}

} // namespace

// Boundaries worked out by hand from the calendar and the holiday law.
TEST(Period, BoundariesOnDaysOffAndAtMonthEnds) {
    struct Case {
        int startDay;
        S shift;
        N naming;
        PeriodName name;
        const char* first;
        const char* last;
    } cases[] = {
        // Plain: 11/25 Wed to 12/24, named after the end.
        {25, S::None, N::End, {2026, 12}, "2026-11-25", "2026-12-24"},
        // 2026-04-25 is a Saturday.
        {25, S::None, N::End, {2026, 5}, "2026-04-25", "2026-05-24"},
        {25, S::Before, N::End, {2026, 5}, "2026-04-24", "2026-05-24"},
        {25, S::After, N::End, {2026, 5}, "2026-04-27", "2026-05-24"},
        // 2026-10-25 is a Sunday; start naming names the same days a month earlier.
        {25, S::Before, N::End, {2026, 11}, "2026-10-23", "2026-11-24"},
        {25, S::Before, N::Start, {2026, 10}, "2026-10-23", "2026-11-24"},
        {25, S::After, N::Start, {2026, 1}, "2026-01-26", "2026-02-24"},
        // 2026-11-23 勤労感謝の日, Monday, after a weekend.
        {23, S::Before, N::Start, {2026, 11}, "2026-11-20", "2026-12-22"},
        // 2026-05-06 振替休日 closing Golden Week; 6/6 is a Saturday.
        {6, S::Before, N::Start, {2026, 5}, "2026-05-01", "2026-06-04"},
        {6, S::After, N::Start, {2026, 4}, "2026-04-06", "2026-05-06"},
        {6, S::After, N::Start, {2026, 5}, "2026-05-07", "2026-06-07"},
        // Golden Week 2025: 5/3 Sat to the substitute holiday 5/6.
        {3, S::After, N::Start, {2025, 5}, "2025-05-07", "2025-06-02"},
        {3, S::Before, N::End, {2025, 6}, "2025-05-02", "2025-06-02"},
        {3, S::Before, N::End, {2025, 5}, "2025-04-03", "2025-05-01"},
        // Silver week 2026: 9/21 敬老の日, 9/22 国民の休日, 9/23 秋分の日.
        {21, S::After, N::Start, {2026, 9}, "2026-09-24", "2026-10-20"},
        {21, S::Before, N::End, {2026, 10}, "2026-09-18", "2026-10-20"},
        // New Year: 2022-12-31 Sat, 1/1 Sun, 1/2 振替休日.
        {31, S::After, N::End, {2023, 1}, "2023-01-03", "2023-01-30"},
        {31, S::After, N::End, {2022, 12}, "2022-11-30", "2023-01-02"},
        {31, S::Before, N::End, {2023, 1}, "2022-12-30", "2023-01-30"},
        {31, S::None, N::Start, {2022, 12}, "2022-12-31", "2023-01-30"},
        // 2027-01-02 Sat, 1/1 元日: the start moves into the year before.
        {2, S::Before, N::Start, {2027, 1}, "2026-12-31", "2027-02-01"},
        // Start days 29 to 31 in February, leap year and not.
        {29, S::None, N::Start, {2024, 2}, "2024-02-29", "2024-03-28"},
        {29, S::None, N::Start, {2025, 2}, "2025-02-28", "2025-03-28"},
        {30, S::None, N::End, {2024, 3}, "2024-02-29", "2024-03-29"},
        {30, S::None, N::Start, {2025, 2}, "2025-02-28", "2025-03-29"},
        {30, S::Before, N::Start, {2025, 2}, "2025-02-28", "2025-03-27"},
        {31, S::None, N::Start, {2024, 2}, "2024-02-29", "2024-03-30"},
        {31, S::After, N::Start, {2024, 2}, "2024-02-29", "2024-03-31"},
        {31, S::None, N::End, {2025, 3}, "2025-02-28", "2025-03-30"},
        {31, S::None, N::Start, {2025, 1}, "2025-01-31", "2025-02-27"},
        // 2021-01-31 and 2021-02-28 are Sundays: 2月分 is exactly February.
        {31, S::After, N::End, {2021, 2}, "2021-02-01", "2021-02-28"},
        {31, S::After, N::End, {2021, 3}, "2021-03-01", "2021-03-30"},
    };
    for (const Case& c : cases) {
        const PeriodRule rule{c.startDay, c.shift, c.naming};
        SCOPED_TRACE(std::to_string(c.startDay) + " " + std::to_string(int(c.shift)) + " " +
                     std::to_string(int(c.naming)) + " " + std::to_string(c.name.year) + "-" +
                     std::to_string(c.name.month));
        const PeriodRange r = periodRange(rule, c.name);
        EXPECT_EQ(isoDate(r.first), c.first);
        EXPECT_EQ(isoDate(r.last), c.last);
        // The days at both ends belong to it; their neighbours to the periods beside.
        EXPECT_EQ(periodOf(rule, day(c.first)), c.name);
        EXPECT_EQ(periodOf(rule, day(c.last)), c.name);
        EXPECT_EQ(periodOf(rule, addDays(day(c.first), -1)), stepPeriod(c.name, -1));
        EXPECT_EQ(periodOf(rule, addDays(day(c.last), 1)), stepPeriod(c.name, 1));
    }
}

TEST(Period, PeriodsTileTheCalendarAndNamesStepByOneMonth) {
    for (int n = 2; n <= 31; ++n)
        for (S shift : {S::None, S::Before, S::After})
            for (N naming : {N::Start, N::End}) {
                const PeriodRule rule{n, shift, naming};
                SCOPED_TRACE(std::to_string(n) + " " + std::to_string(int(shift)) + " " +
                             std::to_string(int(naming)));
                PeriodName name = periodOf(rule, {2019, 12, 20});
                Date next = periodRange(rule, name).first;
                for (int i = 0; i < 13 * 12 && !HasFailure(); ++i) {
                    const PeriodRange r = periodRange(rule, name);
                    EXPECT_EQ(r.first, next); // no gap, no overlap
                    // A moved start is a working day; an unmoved one is day N.
                    if (shift != S::None)
                        EXPECT_FALSE(isDayOff(r.first)) << isoDate(r.first);
                    else
                        EXPECT_EQ(r.first, nominalStart(rule, name));
                    EXPECT_EQ(periodOf(rule, r.first), name);
                    EXPECT_EQ(periodOf(rule, r.last), name);
                    next = addDays(r.last, 1);
                    const PeriodName after = stepPeriod(name, 1);
                    EXPECT_EQ(after.year * 12 + after.month, name.year * 12 + name.month + 1);
                    name = after;
                }
            }
}

TEST(Period, StartDayOneIsTheCalendarMonthWhateverTheShiftAndNaming) {
    for (S shift : {S::None, S::Before, S::After})
        for (N naming : {N::Start, N::End}) {
            const PeriodRule rule{1, shift, naming};
            for (int year = 1996; year <= 2030; ++year)
                for (int month = 1; month <= 12; ++month) {
                    const PeriodRange r = periodRange(rule, {year, month});
                    ASSERT_EQ(r.first, (Date{year, month, 1}));
                    ASSERT_EQ(r.last, (Date{year, month, daysInMonth(year, month)}));
                    ASSERT_EQ(periodOf(rule, r.first), (PeriodName{year, month}));
                    ASSERT_EQ(periodOf(rule, r.last), (PeriodName{year, month}));
                }
            EXPECT_EQ(periodTitle(rule, {2026, 12}), "2026年12月");
        }
}

TEST(Period, TitleDaysLeftAndDefaultNaming) {
    EXPECT_EQ(periodTitle({25, S::None, N::End}, {2026, 12}), "2026年12月分 11/25〜12/24");
    EXPECT_EQ(periodTitle({25, S::None, N::Start}, {2026, 12}), "2026年12月分 12/25〜1/24");
    EXPECT_EQ(stepPeriod({2026, 12}, 1), (PeriodName{2027, 1}));
    EXPECT_EQ(stepPeriod({2027, 1}, -13), (PeriodName{2025, 12}));
    EXPECT_EQ(defaultNaming(15), N::Start);
    EXPECT_EQ(defaultNaming(16), N::End);

    const PeriodRange r{{2026, 11, 25}, {2026, 12, 24}};
    struct Case {
        Date today;
        int left;
    } cases[] = {{{2026, 11, 24}, 30}, {{2026, 11, 25}, 30}, {{2026, 12, 1}, 24},
                 {{2026, 12, 24}, 1},  {{2026, 12, 25}, 0},  {{2025, 1, 1}, 30}};
    for (const Case& c : cases)
        EXPECT_EQ(daysLeftInPeriod(r, c.today), c.left) << isoDate(c.today);
}

TEST(Period, SideFileRoundTripsAndADamagedFileIsKept) {
    TempFolder dir;
    EXPECT_FALSE(readPeriodFile(disk, dir.path()).damaged); // no file: the calendar month
    EXPECT_EQ(readPeriodFile(disk, dir.path()).rule, PeriodRule());

    const PeriodRule rule{25, S::After, N::End};
    writePeriodFile(disk, dir.path(), rule);
    EXPECT_EQ(readBytes(dir.file(PeriodFileName)), "ZADUD-PERIOD,1\r\n25,after,end\r\n");
    EXPECT_EQ(readPeriodFile(disk, dir.path()).rule, rule);
    const std::pair<const char*, PeriodRule> valid[] = {
        {"ZADUD-PERIOD,1\r\n9,before,start\r\n\r\n", {9, S::Before, N::Start}},
        {"ZADUD-PERIOD,1\r\n1,none,start\r\n", {1, S::None, N::Start}},
        {"ZADUD-PERIOD,1\r\n19,none,end\r\n", {19, S::None, N::End}},
        {"ZADUD-PERIOD,1\r\n31,after,start", {31, S::After, N::Start}},
    };
    for (const auto& [bytes, want] : valid) {
        writeBytes(dir.file(PeriodFileName), bytes);
        EXPECT_FALSE(readPeriodFile(disk, dir.path()).damaged) << bytes;
        EXPECT_EQ(readPeriodFile(disk, dir.path()).rule, want) << bytes;
    }

    const char* damaged[] = {
        "",
        "ZADUD-PERIOD,1\r\n",
        "ZADUD-PERIOD,2\r\n25,after,end\r\n",
        "ZADUD-PERIOD,1\r\n32,after,end\r\n",
        "ZADUD-PERIOD,1\r\n0,after,end\r\n",
        "ZADUD-PERIOD,1\r\n-5,after,end\r\n",
        "ZADUD-PERIOD,1\r\n2x,after,end\r\n",
        "ZADUD-PERIOD,1\r\n25,later,end\r\n",
        "ZADUD-PERIOD,1\r\n25,after,middle\r\n",
        "ZADUD-PERIOD,1\r\n25,after\r\n",
        "ZADUD-PERIOD,1\r\n25,after,end\r\n26,after,end\r\n",
    };
    for (const char* bytes : damaged) {
        SCOPED_TRACE(bytes);
        writeBytes(dir.file(PeriodFileName), bytes);
        const PeriodFile read = readPeriodFile(disk, dir.path());
        EXPECT_TRUE(read.damaged);
        EXPECT_EQ(read.rule, PeriodRule());
        EXPECT_NE(read.error.find(dir.file(PeriodFileName)), std::string::npos) << read.error;
        EXPECT_EQ(readBytes(dir.file(PeriodFileName)), bytes);
    }

    // A refused save leaves the old file as it was.
    writePeriodFile(disk, dir.path(), rule);
    disk.setFaults(
        [](const std::string&, const std::string& step) { return step == "write" ? ENOSPC : 0; });
    EXPECT_THROW(writePeriodFile(disk, dir.path(), {10, S::None, N::Start}), AppError);
    disk.setFaults(nullptr);
    EXPECT_EQ(readPeriodFile(disk, dir.path()).rule, rule);
}
