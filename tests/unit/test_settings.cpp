#include <gtest/gtest.h>

#include "core/Settings.h"
#include "platform/Locale.h"

using core::readSettings;
using core::Settings;
using core::writeSettings;

namespace {

const char* const kDefaultFile = "PikImage=pikprsn.bmp\r\n"
                                 "SerifuInterval=1000\r\n"
                                 "FukidasiInterval=2000\r\n"
                                 "Top=167\r\n"
                                 "Left=793\r\n"
                                 "isLog=0\r\n"
                                 "ShowCalender=1\r\n"
                                 "CalX=100\r\n"
                                 "CalY=100\r\n"
                                 "CalSize=2\r\n"
                                 "ShowTime=1\r\n"
                                 "Oclock=1\r\n"
                                 "VoiceFile=\r\n"
                                 "ClockX=83\r\n"
                                 "ClockY=120\r\n"
                                 "ClockFontName=\x82\x6c\x82\x72 \x96\xbe\x92\xa9\r\n"
                                 "ClockFontSize=16\r\n"
                                 "ClockFontBGColor=-2147483634\r\n"
                                 "MailCheck=0\r\n"
                                 "MailNotify=0\r\n"
                                 "MailInterval=0\r\n"
                                 "POPAccount=\r\n"
                                 "POPPassword=\r\n"
                                 "POPServer=\r\n"
                                 "MailNotifyFile=\r\n"
                                 "IsAPOP=0\r\n"
                                 "LastMessageID=\r\n"
                                 "LastMailNum=0\r\n"
                                 "MailX=0\r\n"
                                 "MailY=0\r\n"
                                 "isAdjust=0\r\n"
                                 "NTPhost=127.0.0.1\r\n"
                                 "NTPInterval=10\r\n"
                                 "NTPTimeout=5000\r\n"
                                 "NTPTimezone=9\r\n"
                                 "NTPMinimalDifference=500\r\n"
                                 "IsAlerm1Enabled=0\r\n"
                                 "Alerm1Voice=\r\n"
                                 "Alerm1Time=0:00:00\r\n"
                                 "MailProtocol=0\r\n"
                                 "POPSecurity=0\r\n"
                                 "POPPort=0\r\n"
                                 "CharScale=100\r\n"
                                 "Quiet=0\r\n"
                                 "Volume=100\r\n"
                                 "HideOnFullscreen=0\r\n";

Settings everyKeyChanged() {
    Settings s;
    s.PikImage = "girl.bmp";
    s.SerifuInterval = 1500;
    s.FukidasiInterval = -3;
    s.Top = -40;
    s.Left = 5000;
    s.isLog = true;
    s.ShowCalender = false;
    s.CalX = 7;
    s.CalY = 8;
    s.CalSize = 3;
    s.ShowTime = false;
    s.OClock = false;
    s.VoiceFile = "chime.wav";
    s.ClockX = 1;
    s.ClockY = 2;
    s.ClockFontName = "ＭＳ ゴシック";
    s.ClockFontSize = 24;
    s.ClockFontBGColor = 0x00FF8040;
    s.MailCheck = true;
    s.MailNotify = true;
    s.MailInterval = 15;
    s.POPAccount = "hanako";
    s.POPPassword = "pa=ss word";
    s.POPServer = "192.0.2.1";
    s.MailNotifyFile = "mail.wav";
    s.IsAPOP = 1;
    s.LastMessageID = "<abc@example.jp>";
    s.LastMailNum = 42;
    s.MailX = 300;
    s.MailY = 400;
    s.isAdjust = true;
    s.NTPhost = "ntp.example.jp";
    s.NTPInterval = 60;
    s.NTPTimeout = 2500;
    s.NTPTimezone = -5;
    s.NTPMinimalDifference = 100;
    for (int a = 0; a < 3; ++a) {
        s.Alerm[a].enabled = a != 1;
        s.Alerm[a].voice = "alarm" + std::to_string(a) + ".wav";
        s.Alerm[a].time = ((7 + a) * 60.0 + 30) * 60.0 / 86400.0;
    }
    return s;
}

void expectSame(const Settings& a, const Settings& b) {
    EXPECT_EQ(a.PikImage, b.PikImage);
    EXPECT_EQ(a.SerifuInterval, b.SerifuInterval);
    EXPECT_EQ(a.FukidasiInterval, b.FukidasiInterval);
    EXPECT_EQ(a.Top, b.Top);
    EXPECT_EQ(a.Left, b.Left);
    EXPECT_EQ(a.isLog, b.isLog);
    EXPECT_EQ(a.ShowCalender, b.ShowCalender);
    EXPECT_EQ(a.CalX, b.CalX);
    EXPECT_EQ(a.CalY, b.CalY);
    EXPECT_EQ(a.CalSize, b.CalSize);
    EXPECT_EQ(a.ShowTime, b.ShowTime);
    EXPECT_EQ(a.OClock, b.OClock);
    EXPECT_EQ(a.VoiceFile, b.VoiceFile);
    EXPECT_EQ(a.ClockX, b.ClockX);
    EXPECT_EQ(a.ClockY, b.ClockY);
    EXPECT_EQ(a.ClockFontName, b.ClockFontName);
    EXPECT_EQ(a.ClockFontSize, b.ClockFontSize);
    EXPECT_EQ(a.ClockFontBGColor, b.ClockFontBGColor);
    EXPECT_EQ(a.MailCheck, b.MailCheck);
    EXPECT_EQ(a.MailNotify, b.MailNotify);
    EXPECT_EQ(a.MailInterval, b.MailInterval);
    EXPECT_EQ(a.POPAccount, b.POPAccount);
    EXPECT_EQ(a.POPPassword, b.POPPassword);
    EXPECT_EQ(a.POPServer, b.POPServer);
    EXPECT_EQ(a.MailNotifyFile, b.MailNotifyFile);
    EXPECT_EQ(a.IsAPOP, b.IsAPOP);
    EXPECT_EQ(a.LastMessageID, b.LastMessageID);
    EXPECT_EQ(a.LastMailNum, b.LastMailNum);
    EXPECT_EQ(a.MailX, b.MailX);
    EXPECT_EQ(a.MailY, b.MailY);
    EXPECT_EQ(a.isAdjust, b.isAdjust);
    EXPECT_EQ(a.NTPhost, b.NTPhost);
    EXPECT_EQ(a.NTPInterval, b.NTPInterval);
    EXPECT_EQ(a.NTPTimeout, b.NTPTimeout);
    EXPECT_EQ(a.NTPTimezone, b.NTPTimezone);
    EXPECT_EQ(a.NTPMinimalDifference, b.NTPMinimalDifference);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a.Alerm[i].enabled, b.Alerm[i].enabled) << i;
        EXPECT_EQ(a.Alerm[i].voice, b.Alerm[i].voice) << i;
        EXPECT_DOUBLE_EQ(a.Alerm[i].time, b.Alerm[i].time) << i;
    }
}

} // namespace

