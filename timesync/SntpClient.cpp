#include "timesync/SntpClient.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/AppError.h"

namespace timesync {
namespace {

// Seconds from 1900-01-01 (NTP's epoch) to 1970-01-01.
constexpr std::int64_t kNtpToUnix = 2208988800;

std::uint32_t be32(std::string_view b, size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3]));
}

std::string zoneText(int seconds) {
    const int a = std::abs(seconds);
    char text[16];
    std::snprintf(text, sizeof text, "UTC%c%02d:%02d", seconds < 0 ? '-' : '+', a / 3600,
                  a / 60 % 60);
    return text;
}

} // namespace

std::string buildRequest() {
    std::string r(kRequestSize, '\0');
    r[0] = 0x0B;
    return r;
}

std::int64_t ntpToUnixUs(std::uint32_t seconds, std::uint32_t fraction) {
    std::int64_t s = seconds;
    // The seconds count wraps on 2036-02-07 06:28:16 UTC; values with the top bit clear are
    // read in the era after that.
    if ((seconds & 0x80000000u) == 0) {
        s += std::int64_t{1} << 32;
    }
    const std::int64_t us = (static_cast<std::int64_t>(fraction) * 1000000 + (1LL << 31)) >> 32;
    return (s - kNtpToUnix) * 1000000 + us;
}

int replyTimeoutMs(int NTPTimeout) {
    return NTPTimeout > 0 ? NTPTimeout : kDefaultTimeoutMs;
}

std::string dottedQuad(std::uint32_t a) {
    return std::to_string(a >> 24) + '.' + std::to_string((a >> 16) & 0xFF) + '.' +
           std::to_string((a >> 8) & 0xFF) + '.' + std::to_string(a & 0xFF);
}

std::int64_t clockOffsetUs(std::int64_t t1, std::int64_t t2, std::int64_t t3, std::int64_t t4) {
    return ((t2 - t1) + (t3 - t4)) / 2;
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

std::string cannotSetLine(std::int64_t offsetUs) {
    const std::int64_t seconds = (std::llabs(offsetUs) + 500000) / 1000000;
    return "時計が " + std::to_string(seconds) + " 秒ずれていますが，合わせられませんでした．";
}

void SntpClient::AdjustTime(const core::Settings& s) {
    if (resolving_) {
        return; // the lookup under way serves this round too
    }
    resolving_ = true;
    host_.lookUp(s.NTPhost);
}

void SntpClient::Resolved(const std::vector<std::string>& addresses, const core::Settings& s) {
    if (!resolving_) {
        return;
    }
    resolving_ = false;
    // Not found: nothing changes, the interval runs on and the next round tries again.
    if (addresses.empty()) {
        throw platform::AppError("Host Lookup Canceled");
    }
    const std::string& address = addresses.front();
    if (address == "0.0.0.0" || address == "::") {
        throw platform::AppError("Null Remote Address");
    }
    // T1 after the lookup, right before the datagram leaves: a slow lookup is no network delay.
    t1_ = clock_.nowUs();
    host_.send(address, buildRequest());
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
    const std::int64_t t4 = clock_.nowUs();
    host_.stopTimeout();
    host_.startInterval(static_cast<int>(
        std::min<long long>(static_cast<long long>(s.NTPInterval) * 60000, 0x7FFFFFFF)));
    outstanding_ = false;
    char buffer[kReplyBuffer] = {};
    std::memcpy(buffer, datagram.data(), std::min(datagram.size(), sizeof buffer));
    const std::string_view b(buffer, sizeof buffer);
    const std::int64_t t2 = ntpToUnixUs(be32(b, 32), be32(b, 36));
    const std::int64_t t3 = ntpToUnixUs(be32(b, 40), be32(b, 44));
    const std::int64_t offset = clockOffsetUs(t1_, t2, t3, t4);
    lastOffsetUs_ = offset;
    noteZone(s);
    if (std::llabs(offset) > static_cast<long long>(s.NTPMinimalDifference) * 1000) {
        setClock(offset);
    } else {
        complained_ = false; // the clock is right again: a new fault is worth a word
    }
}

void SntpClient::noteZone(const core::Settings& s) {
    const int zone = clock_.zoneOffsetSeconds();
    if (zoneNoted_ || static_cast<long long>(s.NTPTimezone) * 3600 == zone) {
        return;
    }
    zoneNoted_ = true;
    host_.warn("NTPTimezone=" + std::to_string(s.NTPTimezone) + " is not this system's zone (" +
               zoneText(zone) +
               "): the clock is compared and set in UTC, and the setting is not "
               "used");
}

void SntpClient::setClock(std::int64_t offsetUs) {
    if (setting_) {
        return; // the last setting is still being decided (an administrator may be asked)
    }
    setting_ = true;
    service_.setUtc(clock_.nowUs() + offsetUs,
                    [this, offsetUs](const std::string& failure) { clockSet(failure, offsetUs); });
}

void SntpClient::clockSet(const std::string& failure, std::int64_t offsetUs) {
    setting_ = false;
    if (failure.empty()) {
        complained_ = false;
        return;
    }
    host_.warn("the clock could not be set: " + failure);
    // Said once: a refusal stays a refusal at every interval, and repeating it helps nobody.
    if (!complained_) {
        complained_ = true;
        host_.speak(cannotSetLine(offsetUs));
    }
}

void SntpClient::NTPTimeoutTimerTimer() {
    host_.speak("時刻調整タイムアウト");
    host_.stopTimeout();
    host_.startInterval(-1);
    outstanding_ = false;
}

} // namespace timesync
