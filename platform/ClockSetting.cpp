#include "platform/ClockSetting.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace platform {
namespace {

class SystemUtcClock : public UtcClock {
public:
    std::int64_t nowUs() const override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
    }
    int zoneOffsetSeconds() const override {
        const time_t secs = time(nullptr);
        std::tm tm{};
        localtime_r(&secs, &tm);
        return static_cast<int>(tm.tm_gmtoff);
    }
};

} // namespace

const UtcClock& systemUtcClock() {
    static const SystemUtcClock clock;
    return clock;
}

bool hasClockRight() {
    // The raw call: the capability library is not worth a dependency for one bit.
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    return (data[CAP_TO_INDEX(CAP_SYS_TIME)].effective & CAP_TO_MASK(CAP_SYS_TIME)) != 0;
}

std::string setClockDirectly(std::int64_t utcUs) {
    std::int64_t secs = utcUs / 1000000;
    std::int64_t us = utcUs % 1000000;
    if (us < 0) {
        us += 1000000;
        --secs;
    }
    const timespec ts{static_cast<time_t>(secs), static_cast<long>(us * 1000)};
    if (clock_settime(CLOCK_REALTIME, &ts) != 0) {
        return std::string("clock_settime: ") + std::strerror(errno);
    }
    return {};
}

} // namespace platform
