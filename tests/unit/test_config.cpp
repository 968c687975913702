#include <filesystem>
#include <gtest/gtest.h>

#include "TempDir.h"
#include "balloon/LogStream.h"
#include "platform/AppError.h"
#include "settings_dialog/ConfigCheck.h"

using namespace settings_dialog;

TEST(ConfigCheck, OnlySigned32BitDecimalsAreIntegers) {
    EXPECT_EQ(parseDecimal32("0"), 0);
    EXPECT_EQ(parseDecimal32("+5"), 5);
    EXPECT_EQ(parseDecimal32("-0"), 0);
    EXPECT_EQ(parseDecimal32("  42 "), 42);
    EXPECT_EQ(parseDecimal32("2147483647"), 2147483647);
    EXPECT_EQ(parseDecimal32("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(parseDecimal32("00000000000000000000007"), 7);
    for (const char* bad :
         {"", "   ", "+", "-", "2147483648", "-2147483649", "99999999999999999999999", "１２",
          "abc", "12a", "1 2", "$10", "0x10", "--1", "1.5"}) {
        EXPECT_FALSE(parseDecimal32(bad)) << bad;
    }
}

TEST(ConfigCheck, SpinFieldsReadNoNumberAsZeroAndClampToTheirBounds) {
    EXPECT_EQ(spinValue("abc", 0, 23), 0);
    EXPECT_EQ(spinValue("", 0, 59), 0);
    EXPECT_EQ(spinValue("24", 0, 23), 23);
    EXPECT_EQ(spinValue("-3", 0, 59), 0);
    EXPECT_EQ(spinValue("99999999999", 0, 59), 0) << "beyond 32 bits is no number";
    EXPECT_EQ(spinValue("17", 0, 23), 17);
}

TEST(ConfigCheck, AlarmTimeSplitsIntoHourAndMinuteAndBack) {
    int h = -1;
    int m = -1;
    splitTimeOfDay(timeOfDay(23, 59), h, m);
    EXPECT_EQ(h, 23);
    EXPECT_EQ(m, 59);
    splitTimeOfDay((7 * 3600 + 30 * 60 + 59.9996) / 86400.0, h, m);
    EXPECT_EQ(h, 7);
    EXPECT_EQ(m, 31) << "rounded to the millisecond first";
    splitTimeOfDay(2.5, h, m);
    EXPECT_EQ(h, 12) << "the date part does not count";
    splitTimeOfDay(std::numeric_limits<double>::quiet_NaN(), h, m);
    EXPECT_EQ(h, 0);
}

TEST(ConfigCheck, PickerFiltersBecomeQtFilters) {
    EXPECT_EQ(pickerFilter("見た目ファイル (*.bmp)|*.bmp|とにかくなんでも (*.*)|*.*"),
              "見た目ファイル (*.bmp);;とにかくなんでも (*.*)");
    EXPECT_EQ(pickerFilter("おと|*.wav;*.WAV"), "おと (*.wav *.WAV)");
    EXPECT_EQ(pickerFilter(""), "");
    EXPECT_EQ(pickerFilter("dangling"), "dangling");
}

namespace {

// The running parts, recording every call in order.
struct FakeParts : ClockLabelPort, CalendarPort, LogPort {
    std::vector<std::string> calls;
    bool logOpen = false;
    bool logFails = false;
    std::vector<std::string> lines;
    void setLeft(int x) override { calls.push_back("label.left " + std::to_string(x)); }
    void setTop(int y) override { calls.push_back("label.top " + std::to_string(y)); }
    void setVisible(bool on) override { calls.push_back(on ? "label.show" : "label.hide"); }
    void hide() override { calls.push_back("cal.hide"); }
    void show() override { calls.push_back("cal.show"); }
    bool isOpen() const override { return logOpen; }
    void open() override {
        calls.push_back("log.open");
        if (logFails) {
            throw platform::AppError(platform::msgCannotCreate("/x/piklog.txt"));
        }
        logOpen = true;
    }
    void writeLine(const std::string& line) override {
        calls.push_back("log.write");
        lines.push_back(line);
    }
};

struct FakeTimer : TimerPort {
    std::vector<std::string>& calls;
    std::string name;
    bool active = false;
    int period = 0;
    FakeTimer(std::vector<std::string>& calls, std::string name)
        : calls(calls), name(std::move(name)) {}
    bool isActive() const override { return active; }
    int interval() const override { return period; }
    void setActive(bool on) override {
        active = on;
        calls.push_back(name + (on ? ".start" : ".stop"));
    }
    void setInterval(int ms) override {
        period = ms;
        calls.push_back(name + ".interval " + std::to_string(ms));
    }
};

struct FixedClock : platform::Clock {
    platform::LocalTime now() const override { return {2024, 3, 9, 8, 5, 7, 0}; }
};

class ApplyTest : public ::testing::Test {
protected:
    ApplyTest() {
        v.PikFile = "other.bmp";
        v.VoiceFile = "v.wav";
        v.ShowTime = true;
        v.ClockX = "10";
        v.ClockY = "20";
        v.ShowCalender = true;
        v.CalSizeIndex = 2;
        v.OClock = false;
        v.AlermEnabled = true;
        v.AlermHour = 6;
        v.AlermMinute = 45;
        v.AlermVoice = "a.wav";
        v.isLog = true;
        v.MailCheck = true;
        v.MailInterval = "5";
        v.POPAccount = "u";
        v.POPPassword = "p";
        v.POPServer = "s";
        v.Protocol = 1;
        v.Security = 2;
        v.POPPort = "0";
        v.MailNotify = true;
        v.MailNotifyFile = "n.wav";
        v.isAdjust = true;
        v.NTPhost = "ntp.example";
        v.NTPInterval = "30";
        v.NTPMinimalDifference = "-1";
        t.clockLabel = &parts;
        t.calendar = &parts;
        t.log = &parts;
        t.mailTimer = &mail;
        t.ntpTimer = &ntp;
        t.setMailMenuEnabled = [this](bool on) { calls.push_back(on ? "n8.on" : "n8.off"); };
        t.save = [this] {
            calls.push_back("save");
            if (saveFails) {
                throw platform::AppError(platform::msgCannotCreate("/x/pikmain.ini"));
            }
        };
        t.clock = &clock;
        ntp.period = 600000;
    }

    FakeParts parts;
    std::vector<std::string>& calls = parts.calls;
    FakeTimer mail{calls, "mail"};
    FakeTimer ntp{calls, "ntp"};
    FixedClock clock;
    bool saveFails = false;
    ConfigValues v;
    ApplyTargets t;
    core::Settings s;
};

} // namespace

TEST_F(ApplyTest, StepsRunInOrderAndWriteEverySetting) {
    const ApplyResult r = applyConfig(v, s, t);
    EXPECT_TRUE(r.done());
    EXPECT_EQ(calls,
              (std::vector<std::string>{"label.left 10", "label.top 20", "label.show", "cal.hide",
                                        "cal.show", "log.open", "log.write", "mail.start",
                                        "mail.interval 300000", "n8.on", "ntp.start", "save"}));
    EXPECT_EQ(parts.lines, std::vector<std::string>{"2024/03/09 8:05:07 PP Logging Started ***"});
    EXPECT_EQ(s.PikImage, "other.bmp");
    EXPECT_EQ(s.VoiceFile, "v.wav");
    EXPECT_EQ(s.ClockX, 10);
    EXPECT_EQ(s.CalSize, 3);
    EXPECT_FALSE(s.OClock);
    EXPECT_TRUE(s.Alerm[0].enabled);
    EXPECT_EQ(s.Alerm[0].voice, "a.wav");
    EXPECT_DOUBLE_EQ(s.Alerm[0].time, (6 * 60 + 45) / 1440.0);
    EXPECT_TRUE(s.isLog);
    EXPECT_EQ(s.MailInterval, 5);
    EXPECT_EQ(s.IsAPOP, 1);
    EXPECT_EQ(s.MailProtocol, 0);
    EXPECT_EQ(s.POPSecurity, 2);
    EXPECT_EQ(s.MailNotifyFile, "n.wav");
    EXPECT_EQ(s.NTPhost, "ntp.example");
    EXPECT_EQ(s.NTPInterval, 30);
    EXPECT_EQ(s.NTPMinimalDifference, -1);
    EXPECT_EQ(ntp.period, 600000) << "the SNTP period waits for the next reply";
}

TEST_F(ApplyTest, ImapKeepsTheApopChoiceAndAPortOutOfRangeIsABadNumber) {
    s.IsAPOP = 1;
    v.Protocol = 2;
    v.POPPort = "993";
    ASSERT_TRUE(applyConfig(v, s, t).done());
    EXPECT_EQ(s.MailProtocol, 1);
    EXPECT_EQ(s.IsAPOP, 1) << "back to POP, APOP is still chosen";
    EXPECT_EQ(s.POPPort, 993);
    v.Protocol = 0;
    ASSERT_TRUE(applyConfig(v, s, t).done());
    EXPECT_EQ(s.MailProtocol, 0);
    EXPECT_EQ(s.IsAPOP, 0);
    for (const char* port : {"65536", "-1"}) {
        v.POPPort = port;
        const ApplyResult r = applyConfig(v, s, t);
        ASSERT_TRUE(r.invalid) << port;
        EXPECT_EQ(r.invalid->field, settings_dialog::IntField::POPPort);
        EXPECT_EQ(s.POPPort, 993);
    }
}

TEST_F(ApplyTest, AnyBadNumberChangesNothingAtAll) {
    const core::Settings before = s;
    for (std::string ConfigValues::*field :
         {&ConfigValues::ClockX, &ConfigValues::ClockY, &ConfigValues::MailInterval,
          &ConfigValues::POPPort, &ConfigValues::NTPInterval,
          &ConfigValues::NTPMinimalDifference}) {
        ConfigValues bad = v;
        bad.*field = "abc";
        const ApplyResult r = applyConfig(bad, s, t);
        ASSERT_TRUE(r.invalid);
        EXPECT_EQ(r.invalid->text, "abc");
        EXPECT_TRUE(calls.empty()) << calls.front();
        EXPECT_EQ(core::writeSettings(s), core::writeSettings(before));
    }
    v.ClockY = "";
    v.NTPInterval = "x";
    EXPECT_EQ(applyConfig(v, s, t).invalid->field, IntField::ClockY) << "the first in order";
}

TEST_F(ApplyTest, MailIntervalOfZeroOrLessSwitchesMailOffSilently) {
    mail.active = true;
    mail.period = 60000;
    v.MailInterval = "0";
    EXPECT_TRUE(applyConfig(v, s, t).done());
    EXPECT_FALSE(s.MailCheck);
    EXPECT_FALSE(mail.active);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "n8.off"), calls.end());

    v.MailInterval = "-7";
    s.MailCheck = true;
    EXPECT_TRUE(applyConfig(v, s, t).done());
    EXPECT_FALSE(s.MailCheck);
    EXPECT_EQ(s.MailInterval, -7);
}

