// Drives the sound service as the program does, printing when each step returned:
// sound_probe sync:FILE | async:FILE | loop:FILE | stop | sleep:MS ...
// Each step prints "STEP MS" with MS the wall clock in milliseconds after it returned.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/Sound.h"

static long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int main(int argc, char** argv) {
    platform::Sound& s = platform::sound();
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        const auto colon = step.find(':');
        const std::string verb = step.substr(0, colon);
        const std::string arg = colon == std::string::npos ? "" : step.substr(colon + 1);
        if (verb == "sync") {
            std::printf("begin %lld\n", nowMs());
            s.playSync(arg);
        } else if (verb == "async") {
            s.playAsync(arg);
        } else if (verb == "loop") {
            s.playLoop(arg);
        } else if (verb == "stop") {
            s.stop();
        } else if (verb == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(arg)));
        }
        std::printf("%s %lld\n", verb.c_str(), nowMs());
        std::fflush(stdout);
    }
    return 0;
}
