#include "ledger/jp_holidays.h"

#include <gtest/gtest.h>

TEST(JpHolidays, EquinoxesMatchThePublishedDates) {
    // year, vernal (March), autumnal (September), as announced.
    const int published[][3] = {{1949, 21, 23}, {1976, 20, 23}, {1978, 21, 23}, {1979, 21, 24},
                                {1980, 20, 23}, {2012, 20, 22}, {2016, 20, 22}, {2023, 21, 23},
                                {2024, 20, 22}, {2025, 20, 23}, {2026, 20, 23}, {2027, 21, 23}};
    for (const auto& p : published) {
        EXPECT_EQ(vernalEquinoxDay(p[0]), p[1]) << p[0];
        EXPECT_EQ(autumnalEquinoxDay(p[0]), p[2]) << p[0];
        EXPECT_TRUE(isHoliday({p[0], 3, p[1]}));
        EXPECT_TRUE(isHoliday({p[0], 9, p[2]}));
    }
    EXPECT_EQ(vernalEquinoxDay(1948), 0);
}

TEST(JpHolidays, DaysOfTheLaw) {
    struct Case {
        Date day;
        const char* name; // "" for an ordinary day
    } cases[] = {
        {{2026, 1, 12}, "成人の日"},
        {{1999, 1, 15}, "成人の日"},
        {{2000, 1, 15}, ""},
        {{2019, 12, 23}, ""},
        {{2018, 12, 23}, "天皇誕生日"},
        {{2020, 2, 23}, "天皇誕生日"},
        {{2020, 2, 24}, "振替休日"},
        {{1973, 4, 30}, "振替休日"},
        {{1973, 2, 12}, ""},
        {{2019, 5, 6}, "振替休日"},
        {{2020, 5, 6}, "振替休日"},
        {{2008, 5, 6}, "振替休日"},
        {{2006, 5, 4}, "国民の休日"},
        {{2007, 5, 4}, "みどりの日"},
        {{2019, 4, 30}, "国民の休日"},
        {{2019, 5, 1}, "即位の日"},
        {{2019, 5, 2}, "国民の休日"},
        {{2019, 10, 22}, "即位礼正殿の儀"},
        {{2009, 9, 22}, "国民の休日"},
        {{2015, 9, 22}, "国民の休日"},
        {{2026, 9, 22}, "国民の休日"},
        {{2026, 9, 21}, "敬老の日"},
        {{2002, 9, 15}, "敬老の日"},
        {{1996, 7, 20}, "海の日"},
        {{2002, 7, 20}, "海の日"},
        {{2020, 7, 23}, "海の日"},
        {{2020, 7, 24}, "スポーツの日"},
        {{2020, 8, 10}, "山の日"},
        {{2020, 10, 12}, ""},
        {{2021, 7, 22}, "海の日"},
        {{2021, 7, 23}, "スポーツの日"},
        {{2021, 8, 8}, "山の日"},
        {{2021, 8, 9}, "振替休日"},
        {{2021, 8, 11}, ""},
        {{2022, 7, 18}, "海の日"},
        {{2015, 8, 11}, ""},
        {{2016, 8, 11}, "山の日"},
        {{2021, 10, 11}, ""},
        {{1989, 2, 24}, "昭和天皇の大喪の礼"},
        {{1988, 4, 29}, "天皇誕生日"},
        {{2007, 4, 29}, "昭和の日"},
        {{1948, 5, 5}, ""},
        {{1986, 5, 4}, ""},
        {{1988, 5, 4}, "国民の休日"},
        {{1948, 11, 3}, "文化の日"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(holidayName(c.day), c.name) << isoDate(c.day);
}

TEST(JpHolidays, CivilDates) {
    EXPECT_EQ(weekday({1970, 1, 1}), 4);
    EXPECT_EQ(weekday({2026, 12, 8}), 2);
    EXPECT_EQ(addDays({2024, 2, 28}, 1), (Date{2024, 2, 29}));
    EXPECT_EQ(addDays({2100, 2, 28}, 1), (Date{2100, 3, 1}));
    EXPECT_EQ(addDays({1999, 12, 31}, -366), (Date{1998, 12, 30}));
    Date d;
    EXPECT_TRUE(parseIsoDate("2024-2-29", d));
    EXPECT_EQ(isoDate(d), "2024-02-29");
    EXPECT_FALSE(parseIsoDate("2023-02-29", d));
    EXPECT_FALSE(parseIsoDate("2023-13-01", d));
    EXPECT_TRUE(isDayOff({2026, 12, 12}));
    EXPECT_FALSE(isDayOff({2026, 12, 8}));
}
