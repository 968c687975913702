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
// The wait for a reply when NTPTimeout gives none that could ever be met: the setting's own
// default.
constexpr int kDefaultTimeoutMs = 5000;

std::string buildRequest(); // 48 bytes: 0x0B, then zeros

// An NTP timestamp as a local date-time value: seconds since 1900 (with the era rule: a value
// whose top bit is clear belongs to the era that starts in 2036), the fraction, and the zone.
double ntpToLocal(std::uint32_t seconds, std::uint32_t fraction, int timezoneHours);

// How long to wait for a reply: NTPTimeout, or the default when it is 0 or less (a time-out that
// fires at once would report every request as lost).
int replyTimeoutMs(int NTPTimeout);

// A sender's IPv4 address (host order) as the reply handler is given it: "%d.%d.%d.%d".
std::string dottedQuad(std::uint32_t address);

// ((T2 - T1) + (T3 - T4)) / 2, in days.
double clockOffset(double t1, double t2, double t3, double t4);

// A reply worth reading: from the server asked, port 123, 48 bytes or more, mode 4 (server), a
// synchronised server (leap indicator not 3, stratum 1 to 15), a transmit timestamp.
bool plausibleReply(std::string_view datagram, const std::string& fromIp, int fromPort,
                    const std::string& askedIp);

class SntpHost {
public:
    virtual ~SntpHost() = default;
    virtual platform::LocalTime now() = 0;
    // The address of NTPhost as dotted-decimal text; throws AppError when it cannot be resolved.
    // A name lookup may take seconds.
    virtual std::string resolve(const std::string& host) = 0;
    // Sends one datagram to the address, port 123.
    virtual void send(const std::string& address, const std::string& datagram) = 0;
    virtual void startInterval(int ms) = 0; // NTPTimer enabled; ms < 0 keeps its interval
    virtual void stopInterval() = 0;
    virtual void startTimeout(int ms) = 0;
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
