#include "platform/DateTime.h"

#include <cmath>
#include <ctime>

namespace platform {
namespace {

// Days from 1970-01-01 for a civil date (H. Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr std::int64_t kEpochFromUnix = -25569; // 1899-12-30 relative to 1970-01-01

} // namespace

std::int64_t daysFromEpoch(int year, int month, int day) {
    return daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
           kEpochFromUnix;
}

LocalTime dateFromDays(std::int64_t days) {
    std::int64_t z = days + kEpochFromUnix + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    LocalTime t;
    t.year = static_cast<int>(y + (m <= 2));
    t.month = static_cast<int>(m);
    t.day = static_cast<int>(d);
    return t;
}

double encodeDateTime(const LocalTime& t) {
    const double ms = ((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0 + t.millisecond;
    return static_cast<double>(daysFromEpoch(t.year, t.month, t.day)) + ms / 86400000.0;
}

LocalTime decodeDateTime(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 1e8) {
        return LocalTime{};
    }
    auto totalMs = static_cast<std::int64_t>(std::llround(value * 86400000.0));
    std::int64_t days = totalMs / 86400000;
    std::int64_t ms = totalMs % 86400000;
    if (ms < 0) {
        ms += 86400000;
        --days;
    }
    LocalTime t = dateFromDays(days);
    t.hour = static_cast<int>(ms / 3600000);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

int dayOfWeek(int year, int month, int day) {
    // 1899-12-30 was a Saturday.
    std::int64_t d = (daysFromEpoch(year, month, day) + 6) % 7;
    return static_cast<int>(d < 0 ? d + 7 : d);
}

LocalTime SystemClock::now() const {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    time_t secs = ts.tv_sec;
    localtime_r(&secs, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec; // a leap second shows as :59
    t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
    return t;
}

const Clock& systemClock() {
    static const SystemClock clock;
    return clock;
}

} // namespace platform