TEST(SettingsFile, DefaultsWriteTheCompleteFileWithoutAlarmsTwoAndThree) {
    EXPECT_EQ(writeSettings(Settings{}), kDefaultFile);
}

TEST(SettingsFile, EveryKeyRoundTrips) {
    const Settings original = everyKeyChanged();
    Settings read;
    EXPECT_TRUE(readSettings(writeSettings(original), read).empty());
    expectSame(original, read);
}

TEST(SettingsFile, JapaneseValuesAreCp932OnDisk) {
    Settings s;
    s.VoiceFile = "時報～.wav";
    const std::string file = writeSettings(s);
    EXPECT_NE(file.find("VoiceFile=\x8e\x9e\x95\xf1\x81\x60.wav\r\n"), std::string::npos);
    Settings back;
    readSettings(file, back);
    EXPECT_EQ(back.VoiceFile, "時報～.wav");
}

TEST(SettingsFile, KeysMatchWithoutRegardToCaseAndOnlyWithoutBlanks) {
    Settings s;
    readSettings("oCLOCK=0\nTop = 50\nLEFT=12\r\nshowtime=0\r", s);
    EXPECT_FALSE(s.OClock);
    EXPECT_EQ(s.Top, 167); // "Top " is not the key Top
    EXPECT_EQ(s.Left, 12);
    EXPECT_FALSE(s.ShowTime);
}

TEST(SettingsFile, ValuesRunWholeToTheEndOfTheLine) {
    Settings s;
    readSettings("VoiceFile=a=b c .wav \r\nPOPPassword= x\r\nNTPhost=\r\n", s);
    EXPECT_EQ(s.VoiceFile, "a=b c .wav ");
    EXPECT_EQ(s.POPPassword, " x");
    EXPECT_EQ(s.NTPhost, "");
}

