#pragma once
// The settings dialog without its window: the check of its number fields and "おっけ～", which
// writes what the dialog holds into Settings and hands each change to the running parts through
// small ports, so the whole of it runs against fakes in a test. No Qt.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Settings.h"
#include "platform/DateTime.h"

namespace settings_dialog {

// A signed 32-bit decimal integer: optional blanks around it, an optional sign, ASCII digits.
// Anything else (hexadecimal, full-width digits, out of range, empty) is no integer.
std::optional<int> parseDecimal32(std::string_view text);

// What a spin field holds: no number reads as 0, and a number outside [lo, hi] as the nearer bound.
int spinValue(std::string_view text, int lo, int hi);

// Hour and minute of a time of day (a fraction of a day), and back.
void splitTimeOfDay(double time, int& hour, int& minute);
double timeOfDay(int hour, int minute);

// A file picker's filter ("description|pattern|...") in the form Qt's file dialogs take
// ("description (pattern);;...").
std::string pickerFilter(std::string_view pairs);

// The dialog's controls as the user left them: texts as typed, check boxes, selections.
struct ConfigValues {
    std::string PikFile;
    std::string VoiceFile;
    bool ShowTime = false;
    std::string ClockX;
    std::string ClockY;
    bool ShowCalender = false;
    int CalSizeIndex = -1; // -1: nothing selected
    bool OClock = false;
    bool AlermEnabled = false;
    int AlermHour = 0;
    int AlermMinute = 0;
    std::string AlermVoice;
    bool isLog = false;
    bool MailCheck = false;
    std::string MailInterval;
    std::string POPAccount;
    std::string POPPassword;
    std::string POPServer;
    int Protocol = -1; // 0 POP, 1 APOP, 2 IMAP; -1: no button checked
    int Security = -1; // 0 none, 1 STARTTLS, 2 SSL/TLS; -1: no button checked
    std::string POPPort;
    bool MailNotify = false;
    std::string MailNotifyFile;
    bool isAdjust = false;
    std::string NTPhost;
    std::string NTPInterval;
    std::string NTPMinimalDifference;
    int CharScale = 0;      // percent; 0: nothing chosen
    bool Autostart = false; // the desktop's autostart entry is to exist
    int Volume = -1;        // percent; -1: not shown
    bool HideOnFullscreen = false;
};

// The number fields, in the order Apply reads them.
enum class IntField { ClockX, ClockY, MailInterval, POPPort, NTPInterval, NTPMinimalDifference };

struct InvalidField {
    IntField field;
    std::string text;
};

// The first number field holding no integer, or nullopt when all of them are numbers.
std::optional<InvalidField> firstInvalidField(const ConfigValues& v);

// The running parts Apply changes.
class ClockLabelPort {
public:
    virtual ~ClockLabelPort() = default;
    virtual void setLeft(int x) = 0;
    virtual void setTop(int y) = 0;
    virtual void setVisible(bool on) = 0;
};

class CalendarPort {
public:
    virtual ~CalendarPort() = default;
    virtual void hide() = 0;
    // Showing lays the calendar out anew in the present CalSize.
    virtual void show() = 0;
};

class LogPort {
public:
    virtual ~LogPort() = default;
    virtual bool isOpen() const = 0;
    // Opens (or creates) the log at its end; throws AppError when it can do neither.
    virtual void open() = 0;
    virtual void writeLine(const std::string& utf8Line) = 0;
};

class TimerPort {
public:
    virtual ~TimerPort() = default;
    virtual bool isActive() const = 0;
    virtual int interval() const = 0;
    virtual void setActive(bool on) = 0;
    // Restarts the countdown when the timer is running.
    virtual void setInterval(int ms) = 0;
};

// Any port may be null: that part does not exist (yet) and is left alone.
struct ApplyTargets {
    ClockLabelPort* clockLabel = nullptr;
    CalendarPort* calendar = nullptr;
    LogPort* log = nullptr;
    TimerPort* mailTimer = nullptr;
    TimerPort* ntpTimer = nullptr;
    std::function<void(bool)> setMailMenuEnabled;
    // Her size changes at once, before the clock label takes its place at that size.
    std::function<void(int)> setScale;
    // Creates or removes the autostart entry; returns the error box message, or "".
    std::function<std::string(bool)> setAutostart;
    // Quiet, volume and hiding at full screen have changed in the settings.
    std::function<void()> soundChanged;
    // Writes the settings file; throws AppError when it cannot.
    std::function<void()> save;
    const platform::Clock* clock = nullptr;
};

struct ApplyResult {
    // Set when a number field is wrong: then nothing at all has been changed.
    std::optional<InvalidField> invalid;
    // File errors met on the way (the log, the settings file), for the error box. Every other
    // step has still been taken.
    std::vector<std::string> errors;

    bool done() const { return !invalid && errors.empty(); }
};

// "おっけ～": checks every number first, then writes the values into `s` and applies them in
// order. A log that cannot be opened leaves logging off.
ApplyResult applyConfig(const ConfigValues& v, core::Settings& s, const ApplyTargets& t);

// Switches a timer on or off; a timer already in that state keeps its countdown.
void setTimerActive(TimerPort& timer, bool on);

// LogStream on "piklog.txt" in the current directory; its errors name the file "piklog.txt".
class RealLog : public LogPort {
public:
    bool isOpen() const override;
    void open() override;
    void writeLine(const std::string& utf8Line) override;
};

} // namespace settings_dialog
