#include <gtest/gtest.h>

#include <cmath>

#include "timesync/SntpClient.h"

using namespace timesync;
using platform::LocalTime;

namespace {

void put32(std::string& b, size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<size_t>(i)] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
    }
}

// NTP seconds (era 0) for a UTC date and time.
std::uint32_t ntpSeconds(int y, int mo, int d, int h, int mi, int s) {
    const std::int64_t days = platform::daysFromEpoch(y, mo, d) - 2; // from 1900-01-01
    return static_cast<std::uint32_t>(days * 86400 + h * 3600 + mi * 60 + s);
}

std::string reply(std::uint32_t t2, std::uint32_t t2f, std::uint32_t t3, std::uint32_t t3f,
                  int mode = 4, int stratum = 8, size_t size = 48, int leap = 0) {
    std::string r(size, '\0');
    r[0] = static_cast<char>(leap << 6 | 0x08 | mode);
    r[1] = static_cast<char>(stratum);
    if (size >= 48) {
        put32(r, 32, t2);
        put32(r, 36, t2f);
        put32(r, 40, t3);
        put32(r, 44, t3f);
    }
    return r;
}

class Host : public SntpHost {
public:
    LocalTime clock;  // the local clock; only a name lookup moves it
    int lookupMs = 0; // how long resolving NTPhost takes
    std::vector<std::string> events;
    std::vector<LocalTime> set;
    bool failLookup = false;

    LocalTime now() override { return clock; }
    std::string resolve(const std::string& host) override {
        clock = platform::decodeDateTime(platform::encodeDateTime(clock) + lookupMs / 86400000.0);
        if (failLookup) {
            throw std::runtime_error("Host Lookup Canceled");
        }
        events.push_back("resolve " + host);
        return "127.0.0.1";
    }
    void send(const std::string& address, const std::string& d) override {
        EXPECT_EQ(d, buildRequest());
        events.push_back("send " + address);
    }
    void startInterval(int ms) override { events.push_back("interval " + std::to_string(ms)); }
    void stopInterval() override { events.push_back("stop interval"); }
    void startTimeout(int ms) override { events.push_back("timeout on " + std::to_string(ms)); }
    void stopTimeout() override { events.push_back("timeout off"); }
    void setClock(const LocalTime& t) override { set.push_back(t); }
    void speak(const std::string& l) override { events.push_back("say " + l); }
};

LocalTime at(int h, int m, int s, int ms = 0) {
    return LocalTime{2026, 12, 8, h, m, s, ms};
}

class Sntp : public ::testing::Test {
protected:
    Sntp() : client(host) {
        s.NTPhost = "127.0.0.1";
        s.NTPTimezone = 9;
    }
    // Local clock at T1 = T4 = 12:00:00.000 local; the server says 03:00:00 UTC + `ms`.
    void exchange(int serverAheadMs) {
        host.clock = at(12, 0, 0);
        client.AdjustTime(s);
        const double frac = std::fmod(serverAheadMs / 1000.0 + 10.0, 1.0);
        const auto sec = ntpSeconds(2026, 12, 8, 3, 0, 0) +
                         static_cast<std::uint32_t>(std::floor(serverAheadMs / 1000.0 + 10.0)) - 10;
        const auto f = static_cast<std::uint32_t>(frac * 4294967296.0);
        client.DataReceived(reply(sec, f, sec, f), "127.0.0.1", 123, s);
    }
    core::Settings s;
    Host host;
    SntpClient client;
};

} // namespace

TEST(SntpDatagram, RequestIsVersionOneClientMode) {
    const std::string r = buildRequest();
    ASSERT_EQ(r.size(), 48u);
    EXPECT_EQ(static_cast<unsigned char>(r[0]), 0x0Bu);
    EXPECT_EQ(r.find_first_not_of('\0', 1), std::string::npos);
}

