#include "balloon/SerifuMachine.h"

namespace balloon {

void SerifuMachine::tick(bool hidden) {
    if (!started_) {
        return;
    }
    switch (state_) {
    case Idle:
        if (!queue_.empty()) {
            state_ = ShowNext;
        }
        break;
    case ShowNext: {
        // Bottom-aligned beside the character: to its left, or to its right at the screen's
        // left edge. Placed only when a line is shown, so the balloon follows a moved window.
        const Bounds c = view_.characterBounds();
        const int top = c.top + c.height - pictureHeight_;
        int left = c.left - pictureWidth_;
        if (left < 0) {
            left = c.left + c.width;
        }
        view_.placeBalloon(left, top);
        showUnlessHidden(hidden);
        if (auto line = queue_.takeFirst()) {
            view_.appendLine(*line);
            view_.logLine(*line);
        }
        state_ = queue_.empty() ? Linger : Pause;
        counter_ = 0;
        break;
    }
    case Pause:
        showUnlessHidden(hidden);
        ++counter_;
        if (counter_ * kTickMs > serifuInterval_) {
            state_ = ShowNext;
        }
        break;
    case Linger:
        showUnlessHidden(hidden);
        ++counter_;
        if (!queue_.empty()) {
            state_ = Pause; // the counter keeps running: the spacing holds
        } else if (counter_ * kTickMs > fukidasiInterval_) {
            state_ = Idle;
            view_.clearText();
            view_.hideBalloon();
        }
        break;
    }
}

} // namespace balloon