TEST_F(ApplyTest, TimersKeepTheirCountdownUnlessStateOrPeriodChanges) {
    mail.active = true;
    mail.period = 300000;
    ntp.active = true;
    applyConfig(v, s, t);
    for (const std::string& c : calls) {
        EXPECT_TRUE(c.rfind("mail.", 0) != 0 && c.rfind("ntp.", 0) != 0) << c;
    }
    calls.clear();
    v.MailInterval = "6";
    v.isAdjust = false;
    applyConfig(v, s, t);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "mail.interval 360000"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "ntp.stop"), calls.end());

    // A period beyond the timer's range, or an SNTP period of 0, leaves the timer silent.
    v.MailInterval = "2147483647";
    ntp.period = 0;
    v.isAdjust = true;
    applyConfig(v, s, t);
    EXPECT_TRUE(s.MailCheck);
    EXPECT_FALSE(mail.active);
    EXPECT_FALSE(ntp.active);
}

TEST_F(ApplyTest, LogIsOpenedOnceAndALogThatCannotOpenLeavesLoggingOff) {
    applyConfig(v, s, t);
    applyConfig(v, s, t);
    v.isLog = false;
    applyConfig(v, s, t);
    v.isLog = true;
    applyConfig(v, s, t);
    EXPECT_EQ(parts.lines.size(), 1u) << "an open log gets no second start line";

    parts.logOpen = false;
    parts.logFails = true;
    parts.lines.clear();
    saveFails = true;
    const ApplyResult r = applyConfig(v, s, t);
    EXPECT_FALSE(s.isLog);
    EXPECT_TRUE(parts.lines.empty());
    EXPECT_EQ(calls.back(), "save") << "the other settings still take effect and are saved";
    EXPECT_EQ(r.errors, (std::vector<std::string>{"ファイル /x/piklog.txt を作成できません",
                                                  "ファイル /x/pikmain.ini を作成できません"}));
}

