#include "calendar/MonthGrid.h"

#include <algorithm>

namespace calendar {
namespace {

constexpr CalSizeRow kSizes[] = {
    {1, "小さい(9pt)", 131, 88, 8, 9, 12, 17, 13, {"S", "M", "T", "W", "T", "F", "S"}},
    {2,
     "ふつう(16pt)",
     232,
     160,
     12,
     16,
     24,
     31,
     10,
     {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}},
    {3,
     "大きい(24pt)",
     348,
     240,
     16,
     24,
     36,
     47,
     16,
     {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}},
};

constexpr int kCellLeft = 10;
constexpr int kCellTop = 14;

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

} // namespace

const CalSizeRow& sizeRow(int calSize) {
    if (calSize == 1) {
        return kSizes[0];
    }
    if (calSize == 3) {
        return kSizes[2];
    }
    return kSizes[1];
}

int pointsToPixels(int points) {
    return (points * 96 + 36) / 72;
}

int headingLeft(const CalSizeRow& size, int column) {
    return size.headingLeft + column * size.columnWidth;
}

int cellLeft(const CalSizeRow& size, int cell) {
    return kCellLeft + (cell % 7) * size.columnWidth;
}

int cellTop(const CalSizeRow& size, int cell) {
    return kCellTop + (cell / 7) * size.rowHeight;
}

int titleTop(const CalSizeRow& size) {
    return size.clientHeight - pointsToPixels(size.titlePoints);
}

YearMonth firstMonth() {
    return YearMonth{kFirstYear, 1};
}

YearMonth lastMonth() {
    return YearMonth{kLastYear, 12};
}

YearMonth limitMonth(int year, int month) {
    if (year < kFirstYear) {
        return firstMonth();
    }
    if (year > kLastYear) {
        return lastMonth();
    }
    return YearMonth{year, std::clamp(month, 1, 12)};
}

bool hasPreviousMonth(YearMonth m) {
    return m.year > kFirstYear || (m.year == kFirstYear && m.month > 1);
}

bool hasNextMonth(YearMonth m) {
    return m.year < kLastYear || (m.year == kLastYear && m.month < 12);
}

YearMonth previousMonth(YearMonth m) {
    m = limitMonth(m.year, m.month);
    if (!hasPreviousMonth(m)) {
        return m;
    }
    return m.month == 1 ? YearMonth{m.year - 1, 12} : YearMonth{m.year, m.month - 1};
}

YearMonth nextMonth(YearMonth m) {
    m = limitMonth(m.year, m.month);
    if (!hasNextMonth(m)) {
        return m;
    }
    return m.month == 12 ? YearMonth{m.year + 1, 1} : YearMonth{m.year, m.month + 1};
}

MonthGrid drawMonth(int year, int month, const platform::LocalTime& today) {
    MonthGrid g;
    g.shown = limitMonth(year, month);
    const int y = g.shown.year;
    const int m = g.shown.month;
    g.offset = platform::dayOfWeek(y, m, 1);
    const int last = daysInMonth(y, m);
    for (int d = 1; d <= last; ++d) {
        DayCell& c = g.cells[static_cast<size_t>(g.offset + d - 1)];
        const int column = (g.offset + d - 1) % 7;
        c.day = d;
        c.text = (d < 10 ? " " : "") + std::to_string(d);
        c.holiday = holidayName(y, m, d);
        if (column == 0 || !c.holiday.empty()) {
            c.color = CellColor::Red; // a holiday is red whatever its weekday
        } else if (column == 6) {
            c.color = CellColor::Blue;
        }
        c.today = today.year == y && today.month == m && today.day == d;
    }
    g.title = std::to_string(y) + "年" + std::to_string(m) + "月";
    g.caption = "Calender: " + g.title;
    return g;
}

} // namespace calendar
