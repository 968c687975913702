// Runs one mail check as the status window does, against a real server:
// mail_probe INI [alarm] [--play-wait MS]. Reads the settings from INI, prints what the check
// said and showed ("say", "modified", "received", "played" or "error" lines), plays the notify
// sound for real (waiting MS for it) and writes the settings back.
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "core/Settings.h"
#include "mail/CheckRunner.h"
#include "platform/Sound.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mail_probe INI [alarm] [--play-wait MS]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    bool alarm = false;
    int wait = 0;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "alarm") {
            alarm = true;
        } else if (std::string(argv[i]) == "--play-wait" && i + 1 < argc) {
            wait = std::stoi(argv[++i]);
        }
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    core::Settings s;
    core::readSettings(bytes, s);
    // The check runs as the program runs it: looked up and talked to beside this thread.
    mail::CheckRunner runner;
    bool played = false;
    runner.start(s, alarm, [&](mail::CheckOutcome& o) {
        if (o.modifiedShown) {
            std::printf("modified %s\n", o.modified.c_str());
        }
        if (o.receivedShown) {
            std::printf("received %d %s\n", o.receivedCount, o.received.c_str());
        }
        for (const std::string& f : o.played) {
            std::printf("played %s\n", f.c_str());
            platform::sound().playAsync(f);
            played = true;
        }
        if (o.error.empty()) {
            std::printf("say %s\n", o.line.c_str());
        } else {
            std::printf("error %s\n", o.error.c_str());
        }
        s = o.settings;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    std::fflush(stdout);
    if (played && wait > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    std::ofstream(argv[1], std::ios::binary) << core::writeSettings(s);
    return 0;
}
