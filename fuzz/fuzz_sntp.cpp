// The SNTP reply handler on any datagram: no crash, no read past its end, and a clock setting
// only ever to a sane time.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "timesync/SntpClient.h"

namespace {

// Where the era rule puts any server time: from NTP second 2^31 (1968-01-20 03:14:08 UTC) to
// the end of the second before it a full era on (2104-02-26 09:42:24 UTC).
constexpr std::int64_t kEarliestUs = -61505152LL * 1000000;
constexpr std::int64_t kLatestUs = 4233462144LL * 1000000;

// 2026-12-08 03:00:00 UTC.
constexpr std::int64_t kNowUs = 1796698800LL * 1000000;

class Clock : public platform::UtcClock {
public:
    std::int64_t nowUs() const override { return kNowUs; }
    int zoneOffsetSeconds() const override { return 9 * 3600; }
};

class Service : public platform::TimeService {
public:
    void setUtc(std::int64_t utcUs, std::function<void(const std::string&)>) override {
        // The era rule keeps every server time between 1968-01-20 and 2104-02-26.
        if (utcUs < kEarliestUs || utcUs > kLatestUs) {
            std::abort();
        }
    }
};

class Host : public timesync::SntpHost {
public:
    void lookUp(const std::string&) override {}
    void send(const std::string&, const std::string&) override {}
    void startInterval(int) override {}
    void stopInterval() override {}
    void startTimeout(int) override {}
    void stopTimeout() override {}
    void speak(const std::string&) override {}
    void warn(const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    Host host;
    Clock clock;
    Service service;
    timesync::SntpClient client(host, clock, service);
    core::Settings s;
    client.AdjustTime(s);
    client.Resolved({"127.0.0.1"}, s);
    const std::string d(reinterpret_cast<const char*>(data), size);
    client.DataReceived(d, "127.0.0.1", 123, s);
    return 0;
}
