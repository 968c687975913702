#include <gtest/gtest.h>

#include <cmath>

#include "platform/AppError.h"
#include "platform/DateTime.h"
#include "timesync/SntpClient.h"

using namespace timesync;

namespace {

constexpr std::int64_t kSecond = 1000000;

void put32(std::string& b, size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<size_t>(i)] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
    }
}

// Seconds since 1970 for a UTC date and time.
std::int64_t unixSeconds(int y, int mo, int d, int h, int mi, int s) {
    return (platform::daysFromEpoch(y, mo, d) - 25569) * 86400 + h * 3600 + mi * 60 + s;
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

// A reply whose server clock reads `us` (UTC microseconds) at both stamps.
std::string replyAt(std::int64_t us) {
    const auto sec = static_cast<std::uint32_t>(us / kSecond + 2208988800LL);
    const auto frac = static_cast<std::uint32_t>(
        std::llround(static_cast<double>(us % kSecond) / kSecond * 4294967296.0));
    return reply(sec, frac, sec, frac);
}

class Host : public SntpHost {
public:
    std::vector<std::string> events;
    std::vector<std::string> said;
    std::vector<std::string> warnings;

    void lookUp(const std::string& host) override { events.push_back("look up " + host); }
    void send(const std::string& address, const std::string& d) override {
        EXPECT_EQ(d, buildRequest());
        events.push_back("send " + address);
    }
    void startInterval(int ms) override { events.push_back("interval " + std::to_string(ms)); }
    void stopInterval() override { events.push_back("stop interval"); }
    void startTimeout(int ms) override { events.push_back("timeout on " + std::to_string(ms)); }
    void stopTimeout() override { events.push_back("timeout off"); }
    void speak(const std::string& l) override {
        events.push_back("say " + l);
        said.push_back(l);
    }
    void warn(const std::string& l) override { warnings.push_back(l); }
};

class Clock : public platform::UtcClock {
public:
    std::int64_t now = unixSeconds(2026, 12, 8, 3, 0, 0) * kSecond;
    int zone = 9 * 3600;
    std::int64_t nowUs() const override { return now; }
    int zoneOffsetSeconds() const override { return zone; }
};

// Records the settings asked for; the test answers each when it likes.
class Service : public platform::TimeService {
public:
    std::vector<std::int64_t> asked;
    std::function<void(const std::string&)> pending;
    void setUtc(std::int64_t utcUs, std::function<void(const std::string&)> done) override {
        asked.push_back(utcUs);
        pending = std::move(done);
    }
    void answer(const std::string& failure) {
        ASSERT_TRUE(pending);
        auto done = std::move(pending);
        pending = nullptr;
        done(failure);
    }
};

class Sntp : public ::testing::Test {
protected:
    Sntp() : client(host, clock, service) {
        s.NTPhost = "127.0.0.1";
        s.NTPTimezone = 9;
    }
    // One round: the server's clock is `serverAheadUs` ahead of ours, and answers at once.
    void exchange(std::int64_t serverAheadUs) {
        client.AdjustTime(s);
        client.Resolved({"127.0.0.1"}, s);
        client.DataReceived(replyAt(clock.now + serverAheadUs), "127.0.0.1", 123, s);
    }
    core::Settings s;
    Host host;
    Clock clock;
    Service service;
    SntpClient client;
};

const std::string kHourLine = "時計が 3600 秒ずれていますが，合わせられませんでした．";

} // namespace

TEST(SntpDatagram, RequestIsVersionOneClientMode) {
    const std::string r = buildRequest();
    ASSERT_EQ(r.size(), 48u);
    EXPECT_EQ(static_cast<unsigned char>(r[0]), 0x0Bu);
    EXPECT_EQ(r.find_first_not_of('\0', 1), std::string::npos);
}

TEST(SntpDatagram, ServerTimeIsUtcAcrossThe2036Rollover) {
    EXPECT_EQ(ntpToUnixUs(0x80000000u + 0x7C558180u, 0x80000000u),
              (0x80000000LL + 0x7C558180LL - 2208988800LL) * kSecond + kSecond / 2);
    // Just before the wrap: era 0; just after (top bit clear): 2036 on, not 1900.
    EXPECT_EQ(ntpToUnixUs(0xFFFFFFFFu, 0), unixSeconds(2036, 2, 7, 6, 28, 15) * kSecond);
    EXPECT_EQ(ntpToUnixUs(1, 0), unixSeconds(2036, 2, 7, 6, 28, 17) * kSecond);
    EXPECT_GE(ntpToUnixUs(0x10000000u, 0), unixSeconds(2044, 1, 1, 0, 0, 0) * kSecond);
    EXPECT_EQ(ntpToUnixUs(0xFFFFFFFFu, 0xFFFFFFFFu), unixSeconds(2036, 2, 7, 6, 28, 16) * kSecond)
        << "a fraction rounds to the nearest microsecond";
}

