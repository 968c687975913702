#pragma once
// The SNTP request/reply cycle: one request at a time, the offset from the four timestamps, the
// clock set when the offset exceeds the threshold. The window forwards its timers and datagrams
// here; what the cycle does reaches the world through SntpHost.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Settings.h"
#include "platform/DateTime.h"

namespace timesync {

constexpr size_t kRequestSize = 48;
constexpr size_t kReplyBuffer = 128;
constexpr int kServerPort = 123;

std::string buildRequest(); // 48 bytes: 0x0B, then zeros

// An NTP timestamp as a local date-time value: seconds since 1900 (with the era rule: a value
// whose top bit is clear belongs to the era that starts in 2036), the fraction, and the zone.
double ntpToLocal(std::uint32_t seconds, std::uint32_t fraction, int timezoneHours);

// ((T2 - T1) + (T3 - T4)) / 2, in days.
double clockOffset(double t1, double t2, double t3, double t4);

// A reply worth reading: from the server asked, port 123, 48 bytes or more, mode 4 (server),
// stratum not 0, a transmit timestamp.
bool plausibleReply(std::string_view datagram, const std::string& fromIp, int fromPort,
                    const std::string& askedIp);

class SntpHost {
public:
    virtual ~SntpHost() = default;
    virtual platform::LocalTime now() = 0;
    // Sends the request to NTPhost; throws AppError when the host cannot be resolved. Returns
    // the address it went to.
    virtual std::string send(const std::string& host, const std::string& datagram) = 0;
    virtual void startInterval(int ms) = 0; // NTPTimer enabled; ms < 0 keeps its interval
    virtual void stopInterval() = 0;
    virtual void startTimeout() = 0;
    virtual void stopTimeout() = 0;
    virtual void setClock(const platform::LocalTime& t) = 0;
    virtual void speak(const std::string& line) = 0;
};

class SntpClient {
public:
    explicit SntpClient(SntpHost& host) : host_(host) {}

    void AdjustTime(const core::Settings& s);
    void DataReceived(std::string_view datagram, const std::string& fromIp, int fromPort,
                      const core::Settings& s);
    void NTPTimeoutTimerTimer();

    bool outstanding() const { return outstanding_; }
    double lastOffset() const { return lastOffset_; }

private:
    SntpHost& host_;
    bool outstanding_ = false;
    double t1_ = 0;
    std::string asked_;
    double lastOffset_ = 0;
};

} // namespace timesync
