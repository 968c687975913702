// Runs one mail check as the status window does, against a real server:
// mail_probe INI [alarm] [--play-wait MS]. Reads the settings from INI, prints what the check
// said and showed ("say", "modified", "received", "played" or "error" lines), plays the notify
// sound for real (waiting MS for it) and writes the settings back.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "core/Settings.h"
#include "mail/PopCheck.h"
#include "platform/AppError.h"
#include "platform/Locale.h"
#include "platform/Sound.h"
#include "platform/TcpClient.h"

namespace {
class PrintView : public mail::MailView {
public:
    void setLastModified(const std::string& c) override { std::printf("modified %s\n", c.c_str()); }
    void setReceived(int n, const std::string& c) override {
        std::printf("received %d %s\n", n, c.c_str());
    }
    void playNotify(const std::string& f) override {
        std::printf("played %s\n", f.c_str());
        platform::sound().playAsync(f);
        played = true;
    }
    std::string now() override { return platform::dateTimeText(platform::systemClock().now()); }
    bool played = false;
};
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mail_probe INI [alarm] [--play-wait MS]\n");
        return 2;
    }
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
    PrintView view;
    platform::PosixTcpStream stream;
    try {
        const std::string line = mail::CheckMail(stream, s, alarm, view);
        std::printf("say %s\n", line.c_str());
    } catch (const platform::AppError& e) {
        std::printf("error %s\n", e.what());
    }
    std::fflush(stdout);
    if (view.played && wait > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    std::ofstream(argv[1], std::ios::binary) << core::writeSettings(s);
    return 0;
}