TEST(SntpDatagram, SymmetricDelayCancels) {
    // Request 100 ms on the way each way; server 2 s ahead.
    const std::int64_t t1 = 10 * kSecond, delay = kSecond / 10, ahead = 2 * kSecond;
    const std::int64_t t2 = t1 + delay + ahead, t3 = t2, t4 = t1 + 2 * delay;
    EXPECT_EQ(clockOffsetUs(t1, t2, t3, t4), 2 * kSecond);
}

TEST(SntpDatagram, OnlyTheServersReplyIsPlausible) {
    const std::string good = reply(5, 0, 5, 1);
    EXPECT_TRUE(plausibleReply(good, "127.0.0.1", 123, "127.0.0.1"));
    EXPECT_TRUE(plausibleReply(good, "::1", 123, "::1"));
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

TEST(SntpDatagram, TheLineGivesWholeSecondsWithoutTheSign) {
    EXPECT_EQ(cannotSetLine(3600 * kSecond), kHourLine);
    EXPECT_EQ(cannotSetLine(-3600 * kSecond - kSecond * 4 / 10), kHourLine);
    EXPECT_EQ(cannotSetLine(3599 * kSecond + kSecond * 6 / 10), kHourLine);
}

TEST_F(Sntp, OffsetsUpToTheThresholdAreLeftAloneAndTheServersTimeIsSet) {
    for (std::int64_t ms : {400, -400, 500, -500}) {
        exchange(ms * 1000);
        EXPECT_TRUE(service.asked.empty()) << ms;
    }
    for (std::int64_t ms : {600, -600}) {
        service.asked.clear();
        exchange(ms * 1000);
        ASSERT_EQ(service.asked.size(), 1u) << ms;
        EXPECT_NEAR(static_cast<double>(service.asked[0] - clock.now), ms * 1000.0, 1.0)
            << "a clock running ahead is set back";
        service.answer({});
    }
    EXPECT_TRUE(host.said.empty());
}

TEST_F(Sntp, TheZoneNeverShiftsTheClock) {
    // The server agrees in UTC; NTPTimezone and the system's zone disagree both ways.
    for (auto [setting, zone] : {std::pair{9, 0}, std::pair{0, 9 * 3600}, std::pair{9, -18000}}) {
        s.NTPTimezone = setting;
        clock.zone = zone;
        exchange(0);
        EXPECT_TRUE(service.asked.empty()) << setting << " " << zone;
        EXPECT_EQ(client.lastOffsetUs(), 0);
    }
    // An hour off with the system in UTC and NTPTimezone 9: the server's own time.
    exchange(3600 * kSecond);
    ASSERT_EQ(service.asked.size(), 1u);
    EXPECT_EQ(service.asked[0], clock.now + 3600 * kSecond);
    // The difference is told once, however often it holds.
    ASSERT_EQ(host.warnings.size(), 1u);
    EXPECT_NE(host.warnings[0].find("NTPTimezone=9"), std::string::npos);
    EXPECT_NE(host.warnings[0].find("UTC+00:00"), std::string::npos);
}

TEST_F(Sntp, TheZoneAsSetIsNotRemarkedOn) {
    exchange(0);
    EXPECT_TRUE(host.warnings.empty());
}

TEST_F(Sntp, ARefusalIsSaidOnceUntilTheClockIsRightAgain) {
    for (int round = 0; round < 3; ++round) {
        exchange(3600 * kSecond);
        service.answer("AccessDenied: no");
    }
    EXPECT_EQ(service.asked.size(), 3u) << "each round still asks";
    EXPECT_EQ(host.said, std::vector<std::string>{kHourLine});
    EXPECT_EQ(host.warnings.size(), 3u) << "the reason each time";
    // A setting that works makes a later fault worth a word again.
    exchange(3600 * kSecond);
    service.answer({});
    exchange(-3600 * kSecond);
    service.answer("NoReply");
    EXPECT_EQ(host.said.size(), 2u);
    // So does a clock found right.
    exchange(0);
    exchange(3600 * kSecond);
    service.answer("ServiceUnknown");
    EXPECT_EQ(host.said, std::vector<std::string>(3, kHourLine));
}

TEST_F(Sntp, OneSettingAtATime) {
    // While an administrator is being asked, another round's reply asks for nothing more.
    exchange(3600 * kSecond);
    exchange(3600 * kSecond);
    EXPECT_EQ(service.asked.size(), 1u);
    service.answer({});
    exchange(3600 * kSecond);
    EXPECT_EQ(service.asked.size(), 2u);
}

TEST_F(Sntp, ReplyRestartsTheIntervalAndLateOrStrayDatagramsChangeNothing) {
    s.NTPInterval = 10;
    exchange(0);
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"look up 127.0.0.1", "send 127.0.0.1", "stop interval",
                                        "timeout on 5000", "timeout off", "interval 600000"}));
    EXPECT_FALSE(client.outstanding());
    host.events.clear();
    client.DataReceived(replyAt(clock.now + 3600 * kSecond), "127.0.0.1", 123, s);
    EXPECT_TRUE(host.events.empty()) << "no request outstanding";
    EXPECT_TRUE(service.asked.empty());
}

