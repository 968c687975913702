#pragma once
// Local date-time values: days since 1899-12-30 00:00 local time as a double, the fraction being
// the time of day. The settings and log formats are built on this representation.
#include <cstdint>

namespace platform {

struct LocalTime {
    int year = 1899;
    int month = 12; // 1..12
    int day = 30;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Whole days from 1899-12-30 to the given civil date (proleptic Gregorian).
std::int64_t daysFromEpoch(int year, int month, int day);
LocalTime dateFromDays(std::int64_t days);

double encodeDateTime(const LocalTime& t);
// Rounds to the millisecond, as the clock is read to the millisecond.
LocalTime decodeDateTime(double value);

// Day of week, 0 = Sunday.
int dayOfWeek(int year, int month, int day);

// The wall clock. Logic takes a Clock so that tests can drive it with a fake one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
};

// The system's local time, read to the millisecond.
class SystemClock : public Clock {
public:
    LocalTime now() const override;
};

const Clock& systemClock();

} // namespace platform
