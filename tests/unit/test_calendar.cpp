// The holiday law of every year the calendar shows, the month grid and the paging between
// months. The expected holidays are restated here from the law's text, day by day with
// std::chrono, independently of the rule table under test.
#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <string>

#include "calendar/Holidays.h"
#include "calendar/MonthGrid.h"

namespace {

using namespace std::chrono;
using calendar::CellColor;
using calendar::YearMonth;

sys_days on(int y, unsigned m, unsigned d) {
    return sys_days{year{y} / month{m} / day{d}};
}

int equinox(int y, double base) {
    const int n = y - 1980;
    return static_cast<int>(base + 0.242194 * n - n / 4);
}

// The holidays of one year as the law of that year has them.
std::map<sys_days, std::string> lawOfYear(int y) {
    std::map<sys_days, std::string> named;
    auto fixed = [&](unsigned m, unsigned d, const char* name) { named[on(y, m, d)] = name; };
    auto monday = [&](unsigned m, unsigned n, const char* name) {
        named[sys_days{year{y} / month{m} / Monday[n]}] = name;
    };
    fixed(1, 1, "元日");
    if (y < 2000) {
        fixed(1, 15, "成人の日");
    } else {
        monday(1, 2, "成人の日");
    }
    fixed(2, 11, "建国記念の日");
    fixed(3, static_cast<unsigned>(equinox(y, 20.8431)), "春分の日");
    fixed(4, 29, y <= 1988 ? "天皇誕生日" : y <= 2006 ? "みどりの日" : "昭和の日");
    fixed(5, 3, "憲法記念日");
    if (y >= 2007) {
        fixed(5, 4, "みどりの日");
    }
    fixed(5, 5, "こどもの日");
    // Marine, Sports and Mountain Day moved for the Olympic Games of 2020 (held in 2021).
    if (y == 2020) {
        fixed(7, 23, "海の日");
        fixed(7, 24, "スポーツの日");
        fixed(8, 10, "山の日");
    } else if (y == 2021) {
        fixed(7, 22, "海の日");
        fixed(7, 23, "スポーツの日");
        fixed(8, 8, "山の日");
    } else {
        if (y >= 1996 && y <= 2002) {
            fixed(7, 20, "海の日");
        } else if (y >= 2003) {
            monday(7, 3, "海の日");
        }
        if (y >= 2016) {
            fixed(8, 11, "山の日");
        }
        if (y < 2000) {
            fixed(10, 10, "体育の日");
        } else {
            monday(10, 2, y <= 2019 ? "体育の日" : "スポーツの日");
        }
    }
    if (y <= 2002) {
        fixed(9, 15, "敬老の日");
    } else {
        monday(9, 3, "敬老の日");
    }
    fixed(9, static_cast<unsigned>(equinox(y, 23.2488)), "秋分の日");
    fixed(11, 3, "文化の日");
    fixed(11, 23, "勤労感謝の日");
    if (y >= 1989 && y <= 2018) {
        fixed(12, 23, "天皇誕生日");
    }
    if (y >= 2020) {
        fixed(2, 23, "天皇誕生日");
    }
    // Days set once by their own laws.
    if (y == 1989) {
        fixed(2, 24, "昭和天皇の大喪の礼");
    }
    if (y == 1990) {
        fixed(11, 12, "即位礼正殿の儀");
    }
    if (y == 1993) {
        fixed(6, 9, "皇太子徳仁親王の結婚の儀");
    }
    if (y == 2019) {
        fixed(5, 1, "天皇の即位の日");
        fixed(10, 22, "即位礼正殿の儀");
    }

    std::map<sys_days, std::string> all = named;
    for (const auto& [d, name] : named) {
        if (weekday{d} != Sunday) {
            continue;
        }
        sys_days next = d + days{1};
        if (y >= 2007) {
            while (named.count(next)) {
                next += days{1};
            }
        }
        if (!named.count(next)) {
            all[next] = "振替休日";
        }
    }
    if (y >= 1986) {
        for (const auto& [d, name] : named) {
            const sys_days between = d + days{1};
            if (named.count(between) || !named.count(between + days{1})) {
                continue;
            }
            // Up to 2006 neither a Sunday nor a substitute day.
            if (y >= 2007 || (weekday{between} != Sunday && !all.count(between))) {
                all.emplace(between, "国民の休日");
            }
        }
    }
    return all;
}

std::string nameOn(sys_days d) {
    const year_month_day ymd{d};
    return calendar::holidayName(static_cast<int>(ymd.year()),
                                 static_cast<int>(unsigned(ymd.month())),
                                 static_cast<int>(unsigned(ymd.day())));
}

// Every day of the year compared with the expectation; returns the differences.
std::string differences(int y, const std::map<sys_days, std::string>& expected) {
    std::string out;
    for (sys_days d = on(y, 1, 1); d <= on(y, 12, 31); d += days{1}) {
        const auto it = expected.find(d);
        const std::string want = it == expected.end() ? "" : it->second;
        const std::string got = nameOn(d);
        if (got != want) {
            const year_month_day ymd{d};
            out += std::to_string(static_cast<int>(ymd.year())) + "-" +
                   std::to_string(unsigned(ymd.month())) + "-" +
                   std::to_string(unsigned(ymd.day())) + ": got '" + got + "', want '" + want +
                   "'\n";
        }
    }
    return out;
}

} // namespace

