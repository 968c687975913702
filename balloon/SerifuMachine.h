#pragma once
// The balloon's four states, driven one 100 ms tick at a time: idle, show the next line, pause
// between lines, linger after the last line. The window forwards its timer here and does what
// the machine asks of it through BalloonView.
#include <cstdint>
#include <string>

#include "balloon/SerifuQueue.h"

namespace balloon {

struct Bounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class BalloonView {
public:
    virtual ~BalloonView() = default;
    virtual Bounds characterBounds() const = 0;
    virtual void placeBalloon(int left, int top) = 0;
    virtual void showBalloon() = 0; // only called while the character is not hidden
    virtual void hideBalloon() = 0;
    virtual void appendLine(const std::string& line) = 0;
    virtual void clearText() = 0;
    virtual void logLine(const std::string& line) = 0; // logs when logging is on
};

class SerifuMachine {
public:
    enum State { Idle = 1, ShowNext = 2, Pause = 3, Linger = 4 };
    static constexpr int kTickMs = 100;

    SerifuMachine(SerifuQueueType& queue, BalloonView& view) : queue_(queue), view_(view) {}

    // Settings read at creation; they do not change while the program runs.
    void setIntervals(int serifuInterval, int fukidasiInterval) {
        serifuInterval_ = serifuInterval;
        fukidasiInterval_ = fukidasiInterval;
    }
    void setPictureSize(int width, int height) {
        pictureWidth_ = width;
        pictureHeight_ = height;
    }
    // Ticks do nothing until the window's creation has finished.
    void start() {
        counter_ = 0;
        state_ = Idle;
        started_ = true;
    }

    // `hidden` is IsHidden at this tick.
    void tick(bool hidden);

    State state() const { return state_; }
    std::int64_t counter() const { return counter_; }

private:
    void showUnlessHidden(bool hidden) {
        if (!hidden) {
            view_.showBalloon();
        }
    }

    SerifuQueueType& queue_;
    BalloonView& view_;
    int serifuInterval_ = 1000;
    int fukidasiInterval_ = 2000;
    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
    State state_ = Idle;
    std::int64_t counter_ = 0;
    bool started_ = false;
};

} // namespace balloon
