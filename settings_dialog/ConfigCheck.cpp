#include "settings_dialog/ConfigCheck.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>

#include "balloon/LogStream.h"
#include "core/AppState.h"
#include "platform/AppError.h"
#include "platform/Files.h"

namespace settings_dialog {

std::optional<int> parseDecimal32(std::string_view t) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!t.empty() && blank(t.front())) {
        t.remove_prefix(1);
    }
    while (!t.empty() && blank(t.back())) {
        t.remove_suffix(1);
    }
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    if (t.empty()) {
        return std::nullopt;
    }
    std::int64_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        v = v * 10 + (c - '0');
        if (v > std::int64_t{INT_MAX} + 1) {
            return std::nullopt; // stop before a long run of digits could overflow
        }
    }
    if (negative) {
        v = -v;
    }
    if (v < INT_MIN || v > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(v);
}

int spinValue(std::string_view text, int lo, int hi) {
    return std::clamp(parseDecimal32(text).value_or(0), lo, hi);
}

void splitTimeOfDay(double time, int& hour, int& minute) {
    hour = minute = 0;
    if (!std::isfinite(time)) {
        return;
    }
    constexpr double kMsPerDay = 86400000.0;
    const auto ms = static_cast<std::int64_t>(std::llround((time - std::floor(time)) * kMsPerDay)) %
                    static_cast<std::int64_t>(kMsPerDay);
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
}

double timeOfDay(int hour, int minute) {
    return (hour * 60.0 + minute) / 1440.0;
}

std::string pickerFilter(std::string_view pairs) {
    std::string out;
    while (!pairs.empty()) {
        const size_t bar = pairs.find('|');
        const std::string_view desc = pairs.substr(0, bar);
        std::string_view pattern;
        if (bar == std::string_view::npos) {
            pairs = {};
        } else {
            pairs.remove_prefix(bar + 1);
            const size_t next = pairs.find('|');
            pattern = pairs.substr(0, next);
            pairs = next == std::string_view::npos ? std::string_view{} : pairs.substr(next + 1);
        }
        if (!out.empty()) {
            out += ";;";
        }
        out += desc;
        // Qt takes the patterns from the parentheses of the description.
        if (desc.find('(') == std::string_view::npos && !pattern.empty()) {
            std::string patterns(pattern);
            std::replace(patterns.begin(), patterns.end(), ';', ' ');
            out += " (" + patterns + ")";
        }
    }
    return out;
}

std::optional<InvalidField> firstInvalidField(const ConfigValues& v) {
    const std::pair<IntField, const std::string*> fields[] = {
        {IntField::ClockX, &v.ClockX},
        {IntField::ClockY, &v.ClockY},
        {IntField::MailInterval, &v.MailInterval},
        {IntField::POPPort, &v.POPPort},
        {IntField::NTPInterval, &v.NTPInterval},
        {IntField::NTPMinimalDifference, &v.NTPMinimalDifference},
    };
    for (const auto& [field, text] : fields) {
        const auto n = parseDecimal32(*text);
        // A port is a number of 0 (the standard one) to 65535.
        if (!n || (field == IntField::POPPort && (*n < 0 || *n > 65535))) {
            return InvalidField{field, *text};
        }
    }
    return std::nullopt;
}

void setTimerActive(TimerPort& timer, bool on) {
    if (timer.isActive() != on) {
        timer.setActive(on);
    }
}

