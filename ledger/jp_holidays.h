#pragma once
// Japanese public holidays by the rules of the holiday law, and the small
// civil-date arithmetic the schedule needs.
//
// Exact from the law's start (1948-07-20) through 2099 for the days the law
// fixes: the fixed days with their moves (4/29, 12/23, 2/23, the Monday
// holidays from 2000 and 2003, the Olympic moves of 2020 and 2021), the
// substitute holiday (from 1973-04-12; from 2007 the next non-holiday), the
// citizens' holiday (a day between two holidays, from 1986) and the one-off
// days of 1959, 1989, 1990, 1993 and 2019. The equinoxes are announced only
// a year ahead; they come from the usual formula, which matches every
// announced date from 1949 and is the accepted forecast to 2099. From 2100
// to 2150 the formula's next form is used (a forecast); after 2150 there is
// no equinox holiday. Later changes of the law are not known here.

#include <cstdint>
#include <string>

struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator==(const Date& o) const {
        return year == o.year && month == o.month && day == o.day;
    }
    bool operator!=(const Date& o) const { return !(*this == o); }
    bool operator<(const Date& o) const {
        if (year != o.year) return year < o.year;
        if (month != o.month) return month < o.month;
        return day < o.day;
    }
    bool operator<=(const Date& o) const { return !(o < *this); }
};

// Days since 1970-01-01 (proleptic Gregorian), and back.
int64_t dayNumber(const Date& d);
Date fromDayNumber(int64_t n);
Date addDays(const Date& d, int64_t days);
// 0 Sunday .. 6 Saturday.
int weekday(const Date& d);
// "2026-09-22".
std::string isoDate(const Date& d);
// "2026-09-22" or "2026-9-2"; false for anything else or a day that does
// not exist.
bool parseIsoDate(const std::string& text, Date& d);

// Day of March (20 or 21) and of September (22 to 24) of the equinox
// holidays; 0 for a year without one (before 1949, after 2150).
int vernalEquinoxDay(int year);
int autumnalEquinoxDay(int year);

// The holiday's name (UTF-8; "振替休日", "国民の休日" for those) or "" for
// an ordinary day.
std::string holidayName(const Date& d);
bool isHoliday(const Date& d);
// Saturday, Sunday or a holiday.
bool isDayOff(const Date& d);
