#pragma once
// Playing WAV files. Starting a sound replaces the one playing. Without an audio device the
// program stays silent (one warning), never failing.
#include <string>

namespace platform {

class Sound {
public:
    virtual ~Sound() = default;
    // Returns only when the sound has ended; no events are served meanwhile.
    virtual void playSync(const std::string& file) = 0;
    virtual void playAsync(const std::string& file) = 0;
    // Repeats until stopped or replaced.
    virtual void playLoop(const std::string& file) = 0;
    virtual void stop() = 0;
};

// The process's sound service.
Sound& sound();
// For tests: put another service in place (nullptr restores the real one).
void setSound(Sound* replacement);

} // namespace platform