TEST(SettingsFile, FirstMatchingLineWins) {
    Settings s;
    readSettings("CalX=5\r\ncalx=6\r\nCalX=7\r\n", s);
    EXPECT_EQ(s.CalX, 5);
}

TEST(SettingsFile, BooleansAreTrueOnlyForOne) {
    Settings s;
    readSettings("isLog=2\r\nMailCheck=1\r\nShowCalender=-1\r\nisAdjust= 1\r\n", s);
    EXPECT_FALSE(s.isLog);
    EXPECT_TRUE(s.MailCheck);
    EXPECT_FALSE(s.ShowCalender);
    EXPECT_TRUE(s.isAdjust);
}

TEST(SettingsFile, BadValueKeepsThatKeyAndReadsAllOthers) {
    Settings s;
    auto errors = readSettings("Top=abc\r\nisLog=yes\r\nLeft=20\r\nAlerm1Time=25:00\r\n"
                               "Alerm2Time=7:30\r\nNTPhost=10.0.0.1\r\nCalSize=99999999999\r\n",
                               s);
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[0], "'abc' は整数ではありません");
    EXPECT_EQ(errors[1], "'yes' は整数ではありません");
    EXPECT_EQ(errors[2], "'99999999999' は整数ではありません");
    EXPECT_EQ(errors[3], "'25:00' は時刻ではありません");
    EXPECT_EQ(s.Top, 167);
    EXPECT_FALSE(s.isLog);
    EXPECT_EQ(s.Left, 20);
    EXPECT_EQ(s.CalSize, 2);
    EXPECT_EQ(s.NTPhost, "10.0.0.1");
    EXPECT_DOUBLE_EQ(s.Alerm[0].time, 0.0);
    EXPECT_DOUBLE_EQ(s.Alerm[1].time, 7.5 / 24.0);
}

TEST(SettingsFile, AlarmTwoAndThreeLinesOnlyWhenEnabledOrVoiced) {
    Settings s;
    s.Alerm[1].voice = "bell.wav"; // disabled but voiced: all three lines, enabled 0
    s.Alerm[1].time = 6.0 / 24.0;
    s.Alerm[2].time = 8.0 / 24.0; // disabled, no voice: nothing
    const std::string file = writeSettings(s);
    EXPECT_NE(file.find("Alerm1Time=0:00:00\r\n"
                        "IsAlerm2Enabled=0\r\nAlerm2Voice=bell.wav\r\nAlerm2Time=6:00:00\r\n"),
              std::string::npos);
    EXPECT_EQ(file.find("Alerm3"), std::string::npos);
    s.Alerm[2].enabled = true;
    EXPECT_NE(writeSettings(s).find("IsAlerm3Enabled=1\r\nAlerm3Voice=\r\nAlerm3Time=8:00:00\r\n"
                                    "MailProtocol=0\r\n"),
              std::string::npos);
}

TEST(SettingsFile, MailServerKeysComeLastAndKeepTheirValueWhenOutOfRange) {
    Settings s;
    EXPECT_TRUE(readSettings("MailProtocol=1\r\nPOPSecurity=2\r\nPOPPort=995\r\n", s).empty());
    EXPECT_EQ(s.MailProtocol, 1);
    EXPECT_EQ(s.POPSecurity, 2);
    EXPECT_EQ(s.POPPort, 995);
    EXPECT_NE(writeSettings(s).find("MailProtocol=1\r\nPOPSecurity=2\r\nPOPPort=995\r\n"),
              std::string::npos);
    const auto errors = readSettings("MailProtocol=2\r\nPOPSecurity=-1\r\nPOPPort=65536\r\n", s);
    EXPECT_EQ(errors.size(), 3u);
    EXPECT_EQ(s.MailProtocol, 1);
    EXPECT_EQ(s.POPSecurity, 2);
    EXPECT_EQ(s.POPPort, 995);
    Settings fresh;
    readSettings("POPServer=pop.example.jp\r\n", fresh);
    EXPECT_EQ(fresh.MailProtocol, 0) << "a file from before the keys: POP3 on 110 in clear";
    EXPECT_EQ(fresh.POPSecurity, 0);
    EXPECT_EQ(fresh.POPPort, 0);
}