TEST(Holidays, EveryYearFollowsTheLawOfThatYear) {
    for (int y = calendar::kFirstYear; y <= calendar::kLastYear; ++y) {
        EXPECT_EQ(differences(y, lawOfYear(y)), "") << y;
    }
}

TEST(Holidays, PublishedListsOfSpotYears) {
    struct Listed {
        unsigned month, day;
        const char* name;
    };
    const std::map<int, std::vector<Listed>> published = {
        {1980,
         {{1, 1, "元日"},
          {1, 15, "成人の日"},
          {2, 11, "建国記念の日"},
          {3, 20, "春分の日"},
          {4, 29, "天皇誕生日"},
          {5, 3, "憲法記念日"},
          {5, 5, "こどもの日"},
          {9, 15, "敬老の日"},
          {9, 23, "秋分の日"},
          {10, 10, "体育の日"},
          {11, 3, "文化の日"},
          {11, 23, "勤労感謝の日"},
          {11, 24, "振替休日"}}},
        {1989,
         {{1, 1, "元日"},
          {1, 2, "振替休日"},
          {1, 15, "成人の日"},
          {1, 16, "振替休日"},
          {2, 11, "建国記念の日"},
          {2, 24, "昭和天皇の大喪の礼"},
          {3, 21, "春分の日"},
          {4, 29, "みどりの日"},
          {5, 3, "憲法記念日"},
          {5, 4, "国民の休日"},
          {5, 5, "こどもの日"},
          {9, 15, "敬老の日"},
          {9, 23, "秋分の日"},
          {10, 10, "体育の日"},
          {11, 3, "文化の日"},
          {11, 23, "勤労感謝の日"},
          {12, 23, "天皇誕生日"}}},
        {2001,
         {{1, 1, "元日"},
          {1, 8, "成人の日"},
          {2, 11, "建国記念の日"},
          {2, 12, "振替休日"},
          {3, 20, "春分の日"},
          {4, 29, "みどりの日"},
          {4, 30, "振替休日"},
          {5, 3, "憲法記念日"},
          {5, 4, "国民の休日"},
          {5, 5, "こどもの日"},
          {7, 20, "海の日"},
          {9, 15, "敬老の日"},
          {9, 23, "秋分の日"},
          {9, 24, "振替休日"},
          {10, 8, "体育の日"},
          {11, 3, "文化の日"},
          {11, 23, "勤労感謝の日"},
          {12, 23, "天皇誕生日"},
          {12, 24, "振替休日"}}},
        {2019, {{1, 1, "元日"},
                {1, 14, "成人の日"},
                {2, 11, "建国記念の日"},
                {3, 21, "春分の日"},
                {4, 29, "昭和の日"},
                {4, 30, "国民の休日"},
                {5, 1, "天皇の即位の日"},
                {5, 2, "国民の休日"},
                {5, 3, "憲法記念日"},
                {5, 4, "みどりの日"},
                {5, 5, "こどもの日"},
                {5, 6, "振替休日"},
                {7, 15, "海の日"},
                {8, 11, "山の日"},
                {8, 12, "振替休日"},
                {9, 16, "敬老の日"},
                {9, 23, "秋分の日"},
                {10, 14, "体育の日"},
                {10, 22, "即位礼正殿の儀"},
                {11, 3, "文化の日"},
                {11, 4, "振替休日"},
                {11, 23, "勤労感謝の日"}}},
        {2020,
         {{1, 1, "元日"},
          {1, 13, "成人の日"},
          {2, 11, "建国記念の日"},
          {2, 23, "天皇誕生日"},
          {2, 24, "振替休日"},
          {3, 20, "春分の日"},
          {4, 29, "昭和の日"},
          {5, 3, "憲法記念日"},
          {5, 4, "みどりの日"},
          {5, 5, "こどもの日"},
          {5, 6, "振替休日"},
          {7, 23, "海の日"},
          {7, 24, "スポーツの日"},
          {8, 10, "山の日"},
          {9, 21, "敬老の日"},
          {9, 22, "秋分の日"},
          {11, 3, "文化の日"},
          {11, 23, "勤労感謝の日"}}},
        {2021,
         {{1, 1, "元日"},
          {1, 11, "成人の日"},
          {2, 11, "建国記念の日"},
          {2, 23, "天皇誕生日"},
          {3, 20, "春分の日"},
          {4, 29, "昭和の日"},
          {5, 3, "憲法記念日"},
          {5, 4, "みどりの日"},
          {5, 5, "こどもの日"},
          {7, 22, "海の日"},
          {7, 23, "スポーツの日"},
          {8, 8, "山の日"},
          {8, 9, "振替休日"},
          {9, 20, "敬老の日"},
          {9, 23, "秋分の日"},
          {11, 3, "文化の日"},
          {11, 23, "勤労感謝の日"}}},
        {2026,
         {{1, 1, "元日"},
          {1, 12, "成人の日"},
          {2, 11, "建国記念の日"},
          {2, 23, "天皇誕生日"},
          {3, 20, "春分の日"},
          {4, 29, "昭和の日"},
          {5, 3, "憲法記念日"},
          {5, 4, "みどりの日"},
          {5, 5, "こどもの日"},
          {5, 6, "振替休日"},
          {7, 20, "海の日"},
          {8, 11, "山の日"},
          {9, 21, "敬老の日"},
          {9, 22, "国民の休日"},
          {9, 23, "秋分の日"},
          {10, 12, "スポーツの日"},
          {11, 3, "文化の日"},
          {11, 23, "勤労感謝の日"}}},
    };
    for (const auto& [y, list] : published) {
        std::map<sys_days, std::string> expected;
        for (const Listed& l : list) {
            expected[on(y, l.month, l.day)] = l.name;
        }
        EXPECT_EQ(differences(y, expected), "") << y;
    }
    // Not holidays in 2026, whatever a fixed table says.
    EXPECT_FALSE(calendar::IsHoliday(2026, 9, 15));
    EXPECT_FALSE(calendar::IsHoliday(2026, 12, 23));
}

