#include "timesync/SntpClient.h"

#include <cmath>
#include <cstring>

namespace timesync {
namespace {

std::uint32_t be32(std::string_view b, size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3]));
}

} // namespace

std::string buildRequest() {
    std::string r(kRequestSize, '\0');
    r[0] = 0x0B;
    return r;
}

double ntpToLocal(std::uint32_t seconds, std::uint32_t fraction, int timezoneHours) {
    double s = seconds;
    // The seconds count wraps on 2036-02-07 06:28:16 UTC; values with the top bit clear are
    // read in the era after that.
    if ((seconds & 0x80000000u) == 0) {
        s += 4294967296.0;
    }
    return s / 86400.0 + 2.0 + timezoneHours / 24.0 + (fraction / 4294967296.0) / 86400.0;
}

int replyTimeoutMs(int NTPTimeout) {
    return NTPTimeout > 0 ? NTPTimeout : kDefaultTimeoutMs;
}

std::string dottedQuad(std::uint32_t a) {
    return std::to_string(a >> 24) + '.' + std::to_string((a >> 16) & 0xFF) + '.' +
           std::to_string((a >> 8) & 0xFF) + '.' + std::to_string(a & 0xFF);
}

double clockOffset(double t1, double t2, double t3, double t4) {
    return ((t2 - t1) + (t3 - t4)) / 2.0;
}

bool plausibleReply(std::string_view d, const std::string& fromIp, int fromPort,
                    const std::string& askedIp) {
    if (d.size() < kRequestSize || fromIp != askedIp || fromPort != kServerPort) {
        return false;
    }
    const unsigned leap = static_cast<unsigned char>(d[0]) >> 6;
    const unsigned mode = static_cast<unsigned char>(d[0]) & 7u;
    const unsigned stratum = static_cast<unsigned char>(d[1]);
    // Leap indicator 3 and stratum 16 or more: the server's own clock is not synchronised,
    // so its time may be anything.
    return mode == 4 && leap != 3 && stratum != 0 && stratum < 16 &&
           (be32(d, 40) != 0 || be32(d, 44) != 0);
}

void SntpClient::AdjustTime(const core::Settings& s) {
    const std::string request = buildRequest();
    const std::string address = host_.resolve(s.NTPhost); // not found: nothing changes
    // T1 after the lookup, right before the datagram leaves: a slow lookup is no network delay.
    t1_ = platform::encodeDateTime(host_.now());
    host_.send(address, request);
    asked_ = address;
    host_.stopInterval();
    host_.startTimeout(replyTimeoutMs(s.NTPTimeout));
    outstanding_ = true;
}

void SntpClient::DataReceived(std::string_view datagram, const std::string& fromIp, int fromPort,
                              const core::Settings& s) {
    // Only the reply to our request counts: anything else on the port may not set the clock.
    if (!outstanding_ || !plausibleReply(datagram, fromIp, fromPort, asked_)) {
        return;
    }
    const double t4 = platform::encodeDateTime(host_.now());
    host_.stopTimeout();
    host_.startInterval(static_cast<int>(
        std::min<long long>(static_cast<long long>(s.NTPInterval) * 60000, 0x7FFFFFFF)));
    outstanding_ = false;
    char buffer[kReplyBuffer] = {};
    std::memcpy(buffer, datagram.data(), std::min(datagram.size(), sizeof buffer));
    const std::string_view b(buffer, sizeof buffer);
    const double t2 = ntpToLocal(be32(b, 32), be32(b, 36), s.NTPTimezone);
    const double t3 = ntpToLocal(be32(b, 40), be32(b, 44), s.NTPTimezone);
    const double offset = clockOffset(t1_, t2, t3, t4);
    lastOffset_ = offset;
    // Compared in milliseconds to the microsecond: day fractions near 46 000 days carry
    // rounding noise that would otherwise push an offset of exactly the threshold over it.
    const double offsetMs = std::round(std::fabs(offset) * 86400000.0 * 1000.0) / 1000.0;
    if (offsetMs > s.NTPMinimalDifference) {
        host_.setClock(platform::decodeDateTime(platform::encodeDateTime(host_.now()) + offset));
    }
}

void SntpClient::NTPTimeoutTimerTimer() {
    host_.speak("時刻調整タイムアウト");
    host_.stopTimeout();
    host_.startInterval(-1);
    outstanding_ = false;
}

} // namespace timesync
