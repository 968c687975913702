#pragma once
// The system clock as the clock adjustment sees it: UTC, in microseconds since 1970-01-01, and
// the ways to set it. The system clock is UTC; the desktop's zone only makes local time of it,
// so nothing here ever adds a zone.
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

class UtcClock {
public:
    virtual ~UtcClock() = default;
    virtual std::int64_t nowUs() const = 0;
    // How far the system's zone is ahead of UTC right now, in seconds.
    virtual int zoneOffsetSeconds() const = 0;
};

const UtcClock& systemUtcClock();

// Sets the system clock. Logic takes one so that tests can record instead of setting.
class TimeService {
public:
    virtual ~TimeService() = default;
    // Sets the clock to `utcUs`. `done` runs later, never inside this call, with an empty text
    // when the clock was set and otherwise the reason it was not.
    virtual void setUtc(std::int64_t utcUs,
                        std::function<void(const std::string& failure)> done) = 0;
};

// Whether this process may set the clock itself (CAP_SYS_TIME in its effective set).
bool hasClockRight();
// Sets the clock directly; an empty text on success, else the system's reason.
std::string setClockDirectly(std::int64_t utcUs);

} // namespace platform
