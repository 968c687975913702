// The calendar window over a night's end on a fake clock: today is 2026-11-30, shortly before
// midnight. The calendar opens on November and is closed with "とじる" (prints "closed"); the
// clock tick runs on the fake clock, 100 ms of it per real 100 ms, and at the change of day does
// what the character's tick does: the current month, shown.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "calendar/CalUnit.h"
#include "core/ClockTick.h"
#include "core/Settings.h"
#include "platform/Fonts.h"

namespace {

class FakeClock : public platform::Clock {
public:
    platform::LocalTime now() const override { return platform::decodeDateTime(value_); }
    void advance(int ms) { value_ += ms / 86400000.0; }

private:
    double value_ = platform::encodeDateTime(platform::LocalTime{2026, 11, 30, 23, 59, 58, 0});
};

class Host : public core::ClockTickHost {
public:
    void setClockCaption(const std::string&) override {}
    void setTrayTip(const std::string&) override {}
    void speak(const std::string&) override {}
    void playSync(const std::string&) override {}
    void playLoop(const std::string&) override {}
    void alarmSounded() override {}
    void calendarToToday() override { calendar::showCurrentMonth(); }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    platform::installFontSubstitutions();
    FakeClock clock;
    core::settings().ShowCalender = false;
    calendar::TCalForm cal;
    cal.setClock(&clock);
    cal.show();

    Host host;
    core::ClockTick tick;
    QTimer timer;
    timer.setInterval(100);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        clock.advance(100);
        tick.tick(clock.now(), core::settings(), host);
    });
    QTimer::singleShot(700, [&] {
        cal.N1->trigger();
        std::printf("closed\n");
        std::fflush(stdout);
        timer.start();
    });
    return QApplication::exec();
}
