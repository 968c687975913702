#pragma once
// The SNTP request/reply cycle: one request at a time, the offset from the four timestamps, the
// clock set when the offset exceeds the threshold. Times are compared and set in UTC, as the
// system clock keeps them: no zone takes part. The window forwards its timers, lookups and
// datagrams here; what the cycle does reaches the world through SntpHost, the UTC clock and the
// time service.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Settings.h"
#include "platform/ClockSetting.h"

namespace timesync {

constexpr size_t kRequestSize = 48;
constexpr size_t kReplyBuffer = 128;
constexpr int kServerPort = 123;
// The wait for a reply when NTPTimeout gives none that could ever be met: the setting's own
// default.
constexpr int kDefaultTimeoutMs = 5000;

std::string buildRequest(); // 48 bytes: 0x0B, then zeros

// An NTP timestamp as microseconds since 1970-01-01 UTC, with the era rule: a value whose top
// bit is clear belongs to the era that starts in 2036.
std::int64_t ntpToUnixUs(std::uint32_t seconds, std::uint32_t fraction);

// How long to wait for a reply: NTPTimeout, or the default when it is 0 or less (a time-out that
// fires at once would report every request as lost).
int replyTimeoutMs(int NTPTimeout);

// A sender's IPv4 address (host order) as text: "%d.%d.%d.%d".
std::string dottedQuad(std::uint32_t address);

// ((T2 - T1) + (T3 - T4)) / 2.
std::int64_t clockOffsetUs(std::int64_t t1, std::int64_t t2, std::int64_t t3, std::int64_t t4);

// A reply worth reading: from the server asked, port 123, 48 bytes or more, mode 4 (server), a
// synchronised server (leap indicator not 3, stratum 1 to 15), a transmit timestamp.
bool plausibleReply(std::string_view datagram, const std::string& fromIp, int fromPort,
                    const std::string& askedIp);

// What she says when the clock is off by `offsetUs` and could not be set.
std::string cannotSetLine(std::int64_t offsetUs);

class SntpHost {
public:
    virtual ~SntpHost() = default;
    // Looks NTPhost up without waiting for it: the answer comes through SntpClient::Resolved.
    virtual void lookUp(const std::string& host) = 0;
    // Sends one datagram to the address (as Resolved was given it), port 123.
    virtual void send(const std::string& address, const std::string& datagram) = 0;
    virtual void startInterval(int ms) = 0; // NTPTimer enabled; ms < 0 keeps its interval
    virtual void stopInterval() = 0;
    virtual void startTimeout(int ms) = 0;
    virtual void stopTimeout() = 0;
    virtual void speak(const std::string& line) = 0;
    // A line for stderr, for whoever looks into why.
    virtual void warn(const std::string& line) = 0;
};

class SntpClient {
public:
    SntpClient(SntpHost& host, const platform::UtcClock& clock, platform::TimeService& service)
        : host_(host), clock_(clock), service_(service) {}

    void AdjustTime(const core::Settings& s);
    // The addresses NTPhost has, the one to ask first; none when it was not found. Throws
    // AppError "Host Lookup Canceled" for none and "Null Remote Address" for 0.0.0.0 or ::.
    void Resolved(const std::vector<std::string>& addresses, const core::Settings& s);
    void DataReceived(std::string_view datagram, const std::string& fromIp, int fromPort,
                      const core::Settings& s);
    void NTPTimeoutTimerTimer();

    bool resolving() const { return resolving_; }
    bool outstanding() const { return outstanding_; }
    std::int64_t lastOffsetUs() const { return lastOffsetUs_; }

private:
    void noteZone(const core::Settings& s);
    void setClock(std::int64_t offsetUs);
    void clockSet(const std::string& failure, std::int64_t offsetUs);

    SntpHost& host_;
    const platform::UtcClock& clock_;
    platform::TimeService& service_;
    bool resolving_ = false;
    bool outstanding_ = false;
    std::int64_t t1_ = 0;
    std::string asked_;
    std::int64_t lastOffsetUs_ = 0;
    bool setting_ = false;    // a setting of the clock whose outcome is not known yet
    bool complained_ = false; // the line was said, and the clock has not been right since
    bool zoneNoted_ = false;
};

} // namespace timesync
