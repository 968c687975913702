#pragma once
// Playing WAV files. Starting a sound replaces the one playing. Without an audio device the
// program stays silent (one warning), never failing.
#include <algorithm>
#include <atomic>
#include <string>

namespace platform {

class Sound {
public:
    virtual ~Sound() = default;
    // Returns only when the sound has ended; no events are served meanwhile.
    void playSync(const std::string& file) {
        if (!muted_) {
            startSync(file);
        }
    }
    void playAsync(const std::string& file) {
        if (!muted_) {
            startAsync(file);
        }
    }
    // Repeats until stopped or replaced.
    void playLoop(const std::string& file) {
        if (!muted_) {
            startLoop(file);
        }
    }
    void stop() { halt(); }

    // While muted nothing plays: a synchronous sound returns at once, and the sound playing
    // when muting starts stops.
    void setMuted(bool muted) {
        if (muted && !muted_) {
            halt();
        }
        muted_ = muted;
    }
    bool muted() const { return muted_; }
    // Percent of each file's amplitude, 0-100; it reaches a sound already playing too.
    void setVolume(int percent) { volume_ = std::clamp(percent, 0, 100); }
    int volume() const { return volume_.load(std::memory_order_relaxed); }

protected:
    virtual void startSync(const std::string& file) = 0;
    virtual void startAsync(const std::string& file) = 0;
    virtual void startLoop(const std::string& file) = 0;
    virtual void halt() = 0;

private:
    bool muted_ = false;
    std::atomic<int> volume_{100}; // read by the audio thread
};

// The process's sound service.
Sound& sound();
// For tests: put another service in place (nullptr restores the real one).
void setSound(Sound* replacement);

} // namespace platform
