#pragma once
// Japanese national holidays by the law in force in each year. No Qt.
//
// The holidays are a table of rules, each with the first and last year it was in force, so that a
// change of the law is a new row or a changed year. Substitute and citizens' holidays follow from
// the named holidays by the rules of their own period.
#include <string>

namespace calendar {

// The years the calendar knows; the equinox formulas hold only for these.
constexpr int kFirstYear = 1980;
constexpr int kLastYear = 2099;

// The holiday's name ("元日", "振替休日", "国民の休日", ...), or empty when the date is no holiday
// or lies outside kFirstYear..kLastYear.
std::string holidayName(int year, int month, int day);

inline bool IsHoliday(int year, int month, int day) {
    return !holidayName(year, month, day).empty();
}

// The day of the vernal and autumnal equinox in March and September of the year.
int vernalEquinoxDay(int year);
int autumnalEquinoxDay(int year);

} // namespace calendar