TEST(SntpDatagram, ServerTimeInTheGivenZoneAndAcrossThe2036Rollover) {
    // 03:00 UTC with zone 9 is 12:00 local.
    const LocalTime t =
        platform::decodeDateTime(ntpToLocal(ntpSeconds(2026, 12, 8, 3, 0, 0), 0, 9));
    EXPECT_EQ(t.year, 2026);
    EXPECT_EQ(t.hour, 12);
    EXPECT_EQ(t.minute, 0);
    // Just before the wrap: era 0; just after (top bit clear): 2036 on, not 1900.
    const LocalTime before = platform::decodeDateTime(ntpToLocal(0xFFFFFFFFu, 0, 0));
    EXPECT_EQ(before.year, 2036);
    EXPECT_EQ(before.month, 2);
    EXPECT_EQ(before.day, 7);
    EXPECT_EQ(before.hour, 6);
    EXPECT_EQ(before.minute, 28);
    EXPECT_EQ(before.second, 15);
    const LocalTime after = platform::decodeDateTime(ntpToLocal(1, 0, 0));
    EXPECT_EQ(after.year, 2036);
    EXPECT_EQ(after.second, 17);
    const LocalTime later = platform::decodeDateTime(ntpToLocal(0x10000000u, 0, 0));
    EXPECT_EQ(later.year, 2044);
}

TEST(SntpDatagram, SymmetricDelayCancels) {
    // Request 100 ms on the way each way; server 2 s ahead.
    const double t1 = 10.0, delay = 0.1 / 86400, ahead = 2.0 / 86400;
    const double t2 = t1 + delay + ahead, t3 = t2, t4 = t1 + 2 * delay;
    EXPECT_NEAR(clockOffset(t1, t2, t3, t4) * 86400, 2.0, 1e-6);
}

TEST(SntpDatagram, OnlyTheServersReplyIsPlausible) {
    const std::string good = reply(5, 0, 5, 1);
    EXPECT_TRUE(plausibleReply(good, "127.0.0.1", 123, "127.0.0.1"));
    EXPECT_FALSE(plausibleReply(good, "127.0.0.9", 123, "127.0.0.1")) << "another sender";
    EXPECT_FALSE(plausibleReply(good, "127.0.0.1", 124, "127.0.0.1")) << "another port";
    EXPECT_FALSE(plausibleReply(reply(5, 0, 5, 1, 3), "127.0.0.1", 123, "127.0.0.1")) << "mode";
    EXPECT_FALSE(plausibleReply(reply(5, 0, 5, 1, 4, 0), "127.0.0.1", 123, "127.0.0.1"))
        << "kiss-o'-death";
    EXPECT_FALSE(plausibleReply(reply(5, 0, 0, 0), "127.0.0.1", 123, "127.0.0.1"))
        << "no transmit time";
    EXPECT_FALSE(plausibleReply(reply(5, 0, 5, 1, 4, 8, 47), "127.0.0.1", 123, "127.0.0.1"));
    // An unsynchronised server: leap indicator 3 (alarm) or stratum 16 and up.
    EXPECT_FALSE(plausibleReply(reply(5, 0, 5, 1, 4, 8, 48, 3), "127.0.0.1", 123, "127.0.0.1"));
    EXPECT_FALSE(plausibleReply(reply(5, 0, 5, 1, 4, 16), "127.0.0.1", 123, "127.0.0.1"));
    EXPECT_FALSE(plausibleReply(reply(5, 0, 5, 1, 4, 255), "127.0.0.1", 123, "127.0.0.1"));
    EXPECT_TRUE(plausibleReply(reply(5, 0, 5, 1, 4, 15, 48, 1), "127.0.0.1", 123, "127.0.0.1"))
        << "stratum 15 announcing a leap second";
}

TEST_F(Sntp, OffsetsUpToTheThresholdAreLeftAlone) {
    for (int ms : {400, -400, 500, -500}) {
        host.set.clear();
        exchange(ms);
        EXPECT_TRUE(host.set.empty()) << ms;
    }
    for (int ms : {600, -600}) {
        host.set.clear();
        exchange(ms);
        ASSERT_EQ(host.set.size(), 1u) << ms;
        const double moved =
            (platform::encodeDateTime(host.set[0]) - platform::encodeDateTime(at(12, 0, 0))) *
            86400000.0;
        EXPECT_NEAR(moved, ms, 2) << "a clock running ahead is set back";
    }
}

