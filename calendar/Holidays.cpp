#include "calendar/Holidays.h"

#include <cmath>
#include <cstdint>

#include "platform/DateTime.h"

namespace calendar {
namespace {

constexpr int kInForce = kLastYear; // no last year yet

enum class Kind {
    Day,      // a fixed day of the month
    Monday,   // the n-th Monday of the month
    Vernal,   // the vernal equinox day
    Autumnal, // the autumnal equinox day
};

struct NamedRule {
    int first;
    int last;
    int month;
    Kind kind;
    int n; // the day, or which Monday
    const char* name;
};

// The national holidays themselves, and the days set once by their own laws.
constexpr NamedRule kNamed[] = {
    {1948, kInForce, 1, Kind::Day, 1, "元日"},
    {1948, 1999, 1, Kind::Day, 15, "成人の日"},
    {2000, kInForce, 1, Kind::Monday, 2, "成人の日"},
    {1967, kInForce, 2, Kind::Day, 11, "建国記念の日"},
    {2020, kInForce, 2, Kind::Day, 23, "天皇誕生日"},
    {1989, 1989, 2, Kind::Day, 24, "昭和天皇の大喪の礼"},
    {1948, kInForce, 3, Kind::Vernal, 0, "春分の日"},
    {1948, 1988, 4, Kind::Day, 29, "天皇誕生日"},
    {1989, 2006, 4, Kind::Day, 29, "みどりの日"},
    {2007, kInForce, 4, Kind::Day, 29, "昭和の日"},
    {1948, kInForce, 5, Kind::Day, 3, "憲法記念日"},
    {2007, kInForce, 5, Kind::Day, 4, "みどりの日"},
    {1948, kInForce, 5, Kind::Day, 5, "こどもの日"},
    {2019, 2019, 5, Kind::Day, 1, "天皇の即位の日"},
    {1993, 1993, 6, Kind::Day, 9, "皇太子徳仁親王の結婚の儀"},
    {1996, 2002, 7, Kind::Day, 20, "海の日"},
    {2003, 2019, 7, Kind::Monday, 3, "海の日"},
    {2020, 2020, 7, Kind::Day, 23, "海の日"}, // moved for the Olympic Games
    {2020, 2020, 7, Kind::Day, 24, "スポーツの日"},
    {2021, 2021, 7, Kind::Day, 22, "海の日"},
    {2021, 2021, 7, Kind::Day, 23, "スポーツの日"},
    {2022, kInForce, 7, Kind::Monday, 3, "海の日"},
    {2016, 2019, 8, Kind::Day, 11, "山の日"},
    {2020, 2020, 8, Kind::Day, 10, "山の日"},
    {2021, 2021, 8, Kind::Day, 8, "山の日"},
    {2022, kInForce, 8, Kind::Day, 11, "山の日"},
    {1966, 2002, 9, Kind::Day, 15, "敬老の日"},
    {2003, kInForce, 9, Kind::Monday, 3, "敬老の日"},
    {1948, kInForce, 9, Kind::Autumnal, 0, "秋分の日"},
    {1966, 1999, 10, Kind::Day, 10, "体育の日"},
    {2000, 2019, 10, Kind::Monday, 2, "体育の日"},
    {2022, kInForce, 10, Kind::Monday, 2, "スポーツの日"},
    {2019, 2019, 10, Kind::Day, 22, "即位礼正殿の儀"},
    {1948, kInForce, 11, Kind::Day, 3, "文化の日"},
    {1990, 1990, 11, Kind::Day, 12, "即位礼正殿の儀"},
    {1948, kInForce, 11, Kind::Day, 23, "勤労感謝の日"},
    {1989, 2018, 12, Kind::Day, 23, "天皇誕生日"},
};

enum class Derived {
    SubstituteMonday,   // the Monday after a Sunday holiday
    SubstituteNextFree, // the first day after a Sunday holiday that is no holiday itself
    CitizensWeekday,    // a day between two holidays, unless a Sunday
    Citizens,           // a day between two holidays
};

struct DerivedRule {
    int first;
    int last;
    Derived kind;
    const char* name;
};

// Days off that follow from the holidays around them.
constexpr DerivedRule kDerived[] = {
    {1973, 2006, Derived::SubstituteMonday, "振替休日"},
    {2007, kInForce, Derived::SubstituteNextFree, "振替休日"},
    {1986, 2006, Derived::CitizensWeekday, "国民の休日"}, // in force from 1985-12-27
    {2007, kInForce, Derived::Citizens, "国民の休日"},
};

constexpr int kSunday = 0;
constexpr int kMonday = 1;

struct Day {
    int year;
    int month;
    int day;
};

Day fromSerial(std::int64_t days) {
    const platform::LocalTime t = platform::dateFromDays(days);
    return Day{t.year, t.month, t.day};
}

int weekday(std::int64_t days) {
    const Day d = fromSerial(days);
    return platform::dayOfWeek(d.year, d.month, d.day);
}

bool inRange(int year) {
    return year >= kFirstYear && year <= kLastYear;
}

int equinoxDay(int year, double base) {
    // The formulas hold for 1980-2099; their values stay clear of whole numbers there, so
    // double precision gives the exact day.
    const int n = year - 1980;
    return static_cast<int>(std::floor(base + 0.242194 * n)) - n / 4;
}

bool matches(const NamedRule& r, const Day& d) {
    if (d.year < r.first || d.year > r.last || d.month != r.month) {
        return false;
    }
    switch (r.kind) {
    case Kind::Day:
        return d.day == r.n;
    case Kind::Monday:
        return d.day > 7 * (r.n - 1) && d.day <= 7 * r.n &&
               platform::dayOfWeek(d.year, d.month, d.day) == kMonday;
    case Kind::Vernal:
        return d.day == vernalEquinoxDay(d.year);
    case Kind::Autumnal:
        return d.day == autumnalEquinoxDay(d.year);
    }
    return false;
}

const char* namedHoliday(std::int64_t days) {
    const Day d = fromSerial(days);
    if (!inRange(d.year)) {
        return nullptr;
    }
    for (const NamedRule& r : kNamed) {
        if (matches(r, d)) {
            return r.name;
        }
    }
    return nullptr;
}

bool isSubstitute(std::int64_t days, Derived kind) {
    if (kind == Derived::SubstituteMonday) {
        return weekday(days) == kMonday && namedHoliday(days - 1) != nullptr;
    }
    // Back over the run of holidays before this day to a Sunday among them.
    for (std::int64_t d = days - 1; namedHoliday(d) != nullptr; --d) {
        if (weekday(d) == kSunday) {
            return true;
        }
    }
    return false;
}

bool isCitizens(std::int64_t days, Derived kind) {
    if (namedHoliday(days - 1) == nullptr || namedHoliday(days + 1) == nullptr) {
        return false;
    }
    // A substitute holiday on such a day wins by coming first in kDerived.
    return kind != Derived::CitizensWeekday || weekday(days) != kSunday;
}

} // namespace

int vernalEquinoxDay(int year) {
    return equinoxDay(year, 20.8431);
}

int autumnalEquinoxDay(int year) {
    return equinoxDay(year, 23.2488);
}

std::string holidayName(int year, int month, int day) {
    if (!inRange(year) || month < 1 || month > 12 || day < 1 || day > 31) {
        return {};
    }
    const std::int64_t days = platform::daysFromEpoch(year, month, day);
    if (fromSerial(days).month != month) {
        return {}; // no such day in this month
    }
    if (const char* name = namedHoliday(days)) {
        return name;
    }
    for (const DerivedRule& r : kDerived) {
        if (year < r.first || year > r.last) {
            continue;
        }
        const bool hit =
            r.kind == Derived::SubstituteMonday || r.kind == Derived::SubstituteNextFree
                ? isSubstitute(days, r.kind)
                : isCitizens(days, r.kind);
        if (hit) {
            return r.name;
        }
    }
    return {};
}

} // namespace calendar
