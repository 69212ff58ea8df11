#include "ledger/jp_holidays.h"

#include "ledger/month_table.h"

#include <cstdio>
#include <regex>

int64_t dayNumber(const Date& d) {
    // Days from civil, counting years from March so the leap day ends a year.
    const int64_t y = d.year - (d.month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (d.month + (d.month > 2 ? -3 : 9)) + 2) / 5 + d.day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Date fromDayNumber(int64_t n) {
    n += 719468;
    const int64_t era = (n >= 0 ? n : n - 146096) / 146097;
    const int64_t doe = n - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    Date d;
    d.day = int(doy - (153 * mp + 2) / 5 + 1);
    d.month = int(mp < 10 ? mp + 3 : mp - 9);
    d.year = int(yoe + era * 400 + (d.month <= 2 ? 1 : 0));
    return d;
}

Date addDays(const Date& d, int64_t days) {
    return fromDayNumber(dayNumber(d) + days);
}

int weekday(const Date& d) {
    const int64_t n = dayNumber(d) + 4; // 1970-01-01 was a Thursday
    return int(((n % 7) + 7) % 7);
}

std::string isoDate(const Date& d) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

bool parseIsoDate(const std::string& text, Date& d) {
    static const std::regex shape("([0-9]{4})-([0-9]{1,2})-([0-9]{1,2})");
    std::smatch m;
    if (!std::regex_match(text, m, shape)) return false;
    const Date parsed{std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3])};
    if (parsed.year < 1 || parsed.month < 1 || parsed.month > 12 || parsed.day < 1 ||
        parsed.day > daysInMonth(parsed.year, parsed.month))
        return false;
    d = parsed;
    return true;
}

namespace {

// The usual formula: the constant is the equinox's day in 1980, the year's
// length pulls it later, and each leap day pulls it back. The quotient
// truncates towards zero, as the published tables for the years before
// 1980 require.
int equinox(int year, double before1980, double to2099, double to2150) {
    if (year < 1949 || year > 2150) return 0;
    const double base = year < 1980 ? before1980 : year <= 2099 ? to2099 : to2150;
    const int leapShift = year < 1980 ? (year - 1983) / 4 : (year - 1980) / 4;
    return int(base + 0.242194 * (year - 1980) - leapShift);
}

// The day of the n-th given weekday of a month.
int nthWeekday(int year, int month, int n, int wd) {
    const int first = weekday({year, month, 1});
    return 1 + (wd - first + 7) % 7 + 7 * (n - 1);
}

// The holidays the law names itself, without the substitute and the
// citizens' holidays that follow from them.
const char* namedHoliday(const Date& d) {
    const int y = d.year, m = d.month, day = d.day;
    if (dayNumber(d) < dayNumber({1948, 7, 20})) return nullptr;
    switch (m) {
    case 1:
        if (day == 1) return "元日";
        if (y <= 1999 ? day == 15 : day == nthWeekday(y, 1, 2, 1)) return "成人の日";
        break;
    case 2:
        if (day == 11 && y >= 1967) return "建国記念の日";
        if (day == 23 && y >= 2020) return "天皇誕生日";
        if (y == 1989 && day == 24) return "昭和天皇の大喪の礼";
        break;
    case 3:
        if (day == vernalEquinoxDay(y)) return "春分の日";
        break;
    case 4:
        if (day == 29) return y <= 1988 ? "天皇誕生日" : y <= 2006 ? "みどりの日" : "昭和の日";
        if (y == 1959 && day == 10) return "結婚の儀";
        break;
    case 5:
        if (day == 3) return "憲法記念日";
        if (day == 4 && y >= 2007) return "みどりの日";
        if (day == 5) return "こどもの日";
        if (y == 2019 && day == 1) return "即位の日";
        break;
    case 6:
        if (y == 1993 && day == 9) return "結婚の儀";
        break;
    case 7:
        if (y == 2020) return day == 23 ? "海の日" : day == 24 ? "スポーツの日" : nullptr;
        if (y == 2021) return day == 22 ? "海の日" : day == 23 ? "スポーツの日" : nullptr;
        if (y >= 1996 && y <= 2002 && day == 20) return "海の日";
        if (y >= 2003 && day == nthWeekday(y, 7, 3, 1)) return "海の日";
        break;
    case 8:
        if (y == 2020) return day == 10 ? "山の日" : nullptr;
        if (y == 2021) return day == 8 ? "山の日" : nullptr;
        if (y >= 2016 && day == 11) return "山の日";
        break;
    case 9:
        if (y >= 1966 && (y <= 2002 ? day == 15 : day == nthWeekday(y, 9, 3, 1))) return "敬老の日";
        if (day == autumnalEquinoxDay(y)) return "秋分の日";
        break;
    case 10:
        if (y >= 1966 && y <= 1999 && day == 10) return "体育の日";
        if (y >= 2000 && y != 2020 && y != 2021 && day == nthWeekday(y, 10, 2, 1))
            return y <= 2019 ? "体育の日" : "スポーツの日";
        if (y == 2019 && day == 22) return "即位礼正殿の儀";
        break;
    case 11:
        if (day == 3) return "文化の日";
        if (day == 23) return "勤労感謝の日";
        if (y == 1990 && day == 12) return "即位礼正殿の儀";
        break;
    case 12:
        if (day == 23 && y >= 1989 && y <= 2018) return "天皇誕生日";
        break;
    }
    return nullptr;
}

bool isSubstitute(const Date& d) {
    if (dayNumber(d) < dayNumber({1973, 4, 12}) || namedHoliday(d)) return false;
    // Until 2006 only the Monday after a Sunday holiday; from 2007 the first
    // day after it that is not a holiday itself.
    Date back = addDays(d, -1);
    if (d.year <= 2006) return weekday(back) == 0 && namedHoliday(back);
    while (namedHoliday(back)) {
        if (weekday(back) == 0) return true;
        back = addDays(back, -1);
    }
    return false;
}

bool isCitizens(const Date& d) {
    if (dayNumber(d) < dayNumber({1985, 12, 27}) || namedHoliday(d)) return false;
    if (weekday(d) == 0) return false; // a Sunday is a day off already (and so the law)
    return namedHoliday(addDays(d, -1)) && namedHoliday(addDays(d, 1));
}

} // namespace

int vernalEquinoxDay(int year) {
    return equinox(year, 20.8357, 20.8431, 21.8510);
}
int autumnalEquinoxDay(int year) {
    return equinox(year, 23.2588, 23.2488, 24.2488);
}

std::string holidayName(const Date& d) {
    if (const char* name = namedHoliday(d)) return name;
    if (isSubstitute(d)) return "振替休日";
    if (isCitizens(d)) return "国民の休日";
    return {};
}

bool isHoliday(const Date& d) {
    return !holidayName(d).empty();
}

bool isDayOff(const Date& d) {
    const int wd = weekday(d);
    return wd == 0 || wd == 6 || isHoliday(d);
}
