#pragma once
// The settings file pikmain.ini: key=value lines in CP932. Keys are matched without regard to
// case on the text before a line's first "="; the first matching line wins; values run to the
// end of the line, untrimmed.
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace core {

struct AlarmSetting {
    bool enabled = false;
    std::string voice;
    double time = 0.0; // fraction of a day
};

// System colour "highlight text", the clock label's design background.
constexpr int kClHighlightText = static_cast<int>(0x8000000E);

struct Settings {
    std::string PikImage = "pikprsn.bmp";
    int SerifuInterval = 1000;
    int FukidasiInterval = 2000;
    int Top = 167; // window keys: read into the window, written back from it
    int Left = 793;
    bool isLog = false;
    bool ShowCalender = true;
    int CalX = 100;
    int CalY = 100;
    int CalSize = 2;
    bool ShowTime = true;
    bool OClock = true;
    std::string VoiceFile;
    int ClockX = 83;
    int ClockY = 120;
    std::string ClockFontName = "ＭＳ 明朝";
    int ClockFontSize = 16;
    int ClockFontBGColor = kClHighlightText;
    bool MailCheck = false;
    bool MailNotify = false;
    int MailInterval = 0;
    std::string POPAccount;
    std::string POPPassword;
    std::string POPServer;
    std::string MailNotifyFile;
    int IsAPOP = 0;
    std::string LastMessageID;
    int LastMailNum = 0;
    int MailX = 0;
    int MailY = 0;
    bool isAdjust = false;
    std::string NTPhost = "127.0.0.1";
    int NTPInterval = 10;
    int NTPTimeout = 5000;
    int NTPTimezone = 9;
    int NTPMinimalDifference = 500;
    AlarmSetting Alerm[3];
    // Written after every other key: a file without them reads as POP3 on port 110 in clear.
    int MailProtocol = 0; // 0 POP3, 1 IMAP4rev1
    int POPSecurity = 0;  // 0 none, 1 STARTTLS, 2 TLS from the first byte
    int POPPort = 0;      // 0: the standard port of the protocol and security
    // Written after those: a file without them reads as the design size, sound on, full volume.
    int CharScale = 100;           // percent, 50-400: the character, her outline, balloon and clock
    bool Quiet = false;            // "しずかに": no sound at all, lines still spoken
    int Volume = 100;              // percent of every sound she plays
    bool HideOnFullscreen = false; // hidden and quiet while the active window is full screen

    // Each text value's bytes as the file held them, beside the text they were read as: a value
    // the user did not change is written back (and sent to servers) byte for byte, even where
    // the bytes are no valid CP932.
    struct Raw {
        std::string bytes;
        std::string text;
    };
    std::map<std::string, Raw, std::less<>> raw;
};

// The CP932 bytes of the text value `value` of `key`: the bytes read when it is unchanged.
std::string cp932Of(const Settings& s, std::string_view key, const std::string& value);
// Sets the text value of `key` from CP932 bytes (a server's, say), keeping the bytes.
void setFromCp932(Settings& s, std::string_view key, std::string& value, std::string_view bytes);

// Reads a settings file's bytes into `s`. Keys absent from the file keep their values in `s`.
// A value that is no integer (or no time) keeps that key's value and adds the error box message
// to the result; every other key is still read.
std::vector<std::string> readSettings(std::string_view fileBytes, Settings& s);

// The whole file, in writing order, CP932 with CR LF. The lines of alarms 2 and 3 are written
// only when the alarm is enabled or has a voice file.
std::string writeSettings(const Settings& s);

// Parses a decimal (or $/0x hexadecimal) 32-bit integer, leading blanks allowed.
bool parseInteger(std::string_view text, int& out);

// The process-wide settings.
Settings& settings();
void resetSettings();

} // namespace core
