#pragma once
// The decisions of the 100 ms clock tick: clock face, tray tip, hourly time signal, the three
// alarms and the change of day. The character window forwards its timer here with one reading
// of the local clock; what the tick does reaches the world through ClockTickHost.
#include <string>

#include "core/Settings.h"
#include "platform/DateTime.h"

namespace core {

class ClockTickHost {
public:
    virtual ~ClockTickHost() = default;
    virtual void setClockCaption(const std::string& text) = 0;
    virtual void setTrayTip(const std::string& text) = 0;
    virtual void speak(const std::string& line) = 0;
    virtual void playSync(const std::string& file) = 0;
    virtual void playLoop(const std::string& file) = 0;
    virtual void alarmSounded() = 0;    // IsAlermSounded := true
    virtual void calendarToToday() = 0; // current month, window shown
};

// " 9:05", " 9 05", "23:59": the colon blinks once a second.
std::string clockText(const platform::LocalTime& t);
std::string timeSignalHourLine(int hour);
std::string alarmLine(int alarm, int hour, int minute); // alarm 1, 2 or 3

class ClockTick {
public:
    void tick(const platform::LocalTime& now, const Settings& s, ClockTickHost& host);

    bool IsTimeSignalled = false;
    bool IsAlermRung[3] = {false, false, false};

private:
    bool haveDay_ = false;
    int year_ = 0, month_ = 0, day_ = 0;
};

} // namespace core
