#pragma once
// The month calendar as plain data: the sizes, the 42 cells of a month with their texts and
// colours, and the paging between months. The window only paints what this says. No Qt.
#include <array>
#include <string>

#include "calendar/Holidays.h"
#include "platform/DateTime.h"

namespace calendar {

// One row of the sizes table; CalSize 1, 2 or 3 (anything else is 2).
struct CalSizeRow {
    int calSize;
    const char* menuCaption;
    int clientWidth;
    int clientHeight;
    int titlePoints;
    int dayPoints;
    int rowHeight;
    int columnWidth;
    int headingLeft;
    std::array<const char*, 7> headings;
};

const CalSizeRow& sizeRow(int calSize);

// Pixels of a font of this many points on the 96 dpi design grid (12 pt is 16 pixels).
int pointsToPixels(int points);

constexpr int kHeadingTop = 2;
constexpr int kHeadingPoints = 9;
int headingLeft(const CalSizeRow& size, int column);
int cellLeft(const CalSizeRow& size, int cell);
int cellTop(const CalSizeRow& size, int cell);
// The title sits on the bottom edge.
int titleTop(const CalSizeRow& size);

enum class CellColor { Text, Red, Blue };

struct DayCell {
    int day = 0;      // 0: a blank cell
    std::string text; // " 1" ... " 9", "10" ... "31", or empty
    CellColor color = CellColor::Text;
    bool today = false;  // drawn on a yellow ground
    std::string holiday; // the holiday's name, or empty
};

struct YearMonth {
    int year = kFirstYear;
    int month = 1;
    friend bool operator==(const YearMonth&, const YearMonth&) = default;
};

// The first and last month shown.
YearMonth firstMonth();
YearMonth lastMonth();

// The month brought within the shown range (a wrong system clock shows the nearest bound).
YearMonth limitMonth(int year, int month);
YearMonth previousMonth(YearMonth m); // stays at firstMonth()
YearMonth nextMonth(YearMonth m);     // stays at lastMonth()
bool hasPreviousMonth(YearMonth m);
bool hasNextMonth(YearMonth m);

struct MonthGrid {
    YearMonth shown;
    int offset = 0; // weekday of day 1, 0 = Sunday
    std::array<DayCell, 42> cells;
    std::string title;   // "2001年12月"
    std::string caption; // "Calender: 2001年12月"
};

// The grid of a month, the month limited as by limitMonth; `today` marks its cell when it lies
// in that month.
MonthGrid drawMonth(int year, int month, const platform::LocalTime& today);

} // namespace calendar
