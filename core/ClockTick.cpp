#include "core/ClockTick.h"

#include <cstdio>

#include "platform/Locale.h"

namespace core {

std::string clockText(const platform::LocalTime& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%s%d%c%02d", t.hour < 10 ? " " : "", t.hour,
                  t.millisecond < 500 ? ' ' : ':', t.minute);
    return buf;
}

std::string timeSignalHourLine(int hour) {
    return std::to_string(hour) + "時をお知らせしま～す★";
}

std::string alarmLine(int alarm, int hour, int minute) {
    const std::string h = std::to_string(hour);
    const std::string m = std::to_string(minute);
    switch (alarm) {
    case 1:
        return "もしも～し，" + h + "時" + (minute == 0 ? "ちょうどですよ～♪" : m + "分ですよ～♪");
    case 2:
        return "ちょっとちょっとぉ，" + h + "時" + m + "分なんだけどぉ～";
    default:
        return "おいこら！" + h + "時" + m + "分だっての！";
    }
}

void ClockTick::tick(const platform::LocalTime& now, const Settings& s, ClockTickHost& host) {
    host.setClockCaption(clockText(now));
    host.setTrayTip(platform::dateTimeText(now));

    if (s.OClock && !IsTimeSignalled && now.minute == 0) {
        IsTimeSignalled = true;
        host.speak("ぴんぽんぱんぽーん！");
        host.speak(timeSignalHourLine(now.hour));
        if (!s.VoiceFile.empty()) {
            host.playSync(s.VoiceFile);
        }
    }

    for (int n = 0; n < 3; ++n) {
        const AlarmSetting& a = s.Alerm[n];
        const platform::LocalTime at = platform::decodeDateTime(a.time);
        const bool inMinute = at.hour == now.hour && at.minute == now.minute;
        // Rung on the first tick within its minute, not only within second 0: a thread held
        // past that second (a slow mail server, a long time-signal sound) must not cost the
        // alarm for the day. The flag keeps it to one ring until the minute has passed.
        if (a.enabled && !IsAlermRung[n] && inMinute) {
            IsAlermRung[n] = true;
            host.playLoop(a.voice);
            host.alarmSounded();
            host.speak(alarmLine(n + 1, now.hour, now.minute));
        }
    }

    if (now.minute != 0) {
        IsTimeSignalled = false;
    }
    for (int n = 0; n < 3; ++n) {
        const platform::LocalTime at = platform::decodeDateTime(s.Alerm[n].time);
        if (at.hour != now.hour || at.minute != now.minute) {
            IsAlermRung[n] = false;
        }
    }

    // A new day: the calendar comes to the current month, even when no tick fell on 0:00:00.
    const bool newDay = haveDay_ && (now.year != year_ || now.month != month_ || now.day != day_);
    const bool midnight = now.hour == 0 && now.minute == 0 && now.second == 0;
    if (newDay || midnight) {
        host.calendarToToday();
    }
    haveDay_ = true;
    year_ = now.year;
    month_ = now.month;
    day_ = now.day;
}

} // namespace core
