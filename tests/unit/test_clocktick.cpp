#include <gtest/gtest.h>

#include "core/ClockTick.h"

using core::ClockTick;
using core::Settings;
using platform::LocalTime;

namespace {

class Host : public core::ClockTickHost {
public:
    std::string caption, tip;
    std::vector<std::string> events; // in the order they happened
    void setClockCaption(const std::string& t) override { caption = t; }
    void setTrayTip(const std::string& t) override { tip = t; }
    void speak(const std::string& l) override { events.push_back("say " + l); }
    void playSync(const std::string& f) override { events.push_back("sync " + f); }
    void playLoop(const std::string& f) override { events.push_back("loop " + f); }
    void alarmSounded() override { events.push_back("sounded"); }
    void calendarToToday() override { events.push_back("calendar"); }
};

LocalTime at(int h, int m, int s, int ms = 0, int day = 8) {
    return LocalTime{2026, 12, day, h, m, s, ms};
}

double hm(int h, int m, int s = 0) {
    return ((h * 60.0 + m) * 60.0 + s) / 86400.0;
}

// Ticks every 100 ms from `from` for `seconds` seconds.
void runFor(ClockTick& c, const Settings& s, Host& host, LocalTime from, int seconds) {
    double t = platform::encodeDateTime(from);
    for (int i = 0; i < seconds * 10; ++i) {
        c.tick(platform::decodeDateTime(t + i * 0.1 / 86400.0), s, host);
    }
}

} // namespace

TEST(ClockTick, ClockTextBlinksItsColon) {
    EXPECT_EQ(core::clockText(at(9, 5, 0, 300)), " 9 05");
    EXPECT_EQ(core::clockText(at(9, 5, 0, 700)), " 9:05");
    EXPECT_EQ(core::clockText(at(23, 59, 59, 999)), "23:59");
    EXPECT_EQ(core::clockText(at(10, 0, 0, 499)), "10 00");
    ClockTick c;
    Host host;
    c.tick(at(0, 0, 1, 600), Settings{}, host);
    EXPECT_EQ(host.caption, " 0:00");
    EXPECT_EQ(host.tip, "2026/12/08 0:00:01");
}

TEST(ClockTick, TimeSignalOncePerHourEvenWhenStartedLateInMinuteZero) {
    Settings s;
    s.VoiceFile = "chime.wav";
    ClockTick c;
    Host host;
    runFor(c, s, host, at(10, 0, 40), 30); // start at 10:00:40
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"say ぴんぽんぱんぽーん！", "say 10時をお知らせしま～す★",
                                        "sync chime.wav"}));
    runFor(c, s, host, at(10, 1, 0), 5);
    runFor(c, s, host, at(11, 0, 0), 5);
    EXPECT_EQ(host.events.size(), 6u);
    EXPECT_EQ(host.events[4], "say 11時をお知らせしま～す★");

    Settings quiet;
    quiet.VoiceFile = ""; // no sound, still the lines
    Host h2;
    ClockTick c2;
    c2.tick(at(15, 0, 0), quiet, h2);
    EXPECT_EQ(h2.events, (std::vector<std::string>{"say ぴんぽんぱんぽーん！",
                                                   "say 15時をお知らせしま～す★"}));

    Settings off;
    off.OClock = false;
    Host h3;
    ClockTick c3;
    runFor(c3, off, h3, at(15, 0, 0), 3);
    EXPECT_TRUE(h3.events.empty());
    EXPECT_EQ(h3.caption, "15:00");
}

TEST(ClockTick, AlarmWordings) {
    EXPECT_EQ(core::alarmLine(1, 7, 0), "もしも～し，7時ちょうどですよ～♪");
    EXPECT_EQ(core::alarmLine(1, 7, 30), "もしも～し，7時30分ですよ～♪");
    EXPECT_EQ(core::alarmLine(2, 7, 0), "ちょっとちょっとぉ，7時0分なんだけどぉ～");
    EXPECT_EQ(core::alarmLine(2, 7, 30), "ちょっとちょっとぉ，7時30分なんだけどぉ～");
    EXPECT_EQ(core::alarmLine(3, 7, 0), "おいこら！7時0分だっての！");
    EXPECT_EQ(core::alarmLine(3, 7, 5), "おいこら！7時5分だっての！");
}

TEST(ClockTick, ThreeAlarmsInOneMinuteRingOnceInOrderAndIgnoreSeconds) {
    Settings s;
    for (int n = 0; n < 3; ++n) {
        s.Alerm[n].enabled = true;
        s.Alerm[n].voice = n == 1 ? "" : "alarm" + std::to_string(n + 1) + ".wav";
    }
    s.Alerm[0].time = hm(7, 30, 45); // the seconds do not matter
    s.Alerm[1].time = hm(7, 30);
    s.Alerm[2].time = hm(7, 30, 10);
    ClockTick c;
    Host host;
    runFor(c, s, host, at(7, 29, 58), 70);
    EXPECT_EQ(host.events, (std::vector<std::string>{
                               "loop alarm1.wav", "sounded", "say もしも～し，7時30分ですよ～♪",
                               "loop ", "sounded", "say ちょっとちょっとぉ，7時30分なんだけどぉ～",
                               "loop alarm3.wav", "sounded", "say おいこら！7時30分だっての！"}));
    // The next day, at the same time, again.
    runFor(c, s, host, at(7, 30, 0, 0, 9), 2);
    EXPECT_EQ(host.events.size(), 19u);
    EXPECT_EQ(host.events.back(), "calendar") << "a new day";
}

TEST(ClockTick, AnAlarmStillRingsWhenNoTickFellInSecondZero) {
    Settings s;
    s.OClock = false;
    s.Alerm[0].enabled = true;
    s.Alerm[0].time = hm(7, 0);
    ClockTick c;
    Host host;
    c.tick(at(6, 59, 59, 900), s, host);
    c.tick(at(7, 0, 2, 300), s, host); // the thread was held for over two seconds
    c.tick(at(7, 0, 2, 400), s, host);
    c.tick(at(7, 0, 30), s, host);
    ASSERT_EQ(host.events.size(), 3u);
    EXPECT_EQ(host.events[2], "say もしも～し，7時ちょうどですよ～♪");
    EXPECT_TRUE(c.IsAlermRung[0]) << "guarded until the minute has passed";
    c.tick(at(7, 1, 0), s, host);
    EXPECT_FALSE(c.IsAlermRung[0]);
}

TEST(ClockTick, MidnightSignalBeforeAlarmThenCalendar) {
    Settings s;
    s.Alerm[0].enabled = true;
    s.Alerm[0].time = 0.0;
    ClockTick c;
    Host host;
    c.tick(at(23, 59, 59, 950, 8), s, host);
    c.tick(at(0, 0, 0, 50, 9), s, host);
    EXPECT_EQ(host.events, (std::vector<std::string>{
                               "say ぴんぽんぱんぽーん！", "say 0時をお知らせしま～す★", "loop ",
                               "sounded", "say もしも～し，0時ちょうどですよ～♪", "calendar"}));
}

TEST(ClockTick, ANewDayBringsTheCalendarEvenWithoutATickAtMidnight) {
    Settings s;
    s.OClock = false;
    ClockTick c;
    Host host;
    c.tick(at(23, 59, 59, 900, 8), s, host);
    c.tick(at(0, 0, 3, 0, 9), s, host); // no tick in 0:00:00
    c.tick(at(0, 0, 3, 100, 9), s, host);
    EXPECT_EQ(host.events, (std::vector<std::string>{"calendar"}));
}