ApplyResult applyConfig(const ConfigValues& v, core::Settings& s, const ApplyTargets& t) {
    ApplyResult result;
    // Every number is checked before anything changes, so a typing slip costs nothing.
    result.invalid = firstInvalidField(v);
    if (result.invalid) {
        return result;
    }
    const int clockX = *parseDecimal32(v.ClockX);
    const int clockY = *parseDecimal32(v.ClockY);
    const int mailInterval = *parseDecimal32(v.MailInterval);
    const int ntpInterval = *parseDecimal32(v.NTPInterval);
    const int ntpMinimal = *parseDecimal32(v.NTPMinimalDifference);

    if (v.CharScale >= 50 && v.CharScale <= 400 && v.CharScale != s.CharScale) {
        s.CharScale = v.CharScale;
        if (t.setScale) {
            t.setScale(v.CharScale);
        }
    }
    s.PikImage = v.PikFile; // the character keeps her picture until the next start
    s.VoiceFile = v.VoiceFile;
    s.ShowTime = v.ShowTime;
    s.ClockX = clockX;
    s.ClockY = clockY;
    if (t.clockLabel) {
        t.clockLabel->setLeft(clockX);
        t.clockLabel->setTop(clockY);
        t.clockLabel->setVisible(s.ShowTime);
    }

    s.ShowCalender = v.ShowCalender;
    if (v.CalSizeIndex >= 0) {
        s.CalSize = v.CalSizeIndex + 1;
    }
    if (t.calendar) {
        // Showing it again lays it out in the new size.
        t.calendar->hide();
        if (s.ShowCalender) {
            t.calendar->show();
        }
    }

    s.OClock = v.OClock;
    core::AlarmSetting& alarm = s.Alerm[0];
    alarm.enabled = v.AlermEnabled;
    alarm.voice = v.AlermVoice;
    alarm.time = timeOfDay(v.AlermHour, v.AlermMinute);

    s.isLog = v.isLog;
    if (s.isLog && t.log && !t.log->isOpen()) {
        try {
            t.log->open();
            const platform::LocalTime now =
                t.clock ? t.clock->now() : platform::systemClock().now();
            t.log->writeLine(balloon::loggingStartedLine(now));
        } catch (const platform::AppError& e) {
            // No log to write to: logging is off, and the menu and the saved file say so.
            s.isLog = false;
            result.errors.push_back(e.what());
        }
    }

    s.MailCheck = v.MailCheck;
    s.MailInterval = mailInterval;
    if (s.MailInterval <= 0) {
        s.MailCheck = false;
    }
    s.POPAccount = v.POPAccount;
    s.POPPassword = v.POPPassword;
    s.POPServer = v.POPServer;
    // APOP is POP3 with its digest; IMAP leaves the APOP choice as it was for a way back.
    if (v.Protocol == 0 || v.Protocol == 1) {
        s.IsAPOP = v.Protocol;
        s.MailProtocol = 0;
    } else if (v.Protocol == 2) {
        s.MailProtocol = 1;
    }
    if (v.Security >= 0 && v.Security <= 2) {
        s.POPSecurity = v.Security;
    }
    s.POPPort = *parseDecimal32(v.POPPort);
    s.MailNotify = v.MailNotify;
    s.MailNotifyFile = v.MailNotifyFile;
    if (t.mailTimer) {
        // A period beyond the timer's range keeps the timer silent, as at start-up.
        const std::int64_t ms = std::int64_t{s.MailInterval} * 60000;
        const bool fits = ms > 0 && ms <= INT_MAX;
        setTimerActive(*t.mailTimer, s.MailCheck && fits);
        const int period = fits ? static_cast<int>(ms) : 0;
        if (t.mailTimer->interval() != period) {
            t.mailTimer->setInterval(period);
        }
    }
    if (t.setMailMenuEnabled) {
        t.setMailMenuEnabled(s.MailCheck);
    }

    if (v.Volume >= 0 && v.Volume <= 100) {
        s.Volume = v.Volume;
    }
    s.HideOnFullscreen = v.HideOnFullscreen;
    if (t.soundChanged) {
        t.soundChanged();
    }
    if (t.setAutostart) {
        if (std::string error = t.setAutostart(v.Autostart); !error.empty()) {
            result.errors.push_back(error);
        }
    }

    s.isAdjust = v.isAdjust;
    s.NTPhost = v.NTPhost;
    s.NTPInterval = ntpInterval;
    s.NTPMinimalDifference = ntpMinimal;
    if (t.ntpTimer) {
        // Its period stays; a period of 0 would fire without pause, so such a timer stays off.
        setTimerActive(*t.ntpTimer, s.isAdjust && t.ntpTimer->interval() > 0);
    }

    if (t.save) {
        try {
            t.save();
        } catch (const platform::AppError& e) {
            result.errors.push_back(e.what());
        }
    }
    return result;
}

bool RealLog::isOpen() const {
    return balloon::LogStream().isOpen();
}

void RealLog::open() {
    const std::string path = platform::joinPath(platform::currentDirectory(), core::kLogFileName);
    std::error_code error;
    const bool existed = std::filesystem::exists(path, error);
    try {
        balloon::LogStream().open(path);
    } catch (const platform::AppError&) {
        // The message names the log as the user knows it, by its name in her folder.
        throw platform::AppError(existed ? platform::msgCannotOpen(core::kLogFileName)
                                         : platform::msgCannotCreate(core::kLogFileName));
    }
}

void RealLog::writeLine(const std::string& utf8Line) {
    balloon::LogStream().writeLine(utf8Line);
}

} // namespace settings_dialog