TEST(SettingsFile, LookAndSoundKeysComeLastAndKeepTheirValueWhenOutOfRange) {
    Settings s;
    EXPECT_TRUE(
        readSettings("CharScale=200\r\nQuiet=1\r\nVolume=50\r\nHideOnFullscreen=1\r\n", s).empty());
    EXPECT_EQ(s.CharScale, 200);
    EXPECT_TRUE(s.Quiet);
    EXPECT_EQ(s.Volume, 50);
    EXPECT_TRUE(s.HideOnFullscreen);
    EXPECT_TRUE(writeSettings(s).ends_with(
        "POPPort=0\r\nCharScale=200\r\nQuiet=1\r\nVolume=50\r\nHideOnFullscreen=1\r\n"));
    EXPECT_EQ(readSettings("CharScale=49\r\nVolume=101\r\n", s).size(), 2u);
    EXPECT_EQ(s.CharScale, 200);
    EXPECT_EQ(s.Volume, 50);
    EXPECT_EQ(readSettings("CharScale=401\r\nVolume=-1\r\n", s).size(), 2u);
    EXPECT_EQ(s.CharScale, 200);
    Settings fresh;
    readSettings("PikImage=x.bmp\r\n", fresh);
    EXPECT_EQ(fresh.CharScale, 100) << "a file from before the keys: the design size, sound on";
    EXPECT_FALSE(fresh.Quiet);
    EXPECT_EQ(fresh.Volume, 100);
    EXPECT_FALSE(fresh.HideOnFullscreen);
}

TEST(SettingsFile, TextValuesCannotSplitTheFile) {
    Settings s;
    s.LastMessageID = "<x@y>\r\nTop=0";
    Settings back;
    back.Top = 99;
    readSettings(writeSettings(s), back);
    EXPECT_EQ(back.LastMessageID, "<x@y>");
    EXPECT_EQ(back.Top, 167);
}

TEST(SettingsFile, IntegersInTheirFileSpellings) {
    int v = 0;
    EXPECT_TRUE(core::parseInteger("-2147483634", v));
    EXPECT_EQ(v, -2147483634);
    EXPECT_TRUE(core::parseInteger("  42", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(core::parseInteger("$8000000E", v));
    EXPECT_EQ(v, core::kClHighlightText);
    EXPECT_TRUE(core::parseInteger("0x10", v));
    EXPECT_EQ(v, 16);
    for (const char* bad : {"", " ", "-", "12 ", "1.5", "2147483648", "abc", "$", "0x"}) {
        EXPECT_FALSE(core::parseInteger(bad, v)) << bad;
    }
}

TEST(SettingsFile, TextValuesKeepTheirBytesUnlessChanged) {
    // 0x81 0x20 is no CP932 character; an unchanged value goes back byte for byte.
    const std::string odd = "p\x81\x20w\xff";
    Settings s;
    readSettings("POPPassword=" + odd + "\r\nLastMessageID=<" + odd + ">\r\nPOPAccount=me\r\n", s);
    std::string out = writeSettings(s);
    EXPECT_NE(out.find("POPPassword=" + odd + "\r\n"), std::string::npos);
    EXPECT_NE(out.find("LastMessageID=<" + odd + ">\r\n"), std::string::npos);
    EXPECT_EQ(core::cp932Of(s, "POPPassword", s.POPPassword), odd);

    // A value the user changed is written from its new text.
    s.POPPassword = "パス";
    out = writeSettings(s);
    EXPECT_NE(out.find("POPPassword=\x83\x70\x83\x58\r\n"), std::string::npos);
    EXPECT_EQ(core::cp932Of(s, "POPPassword", s.POPPassword), "\x83\x70\x83\x58");
}

TEST(SettingsFile, AHugeValueIsShownCutInItsMessage) {
    Settings s;
    const auto errors = readSettings("Top=" + std::string(10'000'000, '7') + "\r\nLeft=5\r\n", s);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "'" + std::string(100, '7') + "…' は整数ではありません");
    EXPECT_EQ(s.Top, 167);
    EXPECT_EQ(s.Left, 5);
    // Exactly 100 characters are shown whole; characters, not bytes, are counted.
    const std::string hundred(100, 'x');
    EXPECT_EQ(readSettings("Top=" + hundred + "\r\n", s)[0],
              "'" + hundred + "' は整数ではありません");
    std::string kana;
    for (int i = 0; i < 101; ++i) {
        kana += "\x82\xa0"; // あ
    }
    std::string shown;
    for (int i = 0; i < 100; ++i) {
        shown += "あ";
    }
    EXPECT_EQ(readSettings("Top=" + kana + "\r\n", s)[0], "'" + shown + "…' は整数ではありません");
}