TEST_F(Sntp, TheLookupAnswersLaterAndT1IsReadWhenTheRequestLeaves) {
    s.NTPhost = "ntp.example";
    client.AdjustTime(s);
    client.AdjustTime(s); // a round during the lookup: the lookup under way serves it
    EXPECT_EQ(host.events, std::vector<std::string>{"look up ntp.example"});
    EXPECT_TRUE(client.resolving());
    EXPECT_FALSE(client.outstanding());
    // The lookup takes 1.5 s; the server agrees with the local clock and answers at once.
    clock.now += 1500000;
    client.Resolved({"::1", "127.0.0.1"}, s);
    EXPECT_EQ(host.events.at(1), "send ::1") << "the first address is asked";
    client.DataReceived(replyAt(clock.now), "::1", 123, s);
    EXPECT_EQ(client.lastOffsetUs(), 0);
    EXPECT_TRUE(service.asked.empty());
    // A late answer of a lookup nobody waits for sends nothing.
    const size_t n = host.events.size();
    client.Resolved({"127.0.0.1"}, s);
    EXPECT_EQ(host.events.size(), n);
}

TEST_F(Sntp, AWaitOfZeroOrLessIsTheDefault) {
    for (int ms : {0, -1, -2147483647 - 1}) {
        s.NTPTimeout = ms;
        host.events.clear();
        client.AdjustTime(s);
        client.Resolved({"127.0.0.1"}, s);
        EXPECT_EQ(host.events.at(3), "timeout on 5000") << ms;
        client.NTPTimeoutTimerTimer();
    }
    s.NTPTimeout = 1;
    host.events.clear();
    client.AdjustTime(s);
    client.Resolved({"127.0.0.1"}, s);
    EXPECT_EQ(host.events.at(3), "timeout on 1");
}

TEST_F(Sntp, TimeoutSpeaksKeepsTheIntervalAndAReplyAfterItIsIgnored) {
    client.AdjustTime(s);
    client.Resolved({"127.0.0.1"}, s);
    // While waiting, a spoofed datagram from elsewhere and replies of an unsynchronised server
    // are ignored: still waiting, so the time-out still comes.
    const auto sec = static_cast<std::uint32_t>(clock.now / kSecond + 2208988800LL + 3600);
    client.DataReceived(reply(sec, 0, sec, 0), "127.0.0.1", 4444, s);
    client.DataReceived(reply(sec, 0, sec, 0), "127.0.0.2", 123, s);
    client.DataReceived(reply(sec, 0, sec, 0, 4, 8, 48, 3), "127.0.0.1", 123, s);
    client.DataReceived(reply(sec, 0, sec, 0, 4, 16), "127.0.0.1", 123, s);
    EXPECT_TRUE(client.outstanding());
    EXPECT_EQ(host.events.back(), "timeout on 5000");
    client.NTPTimeoutTimerTimer();
    EXPECT_EQ(host.events.back(), "interval -1");
    EXPECT_EQ(host.events[host.events.size() - 3], "say 時刻調整タイムアウト");
    const size_t n = host.events.size();
    client.DataReceived(reply(sec, 0, sec, 0), "127.0.0.1", 123, s);
    EXPECT_EQ(host.events.size(), n);
    EXPECT_TRUE(service.asked.empty());
}

TEST_F(Sntp, AHostThatCannotBeFoundOrIsNoServerChangesNoTimer) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "Host Lookup Canceled"},
        {{"0.0.0.0"}, "Null Remote Address"},
        {{"::"}, "Null Remote Address"}};
    for (const auto& [found, message] : cases) {
        host.events.clear();
        client.AdjustTime(s);
        try {
            client.Resolved(found, s);
            ADD_FAILURE() << message;
        } catch (const platform::AppError& e) {
            EXPECT_EQ(e.what(), message);
        }
        EXPECT_EQ(host.events, std::vector<std::string>{"look up 127.0.0.1"});
        EXPECT_FALSE(client.outstanding());
        EXPECT_FALSE(client.resolving()) << "the next round looks up again";
    }
}
