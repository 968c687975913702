#pragma once
// The fixed Japanese regional formats: short date yyyy/MM/dd, long time H:mm:ss.
#include <optional>
#include <string>
#include <string_view>

#include "platform/DateTime.h"

namespace platform {

std::string shortDate(const LocalTime& t);
std::string longTime(int hour, int minute, int second);

// Short date, a blank, long time; the blank and the time are left out at exactly 0:00:00.
std::string dateTimeText(const LocalTime& t);

// A time-of-day value (fraction of a day) in the long time format.
std::string timeText(double value);

// Parses H:mm[:ss] (one or two digits each, blanks around allowed) into a fraction of a day.
std::optional<double> parseTime(std::string_view text);

} // namespace platform