TEST_F(Sntp, ReplyRestartsTheIntervalAndLateOrStrayDatagramsChangeNothing) {
    s.NTPInterval = 10;
    exchange(0);
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"resolve 127.0.0.1", "send 127.0.0.1", "stop interval",
                                        "timeout on 5000", "timeout off", "interval 600000"}));
    EXPECT_FALSE(client.outstanding());
    host.events.clear();
    client.DataReceived(
        reply(ntpSeconds(2026, 12, 8, 9, 0, 0), 0, ntpSeconds(2026, 12, 8, 9, 0, 0), 0),
        "127.0.0.1", 123, s);
    EXPECT_TRUE(host.events.empty()) << "no request outstanding";
    EXPECT_TRUE(host.set.empty());
}

TEST_F(Sntp, SlowNameLookupDoesNotShiftTheOffset) {
    // The lookup takes 1.5 s; the server agrees with the local clock and answers at once.
    host.clock = at(12, 0, 0);
    host.lookupMs = 1500;
    s.NTPhost = "ntp.example";
    client.AdjustTime(s);
    const auto sec = ntpSeconds(2026, 12, 8, 3, 0, 1);
    const auto half = 0x80000000u;
    client.DataReceived(reply(sec, half, sec, half), "127.0.0.1", 123, s);
    EXPECT_NEAR(client.lastOffset() * 86400000.0, 0.0, 1.0);
    EXPECT_TRUE(host.set.empty());
}

TEST_F(Sntp, AWaitOfZeroOrLessIsTheDefault) {
    for (int ms : {0, -1, -2147483647 - 1}) {
        s.NTPTimeout = ms;
        host.events.clear();
        client.AdjustTime(s);
        EXPECT_EQ(host.events.at(3), "timeout on 5000") << ms;
        client.NTPTimeoutTimerTimer();
    }
    s.NTPTimeout = 1;
    host.events.clear();
    client.AdjustTime(s);
    EXPECT_EQ(host.events.at(3), "timeout on 1");
}

TEST_F(Sntp, TimeoutSpeaksKeepsTheIntervalAndAReplyAfterItIsIgnored) {
    host.clock = at(12, 0, 0);
    client.AdjustTime(s);
    // While waiting, a spoofed datagram from elsewhere and replies of an unsynchronised server
    // are ignored: still waiting, so the time-out still comes.
    const auto sec = ntpSeconds(2026, 12, 8, 9, 0, 0);
    client.DataReceived(reply(sec, 0, sec, 0), "127.0.0.1", 4444, s);
    client.DataReceived(reply(sec, 0, sec, 0, 4, 8, 48, 3), "127.0.0.1", 123, s);
    client.DataReceived(reply(sec, 0, sec, 0, 4, 16), "127.0.0.1", 123, s);
    EXPECT_TRUE(client.outstanding());
    EXPECT_EQ(host.events.back(), "timeout on 5000");
    EXPECT_TRUE(host.set.empty());
    client.NTPTimeoutTimerTimer();
    EXPECT_EQ(host.events.back(), "interval -1");
    EXPECT_EQ(host.events[host.events.size() - 3], "say 時刻調整タイムアウト");
    const size_t n = host.events.size();
    client.DataReceived(reply(1, 0, 1, 0), "127.0.0.1", 123, s);
    EXPECT_EQ(host.events.size(), n);
    EXPECT_TRUE(host.set.empty());
}

TEST_F(Sntp, AHostThatCannotBeFoundChangesNoTimer) {
    host.clock = at(12, 0, 0);
    host.failLookup = true;
    EXPECT_THROW(client.AdjustTime(s), std::runtime_error);
    EXPECT_TRUE(host.events.empty());
    EXPECT_FALSE(client.outstanding());
}
