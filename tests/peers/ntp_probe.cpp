// The clock adjustment's window as the program makes it, against a real server, with the clock
// setter replaced by a recorder (a test never sets the machine's clock):
// ntp_probe HOST TIMEZONE TIMEOUT_MS MINIMAL_MS RUN_MS [isAdjust]
// Prints "set YYYY-MM-DD HH:MM:SS.mmm" for each clock setting asked for, "offset MS" after a
// reply, "say LINE" for the lines spoken and "error MESSAGE" for error boxes.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <string>

#include "balloon/SerifuQueue.h"
#include "core/Settings.h"
#include "platform/AppError.h"
#include "timesync/NTPUnit.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 6) {
        std::fprintf(stderr, "usage: ntp_probe HOST TIMEZONE TIMEOUT_MS MINIMAL_MS RUN_MS [off]\n");
        return 2;
    }
    platform::setErrorPresenter([](const std::string& m) {
        std::printf("error %s\n", m.c_str());
        std::fflush(stdout);
    });
    core::Settings& s = core::settings();
    s.NTPhost = argv[1];
    s.NTPTimezone = std::stoi(argv[2]);
    s.NTPTimeout = std::stoi(argv[3]);
    s.NTPMinimalDifference = std::stoi(argv[4]);
    s.isAdjust = !(argc > 6 && std::string(argv[6]) == "off");
    timesync::TNTPForm form([](const platform::LocalTime& t) {
        std::printf("set %04d-%02d-%02d %02d:%02d:%02d.%03d\n", t.year, t.month, t.day, t.hour,
                    t.minute, t.second, t.millisecond);
        std::fflush(stdout);
    });
    QTimer::singleShot(std::stoi(argv[5]), &app, [&] {
        if (!form.client().outstanding()) {
            std::printf("offset %.1f\n", form.client().lastOffset() * 86400000.0);
        }
        while (auto line = balloon::SerifuQueue().takeFirst()) {
            std::printf("say %s\n", line->c_str());
        }
        std::printf("outstanding %d\n", form.client().outstanding() ? 1 : 0);
        QApplication::quit();
    });
    return QApplication::exec();
}
