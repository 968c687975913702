// The clock adjustment's window as the program makes it, against a real server:
// ntp_probe HOST RUN_MS [timeout=MS] [minimal=MS] [zone=HOURS] [every=MS] [off] [system]
// The clock setter is a recorder (a test never sets the machine's clock) unless `system` asks
// for the program's own, which the probe refuses with the right to set the clock. `every`
// starts a round at that period, as the interval timer would at its own.
// Prints "set USEC" (UTC microseconds) for each clock setting the recorder is asked for,
// "offset MS" after a reply, "say LINE" for the lines spoken, "port N" for the local port and
// "error MESSAGE" for error boxes.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "balloon/SerifuQueue.h"
#include "core/Settings.h"
#include "platform/AppError.h"
#include "platform/ClockSetting.h"
#include "timesync/NMUDP.h"
#include "timesync/NTPUnit.h"

namespace {

class Recorder : public platform::TimeService {
public:
    void setUtc(std::int64_t utcUs, std::function<void(const std::string&)> done) override {
        std::printf("set %lld\n", static_cast<long long>(utcUs));
        std::fflush(stdout);
        QTimer::singleShot(0, [done = std::move(done)] { done({}); });
    }
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: ntp_probe HOST RUN_MS [key=value | off | system]...\n");
        return 2;
    }
    platform::setErrorPresenter([](const std::string& m) {
        std::printf("error %s\n", m.c_str());
        std::fflush(stdout);
    });
    core::Settings& s = core::settings();
    s.NTPhost = argv[1];
    s.isAdjust = true;
    s.NTPTimeout = 2000;
    s.NTPMinimalDifference = 500;
    int every = 0;
    bool system = false;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&] { return std::stoi(a.substr(a.find('=') + 1)); };
        if (a == "off") {
            s.isAdjust = false;
        } else if (a == "system") {
            system = true;
        } else if (a.rfind("timeout=", 0) == 0) {
            s.NTPTimeout = value();
        } else if (a.rfind("minimal=", 0) == 0) {
            s.NTPMinimalDifference = value();
        } else if (a.rfind("zone=", 0) == 0) {
            s.NTPTimezone = value();
        } else if (a.rfind("every=", 0) == 0) {
            every = value();
        }
    }
    if (system && platform::hasClockRight()) {
        std::fprintf(stderr, "ntp_probe: with the right to set the clock it would be set\n");
        return 2;
    }
    Recorder recorder;
    timesync::TNTPForm form(system ? nullptr : &recorder);
    std::printf("port %d\n", form.UDPNTP->localPort());
    std::fflush(stdout);
    QTimer rounds;
    QObject::connect(&rounds, &QTimer::timeout, &form, [&] { form.AdjustTime(); });
    if (every > 0) {
        rounds.start(every);
    }
    QTimer::singleShot(std::stoi(argv[2]), &app, [&] {
        if (!form.client().outstanding()) {
            std::printf("offset %.1f\n", static_cast<double>(form.client().lastOffsetUs()) / 1000);
        }
        while (auto line = balloon::SerifuQueue().takeFirst()) {
            std::printf("say %s\n", line->c_str());
        }
        std::printf("outstanding %d\n", form.client().outstanding() ? 1 : 0);
        QApplication::quit();
    });
    return QApplication::exec();
}