TEST(Holidays, EachRuleStartsAndEndsInItsYear) {
    struct Case {
        int y, m, d;
        const char* name;
    };
    const Case cases[] = {
        {1999, 1, 15, "成人の日"},
        {2000, 1, 15, ""},
        {2000, 1, 10, "成人の日"},
        {1988, 4, 29, "天皇誕生日"},
        {1989, 4, 29, "みどりの日"},
        {2006, 4, 29, "みどりの日"},
        {2007, 4, 29, "昭和の日"},
        {2006, 5, 4, "国民の休日"},
        {2007, 5, 4, "みどりの日"},
        {1995, 7, 20, ""},
        {1996, 7, 20, "海の日"},
        {2002, 7, 20, "海の日"},
        {2003, 7, 20, ""},
        {2003, 7, 21, "海の日"},
        {2022, 7, 18, "海の日"},
        {2015, 8, 11, ""},
        {2016, 8, 11, "山の日"},
        {2022, 8, 11, "山の日"},
        {2002, 9, 15, "敬老の日"},
        {2002, 9, 16, "振替休日"},
        {2004, 9, 15, ""},
        {2004, 9, 20, "敬老の日"},
        {1999, 10, 10, "体育の日"},
        {1999, 10, 11, "振替休日"},
        {2000, 10, 10, ""},
        {2000, 10, 9, "体育の日"},
        {2019, 10, 14, "体育の日"},
        {2022, 10, 10, "スポーツの日"},
        {2018, 12, 23, "天皇誕生日"},
        {2018, 12, 24, "振替休日"},
        {2019, 12, 23, ""},
        {2019, 2, 23, ""},
        {2020, 2, 23, "天皇誕生日"},
        // Substitute days: the Monday only up to 2006, the next free day from 2007.
        {2006, 1, 2, "振替休日"},
        {2008, 5, 6, "振替休日"},
        {2002, 5, 6, "振替休日"},
        // Citizens' holidays: none before 1986, none on a Sunday up to 2006.
        {1985, 5, 4, ""},
        {1988, 5, 4, "国民の休日"},
        {1997, 5, 4, ""},
        {2009, 9, 22, "国民の休日"},
        {2015, 9, 22, "国民の休日"},
        // The one-off days.
        {1989, 2, 24, "昭和天皇の大喪の礼"},
        {1990, 11, 12, "即位礼正殿の儀"},
        {1993, 6, 9, "皇太子徳仁親王の結婚の儀"},
        {2019, 5, 1, "天皇の即位の日"},
        {2019, 10, 22, "即位礼正殿の儀"},
        // Outside the years of the law, and days that do not exist.
        {1979, 1, 1, ""},
        {2100, 1, 1, ""},
        {2001, 2, 29, ""},
        {2001, 13, 1, ""},
        {2001, 0, 1, ""},
        {2001, 1, 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(calendar::holidayName(c.y, c.m, c.d), c.name) << c.y << "-" << c.m << "-" << c.d;
    }
}

TEST(Holidays, EquinoxFormulasMatchTheirExamples) {
    EXPECT_EQ(calendar::vernalEquinoxDay(2001), 20);
    EXPECT_EQ(calendar::vernalEquinoxDay(2002), 21);
    EXPECT_EQ(calendar::autumnalEquinoxDay(2001), 23);
    EXPECT_EQ(calendar::autumnalEquinoxDay(2012), 22);
    EXPECT_EQ(calendar::vernalEquinoxDay(2024), 20);
    EXPECT_EQ(calendar::autumnalEquinoxDay(2024), 22);
}

namespace {

platform::LocalTime noonOf(int y, int m, int d) {
    platform::LocalTime t;
    t.year = y;
    t.month = m;
    t.day = d;
    t.hour = 12;
    return t;
}

const platform::LocalTime kSomeDay = noonOf(2026, 7, 4);

} // namespace

TEST(MonthGrid, December2001NeedsSixRowsAndRedsItsSubstituteMonday) {
    const calendar::MonthGrid g = calendar::drawMonth(2001, 12, kSomeDay);
    EXPECT_EQ(g.offset, 6);
    for (int i = 0; i < 42; ++i) {
        const bool hasDay = i >= 6 && i <= 36;
        EXPECT_EQ(g.cells[static_cast<size_t>(i)].day, hasDay ? i - 5 : 0) << i;
        EXPECT_EQ(g.cells[static_cast<size_t>(i)].text.empty(), !hasDay) << i;
    }
    EXPECT_EQ(g.cells[6].text, " 1");
    EXPECT_EQ(g.cells[14].text, " 9");
    EXPECT_EQ(g.cells[15].text, "10");
    EXPECT_EQ(g.cells[36].text, "31");
    EXPECT_EQ(g.title, "2001年12月");
    EXPECT_EQ(g.caption, "Calender: 2001年12月");
    EXPECT_EQ(g.cells[6 + 22].color, CellColor::Red); // the 23rd, a Sunday and a holiday
    EXPECT_EQ(g.cells[6 + 23].color, CellColor::Red); // the 24th, its substitute
    EXPECT_EQ(g.cells[6 + 23].holiday, "振替休日");
    EXPECT_EQ(g.cells[6 + 24].color, CellColor::Text); // the 25th
    EXPECT_EQ(g.cells[6 + 28].color, CellColor::Blue); // the 29th, a Saturday
}

TEST(MonthGrid, WeekdayColoursAndHolidays) {
    const calendar::MonthGrid jan = calendar::drawMonth(2002, 1, kSomeDay);
    EXPECT_EQ(jan.offset, 2);
    EXPECT_EQ(jan.cells[2].color, CellColor::Red);      // the 1st
    EXPECT_EQ(jan.cells[2 + 13].color, CellColor::Red); // the 14th, second Monday
    EXPECT_EQ(jan.cells[2 + 6].color, CellColor::Text); // the 7th, first Monday
    EXPECT_EQ(jan.cells[2 + 4].color, CellColor::Blue); // the 5th, a Saturday

    EXPECT_EQ(calendar::drawMonth(2001, 3, kSomeDay).cells[4 + 19].color, CellColor::Red);
    EXPECT_EQ(calendar::drawMonth(2002, 3, kSomeDay).cells[5 + 20].color, CellColor::Red);
    EXPECT_EQ(calendar::drawMonth(2002, 3, kSomeDay).cells[5 + 19].color, CellColor::Text);

    const calendar::MonthGrid sep = calendar::drawMonth(2001, 9, kSomeDay);
    EXPECT_EQ(sep.offset, 6);
    EXPECT_EQ(sep.cells[6 + 14].color, CellColor::Red) << "a Saturday holiday is red";
    EXPECT_EQ(sep.cells[6 + 22].color, CellColor::Red);
    EXPECT_EQ(sep.cells[6 + 23].color, CellColor::Red);
    EXPECT_EQ(sep.cells[6 + 7].color, CellColor::Blue); // the 8th, a plain Saturday
}

TEST(MonthGrid, FebruaryHasTheDaysOfItsYear) {
    const calendar::MonthGrid leap = calendar::drawMonth(2000, 2, kSomeDay);
    const calendar::MonthGrid common = calendar::drawMonth(2001, 2, kSomeDay);
    EXPECT_EQ(leap.cells[static_cast<size_t>(leap.offset + 28)].text, "29");
    EXPECT_EQ(leap.cells[static_cast<size_t>(leap.offset + 29)].text, "");
    EXPECT_EQ(common.cells[static_cast<size_t>(common.offset + 27)].text, "28");
    for (size_t i = static_cast<size_t>(common.offset + 28); i < 42; ++i) {
        EXPECT_TRUE(common.cells[i].text.empty()) << i;
    }
}

TEST(MonthGrid, TodayIsYellowOnlyInItsOwnMonth) {
    const platform::LocalTime today = noonOf(2026, 12, 24);
    const calendar::MonthGrid dec = calendar::drawMonth(2026, 12, today);
    int yellow = 0;
    for (size_t i = 0; i < 42; ++i) {
        yellow += dec.cells[i].today ? 1 : 0;
    }
    EXPECT_EQ(yellow, 1);
    EXPECT_TRUE(dec.cells[static_cast<size_t>(dec.offset + 23)].today);
    for (const auto& other :
         {calendar::drawMonth(2026, 11, today), calendar::drawMonth(2025, 12, today),
          calendar::drawMonth(2027, 12, today)}) {
        for (const calendar::DayCell& c : other.cells) {
            EXPECT_FALSE(c.today);
        }
    }
}

TEST(MonthGrid, SizesAndGeometry) {
    EXPECT_EQ(calendar::sizeRow(1).clientWidth, 131);
    EXPECT_EQ(calendar::sizeRow(1).clientHeight, 88);
    EXPECT_STREQ(calendar::sizeRow(1).headings[0], "S");
    EXPECT_EQ(calendar::sizeRow(3).clientWidth, 348);
    EXPECT_EQ(calendar::sizeRow(3).clientHeight, 240);
    for (int other : {0, 2, 4, -1, 99}) {
        EXPECT_EQ(calendar::sizeRow(other).calSize, 2) << other;
    }
    const calendar::CalSizeRow& normal = calendar::sizeRow(2);
    EXPECT_EQ(calendar::cellLeft(normal, 41), 196);
    EXPECT_EQ(calendar::cellTop(normal, 41), 134);
    EXPECT_EQ(calendar::titleTop(normal), 144);
    EXPECT_EQ(calendar::headingLeft(normal, 6), 10 + 6 * 31);
}

TEST(MonthGrid, PagingStopsAtTheYearsOfTheLaw) {
    EXPECT_EQ(calendar::nextMonth({2001, 12}), (YearMonth{2002, 1}));
    EXPECT_EQ(calendar::previousMonth({2002, 1}), (YearMonth{2001, 12}));
    EXPECT_EQ(calendar::nextMonth({2026, 6}), (YearMonth{2026, 7}));

    EXPECT_FALSE(calendar::hasPreviousMonth({1980, 1}));
    EXPECT_TRUE(calendar::hasNextMonth({1980, 1}));
    EXPECT_EQ(calendar::previousMonth({1980, 1}), (YearMonth{1980, 1}));
    EXPECT_FALSE(calendar::hasNextMonth({2099, 12}));
    EXPECT_TRUE(calendar::hasPreviousMonth({2099, 12}));
    EXPECT_EQ(calendar::nextMonth({2099, 12}), (YearMonth{2099, 12}));

    // A clock far off shows the nearest bound, title and grid alike.
    EXPECT_EQ(calendar::limitMonth(1970, 6), (YearMonth{1980, 1}));
    EXPECT_EQ(calendar::limitMonth(2150, 6), (YearMonth{2099, 12}));
    EXPECT_EQ(calendar::limitMonth(2026, 13), (YearMonth{2026, 12}));
    const calendar::MonthGrid early = calendar::drawMonth(1970, 6, noonOf(1970, 6, 1));
    EXPECT_EQ(early.title, "1980年1月");
    EXPECT_EQ(early.offset, 2); // 1980-01-01 was a Tuesday
    for (const calendar::DayCell& c : early.cells) {
        EXPECT_FALSE(c.today);
    }
}