TEST_F(ApplyTest, SaveFailureIsReported) {
    saveFails = true;
    const ApplyResult r = applyConfig(v, s, t);
    EXPECT_FALSE(r.done());
    EXPECT_EQ(r.errors, std::vector<std::string>{"ファイル /x/pikmain.ini を作成できません"});
}

// The dialog's log names the file as the user knows it, not by the path of her folder.
TEST(RealLogTest, AFailureNamesTheLogPiklogTxt) {
    TempDir dir;
    const std::filesystem::path old = std::filesystem::current_path();
    const std::string app = dir.file("app");
    std::filesystem::create_directory(app);
    std::filesystem::current_path(app);
    auto message = [] {
        try {
            RealLog().open();
        } catch (const platform::AppError& e) {
            return std::string(e.what());
        }
        balloon::LogStream().close();
        return std::string("opened");
    };
    std::filesystem::create_directory("piklog.txt"); // there, but no file to open
    EXPECT_EQ(message(), "ファイル piklog.txt は開けません");
    std::filesystem::remove("piklog.txt");
    std::filesystem::remove(app); // a folder gone: nothing can be created in it
    EXPECT_EQ(message(), "ファイル piklog.txt を作成できません");
    std::filesystem::current_path(old);
    EXPECT_FALSE(RealLog().isOpen());
}
